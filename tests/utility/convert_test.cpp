#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>

#include "utility/convert.h"

namespace {

TEST(Convert, DigitsFormatsAndTruthValues) {
    EXPECT_TRUE(Convert::isNumber('0'));
    EXPECT_TRUE(Convert::isNumber('9'));
    for (char byte : {'/', ':', ' ', '\0', '\xB0', '\xFF'})
        EXPECT_FALSE(Convert::isNumber(byte)) << int(byte);
    EXPECT_TRUE(Convert::isNumber(std::string()));
    EXPECT_TRUE(Convert::isNumber("007"));
    for (const char* text : {"-7", "1.5", "1 2", "+1", "12a"})
        EXPECT_FALSE(Convert::isNumber(std::string(text))) << text;

    EXPECT_EQ(Convert::ToFormatNumber("1 234.5"), "1234,5");
    EXPECT_EQ(Convert::ToFormatNumber("-3.25e2"), "-3,252");
    EXPECT_EQ(Convert::ToFormatNumber("+5"), "5");
    EXPECT_EQ(Convert::ToFormatNumber("a.b"), ",");
    EXPECT_EQ(Convert::ToFormatNumber("7,5\xE9"), "7,5");

    for (const char* yes : {"true", "true;", "true ", "1"})
        EXPECT_TRUE(Convert::Boll(yes)) << yes;
    for (const char* no : {"true  ", "True", "TRUE", "yes", "0", "01", "", " true"})
        EXPECT_FALSE(Convert::Boll(no)) << no;
}

TEST(Convert, UnsignedLongTakesCPrefixesAndThe32BitRange) {
    EXPECT_EQ(Convert::unsigned_long("0x1A"), 26ul);
    EXPECT_EQ(Convert::unsigned_long("010"), 8ul);
    EXPECT_EQ(Convert::unsigned_long(" 42abc"), 42ul);
    EXPECT_EQ(Convert::unsigned_long("-1"), 4294967295ul);
    EXPECT_EQ(Convert::unsigned_long("4294967295"), 4294967295ul);
    EXPECT_EQ(Convert::unsigned_long("0xFFFFFFFF"), 4294967295ul);
    EXPECT_EQ(Convert::unsigned_long(std::string("12\0"
                                                 "34",
                                                 5)),
              12ul)
        << "cut at a zero byte";

    for (const char* bad : {"abc", "", " ", "-", "\xE9"}) {
        try {
            Convert::unsigned_long(bad);
            ADD_FAILURE() << "no exception for '" << bad << "'";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "invalid stoul argument");
        }
    }
    for (const char* huge : {"4294967296", "0x100000000", "99999999999999999999999"}) {
        try {
            Convert::unsigned_long(huge);
            ADD_FAILURE() << "no exception for " << huge;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "stoul argument out of range");
        }
    }
}

TEST(Convert, IntReadsLeadingDecimalDigitsOnly) {
    EXPECT_EQ(Convert::Int("12abc"), 12);
    EXPECT_EQ(Convert::Int("abc"), 0);
    EXPECT_EQ(Convert::Int(" -7"), -7);
}

// Float and Double under each numeric locale; the previous locale comes back afterwards.
class ConvertUnderLocale : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
    std::string saved_;
};

TEST_F(ConvertUnderLocale, FloatReadsFractionsOnlyWithADecimalComma) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Convert::Double("2.5"), 2.5);
    EXPECT_EQ(Convert::Float("2.5"), 2.0f);
    EXPECT_EQ(Convert::Float("-3"), -3.0f);
    EXPECT_EQ(Convert::Double("x"), 0.0);

    ASSERT_NE(std::setlocale(LC_ALL, "Russian"), nullptr);
    EXPECT_EQ(Convert::Float("2.5"), 2.5f);
    EXPECT_EQ(Convert::Float("1 234.25"), 1234.25f);
    EXPECT_EQ(Convert::Double("2.5"), 2.0);
    EXPECT_EQ(Convert::Double("2,5"), 2.5);
    EXPECT_EQ(Convert::Float("0.1"), 0.1f) << "rounded to single precision";
    EXPECT_EQ(Convert::Float(""), 0.0f);
}

} // namespace
