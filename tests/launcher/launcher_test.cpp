#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <tuple>

#include "launcher/channel_choice.h"
#include "launcher/command_line.h"
#include "launcher/game_window.h"
#include "launcher/handlers.h"
#include "launcher/install_probe.h"
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
        const std::wstring images = Environment::ExecutableFolder() + L"Images\\";
        CreateDirectoryW(images.c_str(), nullptr);
        for (const wchar_t* name : {L"back_1366x854", L"TolvaneCAD_455", L"TolvaneGame_455"})
            WriteBitmap(images + name + L".bmp", 1366, 854, kBackground, kBackground);
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

// Where the status line is drawn, below the contact lines.
constexpr RECT kStatusArea = {30, 136, 600, 172};

// The launcher window, and a memory context of its client area's size to paint it into.
class LauncherWindow : public ::testing::Test {
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
};

// The bar: a black frame one bar length plus 3 wide and 11 high at (W/4, H-80), white inside,
// filled in 0x00C84664 from two pixels in up to progress + W/4; the frame only when the bar is
// full, nothing past full. Also nothing to fill below 3. The status line is white with a black
// shadow one pixel to the right, whatever the bar shows.
TEST_F(LauncherWindow, BarAndStatusLineFollowTheProgress) {
    for (auto [progress, frame, fill] : {std::tuple{length - 1, true, true},
                                         {length, true, false},
                                         {length + 1, false, false},
                                         {1, true, false}}) {
        Paint(progress, L"Status 42");
        Canvas expected(w, h);
        expected.Fill(kBackground);
        DrawStatus(expected, L"Status 42");
        EXPECT_EQ(canvas.Difference(expected, kStatusArea), "") << "progress " << progress;
        if (frame) {
            expected.Fill(kBlack, {q, top, q + length + 3, top + 11});
            expected.Fill(kWhite, {q + 1, top + 1, q + length + 2, top + 10});
        }
        if (fill)
            expected.Fill(kFill, {q + 2, top + 3, q + progress, top + 8});
        EXPECT_EQ(canvas.Difference(expected, {0, top - 5, w, h}), "") << "progress " << progress;
    }
    EXPECT_EQ(Application::ProgressBarLength, length);
}

TEST_F(LauncherWindow, StatusLineAndBarStepFollowEachReport) {
    const std::wstring numbers = L"1024 of 4096 download : ";
    const std::tuple<std::uint64_t, const wchar_t*, std::wstring, int> cases[] = {
        {5, L"C:\\cache\\data.pak", numbers + L"data.pak\n", length / 4},
        {2, L"C:\\x\\y.z", numbers + L"y.z\n", length},
        {5, L"C:\\cache\\a[0]", numbers + L"a[0]\n", 0},              // no full stop
        {5, L"https://host/AppGameUpload/a.pak", numbers + L"\n", 0}, // no backslash, no name
        {5, nullptr, L"\n", 0},
        {1, L"C:\\cache\\data.pak", numbers + L"data.pak\n", 0}, // fewer than two entries
    };
    for (const auto& [entries, text, status, progress] : cases) {
        SetDisplay(0, L"");
        UpdateEntryCount = entries;
        Application::OnDownloadProgress(1024, 4096, 0, text);
        const auto lock = Application::LockDisplay();
        EXPECT_EQ(Application::StatusText, status) << entries << " " << text;
        EXPECT_EQ(window.progress, progress) << entries << " " << text;
    }
}

// The engine's notes reach the status line through the callback the set-up installs; the bar
// stays, and the end of a pass is never overwritten.
TEST_F(LauncherWindow, PassNotesShowOnTheStatusLineButNeverReplaceTheEnd) {
    const std::wstring retry = L"Retrying data.pak in 2 s",
                       next = L"Trying update server 2 of 2 for data.pak";
    const std::tuple<std::wstring, const wchar_t*, std::wstring> cases[] = {
        {L"Start", retry.c_str(), retry},
        {L"1024 of 4096 download : data.pak\n", next.c_str(), next},
        {retry, next.c_str(), next},
        {Application::kPassEndStatus, retry.c_str(), Application::kPassEndStatus},
        {L"Start", nullptr, L"Start"},
    };
    ASSERT_NE(PassNoteCallback, nullptr);
    for (const auto& [before, note, after] : cases) {
        SetDisplay(7, before);
        PassNoteCallback(note);
        const auto lock = Application::LockDisplay();
        EXPECT_EQ(Application::StatusText, after) << before;
        EXPECT_EQ(window.progress, 7) << before;
    }
    SetDisplay(0, L""); // as the next test expects the window
}

