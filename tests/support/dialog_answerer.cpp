#include "support/dialog_answerer.h"

namespace testing_support {

// A window's class name or text (both platform calls take the same arguments).
static std::wstring Read(int(WINAPI* get)(HWND, LPWSTR, int), HWND window) {
    wchar_t text[4096] = {};
    get(window, text, 4096);
    return text;
}

// A visible dialog of this process stops the search.
static BOOL CALLBACK IsNotMine(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        Read(GetClassNameW, window) == L"#32770")
        *reinterpret_cast<HWND*>(found) = window;
    return *reinterpret_cast<HWND*>(found) == nullptr;
}

DialogAnswerer::DialogAnswerer(int button, DWORD timeoutMs)
    : watcher_([this, button, timeoutMs] {
          HWND dialog = nullptr;
          for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20))
              if (!EnumWindows(IsNotMine, reinterpret_cast<LPARAM>(&dialog)))
                  break;
          if (dialog == nullptr)
              return;
          Sleep(50); // let the box finish laying out its controls
          seen_.caption = Read(GetWindowTextW, dialog);
          for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
              const std::wstring type = IsWindowVisible(c) ? Read(GetClassNameW, c) : L"";
              if (_wcsicmp(type.c_str(), L"Button") == 0)
                  seen_.buttons.push_back(GetDlgCtrlID(c));
              else if (_wcsicmp(type.c_str(), L"Static") != 0)
                  continue;
              else if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                  seen_.icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
              else
                  seen_.text = Read(GetWindowTextW, c);
          }
          // Press the button as a person would; a box without it is closed by command.
          if (HWND target = GetDlgItem(dialog, button))
              SendMessageW(target, BM_CLICK, 0, 0);
          else
              PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      }) {}

SeenDialog DialogAnswerer::Wait() {
    if (watcher_.joinable())
        watcher_.join();
    return seen_;
}

HICON SystemIconFor(UINT iconStyle) {
    // MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION and MB_ICONASTERISK (0x10-0x40) show
    // IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION and IDI_ASTERISK (32513-32516).
    const UINT n = (iconStyle & MB_ICONMASK) >> 4;
    return n >= 1 && n <= 4 ? LoadIconW(nullptr, MAKEINTRESOURCEW(32512 + n)) : nullptr;
}

} // namespace testing_support
