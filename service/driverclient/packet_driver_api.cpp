#include "service/driverclient/packet_driver_api.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "zl/platform/dynamic_library.h"

namespace zl::driverclient {
namespace {

// An entry of the table: the export's name, where in the table its address
// goes (by byte offset: the members have different function types, so no one
// member-pointer type reaches them all), and whether the service calls it.
struct ExportSlot {
  const char* name;
  std::size_t offset;
  bool used;
};

#define ZL_EXPORT(name, used) ExportSlot{#name, offsetof(PacketDriverApi, name), used}
constexpr ExportSlot kExports[] = {
    ZL_EXPORT(OpenFilterDriver, true),
    ZL_EXPORT(CloseFilterDriver, true),
    ZL_EXPORT(GetDriverVersion, false),
    ZL_EXPORT(GetTcpipBoundAdaptersInfo, true),
    ZL_EXPORT(SendPacketToMstcp, true),
    ZL_EXPORT(SendPacketToAdapter, true),
    ZL_EXPORT(ReadPacket, true),
    ZL_EXPORT(SendPacketsToMstcp, false),
    ZL_EXPORT(SendPacketsToAdapter, false),
    ZL_EXPORT(ReadPackets, false),
    ZL_EXPORT(SetAdapterMode, true),
    ZL_EXPORT(GetAdapterMode, false),
    ZL_EXPORT(FlushAdapterPacketQueue, false),
    ZL_EXPORT(GetAdapterPacketQueueSize, false),
    ZL_EXPORT(SetPacketEvent, true),
    ZL_EXPORT(SetWANEvent, false),
    ZL_EXPORT(SetAdapterListChangeEvent, false),
    ZL_EXPORT(VorlanexRequest, false),
    ZL_EXPORT(GetRasLinks, false),
    ZL_EXPORT(SetHwPacketFilter, false),
    ZL_EXPORT(GetHwPacketFilter, false),
    ZL_EXPORT(SetMTUDecrement, false),
    ZL_EXPORT(GetMTUDecrement, false),
    ZL_EXPORT(SetAdaptersStartupMode, false),
    ZL_EXPORT(GetAdaptersStartupMode, false),
    ZL_EXPORT(IsDriverLoaded, true),
    ZL_EXPORT(GetBytesReturned, false),
    ZL_EXPORT(SetPacketFilterTable, false),
    ZL_EXPORT(GetPacketFilterTable, false),
    ZL_EXPORT(GetPacketFilterTableResetStats, false),
    ZL_EXPORT(ResetPacketFilterTable, false),
    ZL_EXPORT(GetPacketFilterTableSize, false),
    ZL_EXPORT(ConvertWindowsNTAdapterName, false),
    ZL_EXPORT(ConvertWindows2000AdapterName, false),
    ZL_EXPORT(ConvertWindows9xAdapterName, false),
};
#undef ZL_EXPORT
static_assert(sizeof kExports / sizeof kExports[0] == 35);
static_assert(sizeof(PacketDriverApi) == 35 * sizeof(void*));

platform::LibraryHandle library = nullptr;

void StoreEntry(const ExportSlot& entry, void* address) {
  // Every member is a function pointer of the same size as a data pointer on
  // the platforms we build for; copy the address into it byte for byte.
  static_assert(sizeof(OpenFilterDriverProc) == sizeof(void*));
  std::memcpy(reinterpret_cast<unsigned char*>(&PacketDriver) + entry.offset, &address, sizeof address);
}

}  // namespace

PacketDriverApi PacketDriver{};

void LoadPacketDriverApi() {
  if (library) return;
  platform::LibraryHandle loaded = platform::LoadLibraryByName(kPacketDriverLibraryName);
  if (!loaded) throw PacketDriverLoadError();
  for (const ExportSlot& entry : kExports) {
    void* address = platform::FindEntryPoint(loaded, entry.name);
    if (!address && entry.used) {
      PacketDriver = PacketDriverApi{};
      platform::FreeLibraryHandle(loaded);
      throw PacketDriverLoadError();
    }
    StoreEntry(entry, address);
  }
  library = loaded;
}

void UnloadPacketDriverApi() {
  if (!library) return;
  PacketDriver = PacketDriverApi{};
  platform::FreeLibraryHandle(library);
  library = nullptr;
}

bool PacketDriverApiLoaded() { return library != nullptr; }

}  // namespace zl::driverclient

