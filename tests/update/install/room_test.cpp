#include <gtest/gtest.h>
#include <tuple>

#include "update/install/room.h"

namespace {

TEST(Room, AReleaseNeedsItsBytesAndAMarginAndIsRefusedSayingBoth) {
    constexpr std::uint64_t MiB = 1ull << 20, most = ~0ull;
    // Bytes to fetch, free bytes, and the refusal ("" when it fits).
    const std::tuple<std::uint64_t, std::uint64_t, std::wstring> cases[] = {
        {1, 16 * MiB + 1, L""},
        {1, 16 * MiB,
         L"error : Not enough room for the update: 16777217 bytes needed, "
         L"16777216 free"},
        {4000 * MiB, 4040 * MiB, L""}, // 1% above 1600 MiB
        {4000 * MiB, 4040 * MiB - 1,
         L"error : Not enough room for the update: 4236247040 bytes needed, 4236247039 free"},
        {most - 5, most, L""}, // the margin never wraps past the largest count
    };
    for (const auto& [bytes, free, refusal] : cases)
        EXPECT_EQ(RoomRefusal(RoomNeeded(bytes), free), refusal) << bytes << " in " << free;
}

} // namespace
