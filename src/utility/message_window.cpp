#include "utility/message_window.h"

#include <windows.h>

#include "utility/string_helpers.h"

namespace MessageWindow {

namespace {

int Box(const std::wstring& text, const wchar_t* caption, UINT style) {
    return MessageBoxW(nullptr, text.c_str(), caption, style);
}

UINT Style(MB buttons, ICON icon) {
    return static_cast<UINT>(static_cast<int>(buttons) | static_cast<int>(icon));
}

} // namespace

int Show(const char* text) {
    return Show(std::string(text ? text : ""));
}

int Show(std::string text) {
    return Box(String::ToWstring(std::move(text)), L"Message", MB_OK);
}

int Show(std::wstring text) {
    return Box(text, L"Message", MB_OK);
}

int ShowQuestion(std::wstring text) {
    return Box(text, L"QUESTION", MB_YESNO | MB_ICONQUESTION);
}

int Show(std::wstring text, MB buttons, ICON icon) {
    return Box(text, L"Message", Style(buttons, icon));
}

int Show(std::wstring text, std::wstring caption, ICON icon) {
    return Box(text, caption.c_str(), static_cast<UINT>(icon));
}

int Show(std::wstring text, std::wstring caption, MB buttons, ICON icon) {
    return Box(text, caption.c_str(), Style(buttons, icon));
}

} // namespace MessageWindow

void OutMessageBoxInfo(Errors code) {
    static const wchar_t* const kTexts[] = {L"No error", L"Not find file", L"E_FALSE", L"E_OK"};
    const int index = static_cast<int>(code);
    if (index < 0 || index > 3)
        return;
    MessageBoxW(nullptr, kTexts[index], L"Info", MB_OK);
}
