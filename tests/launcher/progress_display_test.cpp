#include <gtest/gtest.h>

#include "launcher/progress_display.h"
#include "launcher/setup.h"

namespace {

using namespace Application;

TEST(ProgressBarLayout, FrameAndFillFollowTheClientSize) {
    const ProgressBarLayout bar = LayOutProgressBar(1360, 800, 100);
    EXPECT_EQ(bar.length, 680);
    EXPECT_TRUE(bar.frameShown);
    EXPECT_TRUE(bar.fillShown);
    const RECT frame = {340, 720, 680 + 3 + 340, 731};
    const RECT fill = {342, 723, 440, 728};
    EXPECT_TRUE(EqualRect(&bar.frame, &frame));
    EXPECT_TRUE(EqualRect(&bar.fill, &fill));
}

TEST(ProgressBarLayout, FullBarHasNoFillAndAnOverfullBarNoFrame) {
    EXPECT_TRUE(LayOutProgressBar(1360, 800, 679).fillShown);
    const ProgressBarLayout full = LayOutProgressBar(1360, 800, 680);
    EXPECT_TRUE(full.frameShown);
    EXPECT_FALSE(full.fillShown);
    const ProgressBarLayout over = LayOutProgressBar(1360, 800, 681);
    EXPECT_FALSE(over.frameShown);
    EXPECT_FALSE(over.fillShown);
    // Odd sizes truncate: a quarter of 1363 is 340, half is 681.
    const ProgressBarLayout odd = LayOutProgressBar(1363, 831, 0);
    EXPECT_EQ(odd.length, 681);
    EXPECT_EQ(odd.frame.left, 340);
    EXPECT_EQ(odd.frame.top, 751);
    EXPECT_FALSE(odd.fillShown) << "progress 0 fills nothing";
    EXPECT_FALSE(LayOutProgressBar(1363, 831, 2).fillShown);
    EXPECT_TRUE(LayOutProgressBar(1363, 831, 3).fillShown);
}

TEST(ProgressStep, FullLengthSharedAmongTheCountedEntriesLessOne) {
    EXPECT_EQ(ProgressStep(680, 5), 170);
    EXPECT_EQ(ProgressStep(680, 2), 680);
    EXPECT_EQ(ProgressStep(680, 682), 0) << "more entries than pixels: the bar stands still";
    EXPECT_EQ(ProgressStep(680, 1), 0);
    EXPECT_EQ(ProgressStep(680, 0), 0);
    EXPECT_EQ(ProgressStep(681, 1ull << 40), 0);
}

TEST(ProgressReport, OnlyAFileNameWithAFullStopMovesTheBar) {
    EXPECT_TRUE(ReportAdvancesBar(L"C:\\cache\\data.pak"));
    EXPECT_TRUE(ReportAdvancesBar(L"C:\\cache\\.x"));
    EXPECT_TRUE(ReportAdvancesBar(L"\\a."));
    EXPECT_FALSE(ReportAdvancesBar(L"C:\\cache\\a[0]")) << "cache names carry no extension";
    EXPECT_FALSE(ReportAdvancesBar(L"C:\\cache\\.")) << "one character is too short";
    EXPECT_FALSE(ReportAdvancesBar(L"https://host/AppGameUpload/data.pak"))
        << "no backslash: the name part is empty";
    EXPECT_FALSE(ReportAdvancesBar(L"C:\\my.folder\\file"));
    EXPECT_FALSE(ReportAdvancesBar(nullptr));
}

TEST(ProgressReport, StatusLineNamesTheNumbersAndTheFile) {
    EXPECT_EQ(ComposeProgressStatus(1024, 4096, L"C:\\cache\\data.pak"),
              L"1024 of 4096 download : data.pak\n");
    EXPECT_EQ(ComposeProgressStatus(4294967295u, 0, L"x\\"), L"4294967295 of 0 download : \n");
    EXPECT_EQ(ComposeProgressStatus(5, 6, L"https://host/a.pak"), L"5 of 6 download : \n");
    EXPECT_EQ(ComposeProgressStatus(5, 6, nullptr), L"\n");
}

TEST(CenterWindow, CentresBelowTheMiddleByTwoCaptions) {
    const POINT corner = CenteredPosition(1920, 1017, 23, 1366, 854);
    EXPECT_EQ(corner.x, 277);
    EXPECT_EQ(corner.y, 131);
    // Halves are truncated toward zero, also below zero.
    const POINT small = CenteredPosition(1000, 700, 20, 1366, 854);
    EXPECT_EQ(small.x, -183);
    EXPECT_EQ(small.y, -77 + 44);
}

} // namespace
