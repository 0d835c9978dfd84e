#include "service/link/client_address_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "service/engine/filter_rules.h"
#include "service/engine/frame_judgement.h"

namespace zl::link {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ClientAddressListTest, NotesDestinationFirstThenSource) {
  ClientAddressList list;
  list.NoteClientAddresses("192.168.137.1", "192.168.137.23");
  EXPECT_THAT(list.Addresses(), ElementsAre("192.168.137.1", "192.168.137.23"));
}

TEST(ClientAddressListTest, KeepsOnlyTextsContaining192168) {
  struct Case {
    const char* address;
    bool noted;
  };
  for (const Case& c : std::vector<Case>{{"192.168.137.23", true},
                                         {"10.192.168.5", true},
                                         {"1.192.168.0", true},
                                         {"192.169.0.1", false},
                                         {"93.184.216.34", false},
                                         {"172.16.0.1", false},
                                         {"", false}}) {
    SCOPED_TRACE(c.address);
    ClientAddressList list;
    list.NoteClientAddresses(c.address, "8.8.8.8");
    EXPECT_EQ(list.Addresses().size(), c.noted ? 1u : 0u);
  }
}

TEST(ClientAddressListTest, NoDuplicatesInFirstSeenOrder) {
  ClientAddressList list;
  list.NoteClientAddresses("93.184.216.34", "192.168.137.23");
  list.NoteClientAddresses("192.168.137.23", "192.168.137.1");
  list.NoteClientAddresses("192.168.137.1", "192.168.137.23");
  list.NoteClientAddresses("192.168.137.44", "192.168.137.44");
  EXPECT_THAT(list.Addresses(), ElementsAre("192.168.137.23", "192.168.137.1", "192.168.137.44"));
}

TEST(ClientAddressListTest, ReportTextEndsEveryAddressWithCrLf) {
  ClientAddressList list;
  EXPECT_EQ(ClientAddressReportText(list), "");
  list.NoteClientAddresses("192.168.137.1", "192.168.137.23");
  EXPECT_EQ(ClientAddressReportText(list), "192.168.137.1\r\n192.168.137.23\r\n");
  list.Clear();
  EXPECT_EQ(ClientAddressReportText(list), "");
  list.NoteClientAddresses("192.168.137.1", "8.8.8.8");
  EXPECT_EQ(ClientAddressReportText(list), "192.168.137.1\r\n");
}

TEST(ClientAddressListTest, NotesTheAddressesOfJudgedFramesEvenWhenDropped) {
  // A client's frame to a blocked port of a host on another private net.
  std::vector<std::uint8_t> frame(54, 0);
  frame[12] = 0x08;
  frame[14] = 0x45;
  frame[23] = 6;
  const std::uint8_t source[] = {192, 168, 137, 23};
  const std::uint8_t destination[] = {192, 168, 1, 20};
  std::copy(std::begin(source), std::end(source), frame.begin() + 26);
  std::copy(std::begin(destination), std::end(destination), frame.begin() + 30);
  frame[36] = 0x1A;  // destination port 6881
  frame[37] = 0xE1;

  engine::FilterRules rules;
  rules.EnableFirewall = true;
  rules.EnableDefaultTcpPorts = false;
  struct NoLog final : engine::UrlLogCandidates {
    void LogRequestUrl(std::string_view, const std::uint8_t*, std::size_t) override { ++calls; }
    int calls = 0;
  } log;
  ClientAddressList list;
  EXPECT_EQ(engine::JudgeFrame(frame.data(), frame.size(), engine::DIRECTION_INBOUND, rules, list, log),
            engine::Verdict::Drop);
  EXPECT_THAT(list.Addresses(), ElementsAre("192.168.1.20", "192.168.137.23"));
  EXPECT_EQ(log.calls, 0);
}

}  // namespace
}  // namespace zl::link
