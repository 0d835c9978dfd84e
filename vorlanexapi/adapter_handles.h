// Adapter handles as a caller of a given pointer width sees them. The driver
// issues opaque 64-bit handles; a 64-bit caller uses them as they are, while
// a 32-bit caller cannot hold them, so it gets small numbers (1, 2, ...) that
// this table maps back. A number stays valid for the life of the session, so
// a handle read once from the adapter list can be used for as long as the
// adapter is there.
#pragma once

#include <cstdint>
#include <mutex>
#include <type_traits>
#include <vector>

namespace zl::vorlanexapi {

template <typename Word>
class AdapterHandles {
 public:
  // The caller's form of a driver handle; 0 stays 0 (an empty list entry).
  Word ToCaller(std::uint64_t driverHandle) {
    if constexpr (sizeof(Word) >= sizeof(std::uint64_t)) {
      return Word(driverHandle);
    } else {
      if (driverHandle == 0) return 0;
      std::lock_guard lock(mutex_);
      for (std::size_t i = 0; i < handles_.size(); ++i) {
        if (handles_[i] == driverHandle) return Word(i + 1);
      }
      handles_.push_back(driverHandle);
      return Word(handles_.size());
    }
  }

  // The driver's handle for a caller's one; 0 (which the driver refuses) for
  // a number this session never issued.
  std::uint64_t ToDriver(Word callerHandle) const {
    if constexpr (sizeof(Word) >= sizeof(std::uint64_t)) {
      return std::uint64_t(callerHandle);
    } else {
      std::lock_guard lock(mutex_);
      if (callerHandle == 0 || callerHandle > handles_.size()) return 0;
      return handles_[callerHandle - 1];
    }
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint64_t> handles_;
};

}  // namespace zl::vorlanexapi
