#include "update/transfer/rate_limit.h"

namespace Network {

namespace {

constexpr std::int64_t kMilli = 1000;
// The smallest read a low limit still takes at once, so a read is never a few bytes.
constexpr std::size_t kLeastRead = 512;

} // namespace

void RateLimit::Reset(std::uint32_t kibs, std::uint64_t nowMs) {
    kibs_ = kibs;
    // Half a second's worth, or one read at the least, else a read could never be paid for.
    const std::int64_t halfSecond = static_cast<std::int64_t>(kibs) * 1024 * kMilli / 2;
    const std::int64_t oneRead = static_cast<std::int64_t>(ReadSize(64 * 1024)) * kMilli;
    capacity_ = halfSecond > oneRead ? halfSecond : oneRead;
    tokens_ = capacity_;
    lastMs_ = nowMs;
}

std::size_t RateLimit::ReadSize(std::size_t buffer) const {
    if (kibs_ == 0)
        return buffer;
    std::size_t size = static_cast<std::size_t>(kibs_) * 1024 / 10;
    if (size < kLeastRead)
        size = kLeastRead;
    return size < buffer ? size : buffer;
}

std::uint32_t RateLimit::Take(std::uint64_t bytes, std::uint64_t nowMs) {
    if (kibs_ == 0)
        return 0;
    // A byte per millisecond at 1 KiB/s is 1.024: in thousandths, kibs * 1024 a millisecond.
    const std::int64_t perMs = static_cast<std::int64_t>(kibs_) * 1024;
    // A clock that went back adds nothing; a long idle stretch only fills the bucket.
    std::uint64_t elapsed = nowMs > lastMs_ ? nowMs - lastMs_ : 0;
    const std::uint64_t fill = static_cast<std::uint64_t>(capacity_ / perMs) + 1;
    if (elapsed > fill)
        elapsed = fill;
    lastMs_ = nowMs > lastMs_ ? nowMs : lastMs_;
    tokens_ += static_cast<std::int64_t>(elapsed) * perMs;
    if (tokens_ > capacity_)
        tokens_ = capacity_;
    // Far beyond any read, so that the debt stays within 64 bits whatever a caller reports.
    const std::uint64_t most = 1ull << 40;
    tokens_ -= static_cast<std::int64_t>(bytes < most ? bytes : most) * kMilli;
    if (tokens_ >= 0)
        return 0;
    // Rounded up, so that after the hold the bucket is out of debt.
    const std::int64_t wait = (-tokens_ + perMs - 1) / perMs;
    return wait > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(wait);
}

} // namespace Network
