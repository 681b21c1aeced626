#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "utility/convert.h"

TEST(Convert, DigitsNumbersInTheirRangeFormattedNumbersAndTruth) {
    std::vector<std::string> got;
    for (const char* text : {"0x1A", "010", " 42abc", "-1", "0xFFFFFFFF", "abc", "", "\xE9",
                             "4294967296", "99999999999999999999"}) {
        try {
            got.push_back(std::to_string(Convert::unsigned_long(text)));
        } catch (const std::invalid_argument& e) {
            got.push_back(std::string("invalid_argument: ") + e.what());
        } catch (const std::out_of_range& e) {
            got.push_back(std::string("out_of_range: ") + e.what());
        }
    }
    const std::string invalid = "invalid_argument: invalid stoul argument",
                      range = "out_of_range: stoul argument out of range";
    EXPECT_EQ(got, (std::vector<std::string>{"26", "8", "42", "4294967295", "4294967295", invalid,
                                             invalid, invalid, range, range}));
    EXPECT_EQ(Convert::unsigned_long({'1', '2', '\0', '3'}), 12ul) << "cut at the zero byte";
    EXPECT_EQ(std::make_tuple(Convert::isNumber("007"), Convert::isNumber("1.5"),
                              Convert::isNumber(':'), Convert::Int("12abc"), Convert::Int(" -7"),
                              Convert::Int("abc")),
              std::make_tuple(true, false, false, 12, -7, 0));
    // Only the ASCII digits count: no byte above 0x7F (superscript two and fullwidth one in
    // Latin-1 and UTF-8) and no zero byte; a full stop becomes a comma, signs other than minus go.
    const std::pair<std::string, std::string> formats[] = {{"1 234.5", "1234,5"},
                                                           {"-1.5e+3", "-1,53"},
                                                           {"1,000.25", "1,000,25"},
                                                           {"..--", ",,--"},
                                                           {std::string("1\0002", 3), "12"},
                                                           {"", ""},
                                                           {"\xB2\xEF\xBC\x91", ""},
                                                           {"7\xFF\x80", "7"}};
    for (const auto& [text, formatted] : formats)
        EXPECT_EQ(Convert::ToFormatNumber(text), formatted) << text;
    // Exactly four texts are true.
    std::string truths;
    for (const std::string& text : std::initializer_list<std::string>{
             "true", "true;", "true ", "1", "TRUE", "True;", " true", "true;;", "true\t", "1 ",
             "01", "yes", "", std::string("1\0", 2), std::string("true\0", 5)})
        truths += Convert::Boll(text) ? 'T' : '.';
    EXPECT_EQ(truths, "TTTT...........");
}