// The tests' update engine asks a loopback port that nothing serves now (see CMakeLists.txt).
TEST_F(LauncherWindow, GameTileClickShowsStartAndStartsAPass) {
    ClearErrorLog();
    SendMessageW(window.gameTile->hwnd, BM_CLICK, 0, 0);
    {
        const auto lock = Application::LockDisplay();
        EXPECT_EQ(Application::StatusText, L"Start");
    }
    for (int i = 0; i < 600 && ErrorLogLines().empty(); ++i) // the pass ends before the process
        Sleep(50);
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"Not Connection server... "});
}

// Only a whole argument "/repair" in any letter case asks for a repair; the program's own name,
// a quoted part of a longer argument or an escaped quote never do. "/limit=N" gives a bandwidth
// limit when N is a whole number of KiB/s up to the largest; the last good one counts, and the
// last that is no such switch is named to be logged.
TEST(CommandLine, RepairAndLimitSwitchesAreWholeArgumentsInAnyCase) {
    // The line, whether it asks for a repair, the limit given (-1: none), the refused switch.
    // clang-format off
    const std::tuple<const wchar_t*, bool, long long, const wchar_t*> cases[] = {
        {L"\"C:\\Program Files\\Tolvane\\TolvaneLauncher.exe\" /REPAIR", true, -1, L""},
        {L"launcher.exe\t/Repair  ", true, -1, L""},
        {L"launcher.exe -x \"/repair\"", true, -1, L""},
        {L"launcher.exe /rep\"\"air", true, -1, L""},
        {L"launcher.exe", false, -1, L""},
        {nullptr, false, -1, L""},
        {L"launcher.exe /repairs", false, -1, L""},
        {L"launcher.exe -repair repair /repair:1 \\/repair", false, -1, L""},
        {L"launcher.exe \"/repair now\"", false, -1, L""},
        {L"launcher.exe \\\"/repair\\\"", false, -1, L""},
        {L"\"C:\\a /repair\\TolvaneLauncher.exe\"", false, -1, L""},
        {L"/repair", false, -1, L""}, // the program's name
        {L"launcher.exe /repa\x0130r /REPA\x0131R", false, -1, L""},
        {L"launcher.exe /limit=512 /repair", true, 512, L""},
        {L"launcher.exe /LIMIT=0", false, 0, L""}, // none, over the build's default
        {L"launcher.exe /Limit=0004194304 /limit=7", false, 7, L""},
        {L"launcher.exe \"/limit=2048\"", false, 2048, L""},
        {L"/limit=5", false, -1, L""}, // the program's name
        {L"launcher.exe /limits=5 -limit=5 /limit:5", false, -1, L""},
        {L"launcher.exe /limit=4194305", false, -1, L"/limit=4194305"},
        {L"launcher.exe /limit=18446744073709551617", false, -1, L"/limit=18446744073709551617"},
        {L"launcher.exe /limit=9 /limit=", false, 9, L"/limit="},
        {L"launcher.exe /limit /limit=9", false, 9, L"/limit"},
        {L"launcher.exe /limit=-1 /limit=+1 /limit=1k", false, -1, L"/limit=1k"},
        {L"launcher.exe \"/limit= 1\" /limit=\x0661", false, -1, L"/limit=\x0661"},
        {L"launcher.exe /limit=1\x01", false, -1, L"/limit=1\x01"},
    };
    // clang-format on
    for (const auto& [line, repair, limit, refused] : cases) {
        SCOPED_TRACE(testing::Message() << (line ? line : L"(null)"));
        EXPECT_EQ(Application::AsksForRepair(line), repair);
        const Application::LimitSwitch asked = Application::AskedDownloadLimit(line);
        EXPECT_EQ(asked.given ? static_cast<long long>(asked.kibs) : -1, limit);
        EXPECT_EQ(asked.refused, refused);
    }
    // The line, the channel asked for ("" for none) and the refused switch.
    // clang-format off
    const std::tuple<const wchar_t*, const char*, const wchar_t*> channels[] = {
        {L"launcher.exe /channel=beta", "beta", L""}, {L"launcher.exe /CHANNEL=Beta", "beta", L""},
        {L"launcher.exe /channel=stable /repair", "stable", L""},
        {L"launcher.exe /channel=qa-2_nightly /channel=beta", "beta", L""},
        {L"launcher.exe \"/channel=QA\"", "qa", L""}, {nullptr, "", L""},
        {L"/channel=beta", "", L""}, // the program's name
        {L"launcher.exe /channels=beta -channel=beta /channel:beta", "", L""},
        {L"launcher.exe /channel=beta /channel=be.ta", "beta", L"/channel=be.ta"},
        {L"launcher.exe /channel", "", L"/channel"}, {L"launcher.exe /channel=", "", L"/channel="},
        {L"launcher.exe /channel=b\x0165ta", "", L"/channel=b\x0165ta"},
        {L"launcher.exe \"/channel=be ta\"", "", L"/channel=be ta"},
        {L"launcher.exe /channel=..\\x", "", L"/channel=..\\x"},
        {L"launcher.exe /channel=abcdefghijklmnopqrstuvwxyz0123456", "",
         L"/channel=abcdefghijklmnopqrstuvwxyz0123456"},
    };
    // clang-format on
    for (const auto& [line, channel, refused] : channels) {
        SCOPED_TRACE(testing::Message() << (line ? line : L"(null)"));
        const Application::ChannelSwitch asked = Application::AskedChannel(line);
        EXPECT_EQ(asked.given ? asked.channel : "", channel);
        EXPECT_EQ(asked.refused, refused);
    }
    EXPECT_EQ(Application::CommandLineArguments(L"x.exe a\\\\\"b c\" \"\" d\\e"),
              (std::vector<std::wstring>{L"a\\b c", L"", L"d\\e"}));
}

