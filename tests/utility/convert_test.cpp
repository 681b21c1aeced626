#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "utility/convert.h"

TEST(Convert, DigitsAndNumbersInTheirRange) {
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
}
