// A stand-in for "VorlanexApi.dll" whose driver is loaded but lists no
// adapter, so every packet thread ends during its start-up. It counts the
// driver handles opened and still open; the test reads them through
// StandinHandleCounts.
#include <atomic>
#include <cstring>

#include "vorlanexapi/vorlanex_api.h"

using namespace zl::vorlanexapi;  // NOLINT: the exports spell the Windows type names

namespace {
std::atomic<int> opened{0};
std::atomic<int> open{0};
}  // namespace

extern "C" {

VORLANEX_EXPORT void StandinHandleCounts(int* everOpened, int* stillOpen) {
  *everOpened = opened;
  *stillOpen = open;
}

HANDLE VORLANEX_CALL OpenFilterDriver(const char*) {
  ++open;
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(++opened));
}
void VORLANEX_CALL CloseFilterDriver(HANDLE) { --open; }
BOOL VORLANEX_CALL IsDriverLoaded(HANDLE) { return 1; }
BOOL VORLANEX_CALL GetTcpipBoundAdaptersInfo(HANDLE, AdapterList* adapters) {
  std::memset(adapters, 0, sizeof *adapters);
  return 1;
}
BOOL VORLANEX_CALL SendPacketToMstcp(HANDLE, PacketRequest*) { return 0; }
BOOL VORLANEX_CALL SendPacketToAdapter(HANDLE, PacketRequest*) { return 0; }
BOOL VORLANEX_CALL ReadPacket(HANDLE, PacketRequest*) { return 0; }
BOOL VORLANEX_CALL SetAdapterMode(HANDLE, AdapterModeRequest*) { return 0; }
BOOL VORLANEX_CALL SetPacketEvent(HANDLE, HANDLE, HANDLE) { return 0; }
}
