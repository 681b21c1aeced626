#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "launcher/game_window.h"
#include "launcher/handlers.h"
#include "launcher/launcher_state.h"
#include "launcher/progress_display.h"
#include "launcher/setup.h"
#include "test_pictures.h"
#include "update/update_pass.h"
#include "utility/environment.h"

using namespace testing_support;

namespace {

constexpr COLORREF kBackground = RGB(30, 60, 90), kFill = 0x00C84664;
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

// The launcher window as SetupApplication makes it, from one-colour pictures in Images\ beside
// the test program. One per process: the window class registers once.
Application::GameWindow& Launcher() {
    static Application::GameWindow* window = [] {
        const std::wstring images = Environment::GetSetupExe() + L"Images\\";
        CreateDirectoryW(images.c_str(), nullptr);
        const auto background = [](int, int) { return kBackground; };
        WriteBitmap(images + L"back_1366x854.bmp", 1366, 854, background);
        WriteBitmap(images + L"TolvaneCAD_455.bmp", 4, 4, background);
        WriteBitmap(images + L"TolvaneGame_455.bmp", 4, 4, background);
        SystemWindow::InstanceHandle = GetModuleHandleW(nullptr);
        Application::SetupApplication();
        Application::Repaint(); // the bar's length comes from the latest paint
        return Application::TheGameWindow;
    }();
    return *window;
}

void SetDisplay(int progress, const std::wstring& status) {
    const auto lock = Application::LockDisplay();
    Launcher().progress = progress;
    Application::StatusText = status;
}

// The background and a status line as the launcher should show it: white at (40, 140) over its
// black shadow at (41, 140).
void DrawStatus(Canvas& canvas, const std::wstring& status) {
    // The background's bitmap can be in one context at a time, and a worker may be painting.
    const auto lock = Application::LockDisplay();
    Launcher().background->Draw(canvas.dc());
    SetBkMode(canvas.dc(), TRANSPARENT);
    for (int shadow : {1, 0}) {
        SetTextColor(canvas.dc(), shadow ? kBlack : kWhite);
        TextOutW(canvas.dc(), 40 + shadow, 140, status.c_str(), static_cast<int>(status.size()));
    }
}

bool SameStatusArea(const Canvas& painted, const Canvas& expected) {
    for (int y = 136; y < 172; ++y)
        for (int x = 30; x < 600; ++x)
            if (painted.At(x, y) != expected.At(x, y))
                return false;
    return true;
}

// Paints the launcher into a memory context of its client area's size.
class LauncherPaint : public ::testing::Test {
  protected:
    Application::GameWindow& window = Launcher();
    const int w = window.clientRect.right, h = window.clientRect.bottom;
    const int q = w / 4, top = h - 80, length = w / 2;
    Canvas canvas{w, h};

