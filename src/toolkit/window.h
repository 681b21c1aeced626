#pragma once
// The toolkit's top-level window: a fixed-size, initially hidden platform window of the class
// "Tolvane", the class's window procedure, and the polling message loop.
#include <vector>

#include "toolkit/component.h"

namespace SystemWindow {

class Window : public Component {
  public:
    const wchar_t* className = L"Tolvane";
    // The message loop keeps going while this is set.
    bool running = false;

    // 1366 x 854, class registered and platform window created (hidden), listed in WindowList
    // (the first one becomes MainWindow) and in ComponentList.
    Window();

    // Registers the class and creates the platform window; false, after an error box, when
    // either fails. Only the first window of a process gets a platform window.
    bool Create();
    // Makes the window visible and, unless a loop runs already, runs one until it stops.
    void Show() override;
    // With true: runs the loop until WM_QUIT (its exit code is returned, running stays set)
    // or until running is cleared (0 is returned). With false: stops the loop, returns 0.
    WPARAM RunMessageLoop(bool run);
    // Called by the loop whenever no message is waiting.
    virtual void OnIdle();

    // Also move or resize the platform window. The size setters place it at (0, 0).
    void SetPosition(int x, int y) override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
};

// Every Window constructed, in construction order.
extern std::vector<Window*> WindowList;
// The first Window constructed.
extern Window* MainWindow;
// The module instance used for the window class and the window; set before any window exists.
extern HINSTANCE InstanceHandle;

// The window class's procedure. Offers every message to each flagged object of ComponentList,
// stops every loop on WM_CLOSE and WM_DESTROY (the window stays), paints every listed object
// on WM_PAINT, and hands a child control's WM_COMMAND to the object that owns the control.
LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace SystemWindow
