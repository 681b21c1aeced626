#include <gtest/gtest.h>

#include <algorithm>

#include "bitmap_file.h"
#include "canvas.h"
#include "recording_window.h"
#include "support/dialog_answerer.h"
#include "support/test_files.h"
#include "toolkit/image.h"

using namespace testing_support;

namespace {

using SystemWindow::Image;

constexpr COLORREF kLeft = RGB(200, 10, 10);
constexpr COLORREF kRight = RGB(10, 10, 200);

// Left half one colour, right half another.
void WriteHalves(const std::wstring& path, int width, int height) {
    WriteBitmapFile(path, width, height,
                    [width](int x, int) { return x < width / 2 ? kLeft : kRight; });
}

TEST(ImageLoad, MissingFileShowsItsPathAndKeepsTheBitmap) {
    ScratchFolder folder;
    WriteHalves(folder / L"a.bmp", 4, 4);
    Image image;
    const HBITMAP loaded = image.Load(folder / L"a.bmp");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(image.bitmap, loaded);

    const std::wstring missing = folder / L"sub\\none.bmp";
    DialogAnswerer answer(IDOK);
    EXPECT_EQ(image.Load(missing), nullptr);
    const SeenDialog box = answer.Wait();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Message");
    EXPECT_EQ(box.text, L"Error load no find file: " + missing);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.icon, nullptr);
    EXPECT_EQ(image.bitmap, loaded) << "a missing file leaves the bitmap as it was";
}

TEST(ImageLoad, FileThatIsNoBitmapGivesNullSilently) {
    ScratchFolder folder;
    WriteHalves(folder / L"a.bmp", 4, 4);
    WriteBytes(folder / L"text.bmp", "not a picture");
    Image image;
    ASSERT_NE(image.Load(folder / L"a.bmp"), nullptr);
    DialogAnswerer answer(IDOK, 1500);
    EXPECT_EQ(image.Load(folder / L"text.bmp"), nullptr);
    EXPECT_EQ(image.bitmap, nullptr);
    EXPECT_FALSE(answer.Wait().found) << "no message for a file that is there";
}

TEST(ImageDraw, WholeBitmapAtTheCornerOrStretchedIntoARectangle) {
    ScratchFolder folder;
    WriteHalves(folder / L"back.bmp", 1366, 854);
    Image image;
    ASSERT_NE(image.Load(folder / L"back.bmp"), nullptr);

    Canvas canvas(1400, 900);
    EXPECT_EQ(image.Draw(canvas.dc()), 1);
    EXPECT_EQ(canvas.At(0, 0), kLeft);
    EXPECT_EQ(canvas.At(682, 853), kLeft);
    EXPECT_EQ(canvas.At(683, 0), kRight);
    EXPECT_EQ(canvas.At(1365, 853), kRight);
    EXPECT_EQ(canvas.At(1366, 0), RGB(1, 2, 3)) << "unscaled: nothing right of the picture";
    EXPECT_EQ(canvas.At(0, 854), RGB(1, 2, 3));

    canvas.Fill(RGB(1, 2, 3));
    const RECT box = {10, 10, 110, 60};
    EXPECT_EQ(image.Draw(canvas.dc(), &box), 1);
    EXPECT_EQ(canvas.At(10, 10), kLeft);
    EXPECT_EQ(canvas.At(59, 59), kLeft);
    EXPECT_EQ(canvas.At(60, 10), kRight);
    EXPECT_EQ(canvas.At(109, 59), kRight);
    EXPECT_EQ(canvas.At(9, 9), RGB(1, 2, 3));
    EXPECT_EQ(canvas.At(110, 30), RGB(1, 2, 3));
    EXPECT_EQ(canvas.At(50, 60), RGB(1, 2, 3));

    canvas.Fill(RGB(1, 2, 3));
    EXPECT_EQ(image.Draw(nullptr), 0);
    EXPECT_EQ(image.Draw(nullptr, &box), 0);
    EXPECT_EQ(image.Draw(canvas.dc(), nullptr), 0);
    EXPECT_EQ(Image().Draw(canvas.dc()), 0) << "no bitmap loaded";
    EXPECT_EQ(canvas.At(10, 10), RGB(1, 2, 3));
}

