#include "support/threads/locks.h"

#include "support/threads/error.h"

#include <chrono>

namespace jwin {

bool CJCritSect::Lock(std::uint32_t count)
{
    if (count == kNoTimeLimit) {
        mutex_.lock();
        return true;
    }
    return mutex_.try_lock() || mutex_.try_lock_for(std::chrono::milliseconds(count));
}

void CJCritSect::Unlock()
{
    mutex_.unlock();
}

CJSmartLock::CJSmartLock(CJLock* lock, bool lockNow) : lock_(lock)
{
    if (lockNow && lock_ != nullptr && !Lock(kNoTimeLimit))
        throw jstd::Error("cannot lock", 0);
}

CJSmartLock::~CJSmartLock()
{
    Unlock();
}

bool CJSmartLock::Lock(std::uint32_t timeout)
{
    if (lock_ == nullptr)
        return false;
    if (!held_)
        held_ = lock_->Lock(timeout);
    return held_;
}

void CJSmartLock::Unlock()
{
    if (held_) {
        lock_->Unlock();
        held_ = false;
    }
}

bool CJSmartLock::IsValid() const
{
    return lock_ != nullptr && lock_->IsValid();
}

} // namespace jwin
