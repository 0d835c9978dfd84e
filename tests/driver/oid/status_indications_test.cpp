// Status indications through a filter module: WAN line-up and line-down with
// the link list, the wireless-WAN context state, and everything else unchanged.
#include <cstring>

#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_events.h"
#include "driver/modules/ras_link.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

const std::string kParametersKey = std::string(zl::ndishost::kServicesRoot) + "\\VORLANEX\\Parameters";
const Mac kRemote = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25};
const Mac kLocal = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35};

class StatusIndicationsTest : public DriverTest {
 protected:
  void Start(NDIS_MEDIUM medium, ULONG mtuDecrement = 0) {
    host_.Registry().SetDword(kParametersKey, "MTUDecrement", mtuDecrement);
    LoadDriver();
    adapter_ = &host_.AddAdapter(AdapterNamed("{W1}", medium, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}));
    wanEvent_ = host_.CreateEvent();
    ObReferenceObject(wanEvent_);
    zl::driver::ReplaceWanEvent(wanEvent_);
  }

  NDIS_STATUS_INDICATION Indication(NDIS_STATUS code, void* buffer, ULONG size) {
    NDIS_STATUS_INDICATION indication = {};
    indication.StatusCode = code;
    indication.StatusBuffer = buffer;
    indication.StatusBufferSize = size;
    return indication;
  }

  // A line-up whose local address the protocols fill in while they handle it.
  void LineUp(ULONG maximumTotalSize, const Mac& local, const Bytes& protocolBuffer) {
    NDIS_WAN_LINE_UP lineUp = {};
    lineUp.LinkSpeed = 28800;
    lineUp.MaximumTotalSize = maximumTotalSize;
    std::memcpy(lineUp.RemoteAddress, kRemote.data(), 6);
    Bytes protocol = protocolBuffer;
    lineUp.ProtocolBufferLength = ULONG(protocol.size());
    lineUp.ProtocolBuffer = protocol.data();
    adapter_->SetStatusHook([&](NDIS_STATUS_INDICATION& seen) {
      auto* up = static_cast<PNDIS_WAN_LINE_UP>(seen.StatusBuffer);
      std::memcpy(up->LocalAddress, local.data(), 6);
    });
    NDIS_STATUS_INDICATION indication = Indication(NDIS_STATUS_WAN_LINE_UP, &lineUp, sizeof lineUp);
    adapter_->IndicateStatusFromMiniport(indication);
    adapter_->SetStatusHook(nullptr);
  }

  void LineDown(const Mac& remote, const Mac& local) {
    NDIS_WAN_LINE_DOWN lineDown = {};
    std::memcpy(lineDown.RemoteAddress, remote.data(), 6);
    std::memcpy(lineDown.LocalAddress, local.data(), 6);
    NDIS_STATUS_INDICATION indication = Indication(NDIS_STATUS_WAN_LINE_DOWN, &lineDown, sizeof lineDown);
    adapter_->IndicateStatusFromMiniport(indication);
  }

  void ContextState(ULONG status, ULONG connection, ULONG activation) {
    std::uint8_t buffer[40] = {};
    std::memcpy(buffer + 4, &status, 4);
    std::memcpy(buffer + 12, &connection, 4);
    std::memcpy(buffer + 16, &activation, 4);
    NDIS_STATUS_INDICATION indication = Indication(NDIS_STATUS_WWAN_CONTEXT_STATE, buffer, sizeof buffer);
    adapter_->IndicateStatusFromMiniport(indication);
  }

  std::unique_ptr<zl::driver::RasLinkList> Links() {
    auto links = std::make_unique<zl::driver::RasLinkList>();
    std::memset(links.get(), 0xCC, sizeof *links);
    zl::driver::CopyRasLinks(ModuleOf(*adapter_), links.get());
    return links;
  }

  zl::driver::AdapterList List() {
    zl::driver::AdapterList list{};
    zl::driver::FillAdapterList(&list);
    return list;
  }

  zl::ndishost::EmulatedAdapter* adapter_ = nullptr;
  PKEVENT wanEvent_ = nullptr;
};

TEST_F(StatusIndicationsTest, ALineUpLowersTheSizeUpwardListsTheLinkAndTakesTheLocalAddress) {
  Start(NdisMediumWan, 8);
  const Bytes protocol(1100, 0x5A);
  LineUp(1600, kLocal, protocol);

  const auto seen = adapter_->TakeStatusIndications();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].code, NDIS_STATUS_WAN_LINE_UP);
  NDIS_WAN_LINE_UP above;
  std::memcpy(&above, seen[0].buffer.data(), sizeof above);
  EXPECT_EQ(above.MaximumTotalSize, 1592u);
  EXPECT_EQ(host_.EventSignals(wanEvent_), 1);

  const auto list = List();
  EXPECT_EQ(USHORT(list.Mtu[0]), 1600);
  EXPECT_EQ(Bytes(list.Address[0], list.Address[0] + 6), Bytes(kLocal.begin(), kLocal.end()));

  const auto links = Links();
  ASSERT_EQ(std::uint32_t(links->Count), 1u);
  const zl::driver::RasLinkInfo& link = links->Links[0];
  EXPECT_EQ(std::uint32_t(link.LinkSpeed), 28800u);
  EXPECT_EQ(std::uint32_t(link.MaximumTotalSize), 1592u);
  EXPECT_EQ(Bytes(link.RemoteAddress, link.RemoteAddress + 6), Bytes(kRemote.begin(), kRemote.end()));
  EXPECT_EQ(Bytes(link.LocalAddress, link.LocalAddress + 6), Bytes(kLocal.begin(), kLocal.end()));
  EXPECT_EQ(std::uint32_t(link.ProtocolBufferLength), 1100u);
  EXPECT_EQ(Bytes(link.ProtocolBuffer, link.ProtocolBuffer + 1024), Bytes(1024, 0x5A));
  // Entries beyond the count are zero, not what the output held before.
  EXPECT_EQ(std::uint32_t(links->Links[1].LinkSpeed), 0u);
}

