#include "update/transfer/rate_limit.h"

std::uint32_t PaceWaitMs(std::uint64_t bytes, std::uint64_t elapsedMs, std::uint32_t limitKiBs) {
    if (limitKiBs == 0)
        return 0;
    const std::uint64_t dueMs = bytes * 1000 / (static_cast<std::uint64_t>(limitKiBs) * 1024);
    if (dueMs <= elapsedMs)
        return 0;
    const std::uint64_t wait = dueMs - elapsedMs;
    return wait > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(wait);
}