    void Paint(int progress, const std::wstring& status = L"") {
        SetDisplay(progress, status);
        canvas.Fill(kUnpainted);
        window.OnPaint(canvas.dc());
    }
    int Count(COLORREF colour, int fromRow, int toRow) const {
        int count = 0;
        for (int y = fromRow; y <= toRow; ++y)
            for (int x = 0; x < w; ++x)
                count += canvas.At(x, y) == colour;
        return count;
    }
};

TEST_F(LauncherPaint, BarFrameAtAQuarterAndFillUpToProgressPlusAQuarter) {
    Paint(100);
    EXPECT_EQ(Application::ProgressBarLength, length);
    ExpectPixels(canvas, {{0, 0, kBackground},
                          {w - 1, h - 1, kBackground},
                          // the black frame's corners, the background around it
                          {q, top, kBlack},
                          {q + length + 2, top + 10, kBlack},
                          {q - 1, top, kBackground},
                          {q, top - 1, kBackground},
                          {q + length + 3, top + 5, kBackground},
                          {q, top + 11, kBackground},
                          // white inside the frame, the fill two pixels in
                          {q + 1, top + 1, kWhite},
                          {q + 2, top + 2, kWhite},
                          {q + 2, top + 8, kWhite},
                          {q + 100, top + 5, kWhite},
                          {q + 2, top + 3, kFill},
                          {q + 99, top + 7, kFill}});
    EXPECT_EQ(Count(kFill, 0, h - 1), 98 * 5);

    Paint(length - 1);
    EXPECT_EQ(canvas.At(q + length - 2, top + 5), kFill);
    Paint(length);
    EXPECT_EQ(Count(kFill, 0, h - 1), 0) << "a full bar has no fill";
    EXPECT_EQ(canvas.At(q, top), kBlack);
    Paint(length + 1);
    EXPECT_EQ(Count(kBackground, top - 2, top + 12), w * 15) << "no bar past the full length";
}

TEST_F(LauncherPaint, StatusLineIsWhiteWithABlackShadowOnePixelToTheRight) {
    Paint(0, L"Status 42");
    Canvas expected(w, h);
    DrawStatus(expected, L"Status 42");
    EXPECT_TRUE(SameStatusArea(canvas, expected));
    EXPECT_GT(Count(kBlack, 140, 170), 5) << "the shadow shows";
}

TEST(LauncherReports, StatusLineAndBarStepFollowEachReport) {
    Application::GameWindow& window = Launcher();
    const int length = Application::ProgressBarLength;
    struct Case {
        std::uint64_t entries;
        const wchar_t* text;
        std::wstring status;
        int progress;
    };
    const std::wstring numbers = L"1024 of 4096 download : ";
    const Case cases[] = {
        {5, L"C:\\cache\\data.pak", numbers + L"data.pak\n", length / 4},
        {3, L"C:\\x\\y.z", numbers + L"y.z\n", length / 2},
        {2, L"C:\\x\\y.z", numbers + L"y.z\n", length},
        {5, L"C:\\cache\\a[0]", numbers + L"a[0]\n", 0}, // no full stop
        {5, L"C:\\cache\\.", numbers + L".\n", 0},       // too short
        {5, L"https://host/AppGameUpload/a.pak", numbers + L"\n", 0},
        {5, nullptr, L"\n", 0},
        {1, L"C:\\cache\\data.pak", numbers + L"data.pak\n", 0},
        {0, L"C:\\cache\\data.pak", numbers + L"data.pak\n", 0},
    };
    for (const Case& c : cases) {
        SetDisplay(0, L"");
        UpdateEntryCount = c.entries;
        Application::OnDownloadProgress(1024, 4096, 0, c.text);
        const auto lock = Application::LockDisplay();
        EXPECT_EQ(Application::StatusText, c.status) << c.entries << " " << c.text;
        EXPECT_EQ(window.progress, c.progress) << c.entries << " " << c.text;
    }
}

// A worker reports thousands of downloads, each repainting the window, while the main thread
// paints too: through WM_PAINT and into a canvas. Every canvas shows one moment: the bar's fill
// belongs to the report the status line names.
TEST(LauncherReports, WorkerReportsWhileTheMainThreadPaintsNeverTear) {
    Application::GameWindow& window = Launcher();
    const int w = window.clientRect.right, h = window.clientRect.bottom, q = w / 4, top = h - 80;
    const wchar_t* const file = L"C:\\cache\\f.pak";
    constexpr int kReports = 500;
    UpdateEntryCount = kReports + 1; // one pixel of bar per report
    window.SetVisible(true);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int round = 0; round < 4; ++round) {
            SetDisplay(0, L"");
            for (int k = 1; k <= kReports; ++k)
                Application::OnDownloadProgress(k, kReports, 0, file);
        }
        done = true;
    });
    Canvas painted(w, h), expected(w, h);
    int checked = 0, torn = 0;
    while (!done) {
        InvalidateRect(window.hwnd, nullptr, FALSE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        window.OnPaint(painted.dc());
        int filled = 0;
        while (painted.At(q + 2 + filled, top + 5) == kFill)
            ++filled;
        if (filled == 0)
            continue; // progress 0 to 2 shows no fill to read it by
        DrawStatus(expected, Application::ComposeProgressStatus(filled + 2, kReports, file));
        torn += !SameStatusArea(painted, expected);
        ++checked;
    }
    worker.join();
    window.SetVisible(false);
    EXPECT_EQ(torn, 0) << "of " << checked << " paints";
    EXPECT_GT(checked, 10) << "too few paints overlapped the reports to show anything";
    EXPECT_EQ(window.progress, kReports);
}

} // namespace
