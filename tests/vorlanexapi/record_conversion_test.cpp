// The 32-bit caller's records against the driver's: each field lands at the
// offset the 32-bit layout gives it, and driver handles that do not fit into
// 32 bits come back to the caller as numbers the session maps.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "vorlanexapi/record_conversion.h"

namespace zl::vorlanexapi {
namespace {

template <typename T>
T Copy(T value) {  // a packed field by value: no misaligned reference
  return value;
}
template <typename T>
void Put(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}
template <typename T>
T Get(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

TEST(RecordConversionTest, A32BitRecordWidensFieldByFieldAndNarrowsBack) {
  std::vector<std::uint8_t> caller(1538, 0);
  Put<std::uint32_t>(caller, 0, 0xDEADBEEF);  // the link: means nothing to the driver
  Put<std::uint32_t>(caller, 8, 2);
  Put<std::uint32_t>(caller, 12, 1514);
  Put<std::uint32_t>(caller, 16, 0x11223344);
  Put<std::uint32_t>(caller, 20, 0x00000ABC);
  for (std::size_t i = 0; i < 1514; ++i) caller[24 + i] = std::uint8_t(i * 7);

  vorlanexapi::PacketRecord32 record;
  std::memcpy(&record, caller.data(), sizeof record);
  auto wide = std::make_unique<vorlanex::PacketRecord>();
  std::memset(wide.get(), 0xCC, sizeof *wide);
  WidenRecord(record, *wide);

  std::vector<std::uint8_t> driver(sizeof *wide);
  std::memcpy(driver.data(), wide.get(), driver.size());
  EXPECT_EQ(Get<std::uint64_t>(driver, 0), 0u);
  EXPECT_EQ(Get<std::uint64_t>(driver, 8), 0u);
  EXPECT_EQ(Get<std::uint32_t>(driver, 16), 2u);
  EXPECT_EQ(Get<std::uint32_t>(driver, 20), 1514u);
  EXPECT_EQ(Get<std::uint32_t>(driver, 24), 0x11223344u);
  EXPECT_EQ(Get<std::uint32_t>(driver, 28), 0x00000ABCu);
  EXPECT_EQ(std::memcmp(driver.data() + 32, caller.data() + 24, 1514), 0);

  vorlanexapi::PacketRecord32 back;
  std::memset(&back, 0, sizeof back);
  NarrowRecord(*wide, back);
  std::vector<std::uint8_t> narrowed(sizeof back);
  std::memcpy(narrowed.data(), &back, narrowed.size());
  EXPECT_EQ(std::vector<std::uint8_t>(narrowed.begin() + 8, narrowed.end()),
            std::vector<std::uint8_t>(caller.begin() + 8, caller.end()));
}

TEST(RecordConversionTest, AnOverlongLengthIsPassedOnButNoMoreThanAFrameIsCopied) {
  auto record = std::make_unique<vorlanexapi::PacketRecord32>();
  std::memset(record.get(), 0x42, sizeof *record);
  record->Length = 0xFFFFFFFF;
  auto wide = std::make_unique<vorlanex::PacketRecord>();
  WidenRecord(*record, *wide);
  EXPECT_EQ(Copy(wide->Length), 0xFFFFFFFFu) << "the driver refuses it";
  EXPECT_EQ(wide->Frame[1513], 0x42);

  // The other way a driver length is never trusted beyond a frame.
  wide->Length = 4000;
  NarrowRecord(*wide, *record);
  EXPECT_EQ(Copy(record->Length), 1514u);
}

TEST(RecordConversionTest, DriverHandlesBecomeSmallNumbersForA32BitCaller) {
  auto driver = std::make_unique<vorlanex::AdapterList>();
  std::memset(driver.get(), 0, sizeof *driver);
  driver->Count = 3;
  const std::uint64_t handles[3] = {0xFFFF8000'00001230ull, 0x00000001'00000000ull, 0x7F00'0000'0040ull};
  for (int i = 0; i < 3; ++i) {
    std::snprintf(driver->Name[i], sizeof driver->Name[i], "\\DEVICE\\{%d}", i);
    driver->Handle[i] = handles[i];
    driver->Medium[i] = std::uint32_t(i * 3);
    driver->Address[i][5] = std::uint8_t(i + 1);
    driver->Mtu[i] = std::uint16_t(1500 - i);
  }

  AdapterHandles<std::uint32_t> map;
  auto caller = std::make_unique<vorlanexapi::AdapterList32>();
  NarrowAdapterList(*driver, *caller, map);

  std::vector<std::uint8_t> bytes(sizeof *caller);
  std::memcpy(bytes.data(), caller.get(), bytes.size());
  EXPECT_EQ(Get<std::uint32_t>(bytes, 0), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 4 + 256 * i), driver->Name[i]);
    const std::uint32_t handle = Get<std::uint32_t>(bytes, 8196 + 4 * i);
    EXPECT_EQ(handle, i + 1);
    EXPECT_EQ(map.ToDriver(handle), handles[i]);
    EXPECT_EQ(Get<std::uint32_t>(bytes, 8324 + 4 * i), i * 3);
    EXPECT_EQ(bytes[8452 + 6 * i + 5], i + 1);
    EXPECT_EQ(Get<std::uint16_t>(bytes, 8644 + 2 * i), 1500 - i);
  }
  EXPECT_EQ(map.ToDriver(0), 0u);
  EXPECT_EQ(map.ToDriver(4), 0u) << "never issued";
  EXPECT_EQ(map.ToCaller(handles[1]), 2u) << "a handle keeps its number";
}

TEST(RecordConversionTest, A64BitCallerKeepsTheDriversHandles) {
  AdapterHandles<std::uint64_t> map;
  EXPECT_EQ(map.ToCaller(0xFFFF8000'00001230ull), 0xFFFF8000'00001230ull);
  EXPECT_EQ(map.ToDriver(0x1234), 0x1234u);
}

}  // namespace
}  // namespace zl::vorlanexapi
