// Looks at and acts on a running launcher from outside, as a person at the screen would.
//   launcher_probe window <match> <ms>           wait for its window; print its state
//   launcher_probe dialog <match> <button> <ms>  wait for a message box; print it and whether
//                                                the launcher's window is visible; press button
//                                                (0: leave the box open)
//   launcher_probe nodialog <match> <ms>         print whether a message box came within ms
//   launcher_probe post <match> <request>        close | sysclose | escape | click-cad | click-game
//                                                | end-message (the launcher's private end
//                                                request, as another program could post it)
//   launcher_probe render - <text> <rrggbb> <file>  the status line as the launcher draws it
// <match> picks the launcher by the end of its executable's path, e.g.
// "\run-1\TolvaneLauncher.exe". Exit code 0 when the awaited thing was there, 1 when not, 2 on bad
// arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Match;

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

bool BelongsToLauncher(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (handle == nullptr)
        return false;
    // The launcher may lie in a folder of any path length.
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    const bool named = QueryFullProcessImageNameW(handle, 0, &path[0], &length);
    CloseHandle(handle);
    path.resize(named ? length : 0);
    return named && EndsWith(path, Match);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(GetWindowTextW(window, &text[0], static_cast<int>(text.size())));
    return text;
}

// Printed as ASCII; other characters as \uXXXX.
std::string Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

HWND FindTopLevel(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search = {className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (ClassOf(window) == s.className && BelongsToLauncher(window)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(const wchar_t* className, DWORD ms, bool visible) {
    const DWORD start = GetTickCount();
    do {
        HWND window = FindTopLevel(className);
        if (window != nullptr && (!visible || IsWindowVisible(window)))
            return window;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

RECT InClient(HWND child, HWND parent) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int ShowWindowState(DWORD ms) {
    HWND window = WaitFor(L"Tolvane", ms, true);
    if (window == nullptr) {
        HWND hidden = FindTopLevel(L"Tolvane");
        std::printf("found=%d\nvisible=0\n", hidden != nullptr);
        return 1;
    }
    RECT outer = {};
    GetWindowRect(window, &outer);
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    std::printf("found=1\nvisible=1\ntitle=%s\n", Printable(TextOf(window)).c_str());
    std::printf("outer=%ld,%ld,%ld,%ld\n", outer.left, outer.top, outer.right, outer.bottom);
    std::printf("client_origin=%ld,%ld\nclient_size=%ld,%ld\n", origin.x, origin.y, client.right,
                client.bottom);
    for (HWND child : Children(window)) {
        const RECT r = InClient(child, window);
        std::printf("child=%s,%ld,%ld,%ld,%ld\n", Printable(ClassOf(child)).c_str(), r.left, r.top,
                    r.right, r.bottom);
    }
    return 0;
}

BOOL CALLBACK ReadDialogChild(HWND child, LPARAM) {
    if (!IsWindowVisible(child))
        return TRUE;
    const std::wstring cls = ClassOf(child);
    if (_wcsicmp(cls.c_str(), L"Static") == 0 && !TextOf(child).empty())
        std::printf("text=%s\n", Printable(TextOf(child)).c_str());
    else if (_wcsicmp(cls.c_str(), L"Button") == 0)
        std::printf("button=%d\n", GetDlgCtrlID(child));
    return TRUE;
}

int AnswerDialog(int button, DWORD ms) {
    HWND dialog = WaitFor(L"#32770", ms, true);
    if (dialog == nullptr) {
        std::printf("found=0\n");
        return 1;
    }
    Sleep(100); // let the box finish laying out its controls
    std::printf("found=1\ncaption=%s\n", Printable(TextOf(dialog)).c_str());
    HWND window = FindTopLevel(L"Tolvane");
    std::printf("window_visible=%d\n", window != nullptr && IsWindowVisible(window));
    EnumChildWindows(dialog, ReadDialogChild, 0);
    std::fflush(stdout);
    if (button != 0)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    return 0;
}

int Post(const std::string& request) {
    HWND window = FindTopLevel(L"Tolvane");
    if (window == nullptr) {
        std::printf("found=0\n");
        return 1;
    }
    if (request == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (request == "sysclose") {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (request == "end-message") {
        PostMessageW(window, WM_APP + 1, 0, 0);
    } else if (request == "escape") {
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(window, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    } else if (request == "click-cad" || request == "click-game") {
        // The CAD tile is the left one of the two buttons.
        HWND left = nullptr;
        HWND right = nullptr;
        for (HWND child : Children(window)) {
            const RECT r = InClient(child, window);
            if (left == nullptr || r.left < InClient(left, window).left)
                left = child;
            if (right == nullptr || r.left > InClient(right, window).left)
                right = child;
        }
        HWND tile = request == "click-cad" ? left : right;
        if (tile == nullptr)
            return 1;
        PostMessageW(tile, BM_CLICK, 0, 0);
    } else {
        return 2;
    }
    std::printf("posted=%s\n", request.c_str());
    return 0;
}

// The status line as the launcher draws it over a background of one colour, written as a
// 24-bit bitmap of the client area from (30, 137), 400 x 33 pixels, below the contact lines.
constexpr int kStatusLeft = 30;
constexpr int kStatusTop = 137;
constexpr int kStatusWidth = 400;
constexpr int kStatusHeight = 33;

int RenderStatusLine(const std::wstring& text, COLORREF background, const std::wstring& file) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kStatusWidth;
    info.bmiHeader.biHeight = kStatusHeight; // bottom-up, as the file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECT all = {0, 0, kStatusWidth, kStatusHeight};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutW(dc, 41 - kStatusLeft, 140 - kStatusTop, text.c_str(), static_cast<int>(text.size()));
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutW(dc, 40 - kStatusLeft, 140 - kStatusTop, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();

    const DWORD imageBytes = ((kStatusWidth * 3 + 3) & ~3) * kStatusHeight;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageBytes;
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok = out != INVALID_HANDLE_VALUE &&
                    WriteFile(out, &header, sizeof(header), &written, nullptr) &&
                    WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
                    WriteFile(out, bits, imageBytes, &written, nullptr);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    std::printf("area=%d,%d,%d,%d\n", kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight);
    return ok ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const std::wstring command = argv[1];
    Match = argv[2];
    int result = 2;
    if (command == L"window" && argc == 4)
        result = ShowWindowState(std::wcstoul(argv[3], nullptr, 10));
    else if (command == L"dialog" && argc == 5)
        result =
            AnswerDialog(std::wcstol(argv[3], nullptr, 10), std::wcstoul(argv[4], nullptr, 10));
    else if (command == L"nodialog" && argc == 4)
        result = WaitFor(L"#32770", std::wcstoul(argv[3], nullptr, 10), true) ? 1 : 0;
    else if (command == L"render" && argc == 6) {
        const unsigned long rgb = std::wcstoul(argv[4], nullptr, 16);
        result = RenderStatusLine(argv[3], RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF), argv[5]);
    } else if (command == L"post" && argc == 4) {
        std::wstring request = argv[3];
        result = Post(std::string(request.begin(), request.end()));
    }
    std::fflush(stdout);
    return result;
}
