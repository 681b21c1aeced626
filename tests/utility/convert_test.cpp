#include <gtest/gtest.h>

#include <stdexcept>

#include "utility/convert.h"

TEST(Convert, DigitsFormatsTruthValuesAndInt) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(Convert::isNumber(char(b)), b >= '0' && b <= '9') << b;
    for (const char* text : {"", "007"})
        EXPECT_TRUE(Convert::isNumber(std::string(text))) << text;
    for (const char* text : {"-7", "1.5", "1 2", "12a", "\xE9"})
        EXPECT_FALSE(Convert::isNumber(std::string(text))) << text;
    EXPECT_EQ(Convert::ToFormatNumber("1 234.5"), "1234,5");
    EXPECT_EQ(Convert::ToFormatNumber("-3.25e2+"), "-3,252");
    EXPECT_EQ(Convert::ToFormatNumber("7,5\xE9"), "7,5");
    for (const char* text : {"true", "true;", "true ", "1"})
        EXPECT_TRUE(Convert::Boll(text)) << text;
    for (const char* text : {"true  ", "True", "yes", "0", "01", "", " true"})
        EXPECT_FALSE(Convert::Boll(text)) << text;
    EXPECT_EQ(Convert::Int("12abc"), 12);
    EXPECT_EQ(Convert::Int(" -7"), -7);
    EXPECT_EQ(Convert::Int("abc"), 0) << "no digits";
}

TEST(Convert, UnsignedLongTakesCPrefixesAndThe32BitRange) {
    const std::pair<std::string, std::string> cases[] = {
        {"0x1A", "26"},
        {"010", "8"},
        {" 42abc", "42"},
        {"-1", "4294967295"},
        {"0xFFFFFFFF", "4294967295"},
        {std::string{'1', '2', '\0', '3', '4'}, "12"}, // cut at the zero byte
        {"abc", "invalid_argument: invalid stoul argument"},
        {"", "invalid_argument: invalid stoul argument"},
        {"\xE9", "invalid_argument: invalid stoul argument"},
        {"4294967296", "out_of_range: stoul argument out of range"},
        {"99999999999999999999999", "out_of_range: stoul argument out of range"},
    };
    for (const auto& [text, expected] : cases) {
        std::string got;
        try {
            got = std::to_string(Convert::unsigned_long(text));
        } catch (const std::invalid_argument& e) {
            got = std::string("invalid_argument: ") + e.what();
        } catch (const std::out_of_range& e) {
            got = std::string("out_of_range: ") + e.what();
        }
        EXPECT_EQ(got, expected) << "'" << text << "'";
    }
}
