#pragma once
// Answers a message box as a person would: waits for a dialog of this process, reads its
// caption, text, buttons and icon, then presses one button.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct SeenDialog {
    std::wstring caption, text;
    std::vector<int> buttons; // control ids of the visible buttons, e.g. IDOK, IDCANCEL
    HICON icon = nullptr;     // the icon shown, or null
};

// Starts watching at once and presses the button with this id when the dialog appears.
class DialogAnswerer {
  public:
    explicit DialogAnswerer(int button, DWORD timeoutMs = 20000);
    ~DialogAnswerer() { Wait(); }
    // Waits until the dialog was answered or the time ran out.
    SeenDialog Wait();

  private:
    SeenDialog seen_;
    std::thread watcher_;
};

// The icon the platform shows for a style flag such as MB_ICONQUESTION.
HICON SystemIconFor(UINT iconStyle);

} // namespace testing_support
