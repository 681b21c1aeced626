#include <gtest/gtest.h>

#include "launcher/handlers.h"
#include "launcher/setup.h"
#include "launcher_window.h"
#include "toolkit/window.h"
#include "update/update_pass.h"

using namespace testing_support;

namespace {

RECT ClientRectOf(HWND child, HWND parent) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(LauncherSetup, OneHiddenCentredWindowTitledForTheLauncher) {
    Application::GameWindow& window = LauncherWindow();
    ASSERT_NE(window.hwnd, nullptr);
    EXPECT_EQ(SystemWindow::WindowList.size(), 1u);
    EXPECT_EQ(SystemWindow::MainWindow, &window);
    EXPECT_FALSE(window.visible) << "shown only by the entry point";
    wchar_t title[64] = {};
    GetWindowTextW(window.hwnd, title, 64);
    EXPECT_EQ(std::wstring(title), L"TolvaneSoft Window Launcher");

    const POINT corner = Application::CenteredPosition(GetSystemMetrics(SM_CXFULLSCREEN),
                                                       GetSystemMetrics(SM_CYFULLSCREEN),
                                                       GetSystemMetrics(SM_CYCAPTION), 1366, 854);
    RECT outer = {};
    GetWindowRect(window.hwnd, &outer);
    EXPECT_EQ(outer.left, corner.x);
    EXPECT_EQ(outer.top, corner.y);
    EXPECT_EQ(outer.right - outer.left, 1366);
    EXPECT_EQ(outer.bottom - outer.top, 854);
    EXPECT_EQ(window.GetX(), corner.x);
    EXPECT_EQ(window.GetY(), corner.y);
}

TEST(LauncherSetup, TilesSitFiftyPixelsInsideAtAThirdOfTheHeight) {
    Application::GameWindow& window = LauncherWindow();
    RECT client = {};
    GetClientRect(window.hwnd, &client);
    const int row = client.bottom / 3;
    ASSERT_NE(window.cadTile, nullptr);
    ASSERT_NE(window.gameTile, nullptr);
    const RECT cad = ClientRectOf(window.cadTile->hwnd, window.hwnd);
    const RECT game = ClientRectOf(window.gameTile->hwnd, window.hwnd);
    const RECT cadExpected = {50, row, 505, row + 256};
    const RECT gameExpected = {client.right - 505, row, client.right - 50, row + 256};
    EXPECT_TRUE(EqualRect(&cad, &cadExpected));
    EXPECT_TRUE(EqualRect(&game, &gameExpected));

    // Each tile shows its own picture.
    EXPECT_EQ(SendMessageW(window.cadTile->hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0),
              reinterpret_cast<LRESULT>(window.cadTile->bitmap));
    EXPECT_EQ(SendMessageW(window.gameTile->hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0),
              reinterpret_cast<LRESULT>(window.gameTile->bitmap));
    EXPECT_NE(window.cadTile->bitmap, window.gameTile->bitmap);
    EXPECT_EQ(window.cadTile->text, L"Download1");
    EXPECT_EQ(window.gameTile->text, L"Download1");
    ASSERT_NE(window.background, nullptr);
    EXPECT_EQ(window.background->hwnd, nullptr) << "the background has no platform window";
}

TEST(LauncherSetup, HandlersAreInstalledInTheTilesAndTheUpdateEngine) {
    Application::GameWindow& window = LauncherWindow();
    EXPECT_EQ(window.cadTile->onClick, &Application::OnCadTileClick);
    EXPECT_EQ(window.gameTile->onClick, &Application::OnGameTileClick);
    EXPECT_EQ(DownloadProgressCallback, &Application::OnDownloadProgress);
    EXPECT_EQ(UpdateEndCallback, &Application::OnUpdateEnd);
    EXPECT_EQ(ProgressPauseMs, 300u);
}

} // namespace
