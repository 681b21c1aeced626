#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "canvas.h"
#include "bitmap_file.h"
#include "launcher/handlers.h"
#include "launcher/launcher_state.h"
#include "launcher/progress_display.h"
#include "launcher_window.h"
#include "update/update_pass.h"
#include "utility/environment.h"

using namespace testing_support;

namespace {

const wchar_t* const kFile = L"C:\\cache\\f.pak";

// Keeps a canvas beside the test program for a look after a failure.
void SaveCanvas(const Canvas& canvas, const std::wstring& name) {
    WriteBitmapFile(Environment::GetSetupExe() + name, canvas.width(), canvas.height(),
                    [&](int x, int y) { return canvas.At(x, y); });
}

// A worker reports thousands of downloads, each repainting the window, while the main thread
// paints too: through WM_PAINT and into a canvas. Every canvas shows one consistent moment:
// the bar's fill belongs to the report the status line names.
TEST(LauncherReportRace, WorkerReportsAndMainThreadPaintsNeverTear) {
    Application::GameWindow& window = LauncherWindow();
    const int width = window.clientRect.right;
    const int height = window.clientRect.bottom;
    const int q = width / 4;
    const int top = height - 80;
    constexpr int kReports = 500; // one pixel of bar per report
    constexpr int kRounds = 4;
    UpdateEntryCount = kReports + 1;
    ASSERT_EQ(Application::ProgressStep(width / 2, kReports + 1), 1);
    window.SetVisible(true);
    Application::Repaint(); // the bar's length comes from the latest paint

    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        for (int round = 0; round < kRounds && !stop; ++round) {
            SetDisplay(0, Application::ComposeProgressStatus(0, kReports, kFile));
            for (int k = 1; k <= kReports; ++k)
                Application::OnDownloadProgress(k, kReports, 0, kFile);
        }
        done = true;
    });

    Canvas painted(width, height);
    Canvas expected(width, height);
    int checked = 0;
    std::string failure;
    while (!done && failure.empty()) {
        InvalidateRect(window.hwnd, nullptr, FALSE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);

        painted.Fill(RGB(1, 2, 3));
        window.OnPaint(painted.dc());
        if (painted.At(q, top) != kBlack || painted.At(q + width / 2 + 2, top + 10) != kBlack)
            failure = "the frame is not whole";
        int filled = 0;
        while (painted.At(q + 2 + filled, top + 5) == kBarFill)
            ++filled;
        if (filled == 0)
            continue; // progress 0 to 2 shows no fill to read it by
        const int progress = filled + 2;
        DrawStatusLine(expected, Application::ComposeProgressStatus(progress, kReports, kFile));
        if (!SameStatusLine(painted, expected)) {
            failure = "the status line does not belong to the bar at " + std::to_string(progress);
            SaveCanvas(painted, L"race-painted.bmp");
            SaveCanvas(expected, L"race-expected.bmp");
        }
        ++checked;
    }
    stop = true;
    worker.join();
    window.SetVisible(false);
    ASSERT_EQ(failure, "");

    EXPECT_GT(checked, 10) << "too few paints overlapped the reports to show anything";
    const auto lock = Application::LockDisplay();
    EXPECT_EQ(window.progress, kReports);
    EXPECT_EQ(Application::StatusText,
              Application::ComposeProgressStatus(kReports, kReports, kFile));
}

} // namespace
