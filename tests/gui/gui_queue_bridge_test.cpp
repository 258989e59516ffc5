#include "support/threads/message_queue.h"
#include "ui/framework/gui_queue_bridge.h"

#include <QEventLoop>
#include <QMetaObject>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using trawlix::ui::GuiQueueBridge;

TEST(GuiQueueBridgeTest, WorkerSendCompletesWhileTheGuiThreadRunsQtsLoop)
{
    GuiQueueBridge bridge([](int) {});
    QEventLoop loop;
    const auto guiThread = std::this_thread::get_id();
    std::vector<std::thread::id> ranOn;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            bridge.Queue()->Send([&] { ranOn.push_back(std::this_thread::get_id()); });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    ASSERT_EQ(ranOn.size(), 50u);
    for (const auto id : ranOn)
        EXPECT_EQ(id, guiThread);
}

TEST(GuiQueueBridgeTest, WorkerSendCompletesWhileTheGuiThreadWaitsDispatching)
{
    GuiQueueBridge bridge([](int) {});
    jwin::Waitable finished;
    int value = 0;
    std::thread worker([&] {
        bridge.Queue()->Send([&] { value = 42; });
        finished.Set();
    });
    jwin::Waitable* objects[] = {&finished};
    EXPECT_EQ(jwin::WaitDispatching(objects, jwin::kInfinite, true), 0);
    worker.join();
    EXPECT_EQ(value, 42);
    // The Qt wake-up left behind finds the queue empty.
    QEventLoop loop;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    loop.exec();
    EXPECT_EQ(value, 42);
}

TEST(GuiQueueBridgeTest, QuitIsHandedOnOnceAndLaterSendsStillComplete)
{
    std::vector<int> quits;
    QEventLoop loop;
    GuiQueueBridge bridge([&](int code) { quits.push_back(code); });
    std::atomic<int> sent{0};
    std::thread worker([&] {
        bridge.Queue()->PostQuit(5);
        bridge.Queue()->Send([&] { ++sent; });
        bridge.Queue()->Send([&] { ++sent; });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(sent.load(), 2);
    EXPECT_EQ(quits, std::vector<int>{5});
    // Take the quit out again so later tests on this thread start with an empty queue.
    int code = 0;
    EXPECT_FALSE(jwin::DispatchPending(&code));
    EXPECT_EQ(code, 5);
}

} // namespace