// The channel a launcher follows: a good switch is kept in update\channel for later starts and
// goes back to stable the same way; a refused switch or a record that names no channel is one
// error-log line and changes nothing. The tests' build follows stable.
TEST(CommandLine, TheChannelSwitchIsKeptForLaterStarts) {
    const std::string refusedLine = "error : Channel switch ignored: /channel=be.ta is not "
                                    "/channel=NAME with NAME 1 to 32 letters, digits, - or _";
    // The record before (null: none), the command line, the channel followed, the record after
    // (null: none), and the error-log line ("" for none; "*" ends its known part).
    // clang-format off
    const std::tuple<const char*, const wchar_t*, std::string, const char*, std::string> cases[] = {
        {nullptr, L"l.exe", "stable", nullptr, ""},
        {nullptr, L"l.exe /channel=Beta", "beta", "beta\r\n", ""},
        {"beta\r\n", L"l.exe", "beta", "beta\r\n", ""},
        {"QA_1", L"l.exe", "qa_1", "QA_1", ""},
        {"beta\r\n", L"l.exe /channel=stable", "stable", "stable\r\n", ""},
        {"beta\r\n", L"l.exe /channel=be.ta", "beta", "beta\r\n", refusedLine},
        {nullptr, L"l.exe /channel=be.ta", "stable", nullptr, refusedLine},
        {"be.ta", L"l.exe", "stable", "be.ta", "error : The channel record names no channel: *"},
        {"", L"l.exe", "stable", "", "error : The channel record names no channel: *"},
        {"beta\r\n\r\n", L"l.exe", "stable", "beta\r\n\r\n",
         "error : The channel record names no channel: *"},
    };
    // clang-format on
    for (const auto& [before, line, followed, after, error] : cases) {
        SCOPED_TRACE(testing::Message() << line << " " << (before ? before : "(none)"));
        ScratchFolder folder;
        if (before) {
            std::filesystem::create_directory(folder / L"update");
            WriteBytes(folder / L"update\\channel", before);
        }
        ClearErrorLog();
        EXPECT_EQ(Application::ChooseChannel(folder.path(), Application::AskedChannel(line)),
                  followed);
        EXPECT_EQ(FileExists(folder / L"update\\channel"), after != nullptr);
        if (after) {
            EXPECT_EQ(ReadBytes(folder / L"update\\channel"), after);
        }
        std::vector<std::string> log = ErrorLogLines();
        if (!log.empty() && error.back() == '*' &&
            log[0].rfind(error.substr(0, error.size() - 1), 0) == 0)
            log[0] = error;
        EXPECT_EQ(log, error.empty() ? std::vector<std::string>{} : std::vector{error});
    }
    EXPECT_STREQ(Application::kBuildChannel, "stable");
    EXPECT_EQ(Application::ChannelStatus("stable"), L"");
    EXPECT_EQ(Application::ChannelStatus("beta"), L"Channel: beta");
}

