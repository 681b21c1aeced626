#include <gtest/gtest.h>

#include <algorithm>

#include "recording_window.h"
#include "support/dialog_answerer.h"

using namespace testing_support;

namespace {

using SystemWindow::ComponentList;
using SystemWindow::WindowList;

bool Listed(SystemWindow::Event* object) {
    return std::count(ComponentList.begin(), ComponentList.end(), object) == 1;
}

RECT ScreenRect(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return rect;
}

TEST(Window, ClassAndPlatformWindowAreMadeAsTabled) {
    RecordingWindow& window = TheWindow();
    ASSERT_NE(window.hwnd, nullptr);
    EXPECT_EQ(SystemWindow::MainWindow, &window);
    EXPECT_EQ(WindowList.front(), &window);
    EXPECT_TRUE(window.isWindow);
    EXPECT_TRUE(Listed(&window));
    EXPECT_FALSE(window.running);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExW(SystemWindow::InstanceHandle, L"Tolvane", &windowClass));
    EXPECT_EQ(windowClass.style, 0x23u) << "CS_VREDRAW | CS_HREDRAW | CS_OWNDC, no double clicks";
    EXPECT_EQ(windowClass.lpfnWndProc, &SystemWindow::WindowProcedure);
    EXPECT_EQ(windowClass.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hIcon, LoadIconW(nullptr, IDI_APPLICATION));
    LOGBRUSH brush = {};
    ASSERT_TRUE(GetObjectW(windowClass.hbrBackground, sizeof(brush), &brush));
    EXPECT_EQ(brush.lbColor, 0x6E8246u);

    // The platform adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window.hwnd, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
              0x02CA0000u)
        << "caption, system menu, minimise box, clip children; hidden, fixed size";
    EXPECT_EQ(GetWindowLongW(window.hwnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    const RECT outer = ScreenRect(window.hwnd);
    EXPECT_EQ(outer.right - outer.left, 1366);
    EXPECT_EQ(outer.bottom - outer.top, 854);
    EXPECT_EQ(window.GetWidth(), 1366);
    EXPECT_EQ(window.GetHeight(), 854);

    // Created before the platform window existed, so the title is empty.
    EXPECT_EQ(window.GetText(), L"");
    RECT client = {};
    GetClientRect(window.hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &window.clientRect));
    EXPECT_LT(client.bottom, 854) << "the caption takes part of the outer size";
}

TEST(Window, SettersMoveAndResizeThePlatformWindow) {
    RecordingWindow& window = TheWindow();
    window.SetPosition(30, 40);
    RECT outer = ScreenRect(window.hwnd);
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
    EXPECT_EQ(outer.right - outer.left, 1366);

    window.SetWidth(1000);
    outer = ScreenRect(window.hwnd);
    EXPECT_EQ(outer.left, 0) << "the size setters also place the window at (0, 0)";
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right, 1000);
    EXPECT_EQ(window.GetX(), 30) << "the stored position is kept";
    window.SetHeight(500);
    EXPECT_EQ(ScreenRect(window.hwnd).bottom, 500);
    // The client rectangle is read before the window is resized; the next getter refreshes it.
    RECT client = {};
    GetClientRect(window.hwnd, &client);
    EXPECT_FALSE(EqualRect(&client, &window.clientRect));
    EXPECT_EQ(window.GetHeight(), 500);
    EXPECT_TRUE(EqualRect(&client, &window.clientRect));

    window.SetWidth(1366);
    window.SetHeight(854);

    window.SetCaption(L"Caption");
    EXPECT_EQ(window.GetText(), L"Caption");
    window.SetText(std::string("t\xE9"));
    wchar_t title[8] = {};
    GetWindowTextW(window.hwnd, title, 8);
    EXPECT_EQ(std::wstring(title), std::wstring(L"t") + wchar_t(0xFFE9));
}

TEST(Window, SecondWindowGetsNoPlatformWindow) {
    RecordingWindow& first = TheWindow();
    DialogAnswerer answer(IDOK);
    auto* second = new SystemWindow::Window;
    const SeenDialog box = answer.Wait();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.text, L"Error registering class");
    EXPECT_EQ(box.icon, SystemIconFor(MB_ICONERROR));

    EXPECT_EQ(second->hwnd, nullptr);
    EXPECT_TRUE(second->isWindow) << "flagged and registered although creation failed";
    EXPECT_TRUE(Listed(second));
    EXPECT_EQ(SystemWindow::MainWindow, &first);
    EXPECT_EQ(WindowList.back(), second);

    second->Show(); // no platform window: returns at once without a loop
    EXPECT_FALSE(second->running);
    EXPECT_FALSE(second->visible);
}

