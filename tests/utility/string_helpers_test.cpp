#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "utility/string_helpers.h"

TEST(Strings, ConvertByteByByteBothWaysForEveryByte) {
    EXPECT_EQ(String::ToWstring("A\xE9"), (std::wstring{L'A', wchar_t(0xFFE9)}));
    EXPECT_EQ(String::ToString({L'A', wchar_t(0x0439), wchar_t(0xFFE9), wchar_t(0xE9)}),
              "A9\xE9\xE9");
    std::string all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = static_cast<char>(b);
    EXPECT_EQ(String::ToString(String::ConvertString(all)), all);
    EXPECT_EQ(String::ConvertString(String::ToWstring(all)), all);
}

TEST(Strings, SplitIntoFieldsClearThemAndCountAndRemoveLines) {
    using V = std::vector<std::string>;
    const std::pair<std::string, V> cases[] = {
        {"", {}},           {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},  {"a,", {"a"}},
        {"a,,", {"a", ""}}, {std::string("\0,x\0y", 5), {{"\0", 1}, {"x\0y", 3}}}};
    for (const auto& [text, fields] : cases) {
        V got = String::Split(text, ',');
        EXPECT_EQ(got, fields) << "'" << text << "'";
        String::ClearListString(got);
        EXPECT_EQ(got, V(fields.size())) << "cleared, none removed: '" << text << "'";
    }
    using Line = std::tuple<std::wstring, unsigned, std::wstring>;
    for (auto [text, count, rest] :
         {Line{L"a\nb\nc", 2, L"b\nc"}, {L"\n", 1, L""}, {L"x\r", 0, L"x\r"}}) {
        EXPECT_EQ(String::GetCountSubString(text), count) << String::ToString(text);
        String::RemoveSubString(text);
        EXPECT_EQ(text, rest);
    }
}

TEST(Strings, EraseRemoveAndReplace) {
    EXPECT_EQ(String::erase(std::wstring(32, L'a') + L"b"), std::wstring(32, L'a'));
    try {
        String::erase(std::wstring(31, L'x'));
        ADD_FAILURE() << "a 31-unit text must be refused";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid string position");
    }
    std::string text = "a-b-\xE9";
    EXPECT_EQ(String::Remove(text, '-'), "ab\xE9");
    EXPECT_EQ(text, "") << "Remove leaves the argument empty";
    text = "a\xE9";
    String::Replace(text, '\xE9', 'b');
    EXPECT_EQ(text, "ab");
    // Wide: a high from byte matches no unit, and the replacement is widened.
    std::wstring wide{L'a', wchar_t(0xE9), wchar_t(0xFFE9)};
    String::Replace(wide, '\xE9', 'z');
    String::Replace(wide, 'a', '\xE9');
    EXPECT_EQ(wide, (std::wstring{wchar_t(0xFFE9), wchar_t(0xE9), wchar_t(0xFFE9)}));
}
