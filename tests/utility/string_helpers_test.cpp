#include <gtest/gtest.h>

#include <stdexcept>

#include "utility/string_helpers.h"

namespace {

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

TEST(StringConversion, WideningSignExtendsHighBytesAndNarrowingKeepsLowByte) {
    EXPECT_EQ(String::ToWstring(std::string("\xE9")), std::wstring(1, wchar_t(0xFFE9)));
    EXPECT_EQ(String::ToWstring("A\x7F\x80"), (std::wstring{L'A', 0x7F, wchar_t(0xFF80)}));
    EXPECT_EQ(String::ToString(std::wstring{wchar_t(0xFFE9), wchar_t(0x00E9)}), "\xE9\xE9");
    EXPECT_EQ(String::ToString(std::wstring{L'A', wchar_t(0x0439)}), "A9");
    EXPECT_EQ(String::ToString(std::wstring()), "");
    EXPECT_EQ(String::ToWstring(std::string()), L"");
}

TEST(StringConversion, EveryByteSurvivesTheWideTripAndKeepsItsLength) {
    const std::string bytes = AllBytes();
    const std::wstring wide = String::ToWstring(bytes);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(String::ToString(wide), bytes);
    // The embedded zero byte is a unit like any other.
    EXPECT_EQ(wide[0], L'\0');
    EXPECT_EQ(String::ConvertString(wide), bytes);
    EXPECT_EQ(String::ConvertString(bytes), wide);
}

TEST(StringConversion, WideningAfterNarrowingKeepsOnlyAsciiAndHighRange) {
    const std::wstring kept{L'z', wchar_t(0xFF80), wchar_t(0xFFFF)};
    EXPECT_EQ(String::ToWstring(String::ToString(kept)), kept);
    const std::wstring lost{wchar_t(0x00E9)};
    EXPECT_EQ(String::ToWstring(String::ToString(lost)), std::wstring(1, wchar_t(0xFFE9)));
}

TEST(StringErase, KeepsFirst32UnitsAndRefusesShorterText) {
    try {
        String::erase(std::wstring(31, L'x'));
        FAIL() << "a 31-unit text must be refused";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), "invalid string position");
    }
    const std::wstring exact(32, L'e');
    EXPECT_EQ(String::erase(exact), exact);
    std::wstring longer = std::wstring(32, L'a') + std::wstring(8, L'b');
    EXPECT_EQ(String::erase(longer), std::wstring(32, L'a'));
    EXPECT_EQ(longer.size(), 40u) << "the argument is a copy";
}

TEST(StringSplit, FieldsBetweenSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(String::Split("", ','), V{});
    EXPECT_EQ(String::Split("a", ','), V{"a"});
    EXPECT_EQ(String::Split("a,,b", ','), (V{"a", "", "b"}));
    EXPECT_EQ(String::Split(",a", ','), (V{"", "a"}));
    EXPECT_EQ(String::Split("a,", ','), V{"a"});
    EXPECT_EQ(String::Split(",", ','), V{""});
    EXPECT_EQ(String::Split("a,,", ','), (V{"a", ""}));
    // Any byte value separates, high bytes and zero included.
    EXPECT_EQ(String::Split(std::string("x\xFFy"), '\xFF'), (V{"x", "y"}));
    EXPECT_EQ(String::Split(std::string("x\0y", 3), '\0'), (V{"x", "y"}));
}

TEST(StringEdits, RemoveEmptiesCallerAndReplaceWorksInPlace) {
    std::string text = "a-b-c";
    EXPECT_EQ(String::Remove(text, '-'), "abc");
    EXPECT_TRUE(text.empty());
    std::string plain = "abc";
    EXPECT_EQ(String::Remove(plain, '-'), "abc");
    EXPECT_TRUE(plain.empty());

    std::string bytes = "a\xE9"
                        "a";
    String::Replace(bytes, '\xE9', 'b');
    EXPECT_EQ(bytes, "aba");

    std::vector<std::string> list{"x", "", "yz"};
    String::ClearListString(list);
    EXPECT_EQ(list, (std::vector<std::string>{"", "", ""}));
}

TEST(StringEdits, WideReplaceMatchesOnlyAsciiAndWidensTheReplacement) {
    std::wstring text{L'a', wchar_t(0x00E9), wchar_t(0xFFE9), L'a'};
    const std::wstring before = text;
    String::Replace(text, '\xE9', 'z');
    EXPECT_EQ(text, before) << "a high from byte matches no unit";
    String::Replace(text, 'a', '\xE9');
    EXPECT_EQ(text,
              (std::wstring{wchar_t(0xFFE9), wchar_t(0x00E9), wchar_t(0xFFE9), wchar_t(0xFFE9)}));
}

TEST(StringLines, CountAndRemoveFirstLine) {
    std::wstring two = L"one\ntwo\n";
    EXPECT_EQ(String::GetCountSubString(two), 2u);
    std::wstring crlf = L"one\r\ntwo";
    EXPECT_EQ(String::GetCountSubString(crlf), 1u);
    std::wstring empty;
    EXPECT_EQ(String::GetCountSubString(empty), 0u);

    std::wstring three = L"first\nsecond\nthird";
    String::RemoveSubString(three);
    EXPECT_EQ(three, L"second\nthird");
    std::wstring lone = L"\n";
    String::RemoveSubString(lone);
    EXPECT_EQ(lone, L"");
    std::wstring none = L"no line feed\r";
    String::RemoveSubString(none);
    EXPECT_EQ(none, L"no line feed\r");
}

} // namespace
