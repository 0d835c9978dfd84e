// Pool memory of the kernel host, accounted per tag. Every allocation the driver
// makes (ExAllocatePoolWithTag, NdisAllocateMemoryWithTagPriority, NBL pools and
// their lists) is counted under its tag until it is freed, so a test can check
// that every tag is back at zero when the driver has unloaded. Allocation
// failures can be injected per tag.
#pragma once

#include <ndis.h>

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zl::ndishost {

std::string TagText(ULONG tag);

class PoolAccounting {
 public:
  using ViolationSink = std::function<void(const std::string&)>;
  explicit PoolAccounting(ViolationSink sink) : sink_(std::move(sink)) {}
  ~PoolAccounting();

  // Zero-filled on purpose only where the caller asks the kernel for zeroed
  // memory; otherwise the bytes are a pattern, so reads of unset fields show up.
  void* Allocate(std::size_t bytes, ULONG tag);
  // expectedTag 0 accepts any tag (NdisFreeMemory names none).
  void Free(void* pointer, ULONG expectedTag);

  long Outstanding(ULONG tag) const;
  long OutstandingTotal() const;
  long AllocationsMade(ULONG tag) const;
  // "Filt: 2 allocations (3096 bytes)" for every tag still holding memory.
  std::vector<std::string> Leaks() const;

  // The n-th allocation from now with this tag fails (1 = the next one).
  void FailAllocationNumber(ULONG tag, long n);
  // Every allocation with this tag fails until switched off.
  void FailAllAllocations(ULONG tag, bool fail);

 private:
  struct Block {
    ULONG tag;
    std::size_t bytes;
  };
  ViolationSink sink_;
  mutable std::mutex mutex_;
  std::unordered_map<void*, Block> blocks_;
  std::map<ULONG, long> outstanding_;
  std::map<ULONG, long> made_;
  std::map<ULONG, long> failCountdown_;
  std::map<ULONG, bool> failAll_;
};

}  // namespace zl::ndishost
