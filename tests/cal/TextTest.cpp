#include "core/FutComma.h"
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

} // namespace
} // namespace psucal