TEST(MessageLoop, PostedMessagesReachTheEventOperations) {
    RecordingWindow& window = TheWindow();
    RunLoopUntilIdle();
    window.calls.clear();
    const HWND hwnd = window.hwnd;
    PostMessageW(hwnd, WM_KEYDOWN, VK_F5, 0);
    PostMessageW(hwnd, WM_KEYUP, VK_ESCAPE, 0);
    PostMessageW(hwnd, WM_CHAR, 'z', 0);
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(0xFFFF, 5));
    PostMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(10, 20));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(11, 21));
    PostMessageW(hwnd, WM_RBUTTONDOWN, 0, MAKELPARAM(12, 22));
    PostMessageW(hwnd, WM_RBUTTONUP, 0, MAKELPARAM(13, 23));
    PostMessageW(hwnd, WM_MBUTTONDOWN, 0, MAKELPARAM(14, 24));
    PostMessageW(hwnd, WM_MBUTTONUP, 0, MAKELPARAM(15, 25));
    // One notch backwards: -120 in the high word.
    PostMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 0xFF88), 0);
    PostMessageW(hwnd, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(300, 200));
    // Double-click messages have no event operation.
    PostMessageW(hwnd, WM_LBUTTONDBLCLK, 0, 0);
    PostMessageW(hwnd, WM_RBUTTONDBLCLK, 0, 0);
    PostMessageW(hwnd, WM_MBUTTONDBLCLK, 0, 0);
    PostQuitMessage(3);

    EXPECT_EQ(window.RunMessageLoop(true), 3u) << "WM_QUIT's exit code";
    EXPECT_TRUE(window.running) << "WM_QUIT ends the loop without clearing running";
    const std::vector<std::string> expected = {"keydown 116",    "keyup 27",     "char 122",
                                               "move 4 65535 5", "down 1 10 20", "up 1 11 21",
                                               "down 2 12 22",   "up 2 13 23",   "down 16 14 24",
                                               "up 16 15 25",    "wheel 65416",  "size 1 300 200"};
    EXPECT_EQ(window.calls, expected);
    window.running = false;
}

TEST(MessageLoop, CloseRequestStopsEveryLoopAndKeepsTheWindow) {
    RecordingWindow& window = TheWindow();
    EXPECT_EQ(SendMessageW(window.hwnd, WM_CLOSE, 0, 0), 0);

    PostMessageW(window.hwnd, WM_CLOSE, 0, 0);
    window.Show(); // visible, then runs the loop until the close request
    EXPECT_TRUE(window.visible);
    EXPECT_FALSE(window.running);
    for (SystemWindow::Window* each : WindowList)
        EXPECT_FALSE(each->running);
    EXPECT_TRUE(IsWindow(window.hwnd));
    EXPECT_TRUE(IsWindowVisible(window.hwnd));

    // WM_DESTROY stops the loops the same way; the loop then reports 0.
    PostMessageW(window.hwnd, WM_DESTROY, 0, 0);
    EXPECT_EQ(window.RunMessageLoop(true), 0u);
    EXPECT_FALSE(window.running);
    EXPECT_TRUE(IsWindow(window.hwnd));
    window.SetVisible(false);
}

// A windowless object that paints: not flagged, so it paints only in WM_PAINT's second pass.
struct PaintCounter : SystemWindow::Component {
    int paints = 0;
    void OnPaint(HDC dc) override { paints += dc != nullptr; }
};

TEST(MessageLoop, PaintReachesTheWindowTwiceAndEveryListedObjectOnce) {
    RecordingWindow& window = TheWindow();
    auto* counter = new PaintCounter;
    counter->hwnd = window.hwnd; // paints through the window's context
    SystemWindow::AddComponent(counter);
    window.SetVisible(true);
    RunLoopUntilIdle();
    window.paints.clear();
    counter->paints = 0;

    InvalidateRect(window.hwnd, nullptr, FALSE);
    RunLoopUntilIdle();
    ASSERT_EQ(window.paints.size(), 2u);
    EXPECT_EQ(counter->paints, 1);
    for (HDC dc : window.paints)
        EXPECT_EQ(dc, window.GetDeviceContext()) << "the window's own context each time";
    EXPECT_EQ(GetUpdateRect(window.hwnd, nullptr, FALSE), FALSE) << "the region was validated";

    counter->hwnd = nullptr;
    window.SetVisible(false);
}

// Registers a second flagged object while the broadcast is under way.
struct Registrar : SystemWindow::Component {
    bool registers = false;
    Registrar* added = nullptr;
    int chars = 0;
    void OnChar(WPARAM) override {
        ++chars;
        if (registers && added == nullptr) {
            added = new Registrar;
            added->isWindow = true;
            SystemWindow::AddComponent(added);
        }
    }
};

TEST(MessageLoop, ObjectsRegisteredDuringTheBroadcastStillHearTheMessage) {
    TheWindow();
    auto* registrar = new Registrar;
    registrar->isWindow = true;
    registrar->registers = true;
    SystemWindow::AddComponent(registrar);
    PostMessageW(TheWindow().hwnd, WM_CHAR, 'q', 0);
    RunLoopUntilIdle();
    ASSERT_NE(registrar->added, nullptr);
    EXPECT_EQ(registrar->chars, 1);
    EXPECT_EQ(registrar->added->chars, 1);
    registrar->isWindow = false;
    registrar->added->isWindow = false;
}

TEST(MessageLoop, FastDoubleClickArrivesAsTwoPressReleasePairs) {
    RecordingWindow& window = TheWindow();
    ShowForInput();
    window.calls.clear();

    POINT point = {100, 60};
    ClientToScreen(window.hwnd, &point);
    ClickAt(point, 2);
    auto presses = [&] {
        std::vector<std::string> seen;
        for (const std::string& call : window.calls)
            if (call.rfind("down", 0) == 0 || call.rfind("up", 0) == 0)
                seen.push_back(call);
        return seen;
    };
    EXPECT_TRUE(RunLoopUntil([&] { return presses().size() >= 4; }));
    RunLoopUntil([] { return false; }, 200); // a double-click message would come now
    const std::vector<std::string> expected = {"down 1 100 60", "up 1 100 60", "down 1 100 60",
                                               "up 1 100 60"};
    EXPECT_EQ(presses(), expected);
    HideAfterInput();
}

} // namespace
