#include "Common/Zip/LittleEndian.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LittleEndian, RecordBytesReadLowByteFirst) {
  const unsigned char bytes[] = {0x50, 0x4B, 0x01, 0x02, 0xFF, 0x80};
  EXPECT_EQ(LittleEndian::Read16(bytes), 0x4B50u);
  EXPECT_EQ(LittleEndian::Read32(bytes), 0x02014B50u);
  EXPECT_EQ(LittleEndian::Read16(bytes + 4), 0x80FFu);
  EXPECT_EQ(LittleEndian::Read32(bytes + 2), 0x80FF0201u);
}

// Extra fields come as strings, whose bytes above 0x7F are negative chars
// where char is signed: they must still count as 0x80 to 0xFF.
TEST(LittleEndian, ExtraFieldBytesAboveSevenBitsStayUnsigned) {
  const std::string extra("\x55\x54\xFF\xFE\xFD\x80", 6);
  EXPECT_EQ(LittleEndian::Read16(extra, 0), 0x5455u);
  EXPECT_EQ(LittleEndian::Read16(extra, 2), 0xFEFFu);
  EXPECT_EQ(LittleEndian::Read32(extra, 2), 0x80FDFEFFu);
  EXPECT_EQ(LittleEndian::Read32(extra, 1), 0xFDFEFF54u);
}

}  // namespace
