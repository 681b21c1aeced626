#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "support/dialog_answerer.h"
#include "utility/message_window.h"

using namespace testing_support;

TEST(MessageBoxes, EachFormShowsItsCaptionTextButtonsAndIcon) {
    const std::wstring high(1, wchar_t(0xFFE9));
    const std::vector<int> ok{IDOK}, yesNo{IDYES, IDNO};
    const struct {
        std::function<int()> show;
        int press, result;
        std::wstring caption, text;
        std::vector<int> buttons;
        UINT icon;
    } cases[] = {
        {[] { return MessageWindow::Show(std::string("caf\xE9")); }, IDOK, 1, L"Message",
         L"caf" + high, ok, 0},
        {[] { return MessageWindow::Show("\xE9 pointer"); }, IDOK, 1, L"Message",
         high + L" pointer", ok, 0},
        {[] { return MessageWindow::Show(L"wide \x0439"); }, IDOK, 1, L"Message", L"wide \x0439",
         ok, 0},
        {[] { return MessageWindow::ShowQuestion(L"sure?"); }, IDYES, 6, L"QUESTION", L"sure?",
         yesNo, MB_ICONQUESTION},
        {[] { return MessageWindow::ShowQuestion(L""); }, IDNO, 7, L"QUESTION", L"", yesNo,
         MB_ICONQUESTION},
        {[] { return MessageWindow::Show(L"go?", MB::OkCancel, ICON::Warning); },
         IDCANCEL,
         2,
         L"Message",
         L"go?",
         {IDOK, IDCANCEL},
         MB_ICONEXCLAMATION},
        {[] { return MessageWindow::Show(L"failed", L"Own", ICON::Error); }, IDOK, 1, L"Own",
         L"failed", ok, MB_ICONHAND},
        {[] { return MessageWindow::Show(L"save?", L"Ed", MB::YesNoCancel, ICON::Information); },
         IDNO,
         7,
         L"Ed",
         L"save?",
         {IDYES, IDNO, IDCANCEL},
         MB_ICONASTERISK},
        {[] { return OutMessageBoxInfo(NoError), IDOK; }, IDOK, 1, L"Info", L"No error", ok, 0},
        {[] { return OutMessageBoxInfo(NotFindFile), IDOK; }, IDOK, 1, L"Info", L"Not find file",
         ok, 0},
        {[] { return OutMessageBoxInfo(EFalse), IDOK; }, IDOK, 1, L"Info", L"E_FALSE", ok, 0},
        {[] { return OutMessageBoxInfo(EOk), IDOK; }, IDOK, 1, L"Info", L"E_OK", ok, 0},
    };
    for (const auto& c : cases) {
        DialogAnswerer answer(c.press);
        const int result = c.show();
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(std::make_tuple(result, box.caption, box.text, box.buttons, box.icon),
                  std::make_tuple(c.result, c.caption, c.text, c.buttons, SystemIconFor(c.icon)))
            << c.caption << " box '" << c.text << "'";
    }
}

TEST(MessageBoxes, InfoShowsNothingOutsideItsCodes) {
    for (int code : {4, -1}) {
        DialogAnswerer answer(IDOK, 1500);
        OutMessageBoxInfo(static_cast<Errors>(code));
        EXPECT_FALSE(answer.Wait().found) << code;
    }
}
