// Counts and times as every front end reads them.
#include <gtest/gtest.h>

#include "util/when.h"

using namespace boardsim;

TEST(When, CountsTakeKAndMSuffixes)
{
    EXPECT_EQ(parseCount("5000000"), 5'000'000u);
    EXPECT_EQ(parseCount("5M"), 5'000'000u);
    EXPECT_EQ(parseCount("200k"), 200'000u);
    for (const char* bad : {"5m", "", "-1", "99999999999999999M"}) {
        EXPECT_THROW(parseCount(bad), BadValue) << bad;
    }
}

TEST(When, MomentsAreCountsOrTimes)
{
    const When count = parseWhen("250k");
    EXPECT_FALSE(count.isTime);
    EXPECT_EQ(count.count, 250'000u);
    EXPECT_DOUBLE_EQ(parseWhen("2s").seconds, 2.0);
    EXPECT_DOUBLE_EQ(parseWhen("250ms").seconds, 0.25);
    EXPECT_DOUBLE_EQ(parseWhen("80us").seconds, 80e-6);
    EXPECT_DOUBLE_EQ(parseWhen("1.5ms").seconds, 1.5e-3);
    EXPECT_TRUE(parseWhen("0ms").isTime);
    for (const char* bad : {"ms", "-1ms", "2 s", "1e3s", "2min", ".5s"}) {
        EXPECT_THROW(parseWhen(bad), BadValue) << bad;
    }
    EXPECT_THROW(parseSeconds("250k", "a delay"), BadValue);
    EXPECT_DOUBLE_EQ(parseSeconds("3ms", "a delay"), 3e-3);
}
