#pragma once
// The bandwidth limit of a pass's downloads, decided without the platform: a token bucket over
// a millisecond clock the caller brings. One bucket serves every download of a pass in turn, so
// a player on a shared connection sees the limit held across files, not per file.
#include <cstddef>
#include <cstdint>

namespace Network {

class RateLimit {
  public:
    // No limit until Reset gives one.
    RateLimit() = default;
    // Starts over at kibs KiB/s (0: no limit) with a full bucket at nowMs.
    void Reset(std::uint32_t kibs, std::uint64_t nowMs);
    std::uint32_t kibs() const { return kibs_; }

    // The most bytes the next read may ask for, at most buffer: about a tenth of a second's
    // worth, so that no hold is long.
    std::size_t ReadSize(std::size_t buffer) const;
    // bytes were read at nowMs: how long to hold, in ms, before the next read. The bucket holds
    // half a second's worth, so a slow or idle stretch lets no window of 10 s run more than 5 %
    // ahead, and a read may overdraw it, paid back by the hold.
    std::uint32_t Take(std::uint64_t bytes, std::uint64_t nowMs);

  private:
    std::uint32_t kibs_ = 0;
    // In thousandths of a byte, so that a millisecond at any whole KiB/s adds a whole number.
    std::int64_t tokens_ = 0, capacity_ = 0;
    std::uint64_t lastMs_ = 0;
};

} // namespace Network
