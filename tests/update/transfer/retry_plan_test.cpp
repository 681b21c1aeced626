#include <gtest/gtest.h>

#include <sstream>

#include "update/transfer/retry_plan.h"

namespace {

// Steps "AK[ms]>M+W": the download from mirror A failed as K (T transient, R refused, W wrong
// bytes, L local; ms a Retry-After), and mirror M is asked next after W ms; ">x": given up.
TEST(RetryPlan, AnItemMovesToAFreshMirrorAtOnceAndRetriesWithAGrowingBoundedWait) {
    const RetryPolicy policy{4, 50, 1000, 2000};
    // Mirrors, steps, the mirrors banned at the end.
    // clang-format off
    const std::tuple<std::size_t, const char*, const char*> cases[] = {
        {1, "0T>0+50 0T>0+100 0T>0+200 0T>x", "0"},
        {1, "0R>x", "0"},
        {1, "0W>x", "0"}, // the last mirror is never banned: the list may be what is wrong
        {1, "0L>x", "0"},
        {2, "0T>1+0 1T>0+50 0T>1+100 1T>x", "00"},
        {2, "0R>1+0 1T>1+50 1T>1+100 1T>x", "00"}, // a 404 is not asked again
        {2, "0W>1+0 1R>x", "10"},
        {2, "0W>1+0 1W>x", "10"},
        {2, "0L>x", "00"},
        {3, "0T>1+0 1T>2+0 2T>0+50 0T>x", "000"},
        {3, "0T>1+0 1W>2+0 2T>0+50 0T>x", "010"},
        // A 503's Retry-After is waited for up to its cap, and the pass's waits are bounded.
        {1, "0T3000>0+1000", "0"},
        {1, "0T200>0+200 0T>0+100", "0"},
        {1, "0T900>0+900 0T900>0+900 0T900>x", "0"},
    };
    // clang-format on
    for (const auto& [mirrors, steps, banned] : cases) {
        SCOPED_TRACE(steps);
        MirrorState pass;
        pass.banned.assign(mirrors, false);
        ItemState item(mirrors);
        std::istringstream in(steps);
        for (std::string step; in >> step;) {
            const std::size_t at = step[0] - '0';
            const char kind = step[1];
            const std::uint32_t retryAfter = std::stoul("0" + step.substr(2, step.find('>') - 2));
            const FailureKind kinds[] = {FailureKind::Transient, FailureKind::Refused,
                                         FailureKind::WrongBytes, FailureKind::Local};
            const FailureKind failure = kinds[std::string("TRWL").find(kind)];
            NextTry next;
            const bool more = PlanNextTry(policy, pass, item, at, failure, retryAfter, next);
            const std::string wanted = step.substr(step.find('>') + 1);
            EXPECT_EQ(more ? std::to_string(next.mirror) + "+" + std::to_string(next.waitMs) : "x",
                      wanted);
        }
        std::string left;
        for (bool mirror : pass.banned)
            left += mirror ? '1' : '0';
        EXPECT_EQ(left, banned);
    }
}

TEST(RetryPlan, ItemsStartAtTheMirrorInUseAndRetryAfterIsReadInSeconds) {
    MirrorState pass{{true, false, true}, 0, 0};
    std::size_t mirror = 9;
    EXPECT_TRUE(FirstMirror(pass, mirror));
    EXPECT_EQ(mirror, 1u);
    pass.banned[1] = true;
    EXPECT_FALSE(FirstMirror(pass, mirror));
    const std::pair<const wchar_t*, std::uint32_t> headers[] = {
        {L"1", 1000},       {L"0", 0},  {L"120", 30000},
        {L"", 0},           {L"-1", 0}, {L"Wed, 21 Oct 2026 07:28:00 GMT", 0},
        {L"99999999999", 0}};
    for (const auto& [header, ms] : headers)
        EXPECT_EQ(RetryAfterMs(header, 30000), ms) << header;
}

} // namespace
