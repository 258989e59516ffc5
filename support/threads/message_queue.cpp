#include "support/threads/message_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace jwin {
namespace {

// One lock and one condition variable for every waitable and queue of the process.
std::mutex& Mu()
{
    static std::mutex mu;
    return mu;
}

std::condition_variable& Cv()
{
    static std::condition_variable cv;
    return cv;
}

} // namespace

struct MessageQueue::Impl
{
    struct Message
    {
        std::function<void()> fn;
        bool quit = false;
        int exitCode = 0;
        bool* done = nullptr; // set under the global lock when a sent message has run
    };
    std::thread::id owner = std::this_thread::get_id();
    std::deque<Message> messages;
    std::function<void()> wakeHook;
};

Waitable::Waitable(bool autoReset, bool initiallySet) : autoReset_(autoReset), set_(initiallySet) {}

void Waitable::Set()
{
    {
        std::lock_guard lock(Mu());
        set_ = true;
    }
    Cv().notify_all();
}

void Waitable::Reset()
{
    std::lock_guard lock(Mu());
    set_ = false;
}

bool Waitable::IsSet() const
{
    std::lock_guard lock(Mu());
    return set_;
}

MessageQueue::MessageQueue() : impl_(std::make_unique<Impl>()) {}
MessageQueue::~MessageQueue() = default;

MessageQueue::Handle MessageQueue::Current()
{
    thread_local Handle queue(new MessageQueue());
    return queue;
}

bool MessageQueue::IsOwner() const
{
    return impl_->owner == std::this_thread::get_id();
}

bool MessageQueue::HasInput() const
{
    std::lock_guard lock(Mu());
    return !impl_->messages.empty();
}

void MessageQueue::SetWakeHook(std::function<void()> hook)
{
    std::lock_guard lock(Mu());
    impl_->wakeHook = std::move(hook);
}

void MessageQueue::Post(std::function<void()> fn)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(Mu());
        impl_->messages.push_back({std::move(fn), false, 0, nullptr});
        hook = impl_->wakeHook;
    }
    Cv().notify_all();
    if (hook)
        hook();
}

void MessageQueue::PostQuit(int exitCode)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(Mu());
        impl_->messages.push_back({nullptr, true, exitCode, nullptr});
        hook = impl_->wakeHook;
    }
    Cv().notify_all();
    if (hook)
        hook();
}

void MessageQueue::Send(const std::function<void()>& fn)
{
    if (IsOwner()) {
        fn();
        return;
    }
    bool done = false;
    std::function<void()> hook;
    {
        std::lock_guard lock(Mu());
        impl_->messages.push_back({fn, false, 0, &done});
        hook = impl_->wakeHook;
    }
    Cv().notify_all();
    if (hook)
        hook();
    std::unique_lock lock(Mu());
    Cv().wait(lock, [&] { return done; });
}

bool DispatchPending(int* quitCode)
{
    MessageQueue::Impl& q = *MessageQueue::Current()->impl_;
    for (;;) {
        MessageQueue::Impl::Message message;
        {
            std::lock_guard lock(Mu());
            if (q.messages.empty())
                return true;
            message = std::move(q.messages.front());
            q.messages.pop_front();
        }
        if (message.quit) {
            // Leave the quit for the thread's own message loop.
            if (quitCode != nullptr)
                *quitCode = message.exitCode;
            MessageQueue::Current()->PostQuit(message.exitCode);
            return false;
        }
        if (message.fn)
            message.fn();
        if (message.done != nullptr) {
            {
                std::lock_guard lock(Mu());
                *message.done = true;
            }
            Cv().notify_all();
        }
    }
}

int WaitAny(std::span<Waitable* const> objects, std::uint32_t timeoutMs, bool wakeOnInput)
{
    const MessageQueue::Handle queue = wakeOnInput ? MessageQueue::Current() : nullptr;
    int result = kWaitTimeout;
    auto ready = [&] {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (objects[i] != nullptr && objects[i]->set_) {
                if (objects[i]->autoReset_)
                    objects[i]->set_ = false;
                result = static_cast<int>(i);
                return true;
            }
        }
        if (queue && !queue->impl_->messages.empty()) {
            result = static_cast<int>(objects.size());
            return true;
        }
        return false;
    };
    std::unique_lock lock(Mu());
    if (timeoutMs == kInfinite)
        Cv().wait(lock, ready);
    else
        Cv().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    return result;
}

int WaitDispatching(std::span<Waitable* const> objects, std::uint32_t timeoutMs, bool dispatch, bool* quitSeen)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint32_t left = kInfinite;
        if (timeoutMs != kInfinite) {
            const auto now = std::chrono::steady_clock::now();
            left = now >= deadline ? 0
                                   : static_cast<std::uint32_t>(
                                         std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
        }
        const int r = WaitAny(objects, left, dispatch);
        if (r != static_cast<int>(objects.size()))
            return r;
        if (!DispatchPending()) {
            if (quitSeen != nullptr)
                *quitSeen = true;
            return kWaitTimeout;
        }
    }
}

} // namespace jwin
