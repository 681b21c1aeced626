#pragma once
// The one toolkit window of a test process (the window class registers once per process),
// recording the event operations it receives.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/window.h"

namespace testing_support {

class RecordingWindow : public SystemWindow::Window {
  public:
    std::vector<std::string> calls; // "down 1 10 20", "key up 27", ... (paints not included)
    std::vector<HDC> paints;        // the context of every OnPaint
    std::function<void()> idle;     // run by OnIdle when set

    void OnKeyDown(WPARAM key) override;
    void OnKeyUp(WPARAM key) override;
    void OnChar(WPARAM character) override;
    void OnMouseDown(int button, int x, int y) override;
    void OnMouseUp(int button, int x, int y) override;
    void OnMouseMove(WPARAM keys, int x, int y) override;
    void OnSize(WPARAM type, int width, int height) override;
    void OnMouseWheel(int delta) override;
    void OnPaint(HDC dc) override;
    void OnIdle() override;
};

// Built on first use; it is the process's MainWindow.
RecordingWindow& TheWindow();

// Runs the window's loop until done() holds (checked when idle) or the time runs out.
// True when done() held.
bool RunLoopUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Runs the loop until the queue has been empty once.
void RunLoopUntilIdle();

// Shows the window topmost at (0, 0) and waits until it can receive input; and back.
void ShowForInput();
void HideAfterInput();

// Real input through the platform's input queue, at screen coordinates.
void ClickAt(POINT screen, int clicks = 1);

} // namespace testing_support
