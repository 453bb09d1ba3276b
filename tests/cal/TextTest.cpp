#include "cal/Failure.h"
#include "cal/FutComma.h"
#include "core/BenchState.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace psucal {
namespace {

TEST(FutComma, ReplacesOnlyTheLastComma)
{
    EXPECT_EQ(FutComma(QStringLiteral("1,25")), QStringLiteral("1.25"));
    EXPECT_EQ(FutComma(QStringLiteral("1.25")), QStringLiteral("1.25"));
    EXPECT_EQ(FutComma(QStringLiteral("1,2,3")), QStringLiteral("1,2.3"));
    EXPECT_EQ(FutComma(QStringLiteral(",")), QStringLiteral("."));
    EXPECT_EQ(FutComma(QString()), QString());
}

TEST(Failure, ReportersRaiseAbortAndNameTheStep)
{
    BenchState st;
    st.AbortFlag = false;
    FailCalV(st);
    EXPECT_TRUE(st.AbortFlag);
    EXPECT_EQ(st.FailText, QStringLiteral("Cal.V failed !"));
    st.AbortFlag = false;
    FailCalC(st);
    EXPECT_TRUE(st.AbortFlag);
    EXPECT_EQ(st.FailText, QStringLiteral("Cal.C failed !"));
}

} // namespace
} // namespace psucal
