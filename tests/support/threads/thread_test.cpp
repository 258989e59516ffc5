#include "support/threads/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace {

// A thread whose steps the test supplies.
class TestThread : public jwin::CJThreadEx
{
public:
    ~TestThread() override { Stop(); }
    std::int32_t OnInit() override { return initStatus; }
    std::int32_t Run() override
    {
        runningInBody = IsRunning();
        if (body)
            body(*this);
        return 0;
    }

    std::int32_t initStatus = 0;
    std::function<void(TestThread&)> body;
    std::atomic<bool> runningInBody{false};
};

// Blocks until the thread was asked to stop; the stop flag has no notification, so poll it
// through a condition wait the test can also release.
void WaitForStopRequest(const jwin::CJThread& thread)
{
    const jwin::StopToken token = thread.Token();
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock lock(m);
    while (!token.StopRequested())
        cv.wait_for(lock, std::chrono::milliseconds(1));
}

void WaitForEnd(const jwin::CJThread& thread)
{
    const auto handle = thread.ThreadHandle();
    ASSERT_TRUE(handle);
    jwin::Waitable* const objects[] = {handle.get()};
    ASSERT_EQ(jwin::WaitAny(objects, jwin::kInfinite, false), 0);
}

TEST(CJThread, StopOnNeverStartedThreadSucceeds)
{
    TestThread thread;
    EXPECT_TRUE(thread.Stop(0, false));
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(thread.ThreadHandle());
}

TEST(CJThread, StartReportsTheBodyAndIsRunningTurnsFalseWhenItEnds)
{
    TestThread thread;
    ASSERT_TRUE(thread.Start());
    WaitForEnd(thread);
    EXPECT_TRUE(thread.runningInBody);
    EXPECT_FALSE(thread.IsRunning()); // before Stop
    EXPECT_TRUE(thread.ThreadHandle());
    EXPECT_TRUE(thread.Stop());
    EXPECT_FALSE(thread.ThreadHandle());
}

TEST(CJThread, OnInitFailureMakesStartFalseAndSkipsTheBody)
{
    TestThread thread;
    thread.initStatus = -1;
    bool bodyRan = false;
    thread.body = [&](TestThread&) { bodyRan = true; };
    EXPECT_FALSE(thread.Start(jwin::kNoTimeLimit, true));
    WaitForEnd(thread);
    EXPECT_FALSE(thread.IsRunning());
    thread.Stop();
    EXPECT_FALSE(bodyRan);
}

TEST(CJThread, StopIsCooperativeAndTheTokenSeesIt)
{
    TestThread thread;
    thread.body = [](TestThread& self) { WaitForStopRequest(self); };
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.Token().StopRequested());
    EXPECT_TRUE(thread.Stop());
    EXPECT_FALSE(thread.IsRunning());
}

TEST(CJThread, StartWaitsForThePreviousThread)
{
    TestThread thread;
    std::atomic<int> inside{0};
    std::atomic<int> maxInside{0};
    std::atomic<int> runs{0};
    thread.body = [&](TestThread& self) {
        const int now = ++inside;
        int seen = maxInside.load();
        while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
        }
        ++runs;
        WaitForStopRequest(self);
        --inside;
    };
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Stop());
    EXPECT_EQ(runs.load(), 2);
    EXPECT_EQ(maxInside.load(), 1);
}

TEST(CJThread, WorkerSendingToAThreadThatWaitsWithDispatchingDoesNotDeadlock)
{
    auto owner = jwin::MessageQueue::Current();
    TestThread thread;
    bool delivered = false;
    thread.body = [&](TestThread&) { owner->Send([&] { delivered = true; }); };
    ASSERT_TRUE(thread.Start(jwin::kNoTimeLimit, true));
    EXPECT_TRUE(thread.Stop(jwin::kNoTimeLimit, true));
    EXPECT_TRUE(delivered);
}

TEST(CJThread, QuitDuringDispatchingStopGivesUpAndIsReposted)
{
    bool stopResult = true;
    bool quitStillQueued = false;
    std::thread owner([&] {
        auto queue = jwin::MessageQueue::Current();
        jwin::Waitable release;
        TestThread thread;
        thread.body = [&](TestThread&) {
            queue->PostQuit(3);
            jwin::Waitable* const objects[] = {&release};
            jwin::WaitAny(objects, jwin::kInfinite, false); // ignores the stop request
        };
        thread.Start();
        stopResult = thread.Stop(jwin::kNoTimeLimit, true);
        int code = 0;
        quitStillQueued = !jwin::DispatchPending(&code) && code == 3;
        release.Set(); // the destructor then waits for the body
    });
    owner.join();
    EXPECT_FALSE(stopResult);
    EXPECT_TRUE(quitStillQueued);
}

} // namespace
