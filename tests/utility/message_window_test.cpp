#include <gtest/gtest.h>

#include "support/dialog_answerer.h"
#include "utility/message_window.h"

using namespace testing_support;

namespace {

const std::wstring kHighE9(1, wchar_t(0xFFE9));

TEST(MessageBoxes, PlainBoxesWidenNarrowTextByteByByte) {
    {
        DialogAnswerer answer(IDOK);
        EXPECT_EQ(MessageWindow::Show(std::string("caf\xE9")), IDOK);
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.caption, L"Message");
        EXPECT_EQ(box.text, L"caf" + kHighE9);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.icon, nullptr);
    }
    {
        DialogAnswerer answer(IDOK);
        EXPECT_EQ(MessageWindow::Show("\xE9 pointer"), IDOK);
        EXPECT_EQ(answer.Wait().text, kHighE9 + L" pointer");
    }
    {
        DialogAnswerer answer(IDOK);
        EXPECT_EQ(MessageWindow::Show(std::wstring(L"wide \x0439")), IDOK);
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(box.text, L"wide \x0439");
        EXPECT_EQ(box.caption, L"Message");
    }
}

TEST(MessageBoxes, QuestionAnswersYesWithSixAndNoWithSeven) {
    for (int button : {IDYES, IDNO}) {
        DialogAnswerer answer(button);
        EXPECT_EQ(MessageWindow::ShowQuestion(L""), button);
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.caption, L"QUESTION");
        EXPECT_EQ(box.text, L"");
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        EXPECT_EQ(box.icon, SystemIconFor(MB_ICONQUESTION));
    }
    EXPECT_EQ(IDYES, 6);
    EXPECT_EQ(IDNO, 7);
}

TEST(MessageBoxes, ButtonSetAndIconCombineIntoTheStyle) {
    {
        DialogAnswerer answer(IDCANCEL);
        EXPECT_EQ(MessageWindow::Show(L"proceed?", MB::OkCancel, ICON::Warning), IDCANCEL);
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(box.caption, L"Message");
        EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
        EXPECT_EQ(box.icon, SystemIconFor(MB_ICONEXCLAMATION));
    }
    {
        DialogAnswerer answer(IDOK);
        EXPECT_EQ(MessageWindow::Show(L"failed", L"Own caption", ICON::Error), IDOK);
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(box.caption, L"Own caption");
        EXPECT_EQ(box.text, L"failed");
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.icon, SystemIconFor(MB_ICONHAND));
    }
    {
        DialogAnswerer answer(IDNO);
        EXPECT_EQ(MessageWindow::Show(L"save?", L"Editor", MB::YesNoCancel, ICON::Information),
                  IDNO);
        const SeenDialog box = answer.Wait();
        EXPECT_EQ(box.caption, L"Editor");
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
        EXPECT_EQ(box.icon, SystemIconFor(MB_ICONASTERISK));
    }
}

TEST(MessageBoxes, InfoShowsFixedTextsAndNothingOutsideTheRange) {
    const wchar_t* texts[] = {L"No error", L"Not find file", L"E_FALSE", L"E_OK"};
    for (int code = 0; code < 4; ++code) {
        DialogAnswerer answer(IDOK);
        OutMessageBoxInfo(static_cast<Errors>(code));
        const SeenDialog box = answer.Wait();
        ASSERT_TRUE(box.found) << code;
        EXPECT_EQ(box.caption, L"Info");
        EXPECT_EQ(box.text, texts[code]);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    }
    for (int code : {4, -1}) {
        DialogAnswerer answer(IDOK, 1500);
        OutMessageBoxInfo(static_cast<Errors>(code));
        EXPECT_FALSE(answer.Wait().found) << code;
    }
}

} // namespace
