#include <gtest/gtest.h>

#include "update/trust/stat_cache.h"

namespace {

const std::string A(64, 'a'), B(64, 'b');

TEST(StatCache, OnlyWellFormedLinesCountAndAHashHoldsForItsSizeAndTimeOnly) {
    // A damaged or foreign file costs a re-hash, never a wrong hash.
    StatCache cache = StatCache::Parse("tolvane-stat-cache 1\n" + A + " 3 7 data\\a b.txt\n" + B +
                                       " 5 9 keep.bin\n" + "garbage\n" + A.substr(1) +
                                       " 3 7 short.bin\n" + A + " -3 7 sign.bin\n" + A +
                                       " 3 99999999999999999999 huge.bin\n" + A + " 3 7 \n");
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.Lookup("data\\a b.txt", 3, 7), A);
    EXPECT_EQ(cache.Lookup("data\\a b.txt", 3, 8), "") << "written since";
    EXPECT_EQ(cache.Lookup("data\\a b.txt", 4, 7), "") << "grown since";
    EXPECT_EQ(cache.Lookup("short.bin", 3, 7), "");
    EXPECT_EQ(StatCache::Parse(A + " 3 7 a\n").size(), 0u) << "no header, no entries";

    // Only what the pass looked at or put survives a whole pass.
    cache.Put("new.bin", {1, 2, B});
    cache.KeepOnlyUsed();
    EXPECT_EQ(cache.Text(),
              "tolvane-stat-cache 1\n" + A + " 3 7 data\\a b.txt\n" + B + " 1 2 new.bin\n");
    EXPECT_EQ(StatCache::Parse(cache.Text()).Text(), cache.Text());
}

} // namespace
