#pragma once
// The launcher's one window: background picture, contact lines, status line, progress bar and
// the two product tiles.
#include <cstdint>

#include "toolkit/image.h"
#include "toolkit/window.h"

namespace Application {

class GameWindow : public SystemWindow::Window {
  public:
    SystemWindow::Image* background = nullptr; // nothing is painted while it is null
    SystemWindow::Image* cadTile = nullptr;
    SystemWindow::Image* gameTile = nullptr;
    std::int32_t progress = 0; // filled length of the bar in pixels; only ever grows

    // The toolkit window titled "TolvaneSoft Window Launcher".
    GameWindow();

    // Escape released ends the program with exit code 0.
    void OnKeyUp(WPARAM key) override;
    // The end of the session ends the program as Escape does, once a switch of the folder
    // that runs has finished (shutdown.h).
    void OnQueryEndSession() override;
    void OnEndSession(bool ending) override;
    // Takes the display lock and paints the whole window into dc.
    void OnPaint(HDC dc) override;
    // Both end the process when an update worker has handed over the end of the program: the
    // message the worker posts, and the idle loop in case the message could not be posted.
    // While another launcher's pass is awaited, the idle loop waits for it (folder_wait.h).
    void OnIdle() override;
    void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Paints the whole window into dc. The caller holds the display lock.
    void PaintHoldingLock(HDC dc);
};

} // namespace Application
