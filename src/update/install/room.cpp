#include "update/install/room.h"

#include <windows.h>

#include <algorithm>
#include <limits>

std::atomic<std::uint64_t> VolumeFreeBytesOverride{0};

std::uint64_t RoomNeeded(std::uint64_t bytesToFetch) {
    constexpr std::uint64_t kLeast = 16ull << 20;
    const std::uint64_t margin = std::max(bytesToFetch / 100, kLeast);
    const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
    return bytesToFetch > most - margin ? most : bytesToFetch + margin;
}

std::wstring RoomRefusal(std::uint64_t needed, std::uint64_t free) {
    if (needed <= free)
        return std::wstring();
    return L"error : Not enough room for the update: " + std::to_wstring(needed) +
           L" bytes needed, " + std::to_wstring(free) + L" free";
}

std::optional<std::uint64_t> FreeBytes(const std::wstring& folder) {
    if (const std::uint64_t given = VolumeFreeBytesOverride.load())
        return given;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}
