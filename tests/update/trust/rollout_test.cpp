#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "support/table_file.h"
#include "update/trust/rollout.h"
#include "update/trust/sha256.h"

namespace {

// The shared table of ids, salts and percentages: each id at the largest percentage that leaves
// it out and the smallest that takes it in.
TEST(Rollout, TheLauncherJudgesTheSharedRolloutTableAsItSays) {
    const auto rows = testing_support::ReadTable(TOLVANE_ROLLOUT_TABLE);
    EXPECT_GT(rows.size(), 20u) << TOLVANE_ROLLOUT_TABLE;
    for (const std::vector<std::string>& row : rows) {
        ASSERT_EQ(row.size(), 4u) << row.at(0);
        EXPECT_EQ(InRollout(row[0], row[1], static_cast<unsigned>(std::stoul(row[2]))) ? "in"
                                                                                       : "out",
                  row[3])
            << row[0] << " " << row[1] << " " << row[2];
    }
}

// 10,000 installs against rollouts of 0, 10, 50 and 100 %: the share taken lies within 4.5
// standard deviations of the binomial's mean, an install's answer holds for the release and
// only grows with the percentage, and a new salt lets another set of installs go first.
TEST(Rollout, SharesFollowThePercentageAndEachSaltPicksOthersFirst) {
    constexpr int kInstalls = 10000;
    std::mt19937_64 random(29);
    std::vector<std::string> ids;
    for (int i = 0; i < kInstalls; ++i) {
        std::string bytes(16, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        ids.push_back(LowerHex(bytes));
        ASSERT_TRUE(IsInstallId(ids.back()));
    }
    const std::string salt = "0123456789abcdef0123456789abcdef",
                      other = "fedcba9876543210fedcba9876543210";
    std::set<int> first, firstOther;
    for (unsigned percent : {0u, 10u, 50u, 100u}) {
        int taken = 0;
        for (int i = 0; i < kInstalls; ++i) {
            const bool in = InRollout(ids[i], salt, percent);
            taken += in;
            EXPECT_EQ(InRollout(ids[i], salt, percent), in) << ids[i];
            if (in && percent < 100) {
                EXPECT_TRUE(InRollout(ids[i], salt, percent + 1)) << "widening lets out " << i;
            }
            if (percent == 10 && in)
                first.insert(i);
            if (percent == 10 && InRollout(ids[i], other, percent))
                firstOther.insert(i);
        }
        const double p = percent / 100.0, sigma = std::sqrt(kInstalls * p * (1 - p));
        EXPECT_LE(std::abs(taken - kInstalls * p), 4.5 * sigma) << percent << " %: " << taken;
    }
    // Under another salt, the first tenth meets the first tenth of the first salt about as often
    // as chance would have it: near a tenth of them, far from all.
    int both = 0;
    for (int i : firstOther)
        both += first.count(i) > 0;
    const double share = static_cast<double>(firstOther.size()) / kInstalls,
                 mean = first.size() * share, sigma = std::sqrt(first.size() * share * (1 - share));
    EXPECT_LE(std::abs(both - mean), 4.5 * sigma) << both << " of " << first.size();
}

// Who takes a list's release: everyone without a release line and every folder with no
// installed release; an installed folder as its id says, and not at all without a good id.
TEST(Rollout, AFolderWithoutAReleaseOrAListWithoutARolloutTakesItAtOnce) {
    const std::string in = "4a44dc15364204a80fe80e9039455cc1", // 6 % under the salt
        out = "6b86b273ff34fce19d6b804eff5a3f57";              // 54 %
    const ReleaseLine ten{10, "0123456789abcdef0123456789abcdef"},
        none{0, "0123456789abcdef0123456789abcdef"};
    // The release line, the id, whether a release is installed, and whether it is taken.
    const std::tuple<std::optional<ReleaseLine>, std::string, bool, bool> cases[] = {
        {std::nullopt, out, true, true}, {std::nullopt, "", true, true},
        {ten, in, true, true},           {ten, out, true, false},
        {ten, out, false, true},         {none, in, true, false},
        {none, out, false, true},        {ten, "", true, false},
        {ten, "", false, true},          {ten, in.substr(1) + "G", true, false},
    };
    for (const auto& [release, id, installed, taken] : cases)
        EXPECT_EQ(TakesRelease(release, id, installed), taken) << id << " " << installed;
    EXPECT_EQ(OutsideRolloutTrace(10),
              "the release is being rolled out to 10 % of players and "
              "this install is not in it yet; the installed release stays");
}

TEST(Rollout, ReleaseLinesAreReadStrictly) {
    const std::string salt = "salt=0123456789abcdef0123456789abcdef";
    // The fields after "'tolvane-release", and the percentage read ("" for a refused line).
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {" rollout=10 " + salt, "10"}, {" " + salt + " rollout=0", "0"}, {" rollout=100 " + salt, "100"},
        {" rollout=101 " + salt, ""}, {" rollout=050 " + salt, ""}, {" rollout=00 " + salt, ""},
        {" rollout=+5 " + salt, ""}, {" rollout=5.0 " + salt, ""}, {" rollout= " + salt, ""},
        {" rollout=10 " + salt.substr(0, salt.size() - 1), ""}, // a short salt
        {" rollout=10 " + salt + "0", ""}, {" rollout=10 salt=0123456789ABCDEF0123456789abcdef", ""},
        {" rollout=10", ""}, {" " + salt, ""}, {"", ""}, // a missing field
        {" rollout=10 " + salt + " note=x", ""}, {" rollout=10 rollout=10 " + salt, ""},
        {" rollout=10 " + salt + " " + salt, ""}, {" rollout=10  " + salt, ""},
        {" rollout=10 " + salt + " ", ""}, {"s rollout=10 " + salt, ""}, {" Rollout=10 " + salt, ""},
    };
    // clang-format on
    for (const auto& [fields, expected] : cases) {
        ReleaseLine read;
        const std::string text = "'tolvane-release" + fields;
        EXPECT_EQ(ParseReleaseLine(text, read) ? std::to_string(read.percent) : "", expected)
            << text;
    }
}

} // namespace
