#include <gtest/gtest.h>

#include <memory>

#include "MemoryStatusU.h"

TEST(MemoryStatus, FormatsWithThreeSignificantDigitsInTheLargestUnitExceeded) {
  EXPECT_EQ(FormatMemorySize(0), "0bytes");
  EXPECT_EQ(FormatMemorySize(512), "512bytes");
  EXPECT_EQ(FormatMemorySize(1536), "1.5kb");
  EXPECT_EQ(FormatMemorySize(1025), "1kb");
  EXPECT_EQ(FormatMemorySize(10 * 1024 * 1024 + 300 * 1024), "10.3mb");
  EXPECT_EQ(FormatMemorySize(3ull << 30), "3gb");
  EXPECT_EQ(MemoryUsedText(1536), "Memory used: 1.5kb");
}

TEST(MemoryStatus, FourIntegerDigitsSwitchToScientificNotation) {
  EXPECT_EQ(FormatMemorySize(1024), "1.02E+003bytes");  // not above the threshold
  EXPECT_EQ(FormatMemorySize(1024ull * 1024), "1.02E+003kb");
  EXPECT_EQ(FormatMemorySize(5120ull << 30), "5.12E+003gb");  // no unit beyond gb
  EXPECT_EQ(FormatMemorySize(1000), "1E+003bytes");
  EXPECT_EQ(FormatGeneral(999.6, 3, 3), "1E+003");  // rounding decides
  EXPECT_EQ(FormatGeneral(0.5, 3, 3), "0.5");
  EXPECT_EQ(FormatGeneral(12.345, 3, 3), "12.3");
}

TEST(MemoryStatus, AllocatedBytesGrowsWithAnAllocation) {
  const uint64_t before = AllocatedBytes();
  auto block = std::make_unique<char[]>(8u << 20);
  block[0] = 1;
  const uint64_t during = AllocatedBytes();
  if (before == 0 && during == 0) GTEST_SKIP() << "allocator statistics unavailable here";
  EXPECT_GE(during, before + (8u << 20));
}
