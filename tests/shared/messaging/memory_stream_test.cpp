#include "shared/messaging/memory_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zl {
namespace {

std::vector<std::uint8_t> Contents(const TMemoryStream& stream) {
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

TEST(MemoryStreamTest, WritesAtThePositionAndGrowsWithZerosOverAGap) {
  TMemoryStream stream;
  stream.Write("abcd", 4);
  stream.SetPosition(1);
  stream.Write("XY", 2);
  EXPECT_EQ(Contents(stream), (std::vector<std::uint8_t>{'a', 'X', 'Y', 'd'}));
  EXPECT_EQ(stream.Position(), 3u);

  stream.SetPosition(6);
  stream.Write("z", 1);
  EXPECT_EQ(Contents(stream), (std::vector<std::uint8_t>{'a', 'X', 'Y', 'd', 0, 0, 'z'}));
}

TEST(MemoryStreamTest, ReadsWhatIsLeftAndNothingPastTheEnd) {
  TMemoryStream stream(std::vector<std::uint8_t>{1, 2, 3});
  std::uint8_t buffer[8] = {};
  stream.SetPosition(1);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 2u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(buffer[1], 3);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0u);
  stream.SetPosition(10);
  EXPECT_EQ(stream.Read(buffer, 1), 0u);
}

TEST(MemoryStreamTest, ShrinkingPullsThePositionBackAndClearRewinds) {
  TMemoryStream stream(std::vector<std::uint8_t>{1, 2, 3, 4});
  stream.SetPosition(4);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2u);
  stream.Clear();
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_EQ(stream.Position(), 0u);
}

}  // namespace
}  // namespace zl
