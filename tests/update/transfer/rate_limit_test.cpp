#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "update/transfer/rate_limit.h"

namespace {

using Network::RateLimit;

// Steps "T:B>W": B bytes read at T ms, then a hold of W ms. The bucket holds half a second's
// worth; a read is a tenth of a second's (512 bytes at the least, the buffer at the most).
TEST(RateLimit, HoldsEachReadUntilTheBucketIsOutOfDebt) {
    // clang-format off
    const std::tuple<std::uint32_t, std::size_t, const char*> cases[] = {
        {0, 65536, "0:65536>0 0:99999999>0"},                       // no limit
        {100, 10240, "0:51200>0 0:10240>100 100:10240>100 200:1024>10"},
        // A long idle stretch fills the bucket only: at most half a second's worth at once.
        {100, 10240, "0:10240>0 60000:51200>0 60000:10240>100"},
        {1, 512, "0:512>0 0:512>500 500:512>500"},                  // the least read
        {4194304, 65536, "0:65536>0 0:99999999>0"},                 // the highest limit
        // A clock that goes back adds nothing and takes nothing.
        {100, 10240, "1000:51200>0 500:10240>100 1100:0>0"},
        // More than any read is paid for whole, and the hold says so without overflowing.
        {1, 512, "0:18446744073709551615>4294967295"},
    };
    // clang-format on
    for (const auto& [kibs, readSize, steps] : cases) {
        SCOPED_TRACE(steps);
        RateLimit limit;
        limit.Reset(kibs, 0);
        EXPECT_EQ(limit.ReadSize(65536), readSize);
        std::istringstream in(steps);
        for (std::string step; in >> step;) {
            const std::uint64_t at = std::stoull(step.substr(0, step.find(':')));
            const std::uint64_t bytes = std::stoull(step.substr(step.find(':') + 1));
            EXPECT_EQ(std::to_string(limit.Take(bytes, at)), step.substr(step.find('>') + 1))
                << step;
        }
    }
}

// A reader as fast as can be, with slow stretches, against a clock that the holds move: over the
// whole and over every 10 s window the rate stays within 10 % of the limit, whatever the stretch.
TEST(RateLimit, NoTenSecondWindowRunsAheadAfterASlowStretch) {
    // The limit in KiB/s, and a stretch of S ms without reads after every Nth read.
    for (const auto& [kibs, every, stretch] : {std::tuple{512u, 0, 0},
                                               {512u, 7, 900},
                                               {8192u, 200, 3000},
                                               {3u, 3, 20000},
                                               {100u, 1, 5}}) {
        SCOPED_TRACE(testing::Message() << kibs << " KiB/s, " << stretch << " ms every " << every);
        RateLimit limit;
        limit.Reset(kibs, 0);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reads; // at, bytes
        std::uint64_t now = 0;
        for (int read = 1; now < 120000; ++read) {
            const std::uint64_t bytes = limit.ReadSize(65536);
            reads.push_back({now, bytes});
            now += limit.Take(bytes, now);
            if (every && read % every == 0)
                now += stretch;
        }
        const double perMs = kibs * 1024.0 / 1000;
        std::uint64_t total = 0, worst = 0;
        for (std::size_t from = 0; from < reads.size(); ++from) {
            std::uint64_t window = 0;
            for (std::size_t i = from;
                 i < reads.size() && reads[i].first < reads[from].first + 10000; ++i)
                window += reads[i].second;
            worst = std::max(worst, window);
            total += reads[from].second;
        }
        EXPECT_LE(worst, 1.10 * perMs * 10000);
        // Without stretches the reader is held to the limit, not below it.
        if (every == 0) {
            EXPECT_GE(total, 0.90 * perMs * now);
        }
    }
}

} // namespace
