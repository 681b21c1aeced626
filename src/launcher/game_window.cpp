#include "launcher/game_window.h"

#include "launcher/folder_wait.h"
#include "launcher/launcher_state.h"
#include "launcher/progress_display.h"
#include "launcher/shutdown.h"
#include "toolkit/gdi_handles.h"

namespace Application {

namespace {

constexpr COLORREF kContactColour = 0x00FFB4D2;
constexpr COLORREF kShadowColour = 0x00000000;
constexpr COLORREF kStatusColour = 0x00FFFFFF;
constexpr COLORREF kFillColour = 0x00C84664;

void WriteLine(HDC dc, int x, int y, const std::wstring& text) {
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

} // namespace

GameWindow::GameWindow() {
    SetCaption(L"TolvaneSoft Window Launcher");
    SystemWindow::AddComponent(this);
    SetProcessEndWindow(hwnd);
}

void GameWindow::OnKeyUp(WPARAM key) {
    if (key == VK_ESCAPE)
        QuitApplication();
}

void GameWindow::OnQueryEndSession() {
    PrepareForSessionEnd();
}

void GameWindow::OnEndSession(bool ending) {
    EndSession(ending);
}

void GameWindow::OnPaint(HDC dc) {
    const auto lock = LockDisplay();
    PaintHoldingLock(dc);
}

void GameWindow::OnIdle() {
    if (ProcessEndHandedOver())
        EndProcess(0);
    AwaitOtherLauncher();
}

void GameWindow::OnAppMessage(UINT message, WPARAM, LPARAM) {
    // Another program can post the same number; only a worker's hand-over ends the process.
    if (message == kProcessEndMessage && ProcessEndHandedOver())
        EndProcess(0);
}

void GameWindow::PaintHoldingLock(HDC dc) {
    if (background == nullptr)
        return;
    background->Draw(dc);

    SetTextColor(dc, kContactColour);
    SetBkMode(dc, TRANSPARENT);
    WriteLine(dc, 40, 100, ContactMessengerLine);
    WriteLine(dc, 40, 120, ContactMailLine);
    // White status line with a black shadow one pixel to its right.
    SetTextColor(dc, kShadowColour);
    WriteLine(dc, 41, 140, StatusText);
    SetTextColor(dc, kStatusColour);
    WriteLine(dc, 40, 140, StatusText);

    const ProgressBarLayout bar = LayOutProgressBar(clientRect.right, clientRect.bottom, progress);
    ProgressBarLength = bar.length;
    if (!bar.frameShown)
        return;
    // The context's default pen and brush: a black frame, white inside.
    Rectangle(dc, bar.frame.left, bar.frame.top, bar.frame.right, bar.frame.bottom);
    if (bar.fillShown) {
        const SystemWindow::SolidBrush fill(kFillColour);
        FillRect(dc, &bar.fill, fill.get());
    }
}

} // namespace Application
