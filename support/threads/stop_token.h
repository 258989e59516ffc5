#pragma once

#include <atomic>

namespace jwin {

// A read-only view of a thread's stop flag, handed to code that runs on that thread but must
// not know the thread object (the probes). A default token never reports a stop.
class StopToken final
{
public:
    StopToken() = default;
    explicit StopToken(const std::atomic<bool>* flag) : flag_(flag) {}

    [[nodiscard]] bool StopRequested() const { return flag_ != nullptr && flag_->load(std::memory_order_acquire); }

private:
    const std::atomic<bool>* flag_ = nullptr;
};

} // namespace jwin