// Takes a test's button off the window so that later clicks do not land on it.
void Remove(Image* button) {
    DestroyWindow(button->hwnd);
    button->hwnd = nullptr;
}

// Records the clicks that reach an image button's onClick.
std::vector<std::string> Clicks;
void RecordClick(int button, int x, int y) {
    Clicks.push_back(std::to_string(button) + " " + std::to_string(x) + " " + std::to_string(y));
}

TEST(ImageButton, FixedSizeVisibleChildRegisteredButNotFlagged) {
    ScratchFolder folder;
    WriteHalves(folder / L"small.bmp", 20, 20);
    RecordingWindow& window = TheWindow();
    const std::size_t before = SystemWindow::ComponentList.size();
    auto* button = new Image(window.hwnd, L"Download1", 70, 80);
    ASSERT_NE(button->hwnd, nullptr);
    EXPECT_EQ(SystemWindow::ComponentList.size(), before + 1) << "registered once";
    EXPECT_EQ(SystemWindow::ComponentList.back(), button);
    EXPECT_FALSE(button->isWindow);
    EXPECT_FALSE(button->visible) << "the field is not the platform window's state";
    EXPECT_TRUE(GetWindowLongW(button->hwnd, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(GetParent(button->hwnd), window.hwnd);
    EXPECT_EQ(GetDlgCtrlID(button->hwnd), 0);
    EXPECT_EQ(button->text, L"Download1");
    wchar_t label[16] = {};
    GetWindowTextW(button->hwnd, label, 16);
    EXPECT_EQ(std::wstring(label), L"Download1");

    ASSERT_NE(button->Load(folder / L"small.bmp"), nullptr);
    SendMessageW(button->hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(button->bitmap));
    RECT rect = {};
    GetWindowRect(button->hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 455) << "whatever size the bitmap has";
    EXPECT_EQ(rect.bottom - rect.top, 256);
    POINT origin = {rect.left, rect.top};
    ScreenToClient(window.hwnd, &origin);
    EXPECT_EQ(origin.x, 70);
    EXPECT_EQ(origin.y, 80);
    Remove(button);
}

TEST(ImageButton, ClickNotificationReachesOnClick) {
    RecordingWindow& window = TheWindow();
    auto* button = new Image(window.hwnd, L"Download1", 0, 0);
    Clicks.clear();
    SendMessageW(button->hwnd, BM_CLICK, 0, 0); // nothing set: nothing happens
    EXPECT_TRUE(Clicks.empty());

    button->onClick = RecordClick;
    SendMessageW(button->hwnd, BM_CLICK, 0, 0);
    const int low = static_cast<int>(reinterpret_cast<INT_PTR>(button->hwnd));
    EXPECT_EQ(Clicks, std::vector<std::string>{"0 0 " + std::to_string(low)});

    // A notification from a control whose identifier is not 0 reaches no object.
    Clicks.clear();
    SendMessageW(window.hwnd, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button->hwnd));
    EXPECT_TRUE(Clicks.empty());
    // A menu command names no control.
    SendMessageW(window.hwnd, WM_COMMAND, MAKEWPARAM(0, 0), 0);
    EXPECT_TRUE(Clicks.empty());
    Remove(button);
}

TEST(ImageButton, RealMouseClickGivesOnlyTheClickNotification) {
    RecordingWindow& window = TheWindow();
    auto* button = new Image(window.hwnd, L"Download1", 0, 0);
    button->onClick = RecordClick;
    ShowForInput();
    window.calls.clear();
    Clicks.clear();

    POINT centre = {227, 128};
    ClientToScreen(button->hwnd, &centre);
    ClickAt(centre);
    EXPECT_TRUE(RunLoopUntil([] { return !Clicks.empty(); }));
    RunLoopUntil([] { return false; }, 200);
    EXPECT_EQ(Clicks.size(), 1u);
    EXPECT_TRUE(std::none_of(window.calls.begin(), window.calls.end(), [](const std::string& c) {
        return c.rfind("down", 0) == 0 || c.rfind("up", 0) == 0;
    })) << "the button's own mouse messages do not pass through the window procedure";
    HideAfterInput();
    Remove(button);
}

} // namespace
