#include "toolkit/event.h"

namespace SystemWindow {

void Event::OnKeyDown(WPARAM) {}
void Event::OnKeyUp(WPARAM) {}
void Event::OnChar(WPARAM) {}
void Event::OnMouseDown(int, int, int) {}
void Event::OnMouseUp(int, int, int) {}
void Event::OnMouseMove(WPARAM, int, int) {}
void Event::OnSize(WPARAM, int, int) {}
void Event::OnMouseWheel(int) {}
void Event::Show() {}
void Event::OnPaint(HDC) {}
void Event::OnAppMessage(UINT, WPARAM, LPARAM) {}
void Event::OnQueryEndSession() {}
void Event::OnEndSession(bool) {}

LRESULT Event::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Coordinates are the two 16-bit halves of lParam, read as unsigned numbers.
    const int x = LOWORD(lParam);
    const int y = HIWORD(lParam);
    switch (message) {
    case WM_SIZE:
        OnSize(wParam, x, y);
        break;
    case WM_PAINT: {
        HDC dc = GetDC(hwnd);
        OnPaint(dc);
        ReleaseDC(hwnd, dc);
        break;
    }
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        break;
    case WM_KEYUP:
        OnKeyUp(wParam);
        break;
    case WM_CHAR:
        OnChar(wParam);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, x, y);
        break;
    case WM_LBUTTONDOWN:
        OnMouseDown(MK_LBUTTON, x, y);
        break;
    case WM_LBUTTONUP:
        OnMouseUp(MK_LBUTTON, x, y);
        break;
    case WM_RBUTTONDOWN:
        OnMouseDown(MK_RBUTTON, x, y);
        break;
    case WM_RBUTTONUP:
        OnMouseUp(MK_RBUTTON, x, y);
        break;
    case WM_MBUTTONDOWN:
        OnMouseDown(MK_MBUTTON, x, y);
        break;
    case WM_MBUTTONUP:
        OnMouseUp(MK_MBUTTON, x, y);
        break;
    case WM_MOUSEWHEEL:
        OnMouseWheel(HIWORD(wParam));
        break;
    case WM_QUERYENDSESSION:
        OnQueryEndSession();
        break;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        break;
    default: // double clicks included: the window class does not ask for them
        if (message >= WM_APP && message <= 0xBFFF)
            OnAppMessage(message, wParam, lParam);
        break;
    }
    return 0;
}

} // namespace SystemWindow
