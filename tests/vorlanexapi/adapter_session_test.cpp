// Adapter list, modes, OID requests, the filter table and the driver-wide
// events through a client session of each pointer width.
#include "driver/filtertable/filter_table.h"
#include "tests/vorlanexapi/session_fixture.h"

namespace zl::vorlanexapitest {
namespace {

using Widths = ::testing::Types<std::uint32_t, std::uint64_t>;

template <typename Word>
class AdapterSessionTest : public SessionTest<Word> {};
TYPED_TEST_SUITE(AdapterSessionTest, Widths);

TYPED_TEST(AdapterSessionTest, ListsEveryAdapterWithHandlesTheCallerCanHold) {
  auto& second = this->AddAdapter("{00000000-0000-0000-0000-0000000000B2}");
  const std::uint64_t secondHandle = std::uint64_t(reinterpret_cast<std::uintptr_t>(second.ModuleContext()));

  auto list = std::make_unique<vorlanexapi::AdapterListOf<TypeParam>>();
  std::memset(list.get(), 0x5A, sizeof *list);
  ASSERT_TRUE(this->session_.GetAdapterList(*list));
  EXPECT_EQ(this->session_.BytesReturned(), sizeof *list) << "counted in the caller's layout";
  ASSERT_EQ(Copy(list->Count), 2u);
  std::map<std::string, std::uint64_t> byName;
  for (std::uint32_t i = 0; i < 2; ++i) {
    byName[list->Name[i]] = this->session_.Handles().ToDriver(list->Handle[i]);
    EXPECT_EQ(Copy(list->Medium[i]), 0u);
    EXPECT_EQ(Copy(list->Mtu[i]), 1500u);
    EXPECT_EQ(Bytes(list->Address[i], list->Address[i] + 6), Bytes(drivertest::kAdapterMac.begin(), drivertest::kAdapterMac.end()));
    if constexpr (sizeof(TypeParam) == 4) {
      EXPECT_LE(Copy(list->Handle[i]), 2u) << "a 32-bit caller gets small handles";
    } else {
      EXPECT_EQ(std::uint64_t(list->Handle[i]), byName[list->Name[i]]);
    }
  }
  EXPECT_EQ(byName["\\DEVICE\\{00000000-0000-0000-0000-0000000000A1}"], this->handle_);
  EXPECT_EQ(byName["\\DEVICE\\{00000000-0000-0000-0000-0000000000B2}"], secondHandle);
  // Entries past the count are zero, whatever the caller's buffer held.
  EXPECT_EQ(list->Name[2][0], '\0');
  EXPECT_EQ(Copy(list->Handle[31]), 0u);

  // Listing again issues the same handles.
  auto again = std::make_unique<vorlanexapi::AdapterListOf<TypeParam>>();
  ASSERT_TRUE(this->session_.GetAdapterList(*again));
  EXPECT_EQ(std::memcmp(again.get(), list.get(), sizeof *list), 0);
}

TYPED_TEST(AdapterSessionTest, SetsAndReadsTheModeFlags) {
  const TypeParam adapter = this->AdapterHandle();
  for (std::uint32_t flags : {0x03u, 0x7Fu, 0x00u}) {
    ASSERT_TRUE(this->session_.SetAdapterMode({adapter, flags}));
    EXPECT_EQ(zl::driver::ReadModeFlags(&this->ModuleOf(*this->adapter_)->Queue), flags);
    vorlanexapi::AdapterModeRequestOf<TypeParam> request{adapter, 0xFFFFFFFF};
    ASSERT_TRUE(this->session_.GetAdapterMode(request));
    EXPECT_EQ(Copy(request.Flags), flags);
    EXPECT_EQ(this->session_.BytesReturned(), sizeof request);
  }
}

TYPED_TEST(AdapterSessionTest, TheDriverAnswersThroughAWorkingChannelOnly) {
  std::uint32_t version = 0;
  ASSERT_TRUE(this->session_.GetDriverVersion(version));
  EXPECT_EQ(version, 0x01083000u);
  EXPECT_TRUE(this->session_.IsDriverLoaded());

  vorlanexapi::ClientSession<TypeParam> broken(
      [](std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t& bytes) {
        bytes = 0;
        return false;
      },
      [](TypeParam) -> void* { return nullptr; });
  EXPECT_FALSE(broken.IsDriverLoaded());
  EXPECT_EQ(broken.BytesReturned(), 0u);
}

TYPED_TEST(AdapterSessionTest, TheHardwareFilterIsTheCurrentPacketFilterOid) {
  const TypeParam adapter = this->AdapterHandle();
  ASSERT_TRUE(this->session_.SetHwPacketFilter(adapter, 0x0B));
  auto seen = this->adapter_->TakeOidRequests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, NdisRequestSetInformation);
  EXPECT_EQ(seen[0].oid, 0x0001010Eu);
  EXPECT_EQ(seen[0].data, (Bytes{0x0B, 0, 0, 0}));

  this->adapter_->SetOidResponder([](NDIS_OID_REQUEST& request) {
    const std::uint32_t current = 0x2F;
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, &current, sizeof current);
    request.DATA.QUERY_INFORMATION.BytesWritten = sizeof current;
    return NDIS_STATUS_SUCCESS;
  });
  std::uint32_t filter = 0;
  ASSERT_TRUE(this->session_.GetHwPacketFilter(adapter, filter));
  EXPECT_EQ(filter, 0x2Fu);
  EXPECT_FALSE(this->session_.GetHwPacketFilter(TypeParam(adapter + 1), filter));
}

