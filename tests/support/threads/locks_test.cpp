#include "support/threads/error.h"
#include "support/threads/locks.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using jwin::CJCritSect;
using jwin::CJSmartLock;

// Whether another thread can take the lock right now.
bool FreeForOthers(CJCritSect& lock)
{
    bool got = false;
    std::thread other([&] {
        got = lock.Lock(0);
        if (got)
            lock.Unlock();
    });
    other.join();
    return got;
}

TEST(CJCritSect, IsRecursiveForItsOwnerAndExcludesOthers)
{
    CJCritSect lock;
    EXPECT_TRUE(lock.IsValid());
    ASSERT_TRUE(lock.Lock());
    ASSERT_TRUE(lock.Lock(0));
    EXPECT_FALSE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_FALSE(FreeForOthers(lock));
    lock.Unlock();
    EXPECT_TRUE(FreeForOthers(lock));
}

TEST(CJSmartLock, LockNowHoldsUntilDestroyed)
{
    CJCritSect lock;
    {
        CJSmartLock guard(&lock);
        EXPECT_TRUE(guard.IsHeld());
        EXPECT_FALSE(FreeForOthers(lock));
    }
    EXPECT_TRUE(FreeForOthers(lock));
}

TEST(CJSmartLock, WithoutLockNowHoldsNothingAndLocksOnlyOnce)
{
    CJCritSect lock;
    {
        CJSmartLock guard(&lock, false);
        EXPECT_FALSE(guard.IsHeld());
        EXPECT_TRUE(FreeForOthers(lock));
        EXPECT_TRUE(guard.Lock());
        EXPECT_TRUE(guard.Lock()); // second call does not take the lock again
        guard.Unlock();            // so one unlock frees it
        EXPECT_TRUE(FreeForOthers(lock));
        EXPECT_TRUE(guard.Lock());
    }
    EXPECT_TRUE(FreeForOthers(lock));
}

TEST(CJSmartLock, WithoutGuardedLockFailsQuietly)
{
    CJSmartLock guard(nullptr);
    EXPECT_FALSE(guard.IsValid());
    EXPECT_FALSE(guard.Lock());
    guard.Unlock();
}

// A lock that always refuses, to reach the smart lock's failure path.
class RefusingLock : public jwin::CJLock
{
public:
    bool Lock(std::uint32_t) override { return false; }
    void Unlock() override { ADD_FAILURE() << "unlocked a lock that was never taken"; }
    [[nodiscard]] bool IsValid() const override { return true; }
};

TEST(CJSmartLock, ThrowsWhenItCannotLock)
{
    RefusingLock refusing;
    try {
        CJSmartLock guard(&refusing);
        FAIL() << "no exception";
    } catch (const jstd::Error& e) {
        EXPECT_STREQ(e.what(), "cannot lock");
        EXPECT_EQ(e.Code(), 0);
    }
}

} // namespace
