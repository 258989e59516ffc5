#pragma once

#include <cstdint>
#include <mutex>

namespace jwin {

inline constexpr std::uint32_t kNoTimeLimit = 0xFFFFFFFFu;

// A lock that can be held, released and asked whether it is usable.
class CJLock
{
public:
    virtual ~CJLock() = default;
    virtual bool Lock(std::uint32_t timeout) = 0;
    virtual void Unlock() = 0;
    [[nodiscard]] virtual bool IsValid() const = 0;
};

// A recursive lock. Lock(count) tries for about count milliseconds; kNoTimeLimit blocks.
class CJCritSect : public CJLock
{
public:
    bool Lock(std::uint32_t count = kNoTimeLimit) override;
    void Unlock() override;
    [[nodiscard]] bool IsValid() const override { return true; }

private:
    std::recursive_timed_mutex mutex_;
};

// Holds another lock for a scope; releases only what it took itself.
class CJSmartLock : public CJLock
{
public:
    // With lockNow, locks without time limit and throws jstd::Error("cannot lock", 0) on failure.
    explicit CJSmartLock(CJLock* lock, bool lockNow = true);
    ~CJSmartLock() override;
    CJSmartLock(const CJSmartLock&) = delete;
    CJSmartLock& operator=(const CJSmartLock&) = delete;

    bool Lock(std::uint32_t timeout = kNoTimeLimit) override;
    void Unlock() override;
    [[nodiscard]] bool IsValid() const override;
    [[nodiscard]] bool IsHeld() const { return held_; }

private:
    CJLock* lock_;
    bool held_ = false;
};

} // namespace jwin
