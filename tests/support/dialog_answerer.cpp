#include "support/dialog_answerer.h"

namespace testing_support {

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        ClassOf(window) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM out) {
    auto& seen = *reinterpret_cast<SeenDialog*>(out);
    if (!IsWindowVisible(child))
        return TRUE;
    const std::wstring cls = ClassOf(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        seen.buttons.push_back(GetDlgCtrlID(child));
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            seen.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        else
            seen.text = TextOf(child);
    }
    return TRUE;
}

} // namespace

DialogAnswerer::DialogAnswerer(int button, DWORD timeoutMs)
    : watcher_(&DialogAnswerer::Watch, this, button, timeoutMs) {}

DialogAnswerer::~DialogAnswerer() {
    if (watcher_.joinable())
        watcher_.join();
}

SeenDialog DialogAnswerer::Wait() {
    if (watcher_.joinable())
        watcher_.join();
    return seen_;
}

void DialogAnswerer::Watch(int button, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while (dialog == nullptr && GetTickCount() - start < timeoutMs) {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog == nullptr)
            Sleep(20);
    }
    if (dialog == nullptr)
        return;
    Sleep(50); // let the box finish laying out its controls
    seen_.found = true;
    seen_.caption = TextOf(dialog);
    EnumChildWindows(dialog, ReadChild, reinterpret_cast<LPARAM>(&seen_));
    if (HWND target = GetDlgItem(dialog, button))
        SendMessageW(target, BM_CLICK, 0, 0);
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

HICON SystemIconFor(UINT iconStyle) {
    switch (iconStyle) {
    case MB_ICONHAND:
        return LoadIconW(nullptr, IDI_HAND);
    case MB_ICONQUESTION:
        return LoadIconW(nullptr, IDI_QUESTION);
    case MB_ICONEXCLAMATION:
        return LoadIconW(nullptr, IDI_EXCLAMATION);
    case MB_ICONASTERISK:
        return LoadIconW(nullptr, IDI_ASTERISK);
    default:
        return nullptr;
    }
}

} // namespace testing_support
