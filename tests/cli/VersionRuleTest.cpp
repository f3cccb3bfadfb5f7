// The target-version rule: the boundaries of each of its conditions.
#include "app/VersionRule.h"

#include <gtest/gtest.h>

TEST(VersionRule, AcceptsTheFormsTheVersionPageAllows)
{
    for (const char* v : {"2.0.10", "1.5.13", "10.25.100", "1.2.345678", "2.0.", "123.45.678", "1.23.4567"})
        EXPECT_TRUE(isValidVersion(v)) << v;
}

TEST(VersionRule, RejectsLengthDotAndDigitViolations)
{
    for (const char* v : {"", "2.0", "2..10", "1234.5.6", "2.100.1", "x2.0.10", "2.0.10x", " 2.0.10",
                          "2.0.10 ", "1.2.3456789", ".2.0", "2.0.1.0", "2.a.1", "2.0.-1", "2.0.1\n",
                          "123.45.67890", "1.234.5"})
        EXPECT_FALSE(isValidVersion(v)) << '"' << v << '"';
}
