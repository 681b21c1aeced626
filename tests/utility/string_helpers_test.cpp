#include <gtest/gtest.h>

#include <stdexcept>

#include "utility/string_helpers.h"

TEST(StringConversion, ByteByByteBothWays) {
    EXPECT_EQ(String::ToWstring("A\x7F\xE9"), (std::wstring{L'A', 0x7F, wchar_t(0xFFE9)}));
    EXPECT_EQ(String::ToString({L'A', wchar_t(0x0439), wchar_t(0xFFE9), wchar_t(0x00E9)}),
              "A9\xE9\xE9");
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::wstring wide = String::ToWstring(all);
    EXPECT_EQ(wide.size(), 256u) << "the zero byte is a unit like any other";
    EXPECT_EQ(String::ToString(wide), all);
    EXPECT_EQ(String::ConvertString(wide), all);
    EXPECT_EQ(String::ConvertString(all), wide);
}

TEST(StringErase, KeepsFirst32UnitsAndRefusesShorterText) {
    EXPECT_EQ(String::erase(std::wstring(32, L'a') + L"bb"), std::wstring(32, L'a'));
    try {
        String::erase(std::wstring(31, L'x'));
        ADD_FAILURE() << "a 31-unit text must be refused";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid string position");
    }
}

TEST(StringSplit, FieldsBetweenSeparators) {
    using V = std::vector<std::string>;
    const std::pair<std::string, V> cases[] = {
        {"", {}},      {"a", {"a"}}, {"a,,b", {"a", "", "b"}}, {",a", {"", "a"}},
        {"a,", {"a"}}, {",", {""}},  {"a,,", {"a", ""}},
    };
    for (const auto& [text, fields] : cases)
        EXPECT_EQ(String::Split(text, ','), fields) << "'" << text << "'";
    EXPECT_EQ(String::Split("x\xFFy", '\xFF'), (V{"x", "y"})) << "a high byte separates too";
}

TEST(StringEdits, RemoveReplaceAndClear) {
    std::string text = "a-b-c";
    EXPECT_EQ(String::Remove(text, '-'), "abc");
    EXPECT_EQ(text, "") << "Remove leaves the argument empty";
    text = "a\xE9"
           "a";
    String::Replace(text, '\xE9', 'b');
    EXPECT_EQ(text, "aba");
    // Wide: a high from byte matches no unit, and the replacement is widened.
    std::wstring wide{L'a', wchar_t(0x00E9), wchar_t(0xFFE9)};
    String::Replace(wide, '\xE9', 'z');
    String::Replace(wide, 'a', '\xE9');
    EXPECT_EQ(wide, (std::wstring{wchar_t(0xFFE9), wchar_t(0x00E9), wchar_t(0xFFE9)}));
    std::vector<std::string> list{"x", "", "yz"};
    String::ClearListString(list);
    EXPECT_EQ(list, (std::vector<std::string>(3)));
}

TEST(StringLines, CountAndRemoveFirstLine) {
    const std::pair<std::wstring, std::pair<std::uint64_t, std::wstring>> cases[] = {
        {L"first\nsecond\nthird", {2, L"second\nthird"}},
        {L"\n", {1, L""}},
        {L"no line feed\r", {0, L"no line feed\r"}},
        {L"", {0, L""}},
    };
    for (const auto& [before, expected] : cases) {
        std::wstring text = before;
        const std::uint64_t count = String::GetCountSubString(text);
        String::RemoveSubString(text);
        EXPECT_EQ(std::make_pair(count, text), expected) << String::ToString(before);
    }
}
