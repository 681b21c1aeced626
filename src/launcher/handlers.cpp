#include "launcher/handlers.h"

#include <windows.h>

#include "launcher/folder_wait.h"
#include "launcher/game_start.h"
#include "launcher/game_window.h"
#include "launcher/launcher_state.h"
#include "launcher/progress_display.h"
#include "launcher/shutdown.h"
#include "update/update_pass.h"
#include "utility/environment.h"
#include "utility/file_query.h"

namespace Application {

namespace {

// Sets the status line unless the process is ending. False when it is.
bool SetStatus(std::wstring text) {
    const auto lock = LockDisplay();
    if (DisplayClosed)
        return false;
    StatusText = std::move(text);
    return true;
}

} // namespace

void Repaint() {
    const auto lock = LockDisplay();
    if (DisplayClosed || TheGameWindow == nullptr)
        return;
    TheGameWindow->PaintHoldingLock(TheGameWindow->GetDeviceContext());
}

void OnCadTileClick(int, int, int) {
    MessageBoxW(nullptr, L"CAD programm work demo...", L"Message", MB_OK);
}

void OnGameTileClick(int, int, int) {
    if (!FolderWritable) {
        StartInstalledGame();
        return;
    }
    // A click while waiting asks for nothing more: the other launcher's pass brings the folder
    // in step.
    if (WaitingForOtherLauncher())
        return;
    SetStatus(L"Start");
    Repaint();
    if (RequestUpdate() != PassRequest::FolderBusy)
        return;
    SetStatus(L"Another launcher is updating this folder; waiting");
    Repaint();
    WaitForOtherLauncher();
}

void OnDownloadProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t,
                        const wchar_t* statusText) {
    {
        const auto lock = LockDisplay();
        if (DisplayClosed)
            return;
        StatusText = ComposeProgressStatus(progress, progressMax, statusText);
        if (TheGameWindow == nullptr)
            return;
        if (ReportAdvancesBar(statusText))
            TheGameWindow->progress += ProgressStep(ProgressBarLength, UpdateEntryCount.load());
    }
    Repaint();
}

void OnPassNote(const wchar_t* text) {
    {
        const auto lock = LockDisplay();
        if (DisplayClosed)
            return;
        StatusText = StatusAfterNote(StatusText, text);
    }
    Repaint();
}

void OnUpdateEnd() {
    if (!SetStatus(kPassEndStatus))
        return;
    Repaint();
    StartInstalledGame();
}

void StartInstalledGame() {
    const std::wstring game = Environment::ExecutableFolder() + L"TolvaneGame.exe";
    if (!File::Exists(game))
        return;
    StartGame(game);
    HandOverProcessEnd();
}

} // namespace Application
