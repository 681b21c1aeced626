#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "support/dialog_answerer.h"
#include "utility/message_window.h"

using namespace testing_support;

// The button to press and the result, the caption, the text, the buttons and the icon.
using Box = std::tuple<int, std::wstring, std::wstring, std::vector<int>, HICON>;

TEST(MessageBoxes, EachFormShowsItsCaptionTextButtonsAndIcon) {
    const std::vector<int> ok{IDOK}, yesNo{IDYES, IDNO};
    const HICON question = SystemIconFor(MB_ICONQUESTION);
    const std::pair<std::function<int()>, Box> cases[] = {
        {[] { return MessageWindow::Show(std::string("caf\xE9")); },
         {1, L"Message", L"caf\xFFE9", ok, nullptr}},
        {[] { return MessageWindow::ShowQuestion(L"sure?"); },
         {6, L"QUESTION", L"sure?", yesNo, question}},
        {[] { return MessageWindow::ShowQuestion(L""); }, {7, L"QUESTION", L"", yesNo, question}},
        {[] { return MessageWindow::Show(L"go?", MB::OkCancel, ICON::Warning); },
         {2, L"Message", L"go?", {IDOK, IDCANCEL}, SystemIconFor(MB_ICONEXCLAMATION)}},
        {[] { return MessageWindow::Show(L"failed", L"Own", ICON::Error); },
         {1, L"Own", L"failed", ok, SystemIconFor(MB_ICONHAND)}},
        {[] { return MessageWindow::Show(L"save?", L"Ed", MB::YesNoCancel, ICON::Information); },
         {7, L"Ed", L"save?", {IDYES, IDNO, IDCANCEL}, SystemIconFor(MB_ICONASTERISK)}}};
    for (const auto& [show, expected] : cases) {
        DialogAnswerer answer(std::get<0>(expected));
        const int result = show();
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(Box(result, box.caption, box.text, box.buttons, box.icon), expected);
    }
}

TEST(MessageBoxes, InfoShowsTheTextOfItsCodeAndNothingOutsideThem) {
    const wchar_t* texts[] = {L"", L"No error", L"Not find file", L"E_FALSE", L"E_OK", L""};
    for (int code = -1; code <= 4; ++code) {
        const bool shown = code >= 0 && code <= 3;
        DialogAnswerer answer(IDOK, shown ? 20000 : 1500);
        OutMessageBoxInfo(static_cast<Errors>(code));
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(std::make_tuple(box.caption, box.text),
                  std::make_tuple(shown ? L"Info" : L"", texts[code + 1]))
            << code;
    }
}
