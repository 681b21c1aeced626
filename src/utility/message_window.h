#pragma once
// Modal message boxes without an owner window. Every function returns MessageBoxW's result:
// the number of the button that closed the box (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7, ...),
// or 0 when the box could not be shown.
#include <string>

#include "utility/api.h"

// Button sets; the values are the platform's MB_OK... flags.
enum class MB : int {
    Ok = 0x0,
    OkCancel = 0x1,
    AbortRetryIgnore = 0x2,
    YesNoCancel = 0x3,
    YesNo = 0x4,
    RetryCancel = 0x5,
    CancelTryContinue = 0x6,
};

// Icons; the values are the platform's MB_ICON... flags.
enum class ICON : int {
    None = 0x0,
    Error = 0x10,
    Question = 0x20,
    Warning = 0x30,
    Information = 0x40,
};

// Result codes with a fixed text each, shown by OutMessageBoxInfo.
enum Errors : int {
    NoError = 0,
    NotFindFile = 1,
    EFalse = 2,
    EOk = 3,
};

namespace MessageWindow {

// Caption "Message", OK button. Narrow text is widened byte by byte (0xE9 shows as U+FFE9).
TOLVANE_API int Show(const char* text);
TOLVANE_API int Show(std::string text);
TOLVANE_API int Show(std::wstring text);
// Caption "QUESTION", Yes and No buttons, question icon: 6 for Yes, 7 for No.
TOLVANE_API int ShowQuestion(std::wstring text);
// Caption "Message"; style is buttons OR icon.
TOLVANE_API int Show(std::wstring text, MB buttons, ICON icon);
// Own caption; style is the icon alone (OK button).
TOLVANE_API int Show(std::wstring text, std::wstring caption, ICON icon);
// Own caption; style is buttons OR icon.
TOLVANE_API int Show(std::wstring text, std::wstring caption, MB buttons, ICON icon);

} // namespace MessageWindow

// Shows the code's text ("No error", "Not find file", "E_FALSE", "E_OK") with caption "Info";
// a value outside 0-3 shows nothing.
TOLVANE_API void OutMessageBoxInfo(Errors code);
