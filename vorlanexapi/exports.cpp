// The exports: each finds the session of its driver handle and runs the
// operation there. Nothing may escape across the C boundary, so every export
// turns a failure (an unknown handle, a null record, an allocation failure)
// into its failure result.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>

#include "vorlanexapi/adapter_names.h"
#include "vorlanexapi/client_session.h"
#include "vorlanexapi/device_connection.h"
#include "vorlanexapi/driver_parameters.h"
#include "vorlanexapi/vorlanex_api.h"

namespace zl::vorlanexapi {
namespace {

using Word = std::uintptr_t;

// The library runs in its caller's process: addresses in requests are its own.
void* InThisProcess(Word address) { return reinterpret_cast<void*>(address); }

struct OpenDriver {
  explicit OpenDriver(platform::DeviceHandle opened) : device(opened), session(ChannelOf(opened), InThisProcess) {}
  platform::DeviceHandle device;
  ClientSession<Word> session;
};

HANDLE const kInvalidHandle = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

std::mutex sessionsMutex;
// Shared so that a call still running keeps its session while another thread
// closes the handle.
std::map<HANDLE, std::shared_ptr<OpenDriver>> sessions;

std::shared_ptr<OpenDriver> Find(HANDLE driver) {
  std::lock_guard lock(sessionsMutex);
  auto it = sessions.find(driver);
  return it == sessions.end() ? nullptr : it->second;
}


template <typename Operation>
BOOL Run(HANDLE driver, Operation operation) {
  try {
    std::shared_ptr<OpenDriver> open = Find(driver);
    return open && operation(open->session) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

Word WordOf(HANDLE handle) { return reinterpret_cast<Word>(handle); }

}  // namespace
}  // namespace zl::vorlanexapi

using zl::vorlanexapi::ClientSession;
using zl::vorlanexapi::Run;
using zl::vorlanexapi::Word;
using zl::vorlanexapi::WordOf;
using namespace zl::vorlanexapi;  // NOLINT: the exports spell the Windows type names

extern "C" {

HANDLE VORLANEX_CALL OpenFilterDriver(const char* driverName) {
  using namespace zl::vorlanexapi;
  if (!driverName) return kInvalidHandle;
  try {
    const zl::platform::DeviceHandle device = OpenControlDevice(driverName);
    if (device == zl::platform::kInvalidDevice) return kInvalidHandle;
    auto open = std::make_shared<OpenDriver>(device);
    HANDLE handle = open.get();
    std::lock_guard lock(sessionsMutex);
    sessions.emplace(handle, std::move(open));
    return handle;
  } catch (...) {
    return kInvalidHandle;
  }
}

void VORLANEX_CALL CloseFilterDriver(HANDLE driver) {
  using namespace zl::vorlanexapi;
  std::shared_ptr<OpenDriver> open;
  {
    std::lock_guard lock(sessionsMutex);
    auto it = sessions.find(driver);
    if (it == sessions.end()) return;
    open = std::move(it->second);
    sessions.erase(it);
  }
  zl::platform::CloseDevice(open->device);
}

DWORD VORLANEX_CALL GetDriverVersion(HANDLE driver) {
  DWORD version = 0;
  Run(driver, [&](ClientSession<Word>& s) { return s.GetDriverVersion(version); });
  return version;
}

BOOL VORLANEX_CALL GetTcpipBoundAdaptersInfo(HANDLE driver, AdapterList* adapters) {
  return adapters ? Run(driver, [&](ClientSession<Word>& s) { return s.GetAdapterList(*adapters); }) : 0;
}

BOOL VORLANEX_CALL SendPacketToMstcp(HANDLE driver, PacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.SendToProtocols(*request); }) : 0;
}

BOOL VORLANEX_CALL SendPacketToAdapter(HANDLE driver, PacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.SendToAdapter(*request); }) : 0;
}

BOOL VORLANEX_CALL ReadPacket(HANDLE driver, PacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.ReadPacket(*request); }) : 0;
}

BOOL VORLANEX_CALL SendPacketsToMstcp(HANDLE driver, MultiPacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.SendPacketsToProtocols(*request); }) : 0;
}

BOOL VORLANEX_CALL SendPacketsToAdapter(HANDLE driver, MultiPacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.SendPacketsToAdapter(*request); }) : 0;
}

BOOL VORLANEX_CALL ReadPackets(HANDLE driver, MultiPacketRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.ReadPackets(*request); }) : 0;
}

BOOL VORLANEX_CALL SetAdapterMode(HANDLE driver, AdapterModeRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.SetAdapterMode(*request); }) : 0;
}

BOOL VORLANEX_CALL GetAdapterMode(HANDLE driver, AdapterModeRequest* request) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.GetAdapterMode(*request); }) : 0;
}

BOOL VORLANEX_CALL FlushAdapterPacketQueue(HANDLE driver, HANDLE adapter) {
  return Run(driver, [&](ClientSession<Word>& s) { return s.FlushAdapterQueue(WordOf(adapter)); });
}

BOOL VORLANEX_CALL GetAdapterPacketQueueSize(HANDLE driver, HANDLE adapter, DWORD* size) {
  return size ? Run(driver, [&](ClientSession<Word>& s) { return s.GetAdapterQueueSize(WordOf(adapter), *size); }) : 0;
}

