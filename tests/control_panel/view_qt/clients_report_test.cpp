// The "Clients" page written out as text for scripts, beside the window's own
// handling of the page.
#include "control_panel/view_qt/clients_report.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "shared/support/poll_event_loop.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::view {
namespace {

namespace machine = platform::machine;

void AddClient(const std::string& mac, const std::string& address, const std::string& name) {
  machine::ClientRecord client;
  ASSERT_TRUE(machine::ParseMac(mac, client.mac));
  client.address = address;
  client.hostName = name;
  ASSERT_TRUE(machine::SetClient(client));
}

QString Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("(none)");
}

TEST(ClientsReportTest, FollowsThePageAndLeavesTheWindowsHandlerInPlace) {
  zl::test::EmulatedMachine m;
  QTemporaryDir folder;
  const QString path = folder.filePath("clients.txt");
  VirtualClock clock;
  PollEventLoop loop(clock);
  panel::TfrmMain form(loop, "C:\\Zephlink\\");
  int windowUpdates = 0;
  form.OnClientsChanged = [&] { ++windowUpdates; };
  form.FHotspotRunning = true;  // as if set up: reports are taken

  {
    qputenv("ZEPHLINK_CLIENTS_REPORT", path.toUtf8());
    ClientsReport report(form);
    qunsetenv("ZEPHLINK_CLIENTS_REPORT");
    EXPECT_EQ(Read(path), "") << "an empty page at the start";

    AddClient("02-5A-00-00-00-01", "192.168.137.11", "anna-laptop");
    AddClient("02-5A-00-00-00-02", "192.168.137.12", "J\xFCrgens-PC");  // the programs' code page
    form.UpdateClientList("192.168.137.11\r\n192.168.137.12");
    EXPECT_EQ(Read(path),
              "02-5A-00-00-00-01  192.168.137.11  anna-laptop\n02-5A-00-00-00-02  192.168.137.12  Jürgens-PC\n");
    EXPECT_EQ(windowUpdates, 1) << "the window still hears of every change";

    ASSERT_TRUE(machine::SetClientPresent({0x02, 0x5A, 0, 0, 0, 1}, false));
    form.RemoveUnreachableClients();
    form.UpdateClientList("");
    EXPECT_EQ(Read(path), "02-5A-00-00-00-02  192.168.137.12  Jürgens-PC\n");
  }
  // Gone, the report hands the page back to the window alone.
  const int before = windowUpdates;
  form.RemoveAllClients();
  EXPECT_GT(windowUpdates, before);
  EXPECT_EQ(Read(path), "02-5A-00-00-00-02  192.168.137.12  Jürgens-PC\n");
}

TEST(ClientsReportTest, WithoutTheVariableNothingChanges) {
  zl::test::EmulatedMachine m;
  VirtualClock clock;
  PollEventLoop loop(clock);
  panel::TfrmMain form(loop, "C:\\Zephlink\\");
  bool called = false;
  form.OnClientsChanged = [&] { called = true; };
  qunsetenv("ZEPHLINK_CLIENTS_REPORT");
  ClientsReport report(form);
  form.OnClientsChanged();
  EXPECT_TRUE(called);
}

}  // namespace
}  // namespace zl::view
