#include "launcher/setup.h"

#include <cstdint>
#include <string>

#include "launcher/channel_choice.h"
#include "launcher/game_window.h"
#include "launcher/handlers.h"
#include "launcher/install_probe.h"
#include "launcher/launcher_state.h"
#include "launcher/shutdown.h"
#include "update/update_pass.h"
#include "utility/environment.h"

namespace Application {

namespace {

constexpr int kTileMargin = 50;
constexpr int kTileWidth = 455;
// Set at configure time (TOLVANE_PROGRESS_PAUSE_MS); braces refuse a value the pause cannot hold.
constexpr std::uint32_t kProgressPauseMs{TOLVANE_PROGRESS_PAUSE_MS};

// Loads a tile's picture and puts it on the button; ends the process when it yields none.
void LoadTile(SystemWindow::Image& tile, const std::wstring& path) {
    const HBITMAP picture = tile.Load(path);
    if (picture == nullptr)
        EndProcess(0);
    SendMessageW(tile.hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

} // namespace

POINT CenteredPosition(int screenWidth, int screenHeight, int captionHeight, int width,
                       int height) {
    const int x = static_cast<int>(screenWidth * 0.5 - static_cast<unsigned>(width) * 0.5);
    const int y = static_cast<int>(screenHeight * 0.5 - height * 0.5) + 2 * captionHeight + 4;
    return {x, y};
}

void CenterWindow() {
    GameWindow* window = TheGameWindow;
    if (window == nullptr)
        return;
    const POINT corner =
        CenteredPosition(GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN),
                         GetSystemMetrics(SM_CYCAPTION), window->GetWidth(), window->GetHeight());
    window->x = corner.x;
    window->y = corner.y;
    GetClientRect(window->hwnd, &window->clientRect);
    SetWindowPos(window->hwnd, nullptr, window->GetX(), window->GetY(), window->GetWidth(),
                 window->GetHeight(), 0);
}

void SetupApplication() {
    const std::wstring images = Environment::ExecutableFolder() + L"Images\\";
    TheGameWindow = new GameWindow;
    CenterWindow();
    GameWindow& window = *TheGameWindow;
    const HWND parent = window.hwnd;
    const int tileRow = window.clientRect.bottom / 3;

    window.background = new SystemWindow::Image;
    if (window.background->Load(images + L"back_1366x854.bmp") == nullptr)
        EndProcess(0);

    window.cadTile = new SystemWindow::Image(parent, L"Download1",
                                             window.clientRect.left + kTileMargin, tileRow);
    window.cadTile->onClick = OnCadTileClick;
    LoadTile(*window.cadTile, images + L"TolvaneCAD_455.bmp");

    window.gameTile = new SystemWindow::Image(
        parent, L"Download1", window.clientRect.right - kTileWidth - kTileMargin, tileRow);
    LoadTile(*window.gameTile, images + L"TolvaneGame_455.bmp");
    window.gameTile->onClick = OnGameTileClick;

    ProgressPauseMs = kProgressPauseMs;
    // Set once, before a click can start a worker that calls them.
    DownloadProgressCallback = OnDownloadProgress;
    PassNoteCallback = OnPassNote;
    UpdateEndCallback = OnUpdateEnd;
    // Before the message loop, so that no click can start a pass first.
    FolderWritable = CheckInstallFolder();
    const auto lock = LockDisplay();
    StatusText = ChannelStatus(FollowedChannel);
}

} // namespace Application
