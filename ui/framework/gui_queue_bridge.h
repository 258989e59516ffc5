#pragma once

#include "support/threads/message_queue.h"

#include <QObject>

#include <functional>
#include <memory>

// Drains the GUI thread's platform queue from Qt's event loop. Workers reach the GUI thread with
// MessageQueue::Send/Post; the queue's wake hook posts a queued Qt call here, so their functions
// run whether the GUI thread sits in Qt's loop (a modal dialog included) or in a dispatching
// wait of its own.
namespace trawlix::ui {

class GuiQueueBridge final : public QObject
{
    Q_OBJECT
public:
    // Made on the GUI thread; attaches to that thread's queue. A quit message posted to the
    // queue is handed to onQuit once (by default it ends Qt's event loops with its code).
    explicit GuiQueueBridge(std::function<void(int)> onQuit = {}, QObject* parent = nullptr);
    ~GuiQueueBridge() override;

    // The GUI thread's queue, for the workers.
    [[nodiscard]] const jwin::MessageQueue::Handle& Queue() const { return queue_; }

    // Runs what waits in the queue now (also called from the wake-ups).
    void Drain();

private:
    struct Link; // shared with the wake hook, which may fire on any thread
    jwin::MessageQueue::Handle queue_;
    std::shared_ptr<Link> link_;
    std::function<void(int)> onQuit_;
};

} // namespace trawlix::ui
