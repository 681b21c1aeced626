#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "support/dialog_answerer.h"
#include "test_pictures.h"
#include "toolkit/image.h"
#include "toolkit/window.h"

using namespace testing_support;

namespace {

// The process's one toolkit window (the class registers once per process), recording the event
// operations it receives.
struct Recorder : SystemWindow::Window {
    std::vector<std::string> calls; // "down 1 10 20", "keyup 27", ...
    std::vector<HDC> paints;

    template <typename... Values> void Log(const char* name, Values... values) {
        calls.push_back(name);
        ((calls.back() += " " + std::to_string(values)), ...);
    }
    void OnKeyDown(WPARAM key) override { Log("keydown", key); }
    void OnKeyUp(WPARAM key) override { Log("keyup", key); }
    void OnChar(WPARAM character) override { Log("char", character); }
    void OnMouseDown(int button, int x, int y) override { Log("down", button, x, y); }
    void OnMouseUp(int button, int x, int y) override { Log("up", button, x, y); }
    void OnMouseMove(WPARAM keys, int x, int y) override { Log("move", keys, x, y); }
    void OnSize(WPARAM type, int width, int height) override { Log("size", type, width, height); }
    void OnMouseWheel(int delta) override { Log("wheel", delta); }
    void OnPaint(HDC dc) override { paints.push_back(dc); }
    void OnAppMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        Log("app", message, wParam, lParam);
    }
    void OnQueryEndSession() override { Log("query-end"); }
    void OnEndSession(bool ending) override { Log("end", ending); }
    void OnIdle() override { RunMessageLoop(false); }
    // Runs the loop until the queue is empty, again and again for at least ms.
    void Pump(DWORD ms = 0) {
        const DWORD end = GetTickCount() + ms;
        do
            RunMessageLoop(true);
        while (GetTickCount() < end);
    }
};

// Made before the tests run; it is the process's MainWindow.
Recorder& window = *[] {
    SystemWindow::InstanceHandle = GetModuleHandleW(nullptr);
    return new Recorder;
}();

TEST(Window, PostedMessagesReachTheEventOperations) {
    const std::tuple<UINT, WPARAM, LPARAM, std::vector<std::string>> cases[] = {
        {WM_KEYDOWN, VK_F5, 0, {"keydown 116"}},
        {WM_KEYUP, VK_ESCAPE, 0, {"keyup 27"}},
        {WM_CHAR, 'z', 0, {"char 122"}},
        {WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(0xFFFF, 5), {"move 4 65535 5"}},
        {WM_LBUTTONDOWN, 0, MAKELPARAM(10, 20), {"down 1 10 20"}},
        {WM_LBUTTONUP, 0, MAKELPARAM(11, 21), {"up 1 11 21"}},
        {WM_RBUTTONDOWN, 0, MAKELPARAM(12, 22), {"down 2 12 22"}},
        {WM_RBUTTONUP, 0, MAKELPARAM(13, 23), {"up 2 13 23"}},
        {WM_MBUTTONDOWN, 0, MAKELPARAM(14, 24), {"down 16 14 24"}},
        {WM_MBUTTONUP, 0, MAKELPARAM(15, 25), {"up 16 15 25"}},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 0xFF88), 0, {"wheel 65416"}}, // one notch backwards
        {WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(300, 200), {"size 1 300 200"}},
        {WM_LBUTTONDBLCLK, 0, 0, {}}, // no event operation for double clicks
        {WM_APP, 7, -1, {"app 32768 7 -1"}},
        {0xBFFF, 0, 0, {"app 49151 0 0"}},
        {WM_APP - 1, 0, 0, {}}, // the controls' own range is not the application's
        {WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, {"query-end"}},
        {WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, {"end 1"}},
        {WM_ENDSESSION, FALSE, 0, {"end 0"}},
    };
    for (const auto& [message, wParam, lParam, calls] : cases) {
        window.calls.clear();
        PostMessageW(window.hwnd, message, wParam, lParam);
        window.Pump();
        EXPECT_EQ(window.calls, calls) << "message 0x" << std::hex << message;
    }
    EXPECT_EQ(SendMessageW(window.hwnd, WM_QUERYENDSESSION, 0, 0), TRUE) << "agrees to the end";
    PostQuitMessage(3);
    EXPECT_EQ(window.RunMessageLoop(true), 3u) << "WM_QUIT's exit code";
    EXPECT_TRUE(window.running) << "WM_QUIT ends the loop without clearing running";
    window.running = false;
}

