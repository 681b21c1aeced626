#include "recording_window.h"

namespace testing_support {

namespace {

std::string Call(const char* name, long long a) {
    return std::string(name) + " " + std::to_string(a);
}

std::string Call(const char* name, long long a, long long b, long long c) {
    return Call(name, a) + " " + std::to_string(b) + " " + std::to_string(c);
}

} // namespace

void RecordingWindow::OnKeyDown(WPARAM key) {
    calls.push_back(Call("keydown", key));
}
void RecordingWindow::OnKeyUp(WPARAM key) {
    calls.push_back(Call("keyup", key));
}
void RecordingWindow::OnChar(WPARAM character) {
    calls.push_back(Call("char", character));
}
void RecordingWindow::OnMouseDown(int button, int x, int y) {
    calls.push_back(Call("down", button, x, y));
}
void RecordingWindow::OnMouseUp(int button, int x, int y) {
    calls.push_back(Call("up", button, x, y));
}
void RecordingWindow::OnMouseMove(WPARAM keys, int x, int y) {
    calls.push_back(Call("move", keys, x, y));
}
void RecordingWindow::OnSize(WPARAM type, int width, int height) {
    calls.push_back(Call("size", type, width, height));
}
void RecordingWindow::OnMouseWheel(int delta) {
    calls.push_back(Call("wheel", delta));
}
void RecordingWindow::OnPaint(HDC dc) {
    paints.push_back(dc);
}
void RecordingWindow::OnIdle() {
    if (idle)
        idle();
}

RecordingWindow& TheWindow() {
    static RecordingWindow* window = [] {
        SystemWindow::InstanceHandle = GetModuleHandleW(nullptr);
        return new RecordingWindow;
    }();
    return *window;
}

bool RunLoopUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    RecordingWindow& window = TheWindow();
    const DWORD start = GetTickCount();
    bool held = false;
    window.idle = [&] {
        held = done();
        if (held || GetTickCount() - start > timeoutMs)
            window.RunMessageLoop(false);
    };
    window.RunMessageLoop(true);
    window.idle = nullptr;
    return held;
}

void RunLoopUntilIdle() {
    RunLoopUntil([] { return true; });
}

void ShowForInput() {
    RecordingWindow& window = TheWindow();
    window.SetPosition(0, 0);
    SetWindowPos(window.hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    window.SetVisible(true);
    // Input finds the window only once the display has mapped it.
    RunLoopUntil([] { return false; }, 500);
}

void HideAfterInput() {
    RecordingWindow& window = TheWindow();
    SetWindowPos(window.hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    window.SetVisible(false);
}

void ClickAt(POINT screen, int clicks) {
    SetCursorPos(screen.x, screen.y);
    // Let the pointer's move arrive before the buttons.
    RunLoopUntil([] { return false; }, 200);
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i) {
        for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT input = {};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flag;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace testing_support
