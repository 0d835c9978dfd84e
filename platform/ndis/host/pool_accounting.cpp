#include "zl/ndishost/pool_accounting.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zl::ndishost {

std::string TagText(ULONG tag) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    char c = char((tag >> (8 * i)) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

PoolAccounting::~PoolAccounting() {
  for (auto& [pointer, block] : blocks_) std::free(pointer);
}

void* PoolAccounting::Allocate(std::size_t bytes, ULONG tag) {
  std::lock_guard lock(mutex_);
  if (failAll_[tag]) return nullptr;
  auto countdown = failCountdown_.find(tag);
  if (countdown != failCountdown_.end()) {
    if (--countdown->second == 0) {
      failCountdown_.erase(countdown);
      return nullptr;
    }
  }
  void* pointer = std::malloc(bytes == 0 ? 1 : bytes);
  if (pointer == nullptr) return nullptr;
  // Fresh pool memory is not zeroed by the kernel; a recognisable pattern makes
  // a read of a field nobody set show up in tests.
  std::memset(pointer, 0xA5, bytes);
  blocks_[pointer] = Block{tag, bytes};
  ++outstanding_[tag];
  ++made_[tag];
  return pointer;
}

void PoolAccounting::Free(void* pointer, ULONG expectedTag) {
  if (pointer == nullptr) {
    sink_("free of a null pool pointer");
    return;
  }
  std::string problem;
  {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(pointer);
    if (it == blocks_.end()) {
      problem = "free of memory that is not an allocated pool block";
    } else {
      if (expectedTag != 0 && it->second.tag != expectedTag) {
        problem = "pool block of tag " + TagText(it->second.tag) + " freed with tag " + TagText(expectedTag);
      }
      --outstanding_[it->second.tag];
      std::free(pointer);
      blocks_.erase(it);
    }
  }
  if (!problem.empty()) sink_(problem);
}

long PoolAccounting::Outstanding(ULONG tag) const {
  std::lock_guard lock(mutex_);
  auto it = outstanding_.find(tag);
  return it == outstanding_.end() ? 0 : it->second;
}

long PoolAccounting::OutstandingTotal() const {
  std::lock_guard lock(mutex_);
  return long(blocks_.size());
}

long PoolAccounting::AllocationsMade(ULONG tag) const {
  std::lock_guard lock(mutex_);
  auto it = made_.find(tag);
  return it == made_.end() ? 0 : it->second;
}

std::vector<std::string> PoolAccounting::Leaks() const {
  std::lock_guard lock(mutex_);
  std::map<ULONG, std::pair<long, std::size_t>> byTag;
  for (const auto& [pointer, block] : blocks_) {
    auto& entry = byTag[block.tag];
    ++entry.first;
    entry.second += block.bytes;
  }
  std::vector<std::string> leaks;
  for (const auto& [tag, entry] : byTag) {
    leaks.push_back(TagText(tag) + ": " + std::to_string(entry.first) + " allocations (" +
                    std::to_string(entry.second) + " bytes)");
  }
  std::sort(leaks.begin(), leaks.end());
  return leaks;
}

void PoolAccounting::FailAllocationNumber(ULONG tag, long n) {
  std::lock_guard lock(mutex_);
  failCountdown_[tag] = n;
}

void PoolAccounting::FailAllAllocations(ULONG tag, bool fail) {
  std::lock_guard lock(mutex_);
  failAll_[tag] = fail;
}

}  // namespace zl::ndishost
