// The "Clients" page: entries by MAC address, refreshed by reports, dropped
// when their device stops answering, emptied when the hotspot stops.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/control_panel/panel_fixture.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;

const char* kPhone = "0A-00-00-00-00-01";
const char* kLaptop = "0A-00-00-00-00-02";

class ClientListTest : public PanelTest {
 protected:
  void SetUp() override {
    StartHostedNetworkDirectly();
    ShowForm();
    ASSERT_TRUE(form->FHotspotRunning);
    form->OnClientsChanged = [this] { ++changes; };
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const TfmClient* entry : form->ClientEntries()) {
      shown.push_back(entry->FClientName + " " + entry->FMac + " " + entry->FIp);
    }
    return shown;
  }
  int changes = 0;
};

TEST_F(ClientListTest, DevicesAreKnownByTheirMacAddress) {
  AddClient(kPhone, "192.168.137.20", "phone");
  AddClient(kLaptop, "192.168.137.30");
  form->UpdateClientList("192.168.137.20\n192.168.137.30\r192.168.137.20");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"phone 0A-00-00-00-00-01 192.168.137.20",
                                               " 0A-00-00-00-00-02 192.168.137.30"}));
  EXPECT_EQ(form->FClientLines, (std::vector<std::string>{"192.168.137.20", "192.168.137.30", "192.168.137.20"}));
  EXPECT_EQ(ClientFrames().size(), 2u);
  EXPECT_GT(changes, 0);

  // The phone moves to another address while its entry stands: one entry,
  // the new address, the old name. (Through a report the sweep at its start
  // drops an entry whose old address stopped answering before this.)
  AddClient(kPhone, "192.168.137.21", "someone-else");
  form->AddOrUpdateClient("192.168.137.21");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"phone 0A-00-00-00-00-01 192.168.137.21",
                                               " 0A-00-00-00-00-02 192.168.137.30"}));
  EXPECT_EQ(form->ClientEntries()[0]->lbIp.Caption(), "IP: 192.168.137.21");
}

TEST_F(ClientListTest, OwnAddressAndSilentLinesAddNothing) {
  form->UpdateClientList("192.168.137.1\r\n192.168.137.77\r\nhello\r\n\r\n");
  EXPECT_TRUE(form->ClientEntries().empty());
}

TEST_F(ClientListTest, SilentDeviceGoesAtTheNextReport) {
  AddClient(kPhone, "192.168.137.20", "phone");
  AddClient(kLaptop, "192.168.137.30", "laptop");
  form->UpdateClientList("192.168.137.20\r\n192.168.137.30");
  ASSERT_EQ(form->ClientEntries().size(), 2u);
  SetClientPresent(kPhone, false);
  form->UpdateClientList("192.168.137.30");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"laptop 0A-00-00-00-00-02 192.168.137.30"}));
}

TEST_F(ClientListTest, SilentDeviceGoesWithinFiveSecondsWithoutAReport) {
  AddClient(kPhone, "192.168.137.20", "phone");
  AddClient(kLaptop, "192.168.137.30", "laptop");
  form->UpdateClientList("192.168.137.20\r\n192.168.137.30");
  SetClientPresent(kPhone, false);
  SetClientPresent(kLaptop, false);
  // The report restarted the sweep's period: 4999 ms later both still stand.
  loop.RunFor(4999ms);
  EXPECT_EQ(form->ClientEntries().size(), 2u);
  loop.RunFor(1ms);
  EXPECT_TRUE(form->ClientEntries().empty());
  EXPECT_TRUE(ClientFrames().empty());
}

TEST_F(ClientListTest, StoppingTheHotspotEmptiesThePage) {
  AddClient(kPhone, "192.168.137.20", "phone");
  form->UpdateClientList("192.168.137.20");
  ASSERT_EQ(form->ClientEntries().size(), 1u);
  form->UserClick(form->btnOK);
  EXPECT_FALSE(form->FHotspotRunning);
  EXPECT_TRUE(form->ClientEntries().empty());
  // And reports are ignored while stopped.
  form->UpdateClientList("192.168.137.20");
  EXPECT_TRUE(form->ClientEntries().empty());
}

TEST_F(ClientListTest, FindClientByMacComparesExactly) {
  AddClient(kPhone, "192.168.137.20");
  form->UpdateClientList("192.168.137.20");
  EXPECT_NE(FindClientByMac("0A-00-00-00-00-01"), nullptr);
  EXPECT_EQ(FindClientByMac("0a-00-00-00-00-01"), nullptr);
  EXPECT_EQ(FindClientByMac(""), nullptr);
}

}  // namespace
}  // namespace zl::panel::test
