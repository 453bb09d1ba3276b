#include "terminal/Prompt.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using psucal::WaitForEnter;

// A hang here shows as the test's time-out.
TEST(Prompt, ALineAnswersButEndOfInputOrAClosedInputDoesNot)
{
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    ASSERT_EQ(::write(p[1], "y\n", 2), 2);
    EXPECT_TRUE(WaitForEnter(p[0]));
    ::close(p[1]);
    EXPECT_FALSE(WaitForEnter(p[0]));
    ::close(p[0]);
    EXPECT_FALSE(WaitForEnter(p[0]));
}

// Started with stdin closed: no port or file opened later may take its number, and the
// prompt reads end of input.
TEST(PromptDeathTest, ClosedStdinReadsAsEndOfInput)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::close(STDIN_FILENO);
            psucal::KeepStandardStreamsOpen();
            const int next = ::open("/dev/null", O_RDONLY);
            std::_Exit(next != STDIN_FILENO && !WaitForEnter(STDIN_FILENO) ? 3 : 1);
        },
        ::testing::ExitedWithCode(3), "");
}
