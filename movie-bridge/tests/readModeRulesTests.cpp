// SPDX-License-Identifier: Apache-2.0
#include "readModeRules.h"

#include <gtest/gtest.h>

using namespace bridge;

namespace {

TEST(ReadModeRules, FrameRateIsTruncatedUnsigned32BitArithmetic) {
    EXPECT_EQ(readFrameRate(600, 10, 1000), 6u);
    EXPECT_EQ(readFrameRate(30000, 100, 100100), 29u);
    // The product wraps at 32 bits before the division, as hosts have always received it.
    EXPECT_EQ(readFrameRate(90000, 50000, 1), 90000u * 50000u);
    EXPECT_EQ(readFrameRate(600, 10, 0), 0u);
}

TEST(ReadModeRules, RequestsPastTheEndOrNegativeAddressTheLastFrame) {
    EXPECT_EQ(frameIndexForRequest(0, 12), 0u);
    EXPECT_EQ(frameIndexForRequest(11, 12), 11u);
    EXPECT_EQ(frameIndexForRequest(12, 12), 11u);
    EXPECT_EQ(frameIndexForRequest(1012, 12), 11u);
    EXPECT_EQ(frameIndexForRequest(-5, 12), 11u);
    EXPECT_EQ(frameIndexForRequest(INT32_MIN, 12), 11u);
}

TEST(ReadModeRules, SectionHoldsHeaderAndPixelsOrIsRefusedWhenTooLarge) {
    EXPECT_EQ(readSectionSize(640, 480), 1228820u);
    EXPECT_EQ(readSectionSize(1, 1), 24u);
    EXPECT_FALSE(readSectionSize(40000, 30000));
}

} // namespace
