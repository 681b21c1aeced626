#pragma once
// Whether a release fits on the folder's volume, asked before anything is fetched, so that a
// release too large for the disk is not fetched until the disk is full.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// The room a release needs: the bytes staging still writes (BytesToStage: the stage copies
// still to build, less the stage work an earlier pass left, and the chunk work beside them:
// chunks kept for later files, one chunk on its way, indexes still to fetch), plus a margin of
// 1% and at least 16 MiB for the platform's own copies and the folder's records.
std::uint64_t RoomNeeded(std::uint64_t bytesToFetch);

// The error-log line when needed bytes exceed the free ones, saying both; empty when they fit.
std::wstring RoomRefusal(std::uint64_t needed, std::uint64_t free);

// The bytes the current user may still write on the folder's volume; none when the platform
// cannot tell. VolumeFreeBytesOverride, when not 0, is given instead.
std::optional<std::uint64_t> FreeBytes(const std::wstring& folder);

// Stands in for the volume's free bytes when not 0; set by tests only, never while a pass runs.
extern std::atomic<std::uint64_t> VolumeFreeBytesOverride;
