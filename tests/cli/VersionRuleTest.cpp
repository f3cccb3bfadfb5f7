// The target-version rule: the boundaries of each of its conditions.
#include "app/VersionRule.h"

#include <gtest/gtest.h>

TEST(VersionRule, AcceptsTheFormsTheVersionPageAllows)
{
    for (const char* v : {"2.0.10", "1.5.13", "10.25.100", "1.2.345678", "2.0.", "123.45.6", "0.00.0"})
        EXPECT_TRUE(isValidVersion(v)) << v;
}

TEST(VersionRule, RejectsLengthDotAndDigitViolations)
{
    for (const char* v : {"", "2.0", "2..10", "1234.5.6", "2.100.1", "x2.0.10", "2.0.10x", " 2.0.10",
                          "2.0.10 ", "1.2.3456789", ".2.0", "2.0.1.0", "2.a.1", "2.0.-1", "2.0.1\n"})
        EXPECT_FALSE(isValidVersion(v)) << '"' << v << '"';
}

TEST(VersionRule, PositionLimitsOfTheDots)
{
    EXPECT_TRUE(isValidVersion("123.4.5"));     // first dot at 3, last at 5
    EXPECT_TRUE(isValidVersion("123.45.678"));  // last dot at 6, ten characters
    EXPECT_FALSE(isValidVersion("123.45.67890"));
    EXPECT_TRUE(isValidVersion("1.23.4567"));   // gap of three
    EXPECT_FALSE(isValidVersion("1.234.5"));    // gap of four
    EXPECT_FALSE(isValidVersion("1.2"));        // one dot: first == last
}
