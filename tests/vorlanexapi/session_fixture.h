// A client session of either pointer width over a kernel host with the driver
// loaded and one running adapter: the session's requests go to the control
// device through the host, with the test process as requester.
//
// A 32-bit caller's addresses cannot be this process's addresses, so a
// CallerMemory of that width hands out small numbers for the records it
// places and resolves them; a 64-bit one uses real addresses.
#pragma once

#include <cstdint>
#include <map>

#include "driver/control/vorlanex_interface.h"
#include "tests/driver/support/driver_fixture.h"
#include "vorlanexapi/client_session.h"

namespace zl::vorlanexapitest {

using drivertest::Bytes;
namespace vx = zl::vorlanex;

// The records are packed: a check takes a field's value, never a reference
// to it, which could be misaligned.
template <typename T>
T Copy(T value) {
  return value;
}

template <typename Word>
class CallerMemory {
 public:
  Word Place(void* memory) {
    if constexpr (sizeof(Word) == sizeof(void*)) {
      return Word(reinterpret_cast<std::uintptr_t>(memory));
    } else {
      const Word address = next_;
      next_ += 0x1000;
      places_[address] = memory;
      return address;
    }
  }
  void* Resolve(Word address) const {
    if constexpr (sizeof(Word) == sizeof(void*)) {
      return reinterpret_cast<void*>(std::uintptr_t(address));
    } else {
      const auto it = places_.find(address);
      return it == places_.end() ? nullptr : it->second;
    }
  }

 private:
  std::map<Word, void*> places_;
  Word next_ = 0x10000;
};

// The channel into the host: a request succeeds when the driver completes it
// with success, and its output is what the driver reported written.
vorlanexapi::DeviceChannel HostChannel(ndishost::KernelHost& host);

class SessionFixtureBase : public drivertest::DriverTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  ndishost::EmulatedAdapter* adapter_ = nullptr;
  std::uint64_t handle_ = 0;  // the driver's handle of adapter_
};

template <typename Word>
class SessionTest : public SessionFixtureBase {
 protected:
  using Session = vorlanexapi::ClientSession<Word>;
  using Record = vorlanexapi::PacketRecordOf<Word>;
  using Request = vorlanexapi::PacketRequestOf<Word>;

  CallerMemory<Word> memory_;
  Session session_{HostChannel(host_), [this](Word address) { return memory_.Resolve(address); }};

  // The session's handle of the fixture's adapter, as its adapter list gives it.
  Word AdapterHandle() {
    auto list = std::make_unique<vorlanexapi::AdapterListOf<Word>>();
    EXPECT_TRUE(session_.GetAdapterList(*list));
    for (std::uint32_t i = 0; i < list->Count; ++i) {
      if (session_.Handles().ToDriver(list->Handle[i]) == handle_) return list->Handle[i];
    }
    ADD_FAILURE() << "the adapter is not listed";
    return 0;
  }
  Request RequestFor(Word adapter, Record& record) { return Request{adapter, memory_.Place(&record)}; }
};

}  // namespace zl::vorlanexapitest