// Every export the library declares has the signature the table resolves it with.
static_assert(std::is_same_v<decltype(&OpenFilterDriver), zl::driverclient::OpenFilterDriverProc>);
static_assert(std::is_same_v<decltype(&CloseFilterDriver), zl::driverclient::CloseFilterDriverProc>);
static_assert(std::is_same_v<decltype(&GetDriverVersion), zl::driverclient::GetDriverVersionProc>);
static_assert(std::is_same_v<decltype(&GetTcpipBoundAdaptersInfo), zl::driverclient::GetTcpipBoundAdaptersInfoProc>);
static_assert(std::is_same_v<decltype(&SendPacketToMstcp), zl::driverclient::SendPacketProc>);
static_assert(std::is_same_v<decltype(&SendPacketToAdapter), zl::driverclient::SendPacketProc>);
static_assert(std::is_same_v<decltype(&ReadPacket), zl::driverclient::SendPacketProc>);
static_assert(std::is_same_v<decltype(&SendPacketsToMstcp), zl::driverclient::SendPacketsProc>);
static_assert(std::is_same_v<decltype(&SendPacketsToAdapter), zl::driverclient::SendPacketsProc>);
static_assert(std::is_same_v<decltype(&ReadPackets), zl::driverclient::ReadPacketsProc>);
static_assert(std::is_same_v<decltype(&SetAdapterMode), zl::driverclient::AdapterModeProc>);
static_assert(std::is_same_v<decltype(&GetAdapterMode), zl::driverclient::AdapterModeProc>);
static_assert(std::is_same_v<decltype(&FlushAdapterPacketQueue), zl::driverclient::FlushAdapterPacketQueueProc>);
static_assert(std::is_same_v<decltype(&GetAdapterPacketQueueSize), zl::driverclient::GetAdapterPacketQueueSizeProc>);
static_assert(std::is_same_v<decltype(&SetPacketEvent), zl::driverclient::SetPacketEventProc>);
static_assert(std::is_same_v<decltype(&SetWANEvent), zl::driverclient::SetDriverEventProc>);
static_assert(std::is_same_v<decltype(&SetAdapterListChangeEvent), zl::driverclient::SetDriverEventProc>);
static_assert(std::is_same_v<decltype(&VorlanexRequest), zl::driverclient::VorlanexRequestProc>);
static_assert(std::is_same_v<decltype(&GetRasLinks), zl::driverclient::GetRasLinksProc>);
static_assert(std::is_same_v<decltype(&SetHwPacketFilter), zl::driverclient::SetHwPacketFilterProc>);
static_assert(std::is_same_v<decltype(&GetHwPacketFilter), zl::driverclient::GetHwPacketFilterProc>);
static_assert(std::is_same_v<decltype(&SetMTUDecrement), zl::driverclient::SetParameterProc>);
static_assert(std::is_same_v<decltype(&GetMTUDecrement), zl::driverclient::GetParameterProc>);
static_assert(std::is_same_v<decltype(&SetAdaptersStartupMode), zl::driverclient::SetParameterProc>);
static_assert(std::is_same_v<decltype(&GetAdaptersStartupMode), zl::driverclient::GetParameterProc>);
static_assert(std::is_same_v<decltype(&IsDriverLoaded), zl::driverclient::IsDriverLoadedProc>);
static_assert(std::is_same_v<decltype(&GetBytesReturned), zl::driverclient::GetBytesReturnedProc>);
static_assert(std::is_same_v<decltype(&SetPacketFilterTable), zl::driverclient::FilterTableProc>);
static_assert(std::is_same_v<decltype(&GetPacketFilterTable), zl::driverclient::FilterTableProc>);
static_assert(std::is_same_v<decltype(&GetPacketFilterTableResetStats), zl::driverclient::FilterTableProc>);
static_assert(std::is_same_v<decltype(&ResetPacketFilterTable), zl::driverclient::ResetPacketFilterTableProc>);
static_assert(std::is_same_v<decltype(&GetPacketFilterTableSize), zl::driverclient::GetPacketFilterTableSizeProc>);
static_assert(std::is_same_v<decltype(&ConvertWindowsNTAdapterName), zl::driverclient::ConvertAdapterNameProc>);
static_assert(std::is_same_v<decltype(&ConvertWindows2000AdapterName), zl::driverclient::ConvertAdapterNameProc>);
static_assert(std::is_same_v<decltype(&ConvertWindows9xAdapterName), zl::driverclient::ConvertAdapterNameProc>);
