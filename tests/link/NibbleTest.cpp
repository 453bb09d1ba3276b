#include "link/Nibble.h"

#include <gtest/gtest.h>

using namespace psucal;

TEST(Nibble, BytesRoundTripThroughTheAlphabet)
{
    int v = 65;
    EXPECT_EQ(nibble::EncodeByte(v), "41");
    EXPECT_EQ(nibble::DecodeByte("41"), "65");
    int big = 300;
    EXPECT_EQ(nibble::EncodeByte(big), "??");
    EXPECT_EQ(big, 255); // the clamp is written back
    int fa = 0xFA;
    EXPECT_EQ(nibble::EncodeByte(fa), "?:");
}

TEST(Nibble, SignedCellsUseSignAndMagnitude)
{
    EXPECT_EQ(nibble::EncodeSigned(-0.05, 100), "85");
    EXPECT_EQ(nibble::EncodeSigned(0.13, 100), "0=");
    EXPECT_EQ(nibble::EncodeSigned(0.0, 100), "00");
    EXPECT_EQ(nibble::EncodeSigned(0.007, 1000), "07");
    EXPECT_EQ(nibble::EncodeSigned(-2.0, 100), "??");
    EXPECT_EQ(nibble::EncodeSigned(0.67, 100), "43");
    EXPECT_EQ(nibble::EncodeSigned(-0.67, 100), "<3");
}

TEST(Nibble, LargePositiveCorrectionSaturatesInsteadOfTurningNegative)
{
    // 1.5 V is 150 units: wrapped into the sign bit it would read back as -0.22 V.
    const QString cell = nibble::EncodeSigned(1.5, 100);
    EXPECT_EQ(cell, "7?");
    EXPECT_GT(nibble::DecodeSigned(cell, 100), 0.0);
    EXPECT_DOUBLE_EQ(nibble::DecodeSigned(nibble::EncodeSigned(0.2, 1000), 1000), 0.127);
}
