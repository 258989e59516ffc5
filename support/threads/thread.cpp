#include "support/threads/thread.h"

#include <functional>
#include <system_error>

namespace jwin {

CJThread::CJThread(ThreadProc proc, void* argument) : proc_(proc), argument_(argument) {}

CJThread::~CJThread()
{
    CJThread::Stop(kNoTimeLimit, false);
    if (orphan_.joinable())
        orphan_.join();
}

bool CJThread::Start(std::uint32_t timeoutMs, bool dispatchMessages)
{
    Stop(kNoTimeLimit, false);
    if (orphan_.joinable())
        orphan_.join();
    stop_.store(false);
    auto started = std::make_shared<jwin::Waitable>(true, false);
    auto ended = std::make_shared<jwin::Waitable>(false, false);
    {
        std::lock_guard lock(handleMutex_);
        started_ = started;
        try {
            thread_ = std::thread([proc = proc_, argument = argument_, ended] {
                proc(argument);
                ended->Set();
            });
        } catch (const std::system_error&) {
            started_.reset();
            return false;
        }
        handle_ = ended;
        threadId_.store(static_cast<std::uint32_t>(std::hash<std::thread::id>{}(thread_.get_id())));
        hasHandle_.store(true);
    }
    // The started event comes first: a body that began and already ended still counts as started.
    jwin::Waitable* const objects[] = {started.get(), ended.get()};
    return jwin::WaitDispatching(objects, timeoutMs, dispatchMessages) == 0;
}

bool CJThread::Stop(std::uint32_t timeoutMs, bool dispatchMessages)
{
    // A thread left over from a timed Stop is joined by any Stop without time limit, which is what
    // destructors use.
    if (timeoutMs == kNoTimeLimit && orphan_.joinable())
        orphan_.join();
    const Handle handle = ThreadHandle();
    if (!handle)
        return true;
    RequestStop();
    jwin::Waitable* const objects[] = {handle.get()};
    const bool ended = jwin::WaitDispatching(objects, timeoutMs, dispatchMessages) == 0;
    std::thread thread;
    {
        std::lock_guard lock(handleMutex_);
        thread = std::move(thread_);
        handle_.reset();
        started_.reset();
        hasHandle_.store(false);
        threadId_.store(0);
    }
    // An ended thread is joined; one that outlived the wait goes on and is joined later.
    if (ended) {
        thread.join();
    } else {
        if (orphan_.joinable())
            orphan_.join();
        orphan_ = std::move(thread);
    }
    return ended;
}

void CJThread::RequestStop()
{
    if (!hasHandle_.load() || stop_.load())
        return;
    stateLock_.Lock();
    stop_.store(true);
    stateLock_.Unlock();
}

void CJThread::MarkEnded()
{
    stateLock_.Lock();
    stop_.store(true);
    stateLock_.Unlock();
}

bool CJThread::IsRunning() const
{
    return hasHandle_.load() && !stop_.load();
}

CJThread::Handle CJThread::ThreadHandle() const
{
    std::lock_guard lock(handleMutex_);
    return handle_;
}

void CJThread::ReportStarted()
{
    std::shared_ptr<jwin::Waitable> started;
    {
        std::lock_guard lock(handleMutex_);
        started = started_;
    }
    if (started) {
        std::this_thread::yield();
        started->Set();
    }
}

CJThreadEx::CJThreadEx() : CJThread(&CJThreadEx::Procedure, this) {}

unsigned CJThreadEx::Procedure(void* self)
{
    auto* thread = static_cast<CJThreadEx*>(self);
    std::int32_t status = thread->OnInit();
    if (status >= 0) {
        thread->ReportStarted();
        status = thread->Run();
        const std::int32_t exitStatus = thread->OnExit();
        if (status >= 0)
            status = exitStatus;
    }
    thread->MarkEnded();
    return static_cast<unsigned>(status);
}

} // namespace jwin
