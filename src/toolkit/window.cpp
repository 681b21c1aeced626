#include "toolkit/window.h"

#include "utility/process_order.h"

namespace SystemWindow {

TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_WINDOW_LIST) std::vector<Window*> WindowList;
Window* MainWindow = nullptr;
HINSTANCE InstanceHandle = nullptr;

namespace {

constexpr int kWidth = 1366;
constexpr int kHeight = 854;
constexpr COLORREF kBackground = RGB(70, 130, 110);
// Caption, system menu and minimise box; no sizing border, no maximise box, not visible.
constexpr DWORD kStyle = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The record every run of the loop reads messages into.
MSG LoopMessage;

} // namespace

Window::Window() {
    WindowList.push_back(this);
    if (WindowList.size() == 1)
        MainWindow = this;
    SetWidth(kWidth);
    height = kHeight;
    SetCaption(L"Window");
    Create();
    isWindow = true;
    AddComponent(this);
}

bool Window::Create() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    // Own device context: GetDC gives the same context every time and ReleaseDC keeps it.
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = InstanceHandle;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(kBackground);
    windowClass.lpszClassName = className;
    if (RegisterClassExW(&windowClass) == 0) {
        DeleteObject(windowClass.hbrBackground);
        MessageBoxW(nullptr, L"Error registering class", L"Error", MB_ICONERROR);
        return false;
    }
    // The platform window does not exist yet, so the title is empty (and so becomes text).
    const std::wstring title = GetText();
    hwnd = CreateWindowExW(0, className, title.c_str(), kStyle, 0, 0, GetWidth(), GetHeight(),
                           nullptr, nullptr, InstanceHandle, nullptr);
    if (hwnd == nullptr) {
        MessageBoxW(nullptr, L"Error creating window", L"Error", MB_ICONERROR);
        return false;
    }
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    RefreshClientRect();
    return true;
}

void Window::Show() {
    if (hwnd == nullptr)
        return;
    SetVisible(true);
    if (!running)
        RunMessageLoop(true);
}

WPARAM Window::RunMessageLoop(bool run) {
    running = run;
    LoopMessage = MSG{};
    if (!run)
        return 0;
    // Polls: never waits for a message, so OnIdle runs whenever the queue is empty.
    do {
        if (PeekMessageW(&LoopMessage, nullptr, 0, 0, PM_REMOVE)) {
            if (LoopMessage.message == WM_QUIT)
                break;
            TranslateMessage(&LoopMessage);
            DispatchMessageW(&LoopMessage);
        } else {
            OnIdle();
        }
    } while (running);
    return LoopMessage.wParam;
}

void Window::OnIdle() {}

void Window::SetPosition(int newX, int newY) {
    Component::SetPosition(newX, newY);
    SetWindowPos(hwnd, nullptr, GetX(), GetY(), GetWidth(), GetHeight(), 0);
}

void Window::SetWidth(int newWidth) {
    Component::SetWidth(newWidth);
    SetWindowPos(hwnd, nullptr, 0, 0, GetWidth(), GetHeight(), 0);
}

void Window::SetHeight(int newHeight) {
    Component::SetHeight(newHeight);
    SetWindowPos(hwnd, nullptr, 0, 0, GetWidth(), GetHeight(), 0);
}

} // namespace SystemWindow
