// The "%d"-like console reader, fed from a temporary file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console_input.h"

namespace {

struct Input {
    explicit Input(const std::string& text) : file(std::tmpfile())
    {
        std::fputs(text.c_str(), file);
        std::rewind(file);
    }
    ~Input() { std::fclose(file); }
    FILE* file;
};

}  // namespace

TEST(ReadInt32, SkipsWhiteSpaceAndLeavesTheRest)
{
    Input in(" \t\r\n\v\f 7 3x");
    int32_t value = 0;
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 7);
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 3);
    EXPECT_EQ(std::getc(in.file), 'x');
}

TEST(ReadInt32, SignsAndLeadingZeros)
{
    Input in("+5 -12 0007 -0");
    int32_t value = 99;
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 5);
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, -12);
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 7);
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 0);
}

TEST(ReadInt32, NotANumberLeavesValueAndInput)
{
    int32_t value = 42;
    Input letters("abc");
    EXPECT_FALSE(read_int32(letters.file, &value));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(std::getc(letters.file), 'a');

    Input empty("  \n");
    EXPECT_FALSE(read_int32(empty.file, &value));
    Input lone_sign("- 5");
    EXPECT_FALSE(read_int32(lone_sign.file, &value));
    EXPECT_EQ(value, 42);
}

TEST(ReadInt32, Int32EdgesFitAndBeyondIsNotANumber)
{
    Input in("2147483647 -2147483648 2147483648 -2147483649 4294967301 "
             "99999999999999999999999999 6");
    int32_t value = 0;
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, INT32_MAX);
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, INT32_MIN);
    value = 11;
    EXPECT_FALSE(read_int32(in.file, &value));
    EXPECT_FALSE(read_int32(in.file, &value));
    EXPECT_FALSE(read_int32(in.file, &value));  // would be 5 after a 32-bit wrap
    EXPECT_FALSE(read_int32(in.file, &value));
    EXPECT_EQ(value, 11);
    // Too long a number is still read to its end.
    ASSERT_TRUE(read_int32(in.file, &value));
    EXPECT_EQ(value, 6);
}
