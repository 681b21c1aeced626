#include <gtest/gtest.h>

#include "launcher/handlers.h"
#include "launcher/launcher_state.h"
#include "launcher_window.h"
#include "support/dialog_answerer.h"
#include "update/update_pass.h"
#include "support/test_files.h"
#include "utility/environment.h"
#include "utility/file_query.h"

using namespace testing_support;

namespace {

std::wstring Status() {
    const auto lock = Application::LockDisplay();
    return Application::StatusText;
}

int Progress() {
    const auto lock = Application::LockDisplay();
    return LauncherWindow().progress;
}

class LauncherReports : public ::testing::Test {
  protected:
    Application::GameWindow& window = LauncherWindow();
    int length = 0;

    void SetUp() override {
        SetDisplay(0, L"");
        Application::Repaint(); // sets the bar's length from the window's size
        length = Application::ProgressBarLength;
        ASSERT_EQ(length, window.clientRect.right / 2);
    }
};

TEST_F(LauncherReports, FileReportRewritesTheStatusAndMovesTheBarOneStep) {
    UpdateEntryCount = 5;
    Application::OnDownloadProgress(1024, 4096, 0, L"C:\\cache\\data.pak");
    EXPECT_EQ(Status(), L"1024 of 4096 download : data.pak\n");
    EXPECT_EQ(Progress(), length / 4);
    Application::OnDownloadProgress(2048, 4096, 5, L"C:\\cache\\data.pak");
    EXPECT_EQ(Progress(), 2 * (length / 4)) << "every report of a file moves the bar again";

    // The step follows the count at the time of the report.
    UpdateEntryCount = 3;
    Application::OnDownloadProgress(1, 2, 0, L"C:\\x\\y.z");
    EXPECT_EQ(Progress(), 2 * (length / 4) + length / 2);
}

TEST_F(LauncherReports, ReportsWithoutAFileNameLeaveTheBar) {
    UpdateEntryCount = 5;
    Application::OnDownloadProgress(7, 9, 0, L"https://localhost/AppGameUpload/a.pak");
    EXPECT_EQ(Status(), L"7 of 9 download : \n");
    Application::OnDownloadProgress(7, 9, 0, L"C:\\cache\\a[0]");
    EXPECT_EQ(Status(), L"7 of 9 download : a[0]\n");
    Application::OnDownloadProgress(7, 9, 0, nullptr);
    EXPECT_EQ(Status(), L"\n");
    EXPECT_EQ(Progress(), 0);

    UpdateEntryCount = 1;
    Application::OnDownloadProgress(1, 1, 0, L"C:\\cache\\data.pak");
    EXPECT_EQ(Progress(), 0) << "one counted entry gives no step";
}

TEST_F(LauncherReports, BeforeTheWindowExistsAReportOnlyRewritesTheStatus) {
    UpdateEntryCount = 5;
    Application::TheGameWindow = nullptr;
    Application::OnDownloadProgress(1, 2, 0, L"C:\\cache\\data.pak");
    Application::TheGameWindow = &window;
    EXPECT_EQ(Status(), L"1 of 2 download : data.pak\n");
    EXPECT_EQ(Progress(), 0);
}

TEST_F(LauncherReports, EndOfAPassWithoutTheGameLeavesTheLauncherOpen) {
    ASSERT_FALSE(File::Exists(Environment::GetSetupExe() + L"TolvaneGame.exe"));
    Application::OnUpdateEnd();
    EXPECT_EQ(Status(), L"End Process Download.");
    EXPECT_TRUE(IsWindow(window.hwnd));
}

TEST_F(LauncherReports, GameTileClickShowsStartAndStartsAPass) {
    // The tests' engine talks to a loopback port that nothing serves now.
    ClearErrorLog();
    SendMessageW(window.gameTile->hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(Status(), L"Start");
    const DWORD start = GetTickCount();
    while (ErrorLogLines().empty() && GetTickCount() - start < 30000)
        Sleep(50);
    EXPECT_EQ(ErrorLogLines(), std::vector<std::string>{"Not Connection server... "});
    EXPECT_EQ(Status(), L"Start") << "a pass that reached no server reports nothing";
}

TEST_F(LauncherReports, CadTileClickShowsTheDemoNoticeOnly) {
    SetDisplay(0, L"");
    DialogAnswerer answer(IDOK);
    SendMessageW(window.cadTile->hwnd, BM_CLICK, 0, 0);
    const SeenDialog box = answer.Wait();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Message");
    EXPECT_EQ(box.text, L"CAD programm work demo...");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.icon, nullptr);
    EXPECT_EQ(Status(), L"") << "the status line stays empty";
}

} // namespace
