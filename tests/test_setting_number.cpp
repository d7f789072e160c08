// The decimal reading of a poll period stored as text. Needs no Windows, so it also runs natively.
#include <gtest/gtest.h>

#include <cstdint>

#include "setting_number.h"

TEST(SettingNumber, DecimalParsingStopsAtTheGivenLengthAndSaturates)
{
    const struct {
        const char *text;
        size_t length;
        int32_t expected;
    } cases[] = {
        {"12345", 2, 12},   {"12345", 0, 0},   {"  ", 2, 0},       {"-", 1, 0},
        {"+", 1, 0},        {"- 5", 3, 0},     {"--5", 3, 0},      {"2147483647", 10, INT32_MAX},
        {"2147483648", 10, INT32_MAX},         {"-2147483648", 11, INT32_MIN},
        {"-2147483649", 11, INT32_MIN},        {"0000000000000000000000042", 25, 42},
        {"4\0" "2", 3, 4},  {"\n\r\v\f9", 5, 9},
        {"-99999999999999999999999999999999", 33, INT32_MIN},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseSettingNumber(c.text, c.length), c.expected) << '"' << c.text << "\" length " << c.length;
}
