#pragma once
// The base of everything that receives platform window events: the platform window's handle
// and a table of event operations that do nothing until a derived class overrides them.
#include <windows.h>

namespace SystemWindow {

class Event {
  public:
    HWND hwnd = nullptr;
    // Set only on top-level windows of the toolkit; the window procedure offers every message
    // to each registered object that carries it.
    bool isWindow = false;

    virtual void OnKeyDown(WPARAM key);
    virtual void OnKeyUp(WPARAM key);
    virtual void OnChar(WPARAM character);
    // button is 1 (left), 2 (right) or 16 (middle); x and y in client coordinates.
    virtual void OnMouseDown(int button, int x, int y);
    virtual void OnMouseUp(int button, int x, int y);
    virtual void OnMouseMove(WPARAM keys, int x, int y);
    virtual void OnSize(WPARAM type, int width, int height);
    // The wheel delta's 16 bits read as unsigned: one notch backwards arrives as 65416.
    virtual void OnMouseWheel(int delta);
    virtual void Show();
    virtual void OnPaint(HDC dc);
    // A private message of the application's own range, WM_APP to 0xBFFF.
    virtual void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The session is about to end (WM_QUERYENDSESSION); the window procedure agrees to it.
    virtual void OnQueryEndSession();
    // The session ends (true) or goes on after all (false) (WM_ENDSESSION).
    virtual void OnEndSession(bool ending);

    // Turns one platform message into a call of the event operations above. Always 0.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace SystemWindow