// The install folder check on folders as an installer or a player may leave them: update\ is
// made when missing and keeps what it holds, no probe file stays, and a file named update or a
// folder named errors.err (the ways to refuse writes that Wine honours for root) are seen.
TEST(InstallFolder, WritableWhereAFileCanBeMadeAndRemovedInUpdate) {
    // A folder made first, a file written first, whether update\ and the error log are writable.
    for (auto [made, kept, writable, logWritable] :
         {std::tuple{L"", L"", true, true},
          {L"update", L"update\\update.info", true, true},
          {L"", L"update", false, true},
          {L"errors.err", L"", true, false}}) {
        ScratchFolder folder;
        std::error_code ignored;
        std::filesystem::create_directory(folder / made, ignored);
        if (*kept)
            WriteBytes(folder / kept, "x");
        EXPECT_EQ(Application::CanWriteUpdateFolder(folder.path()), writable) << kept;
        EXPECT_EQ(Application::CanAppendErrorLog(folder.path()), logWritable) << made;
        const std::filesystem::directory_iterator update(folder / L"update", ignored);
        EXPECT_EQ(std::distance(update, {}), std::wstring(made) == L"update" ? 1 : 0)
            << "a probe stayed";
        EXPECT_EQ(ReadBytes(folder / kept), *kept ? "x" : "") << kept;
    }
}

// A worker reports 8000 downloads, each repainting the window, while the main thread paints
// into a canvas. Every paint shows one moment: the bar's fill belongs to the report the status
// line names.
TEST_F(LauncherWindow, WorkerReportsWhileTheMainThreadPaintsNeverTear) {
    const wchar_t* const file = L"C:\\cache\\f.pak";
    constexpr int kReports = 500;
    UpdateEntryCount = kReports + 1; // one pixel of bar per report
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int round = 0; round < 16; ++round) {
            SetDisplay(0, L"");
            for (int k = 1; k <= kReports; ++k)
                Application::OnDownloadProgress(k, kReports, 0, file);
        }
        done = true;
    });
    Canvas expected(w, h);
    int checked = 0, torn = 0;
    while (!done) {
        window.OnPaint(canvas.dc());
        int filled = 0;
        while (canvas.At(q + 2 + filled, top + 5) == kFill)
            ++filled;
        if (filled == 0)
            continue; // progress 0 to 2 shows no fill to read it by
        DrawStatus(expected, Application::ComposeProgressStatus(filled + 2, kReports, file));
        torn += !canvas.Difference(expected, kStatusArea).empty();
        ++checked;
    }
    worker.join();
    EXPECT_EQ(torn, 0) << "of " << checked << " paints";
    EXPECT_GT(checked, 10) << "too few paints overlapped the reports to show anything";
    EXPECT_EQ(window.progress, kReports);
}

} // namespace
