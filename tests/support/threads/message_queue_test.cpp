#include "support/threads/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using jwin::MessageQueue;
using jwin::Waitable;

TEST(MessageQueue, SendRunsOnOwnerThreadWhileItWaitsWithDispatching)
{
    MessageQueue::Handle owner = MessageQueue::Current();
    Waitable done;
    std::thread::id ranOn;
    bool sendReturnedAfterRun = false;
    std::thread worker([&] {
        bool ran = false;
        owner->Send([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
        sendReturnedAfterRun = ran;
        done.Set();
    });
    Waitable* const objects[] = {&done};
    EXPECT_EQ(jwin::WaitDispatching(objects, jwin::kInfinite, true), 0);
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(sendReturnedAfterRun);
}

TEST(MessageQueue, SendOnOwnerThreadRunsAtOnceAndPostWaitsForDispatch)
{
    MessageQueue::Handle queue = MessageQueue::Current();
    int sent = 0;
    queue->Send([&] { ++sent; });
    EXPECT_EQ(sent, 1);
    EXPECT_FALSE(queue->HasInput());

    int wakes = 0;
    queue->SetWakeHook([&] { ++wakes; });
    int posted = 0;
    queue->Post([&] { ++posted; });
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(posted, 0);
    EXPECT_TRUE(jwin::DispatchPending());
    EXPECT_EQ(posted, 1);
    queue->SetWakeHook(nullptr);
}

TEST(MessageQueue, QuitDuringDispatchingWaitIsRepostedAndTheWaitGivesUp)
{
    // On a thread of its own: the re-posted quit stays in that thread's queue for good.
    int result = 0;
    bool quitSeen = false;
    bool stillQueued = false;
    int code = 0;
    std::thread waiter([&] {
        MessageQueue::Handle queue = MessageQueue::Current();
        Waitable never;
        std::thread poster([&] { queue->PostQuit(7); });
        Waitable* const objects[] = {&never};
        result = jwin::WaitDispatching(objects, jwin::kInfinite, true, &quitSeen);
        poster.join();
        stillQueued = !jwin::DispatchPending(&code);
    });
    waiter.join();
    EXPECT_EQ(result, jwin::kWaitTimeout);
    EXPECT_TRUE(quitSeen);
    EXPECT_TRUE(stillQueued);
    EXPECT_EQ(code, 7);
}

TEST(Waitable, AutoResetIsConsumedByOneWaitAndManualResetStays)
{
    Waitable autoEvent(true, true);
    Waitable manual(false, true);
    Waitable* const a[] = {&autoEvent};
    Waitable* const m[] = {&manual};
    EXPECT_EQ(jwin::WaitAny(a, 0, false), 0);
    EXPECT_EQ(jwin::WaitAny(a, 0, false), jwin::kWaitTimeout);
    EXPECT_EQ(jwin::WaitAny(m, 0, false), 0);
    EXPECT_EQ(jwin::WaitAny(m, 0, false), 0);
    manual.Reset();
    EXPECT_EQ(jwin::WaitAny(m, 0, false), jwin::kWaitTimeout);
}

TEST(Waitable, WaitAnyNamesTheSetObjectAndSkipsEmptyEntries)
{
    Waitable first;
    Waitable second;
    Waitable* const objects[] = {&first, nullptr, &second};
    std::thread setter([&] { second.Set(); });
    EXPECT_EQ(jwin::WaitAny(objects, jwin::kInfinite, false), 2);
    setter.join();
}

} // namespace