TYPED_TEST(AdapterSessionTest, AnOidRequestCarriesTheCallersDataBothWays) {
  using Request = vorlanexapi::OidPassRequestOf<TypeParam>;
  std::vector<std::uint8_t> buffer(sizeof(Request) + 6);
  Request header{this->AdapterHandle(), 0x01010101, 6};  // OID_802_3_PERMANENT_ADDRESS
  std::memcpy(buffer.data(), &header, sizeof header);
  this->adapter_->SetOidResponder([](NDIS_OID_REQUEST& request) {
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, "\x02\x01\x02\x03\x04\x05", 6);
    request.DATA.QUERY_INFORMATION.BytesWritten = 6;
    return NDIS_STATUS_SUCCESS;
  });
  auto& request = *reinterpret_cast<Request*>(buffer.data());
  ASSERT_TRUE(this->session_.OidRequest(request, false));
  EXPECT_EQ(Copy(request.Length), 6u);
  EXPECT_EQ(Bytes(buffer.end() - 6, buffer.end()), (Bytes{0x02, 0x01, 0x02, 0x03, 0x04, 0x05}));
  EXPECT_EQ(this->session_.BytesReturned(), sizeof(Request) + 6u);

  this->adapter_->SetOidResponder([](NDIS_OID_REQUEST&) { return NDIS_STATUS_NOT_SUPPORTED; });
  EXPECT_FALSE(this->session_.OidRequest(request, true));
}

TYPED_TEST(AdapterSessionTest, FilterRulesNameAdaptersByTheCallersHandles) {
  const TypeParam adapter = this->AdapterHandle();
  std::vector<std::uint8_t> table(vx::FILTER_TABLE_HEADER_SIZE + 2 * sizeof(vx::FilterRule));
  vx::FilterRule rules[2] = {};
  rules[0].AdapterHandle = adapter;
  rules[0].Directions = 3;
  rules[0].Action = 2;
  rules[1].AdapterHandle = 0;  // every adapter
  rules[1].Directions = 1;
  rules[1].Action = 1;
  const std::uint32_t count = 2;
  std::memcpy(table.data(), &count, 4);
  std::memcpy(table.data() + 4, rules, sizeof rules);
  ASSERT_TRUE(this->session_.SetPacketFilterTable(table.data()));

  // The driver holds its own handle.
  std::vector<std::uint8_t> installed(table.size());
  ASSERT_EQ(zl::driver::ReadFilterTable(installed.data(), ULONG(installed.size()), false), STATUS_SUCCESS);
  vx::FilterRule first;
  std::memcpy(&first, installed.data() + 4, sizeof first);
  EXPECT_EQ(std::uint64_t(first.AdapterHandle), this->handle_);

  std::uint32_t size = 0;
  ASSERT_TRUE(this->session_.GetPacketFilterTableSize(size));
  EXPECT_EQ(size, 2u);

  std::vector<std::uint8_t> read(table.size(), 0xCC);
  std::memcpy(read.data(), &count, 4);  // room for two rules
  ASSERT_TRUE(this->session_.GetPacketFilterTable(read.data(), false));
  vx::FilterRule back[2];
  std::memcpy(back, read.data() + 4, sizeof back);
  EXPECT_EQ(std::uint64_t(back[0].AdapterHandle), std::uint64_t(adapter));
  EXPECT_EQ(std::uint64_t(back[1].AdapterHandle), 0u);
  EXPECT_EQ(Copy(back[0].Action), 2u);

  std::uint32_t tooSmall = 1;
  std::memcpy(read.data(), &tooSmall, 4);
  EXPECT_FALSE(this->session_.GetPacketFilterTable(read.data(), true));

  ASSERT_TRUE(this->session_.ResetPacketFilterTable());
  ASSERT_TRUE(this->session_.GetPacketFilterTableSize(size));
  EXPECT_EQ(size, 0u);
  const std::uint32_t none = 0;
  std::memcpy(table.data(), &none, 4);
  EXPECT_FALSE(this->session_.SetPacketFilterTable(table.data())) << "a table needs a rule";
}

TYPED_TEST(AdapterSessionTest, SetsAndClearsTheDriverWideEvents) {
  PKEVENT event = this->host_.CreateEvent();
  const std::uint64_t handle = this->host_.Caller().OpenHandle(event);
  EXPECT_TRUE(this->session_.SetWanEvent(TypeParam(handle)));
  EXPECT_TRUE(this->session_.SetAdapterListChangeEvent(TypeParam(handle)));
  EXPECT_FALSE(this->session_.SetWanEvent(TypeParam(handle + 77)));
  EXPECT_TRUE(this->session_.SetWanEvent(0));
  EXPECT_TRUE(this->session_.SetAdapterListChangeEvent(0));
  this->host_.Caller().CloseHandle(handle);
  this->host_.CloseEvent(event);
}

TYPED_TEST(AdapterSessionTest, AnEthernetAdapterHasNoWanLinks) {
  auto links = std::make_unique<vorlanexapi::RasLinkList>();
  links->Count = 99;
  ASSERT_TRUE(this->session_.GetRasLinks(this->AdapterHandle(), *links));
  EXPECT_EQ(Copy(links->Count), 0u);
  EXPECT_EQ(this->session_.BytesReturned(), sizeof(vorlanexapi::RasLinkList));
  EXPECT_FALSE(this->session_.GetRasLinks(TypeParam(this->AdapterHandle() + 1), *links));
}

}  // namespace
}  // namespace zl::vorlanexapitest
