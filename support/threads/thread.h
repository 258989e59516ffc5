#pragma once

#include "support/threads/locks.h"
#include "support/threads/message_queue.h"
#include "support/threads/stop_token.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace jwin {

// A worker thread with a start handshake and a cooperative stop flag. Nothing is ever
// terminated: the body has to watch IsRunning() (or its stop token) and return.
class CJThread
{
public:
    using ThreadProc = unsigned (*)(void* argument);
    using Handle = std::shared_ptr<jwin::Waitable>; // set when the thread has ended

    CJThread(ThreadProc proc, void* argument);
    CJThread(const CJThread&) = delete;
    CJThread& operator=(const CJThread&) = delete;
    // Stop without time limit and without dispatching.
    virtual ~CJThread();

    // Starts the thread; true only when its body reported that it began within timeoutMs.
    virtual bool Start(std::uint32_t timeoutMs = kNoTimeLimit, bool dispatchMessages = false);
    // Requests stop and waits for the thread; true when it ended within timeoutMs.
    virtual bool Stop(std::uint32_t timeoutMs = kNoTimeLimit, bool dispatchMessages = false);
    // Filter for messages dispatched during waits; true means handled. Unused by the queue
    // design (messages are closures), kept as the hook for subclasses.
    virtual bool PreTranslateMessage() { return false; }

    void RequestStop();
    [[nodiscard]] bool IsRunning() const;
    // The end marker of the current or last thread; null when there is none.
    [[nodiscard]] Handle ThreadHandle() const;
    [[nodiscard]] std::uint32_t ThreadId() const { return threadId_.load(); }
    [[nodiscard]] StopToken Token() const { return StopToken(&stop_); }

protected:
    // Sets the started event, if any; called by the body's thread once the body has begun.
    void ReportStarted();
    // Sets the stop flag whatever the handle state; the body's thread calls it when it ends, even
    // when it ends before Start has published the handle.
    void MarkEnded();

private:
    void CloseHandles();

    ThreadProc proc_;
    void* argument_;
    mutable std::mutex handleMutex_; // guards handle_, thread_ and started_
    Handle handle_;
    std::thread thread_;
    // A thread that outlived a timed Stop; joined before the next Start and on destruction, so the
    // object is never reused or destroyed while its body still runs.
    std::thread orphan_;
    std::atomic<std::uint32_t> threadId_{0};
    std::atomic<bool> hasHandle_{false};
    CJCritSect stateLock_;
    std::atomic<bool> stop_{false};
    std::shared_ptr<jwin::Waitable> started_;
};

// A thread whose body is OnInit, Run, OnExit. Subclasses must call Stop() in their own
// destructor, because the body calls their virtual functions.
class CJThreadEx : public CJThread
{
public:
    CJThreadEx();

    virtual std::int32_t OnInit() { return 0; }
    virtual std::int32_t Run() = 0;
    virtual std::int32_t OnExit() { return 0; }

private:
    static unsigned Procedure(void* self);
};

} // namespace jwin