TEST(Window, CloseRequestStopsTheLoopAndKeepsTheWindow) {
    window.SetVisible(true);
    window.calls.clear();
    PostMessageW(window.hwnd, WM_CLOSE, 0, 0);
    PostMessageW(window.hwnd, WM_CHAR, 'z', 0);
    window.Show(); // runs the loop, which stops at the close request
    EXPECT_TRUE(window.calls.empty()) << "the loop ran on past the close request";
    EXPECT_FALSE(window.running);
    EXPECT_TRUE(IsWindowVisible(window.hwnd));
}

TEST(Window, OnePaintMessagePaintsTheWindowTwice) {
    window.SetVisible(true);
    window.Pump();
    window.paints.clear();
    InvalidateRect(window.hwnd, nullptr, FALSE);
    window.Pump();
    EXPECT_EQ(window.paints, std::vector<HDC>(2, window.GetDeviceContext()));
}

TEST(Window, FastDoubleClickArrivesAsTwoPressReleasePairs) {
    // Real input finds the window only once it is on top and the display has mapped it.
    SetWindowPos(window.hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
    window.SetVisible(true);
    POINT point = {100, 60};
    ClientToScreen(window.hwnd, &point);
    SetCursorPos(point.x, point.y);
    window.Pump(500);
    window.calls.clear();
    for (DWORD button :
         {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
        mouse_event(button, 0, 0, 0, 0);
    window.Pump(1000); // a double-click message would come in this time too
    auto& calls = window.calls;
    const auto move = [](const std::string& call) { return call.rfind("move", 0) == 0; };
    calls.erase(std::remove_if(calls.begin(), calls.end(), move), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{"down 1 100 60", "up 1 100 60", "down 1 100 60",
                                               "up 1 100 60"}));
    SetWindowPos(window.hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    window.SetVisible(false);
}

TEST(Image, LoadsAndDrawsUnscaledOrStretched) {
    constexpr COLORREF kLeft = RGB(200, 10, 10), kRight = RGB(10, 10, 200);
    ScratchFolder folder;
    WriteBitmap(folder / L"halves.bmp", 40, 20, kLeft, kRight);
    SystemWindow::Image image;
    ASSERT_NE(image.Load(folder / L"halves.bmp"), nullptr);
    // Where it is drawn (null: unscaled at (0, 0)), and where its two halves then are.
    const RECT stretched = {10, 10, 90, 50}; // twice the picture's size
    for (auto [to, left, right] :
         {std::tuple<const RECT*, RECT, RECT>{nullptr, {0, 0, 20, 20}, {20, 0, 40, 20}},
          {&stretched, {10, 10, 50, 50}, {50, 10, 90, 50}}}) {
        Canvas canvas(100, 100), expected(100, 100);
        EXPECT_EQ(to ? image.Draw(canvas.dc(), to) : image.Draw(canvas.dc()), 1);
        expected.Fill(kLeft, left);
        expected.Fill(kRight, right);
        EXPECT_EQ(canvas.Difference(expected, {0, 0, 100, 100}), "") << "stretched " << !!to;
    }
    const std::wstring missing = folder / L"none.bmp";
    DialogAnswerer answer(IDOK);
    EXPECT_EQ(image.Load(missing), nullptr);
    EXPECT_EQ(answer.Wait().text, L"Error load no find file: " + missing);
}

// Last: the second window stays listed and hears the first one's messages.
TEST(WindowClass, SecondWindowShowsErrorRegisteringClass) {
    DialogAnswerer answer(IDOK);
    const auto* second = new SystemWindow::Window;
    EXPECT_EQ(answer.Wait().text, L"Error registering class");
    EXPECT_EQ(second->hwnd, nullptr);
}

} // namespace
