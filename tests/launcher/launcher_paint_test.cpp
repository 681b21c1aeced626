#include <gtest/gtest.h>

#include "canvas.h"
#include "launcher/launcher_state.h"
#include "launcher_window.h"

using namespace testing_support;

namespace {

struct Bar {
    int q, top, length;
};

// Paints the launcher into a canvas of its client size.
class LauncherPaint : public ::testing::Test {
  protected:
    Application::GameWindow& window = LauncherWindow();
    const int width = window.clientRect.right;
    const int height = window.clientRect.bottom;
    Canvas canvas{width, height};
    const Bar bar{width / 4, height - 80, width / 2};

    void Paint(int progress, const std::wstring& status = L"") {
        SetDisplay(progress, status);
        canvas.Fill(RGB(1, 2, 3));
        window.OnPaint(canvas.dc());
    }

    int CountInRows(COLORREF colour, int fromRow, int toRow) const {
        int count = 0;
        for (int y = fromRow; y <= toRow; ++y)
            for (int x = 0; x < width; ++x)
                count += canvas.At(x, y) == colour;
        return count;
    }
};

TEST_F(LauncherPaint, BackgroundAtTheCornerInItsOwnSize) {
    Paint(0);
    EXPECT_EQ(canvas.At(0, 0), kBackgroundColour);
    EXPECT_EQ(canvas.At(width - 1, height - 1), kBackgroundColour);
    EXPECT_EQ(Application::ProgressBarLength, width / 2);
}

TEST_F(LauncherPaint, FrameAtAQuarterOfTheWidthEightyPixelsAboveTheBottom) {
    Paint(100);
    const int right = bar.q + bar.length + 2; // the frame's last column
    for (POINT corner : {POINT{bar.q, bar.top}, POINT{right, bar.top}, POINT{bar.q, bar.top + 10},
                         POINT{right, bar.top + 10}})
        EXPECT_EQ(canvas.At(corner.x, corner.y), kBlack) << corner.x << "," << corner.y;
    EXPECT_EQ(canvas.At(bar.q - 1, bar.top), kBackgroundColour);
    EXPECT_EQ(canvas.At(right + 1, bar.top + 5), kBackgroundColour);
    EXPECT_EQ(canvas.At(bar.q, bar.top - 1), kBackgroundColour);
    EXPECT_EQ(canvas.At(bar.q, bar.top + 11), kBackgroundColour);
    // White inside the frame wherever the fill is not.
    EXPECT_EQ(canvas.At(bar.q + 1, bar.top + 1), kWhite);
    EXPECT_EQ(canvas.At(right - 1, bar.top + 9), kWhite);
    EXPECT_EQ(canvas.At(bar.q + 2, bar.top + 2), kWhite);
    EXPECT_EQ(canvas.At(bar.q + 2, bar.top + 8), kWhite);
    EXPECT_EQ(canvas.At(bar.q + 1, bar.top + 5), kWhite);
}

TEST_F(LauncherPaint, FillRunsFromTwoInsideTheFrameUpToProgressPlusAQuarter) {
    Paint(100);
    EXPECT_EQ(canvas.At(bar.q + 2, bar.top + 3), kBarFill);
    EXPECT_EQ(canvas.At(bar.q + 99, bar.top + 7), kBarFill);
    EXPECT_EQ(canvas.At(bar.q + 100, bar.top + 5), kWhite) << "the fill ends before progress + W/4";
    EXPECT_EQ(CountInRows(kBarFill, bar.top + 5, bar.top + 5), 98);
    EXPECT_EQ(CountInRows(kBarFill, 0, height - 1), 98 * 5);

    Paint(bar.length - 1);
    EXPECT_EQ(canvas.At(bar.q + bar.length - 2, bar.top + 5), kBarFill);

    // Up to 2 the fill is empty: the frame is white inside.
    for (int progress : {0, 1, 2}) {
        Paint(progress);
        EXPECT_EQ(CountInRows(kBarFill, 0, height - 1), 0) << progress;
    }
    Paint(3);
    EXPECT_EQ(CountInRows(kBarFill, 0, height - 1), 5);
}

TEST_F(LauncherPaint, FullBarShowsTheFrameAloneAndAnOverfullBarNothing) {
    Paint(bar.length);
    EXPECT_EQ(canvas.At(bar.q, bar.top), kBlack);
    EXPECT_EQ(canvas.At(bar.q + 10, bar.top + 5), kWhite);
    EXPECT_EQ(CountInRows(kBarFill, 0, height - 1), 0);

    Paint(bar.length + 1);
    EXPECT_EQ(CountInRows(kBlack, bar.top - 2, bar.top + 12), 0);
    EXPECT_EQ(CountInRows(kWhite, bar.top - 2, bar.top + 12), 0);
    EXPECT_EQ(CountInRows(kBackgroundColour, bar.top - 2, bar.top + 12), width * 15);
}

TEST_F(LauncherPaint, StatusLineIsWhiteWithABlackShadowOnePixelToTheRight) {
    const std::wstring status = L"Status 42\n";
    Paint(0, status);
    Canvas expected(width, height);
    DrawStatusLine(expected, status);
    EXPECT_TRUE(SameStatusLine(canvas, expected));
    for (const POINT& wrong : {POINT{0, 1}, POINT{-1, 0}, POINT{2, 0}}) {
        DrawStatusLine(expected, status, &wrong);
        EXPECT_FALSE(SameStatusLine(canvas, expected)) << wrong.x << "," << wrong.y;
    }
    DrawStatusLine(expected, status, nullptr);
    EXPECT_FALSE(SameStatusLine(canvas, expected)) << "the shadow is there";
    EXPECT_GT(CountInRows(kWhite, 140, 170), 20);
    EXPECT_GT(CountInRows(kBlack, 140, 170), 5);
    EXPECT_EQ(CountInRows(kWhite, 0, 139), 0) << "the status line starts at y 140";

    Paint(0, L"");
    EXPECT_EQ(CountInRows(kWhite, 135, 170), 0) << "an empty status line shows nothing";
}

TEST_F(LauncherPaint, ContactLinesInTheirColourAtOneHundredAndOneHundredTwenty) {
    Paint(0);
    EXPECT_GT(CountInRows(kContactColour, 100, 118), 20);
    EXPECT_GT(CountInRows(kContactColour, 120, 138), 20);
    EXPECT_EQ(CountInRows(kContactColour, 0, 99), 0);
    for (int x = 0; x < 40; ++x)
        for (int y = 100; y < 140; ++y)
            ASSERT_NE(canvas.At(x, y), kContactColour) << "the lines start at x 40";
}

TEST_F(LauncherPaint, NothingWithoutABackground) {
    SystemWindow::Image* background = window.background;
    window.background = nullptr;
    Paint(100, L"Start");
    window.background = background;
    EXPECT_EQ(CountInRows(RGB(1, 2, 3), 0, height - 1), width * height);
}

} // namespace
