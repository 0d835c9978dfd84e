// A stand-in for "VorlanexApi.dll" that only has to be found and resolved:
// every export is a distinct function, and a build variant leaves one out.
// The loader's tests compare the table it fills with these addresses.
#define STANDIN_EXPORT(name) \
  extern "C" __attribute__((visibility("default"))) const char* name() { return #name; }

STANDIN_EXPORT(OpenFilterDriver)
STANDIN_EXPORT(CloseFilterDriver)
STANDIN_EXPORT(GetDriverVersion)
STANDIN_EXPORT(GetTcpipBoundAdaptersInfo)
STANDIN_EXPORT(SendPacketToMstcp)
STANDIN_EXPORT(SendPacketToAdapter)
#ifndef STANDIN_WITHOUT_READ_PACKET
STANDIN_EXPORT(ReadPacket)
#endif
STANDIN_EXPORT(SendPacketsToMstcp)
STANDIN_EXPORT(SendPacketsToAdapter)
STANDIN_EXPORT(ReadPackets)
STANDIN_EXPORT(SetAdapterMode)
STANDIN_EXPORT(GetAdapterMode)
STANDIN_EXPORT(FlushAdapterPacketQueue)
STANDIN_EXPORT(GetAdapterPacketQueueSize)
STANDIN_EXPORT(SetPacketEvent)
STANDIN_EXPORT(SetWANEvent)
STANDIN_EXPORT(SetAdapterListChangeEvent)
STANDIN_EXPORT(VorlanexRequest)
#ifndef STANDIN_WITHOUT_RAS_LINKS
STANDIN_EXPORT(GetRasLinks)
#endif
STANDIN_EXPORT(SetHwPacketFilter)
STANDIN_EXPORT(GetHwPacketFilter)
STANDIN_EXPORT(SetMTUDecrement)
STANDIN_EXPORT(GetMTUDecrement)
STANDIN_EXPORT(SetAdaptersStartupMode)
STANDIN_EXPORT(GetAdaptersStartupMode)
STANDIN_EXPORT(IsDriverLoaded)
STANDIN_EXPORT(GetBytesReturned)
STANDIN_EXPORT(SetPacketFilterTable)
STANDIN_EXPORT(GetPacketFilterTable)
STANDIN_EXPORT(GetPacketFilterTableResetStats)
STANDIN_EXPORT(ResetPacketFilterTable)
STANDIN_EXPORT(GetPacketFilterTableSize)
STANDIN_EXPORT(ConvertWindowsNTAdapterName)
STANDIN_EXPORT(ConvertWindows2000AdapterName)
STANDIN_EXPORT(ConvertWindows9xAdapterName)
