#pragma once
// The bandwidth limit of downloads (the launcher's /limit=N, in KiB/s): a download that is
// ahead of the limit is held in its data callback, so the platform reads no more from the
// connection until the average is back at the limit.
#include <cstdint>

// How long to hold a download that has taken `bytes` in `elapsedMs` so that its average rate
// is no more than limitKiBs KiB/s; 0 without a limit (limitKiBs 0) or when it is not ahead.
std::uint32_t PaceWaitMs(std::uint64_t bytes, std::uint64_t elapsedMs, std::uint32_t limitKiBs);
