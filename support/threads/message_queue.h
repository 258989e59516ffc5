#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace jwin {

// Something a thread can wait for: an event (manual or auto reset) or the end of a thread.
// All waitables and queues share one lock and one condition variable, which keeps the waits on
// several objects plus queue input simple and correct at the small scale of this program.
class Waitable
{
public:
    explicit Waitable(bool autoReset = false, bool initiallySet = false);
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    void Set();
    void Reset();
    [[nodiscard]] bool IsSet() const;

private:
    friend int WaitAny(std::span<Waitable* const>, std::uint32_t, bool);
    bool autoReset_;
    bool set_;
};

// A per-thread message queue. Every thread has one; other threads reach it through its handle.
class MessageQueue
{
public:
    using Handle = std::shared_ptr<MessageQueue>;

    // The queue owned by the calling thread.
    static Handle Current();

    // Runs fn on the owner thread and blocks until it ran; runs it at once on the owner thread.
    void Send(const std::function<void()>& fn);
    // Queues fn for the owner thread and returns at once.
    void Post(std::function<void()> fn);
    // Queues a quit message carrying an exit code.
    void PostQuit(int exitCode);
    // Called (on the posting thread) whenever a message arrives, so a GUI event loop can wake up
    // and call DispatchPending on the owner thread.
    void SetWakeHook(std::function<void()> hook);

    [[nodiscard]] bool HasInput() const;
    [[nodiscard]] bool IsOwner() const;

    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue();

private:
    struct Impl;
    MessageQueue();
    std::unique_ptr<Impl> impl_;
    friend bool DispatchPending(int*);
    friend int WaitAny(std::span<Waitable* const>, std::uint32_t, bool);
};

// Runs every waiting message of the calling thread's queue. A quit message is posted again and
// dispatching stops with false (its exit code in *quitCode when given); otherwise true.
bool DispatchPending(int* quitCode = nullptr);

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr int kWaitTimeout = -1;

// Waits until one of the objects is set (returns its index; an auto-reset event is consumed),
// or, with wakeOnInput, until the calling thread's queue has input (returns objects.size()),
// or until timeoutMs passed (kWaitTimeout). Null entries are ignored.
int WaitAny(std::span<Waitable* const> objects, std::uint32_t timeoutMs, bool wakeOnInput);

// Waits for one of the objects within timeoutMs, dispatching the calling thread's queue meanwhile
// when `dispatch` is set. Returns the index of the object, or kWaitTimeout on timeout or on a quit
// message (re-posted for the thread's own loop, *quitSeen set).
int WaitDispatching(std::span<Waitable* const> objects, std::uint32_t timeoutMs, bool dispatch,
                    bool* quitSeen = nullptr);

} // namespace jwin
