#include "ui/framework/gui_queue_bridge.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <mutex>

namespace trawlix::ui {

struct GuiQueueBridge::Link
{
    std::mutex mutex;
    GuiQueueBridge* bridge = nullptr; // null once the bridge is gone
    std::atomic<bool> scheduled{false};
    std::atomic<bool> quitDelivered{false}; // set on the GUI thread, read by the wake hook
};

GuiQueueBridge::GuiQueueBridge(std::function<void(int)> onQuit, QObject* parent)
    : QObject(parent), queue_(jwin::MessageQueue::Current()), link_(std::make_shared<Link>()),
      onQuit_(std::move(onQuit))
{
    if (!onQuit_)
        onQuit_ = [](int code) { QCoreApplication::exit(code); };
    link_->bridge = this;
    const jwin::MessageQueue* queue = queue_.get();
    queue_->SetWakeHook([link = link_, queue] {
        // Once the quit has been handed on, the queue re-posts it for the thread's own loop
        // each time it is met; those re-posts come from this thread and must not wake us again.
        if (link->quitDelivered && queue->IsOwner())
            return;
        // One pending wake-up is enough: a drain runs everything queued before it.
        if (link->scheduled.exchange(true))
            return;
        std::lock_guard lock(link->mutex);
        if (link->bridge != nullptr)
            QMetaObject::invokeMethod(link->bridge, &GuiQueueBridge::Drain, Qt::QueuedConnection);
    });
    // Whatever arrived before the bridge existed.
    if (queue_->HasInput()) {
        link_->scheduled = true;
        QMetaObject::invokeMethod(this, &GuiQueueBridge::Drain, Qt::QueuedConnection);
    }
}

GuiQueueBridge::~GuiQueueBridge()
{
    queue_->SetWakeHook({});
    std::lock_guard lock(link_->mutex);
    link_->bridge = nullptr;
}

void GuiQueueBridge::Drain()
{
    link_->scheduled = false;
    int code = 0;
    if (jwin::DispatchPending(&code))
        return;
    // A quit stops the dispatch and goes back to the end of the queue: one more pass runs what
    // had been queued behind it, up to the quit again.
    jwin::DispatchPending();
    if (!link_->quitDelivered.exchange(true))
        onQuit_(code);
}

} // namespace trawlix::ui
