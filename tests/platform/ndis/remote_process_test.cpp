// RemoteProcess on the test's own process: its small reads take the bytes
// after them too, and that copy must never hide a fault or a change.
#include "zl/ndishost/remote_process.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace zl::ndishost {
namespace {

// `readable` pages that are readable and writable, then one not mapped for access.
class GuardedPages {
 public:
  explicit GuardedPages(std::size_t readable = 1)
      : page_(std::size_t(::sysconf(_SC_PAGESIZE))), size_(readable * page_) {
    void* area = ::mmap(nullptr, size_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return;
    base_ = static_cast<std::uint8_t*>(area);
    ::mprotect(base_ + size_, page_, PROT_NONE);
    for (std::size_t i = 0; i < size_; ++i) base_[i] = std::uint8_t(i * 7 + i / 251);
  }
  ~GuardedPages() {
    if (base_) ::munmap(base_, size_ + page_);
  }
  std::uint8_t* At(std::size_t offset) const { return base_ + offset; }
  std::size_t ReadableBytes() const { return size_; }
  bool Mapped() const { return base_ != nullptr; }

 private:
  std::size_t page_;
  std::size_t size_;
  std::uint8_t* base_ = nullptr;
};

std::uint64_t AddressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(RemoteProcessTest, AHeaderAndTheFrameAfterItReadAsInTheCallersMemory) {
  GuardedPages pages;
  ASSERT_TRUE(pages.Mapped());
  RemoteProcess self(::getpid());
  ASSERT_TRUE(self.Valid());
  std::uint8_t header[32] = {}, frame[1514] = {};
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(100)), header, sizeof header));
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(132)), frame, sizeof frame));
  EXPECT_EQ(std::memcmp(header, pages.At(100), sizeof header), 0);
  EXPECT_EQ(std::memcmp(frame, pages.At(132), sizeof frame), 0);
}

TEST(RemoteProcessTest, ReadsNearTheEndOfTheMappedMemorySucceedOnlyWhereAllTheirBytesAreMapped) {
  GuardedPages pages;
  ASSERT_TRUE(pages.Mapped());
  RemoteProcess self(::getpid());
  const std::size_t end = pages.ReadableBytes();
  struct Case {
    std::size_t offset, length;
    bool succeeds;
  };
  // The first read of each pair starts the copy ahead; the second is what a
  // record's frame read would be.
  const Case cases[][2] = {
      {{end - 64, 32, true}, {end - 32, 32, true}},   // ends exactly at the guard page
      {{end - 64, 32, true}, {end - 32, 33, false}},  // one byte into it
      {{end - 32, 32, true}, {end, 1, false}},        // wholly inside it
      {{end - 8, 16, false}, {end - 8, 8, true}},     // a failed read leaves nothing behind
  };
  for (const auto& pair : cases) {
    for (const Case& c : pair) {
      std::uint8_t copy[64] = {};
      const bool read = self.ReadMemory(AddressOf(pages.At(c.offset)), copy, c.length);
      EXPECT_EQ(read, c.succeeds) << "offset end-" << end - c.offset << " length " << c.length;
      if (read) {
        EXPECT_EQ(std::memcmp(copy, pages.At(c.offset), c.length), 0);
      }
    }
    self.EndRequest();
  }
}

// A batch request walks through records laid one after the other; its copies
// ahead grow, and must still give each record's own bytes and fail exactly
// the record that runs into the unmapped page.
TEST(RemoteProcessTest, ABatchOfRecordsReadsAsInTheCallersMemoryUpToTheUnmappedPage) {
  constexpr std::size_t kStride = 1544, kHeader = 32, kFrame = 590;
  GuardedPages pages(12);
  ASSERT_TRUE(pages.Mapped());
  RemoteProcess self(::getpid());
  const std::size_t end = pages.ReadableBytes();
  for (int request = 0; request < 2; ++request) {
    std::size_t offset = 0;
    for (; offset + kHeader + kFrame <= end; offset += kStride) {
      std::uint8_t header[kHeader] = {}, frame[kFrame] = {};
      ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(offset)), header, sizeof header)) << offset;
      ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(offset + kHeader)), frame, sizeof frame)) << offset;
      EXPECT_EQ(std::memcmp(header, pages.At(offset), sizeof header), 0) << offset;
      EXPECT_EQ(std::memcmp(frame, pages.At(offset + kHeader), sizeof frame), 0) << offset;
    }
    // The next record's frame would run into the unmapped page.
    std::uint8_t frame[kFrame] = {};
    EXPECT_FALSE(self.ReadMemory(AddressOf(pages.At(end - kFrame + 1)), frame, sizeof frame));
    self.EndRequest();
  }
}

TEST(RemoteProcessTest, AWriteOrTheRequestsEndMakesTheNextReadSeeTheCallersPresentBytes) {
  GuardedPages pages;
  ASSERT_TRUE(pages.Mapped());
  RemoteProcess self(::getpid());
  std::uint8_t copy[4] = {};
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(0)), copy, sizeof copy));
  const std::uint8_t update[4] = {0xA1, 0xA2, 0xA3, 0xA4};
  ASSERT_TRUE(self.WriteMemory(AddressOf(pages.At(8)), update, sizeof update));
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(8)), copy, sizeof copy));
  EXPECT_EQ(std::memcmp(copy, update, sizeof copy), 0);

  // The caller itself changes its memory between two requests.
  pages.At(16)[0] = 0x5C;
  self.EndRequest();
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(0)), copy, sizeof copy));
  pages.At(16)[0] = 0x5D;
  self.EndRequest();
  ASSERT_TRUE(self.ReadMemory(AddressOf(pages.At(16)), copy, 1));
  EXPECT_EQ(copy[0], 0x5D);
}

}  // namespace
}  // namespace zl::ndishost