// A decrement larger than the size never wraps it around: it stops at the
// smallest MTU IPv4 allows.
TEST_F(StatusIndicationsTest, ALineUpSizeIsNotLoweredBelow576) {
  Start(NdisMediumWan, 2000);
  LineUp(1500, kLocal, {});
  const auto seen = adapter_->TakeStatusIndications();
  ASSERT_EQ(seen.size(), 1u);
  NDIS_WAN_LINE_UP above;
  std::memcpy(&above, seen[0].buffer.data(), sizeof above);
  EXPECT_EQ(above.MaximumTotalSize, 576u);
  EXPECT_EQ(std::uint32_t(Links()->Links[0].MaximumTotalSize), 576u);
}

TEST_F(StatusIndicationsTest, ALineUpForAListedLocalLinkAddsNoSecondEntry) {
  Start(NdisMediumWan);
  LineUp(1500, kLocal, {1, 2, 3});
  Mac sameTail = kLocal;
  sameTail[0] = 0x99;  // only bytes 2 to 5 tell links apart
  LineUp(1500, sameTail, {});
  EXPECT_EQ(std::uint32_t(Links()->Count), 1u);
  Mac other = kLocal;
  other[5] = 0x99;
  LineUp(1500, other, {});
  EXPECT_EQ(std::uint32_t(Links()->Count), 2u);
}

TEST_F(StatusIndicationsTest, ALineDownWithTheSameAddressesRestoresTheListAndClearsTheAddress) {
  Start(NdisMediumWan);
  LineUp(1500, kLocal, {});
  LineDown(kLocal, kRemote);  // addresses the other way round name no link
  EXPECT_EQ(std::uint32_t(Links()->Count), 1u);
  LineDown(kRemote, kLocal);
  EXPECT_EQ(std::uint32_t(Links()->Count), 0u);
  const auto list = List();
  EXPECT_EQ(Bytes(list.Address[0], list.Address[0] + 6), Bytes(6, 0));
  EXPECT_EQ(host_.EventSignals(wanEvent_), 3);
  EXPECT_EQ(adapter_->TakeStatusIndications().size(), 3u);
}

TEST_F(StatusIndicationsTest, OnlyThe256OldestLinksAreCopiedOut) {
  Start(NdisMediumWan);
  for (int i = 0; i < 257; ++i) {
    Mac local = kLocal;
    local[4] = std::uint8_t(i >> 8);
    local[5] = std::uint8_t(i);
    LineUp(1500, local, {});
  }
  const auto links = Links();
  ASSERT_EQ(std::uint32_t(links->Count), 256u);
  EXPECT_EQ(links->Links[255].LocalAddress[5], 255);
  EXPECT_EQ(links->Links[0].LocalAddress[5], 0);
}

TEST_F(StatusIndicationsTest, ALinkRecordThatCannotBeAllocatedIsNotListedButTheIndicationGoesUp) {
  Start(NdisMediumWan);
  host_.Pools().FailAllocationNumber(zl::ndishost::TagFromText("NdRd"), 1);
  LineUp(1500, kLocal, {});
  EXPECT_EQ(std::uint32_t(Links()->Count), 0u);
  EXPECT_EQ(adapter_->TakeStatusIndications().size(), 1u);
}

struct ContextCase {
  const char* name;
  ULONG status;
  ULONG activation;
  Bytes address;
  long signals;
};

TEST_F(StatusIndicationsTest, TheWirelessWanContextStateSetsOrClearsTheAddress) {
  const ContextCase cases[] = {
      {"activated", 0, 1, {0x40, 0x41, 5, 0, 0, 0}, 2},
      {"activation failed", 1, 1, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}, 1},
      {"deactivated", 0, 3, {0, 0, 0, 0, 0, 0}, 1},
      {"deactivation failed", 1, 3, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}, 0},
      {"activating", 0, 2, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}, 0},
  };
  for (const ContextCase& c : cases) {
    SCOPED_TRACE(c.name);
    Start(NdisMediumWirelessWan);
    ContextState(c.status, 5, c.activation);
    const auto list = List();
    EXPECT_EQ(Bytes(list.Address[0], list.Address[0] + 6), c.address);
    EXPECT_EQ(host_.EventSignals(wanEvent_), c.signals);
    EXPECT_EQ(adapter_->TakeStatusIndications().size(), 1u);
    zl::driver::ReplaceWanEvent(nullptr);
    UnloadAndExpectClean();
    host_.RemoveAdapter(*adapter_);
  }
}

TEST_F(StatusIndicationsTest, OtherAndShortIndicationsGoUpUnchanged) {
  Start(NdisMediumWan);
  std::uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  NDIS_STATUS_INDICATION other = Indication(0x4001000B, buffer, sizeof buffer);
  adapter_->IndicateStatusFromMiniport(other);
  NDIS_STATUS_INDICATION shortLineUp = Indication(NDIS_STATUS_WAN_LINE_UP, buffer, sizeof buffer);
  adapter_->IndicateStatusFromMiniport(shortLineUp);
  const auto seen = adapter_->TakeStatusIndications();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].code, 0x4001000B);
  EXPECT_EQ(seen[1].buffer, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(host_.EventSignals(wanEvent_), 0);
  EXPECT_EQ(std::uint32_t(Links()->Count), 0u);
}

}  // namespace
}  // namespace zl::drivertest