BOOL VORLANEX_CALL SetPacketEvent(HANDLE driver, HANDLE adapter, HANDLE event) {
  return Run(driver, [&](ClientSession<Word>& s) { return s.SetPacketEvent(WordOf(adapter), WordOf(event)); });
}

BOOL VORLANEX_CALL SetWANEvent(HANDLE driver, HANDLE event) {
  return Run(driver, [&](ClientSession<Word>& s) { return s.SetWanEvent(WordOf(event)); });
}

BOOL VORLANEX_CALL SetAdapterListChangeEvent(HANDLE driver, HANDLE event) {
  return Run(driver, [&](ClientSession<Word>& s) { return s.SetAdapterListChangeEvent(WordOf(event)); });
}

BOOL VORLANEX_CALL VorlanexRequest(HANDLE driver, OidPassRequest* request, BOOL set) {
  return request ? Run(driver, [&](ClientSession<Word>& s) { return s.OidRequest(*request, set != 0); }) : 0;
}

BOOL VORLANEX_CALL GetRasLinks(HANDLE driver, HANDLE adapter, RasLinkList* links) {
  return links ? Run(driver, [&](ClientSession<Word>& s) { return s.GetRasLinks(WordOf(adapter), *links); }) : 0;
}

BOOL VORLANEX_CALL SetHwPacketFilter(HANDLE driver, HANDLE adapter, DWORD filter) {
  return Run(driver, [&](ClientSession<Word>& s) { return s.SetHwPacketFilter(WordOf(adapter), filter); });
}

BOOL VORLANEX_CALL GetHwPacketFilter(HANDLE driver, HANDLE adapter, DWORD* filter) {
  return filter ? Run(driver, [&](ClientSession<Word>& s) { return s.GetHwPacketFilter(WordOf(adapter), *filter); }) : 0;
}

BOOL VORLANEX_CALL SetMTUDecrement(DWORD decrement) {
  try {
    return zl::vorlanexapi::WriteDriverParameter(zl::vorlanexapi::kMtuDecrementValue, decrement) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

DWORD VORLANEX_CALL GetMTUDecrement() {
  try {
    return zl::vorlanexapi::ReadDriverParameter(zl::vorlanexapi::kMtuDecrementValue);
  } catch (...) {
    return 0;
  }
}

BOOL VORLANEX_CALL SetAdaptersStartupMode(DWORD mode) {
  try {
    return zl::vorlanexapi::WriteDriverParameter(zl::vorlanexapi::kStartupModeValue, mode) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

DWORD VORLANEX_CALL GetAdaptersStartupMode() {
  try {
    return zl::vorlanexapi::ReadDriverParameter(zl::vorlanexapi::kStartupModeValue);
  } catch (...) {
    return 0;
  }
}

BOOL VORLANEX_CALL IsDriverLoaded(HANDLE driver) {
  return Run(driver, [](ClientSession<Word>& s) { return s.IsDriverLoaded(); });
}

DWORD VORLANEX_CALL GetBytesReturned(HANDLE driver) {
  DWORD bytes = 0;
  Run(driver, [&](ClientSession<Word>& s) {
    bytes = s.BytesReturned();
    return true;
  });
  return bytes;
}

BOOL VORLANEX_CALL SetPacketFilterTable(HANDLE driver, void* table) {
  return table ? Run(driver, [&](ClientSession<Word>& s) { return s.SetPacketFilterTable(table); }) : 0;
}

BOOL VORLANEX_CALL GetPacketFilterTable(HANDLE driver, void* table) {
  return table ? Run(driver, [&](ClientSession<Word>& s) { return s.GetPacketFilterTable(table, false); }) : 0;
}

BOOL VORLANEX_CALL GetPacketFilterTableResetStats(HANDLE driver, void* table) {
  return table ? Run(driver, [&](ClientSession<Word>& s) { return s.GetPacketFilterTable(table, true); }) : 0;
}

BOOL VORLANEX_CALL ResetPacketFilterTable(HANDLE driver) {
  return Run(driver, [](ClientSession<Word>& s) { return s.ResetPacketFilterTable(); });
}

BOOL VORLANEX_CALL GetPacketFilterTableSize(HANDLE driver, DWORD* rules) {
  return rules ? Run(driver, [&](ClientSession<Word>& s) { return s.GetPacketFilterTableSize(*rules); }) : 0;
}

BOOL VORLANEX_CALL ConvertWindowsNTAdapterName(const char* adapterName, char* userName, DWORD userNameSize) {
  try {
    return zl::vorlanexapi::DeviceComponentOf(adapterName, userName, userNameSize) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

BOOL VORLANEX_CALL ConvertWindows2000AdapterName(const char* adapterName, char* userName, DWORD userNameSize) {
  try {
    return zl::vorlanexapi::ConnectionNameOf(adapterName, userName, userNameSize) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

BOOL VORLANEX_CALL ConvertWindows9xAdapterName(const char* adapterName, char* userName, DWORD userNameSize) {
  try {
    return zl::vorlanexapi::DeviceComponentOf(adapterName, userName, userNameSize) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
