// The supervisor's child processes on POSIX: the child's output arrives whole, its exit status
// and the signal that ended it come back, and a program that cannot start is refused.
#include "platform/ChildProcess.h"

#include <gtest/gtest.h>

TEST(ChildProcess, OutputExitStatusAndKill)
{
    std::string error, out, chunk;
    auto child = platform::ChildProcess::start("/bin/sh", {"-c", "printf 'one\\ttwo\\n'; read x; exit 3"}, error);
    ASSERT_TRUE(child) << error;
    while (child->read(chunk))
        out += chunk, chunk.clear();
    EXPECT_EQ(out + chunk, "one\ttwo\n");
    EXPECT_EQ(child->wait(), 3) << "standard input is empty, so the read ends at once";

    auto sleeper = platform::ChildProcess::start("/bin/sh", {"-c", "exec sleep 30"}, error);
    ASSERT_TRUE(sleeper) << error;
    sleeper->kill();
    EXPECT_EQ(sleeper->wait(), 128 + 9);

    EXPECT_FALSE(platform::ChildProcess::start("/nonexistent/program", {}, error));
    EXPECT_FALSE(error.empty());
}
