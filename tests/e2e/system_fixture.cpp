#include "tests/e2e/system_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "control_panel/client_entry.h"
#include "platform/emulated/native_names.h"
#include "shared/netquery/adapter_queries.h"
#include "vorlanexapi/vorlanex_api.h"
#include "zl/platform/machine_state.h"

namespace zl::e2e {

namespace machine = platform::machine;
using std::chrono::milliseconds;
using zl::test::ChildProcess;

namespace {

std::string ZlmachinePath() { return zl::test::EmulatedMachine::ProgramsFolder() + "/zlmachine"; }

// Runs a program to its end; its output on failure.
::testing::AssertionResult RunToEnd(std::vector<std::string> argv) {
  ChildProcess program(argv);
  const auto code = program.WaitForExit(kPatience);
  if (code == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << argv[0] << " ended with " << (code ? std::to_string(*code) : "nothing")
                                       << ":\n" << program.Output();
}

std::map<std::string, unsigned> ParseCounts(const std::string& line) {
  std::map<std::string, unsigned> counts;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    const auto equals = word.find('=');
    if (equals != std::string::npos) counts[word.substr(0, equals)] = unsigned(std::stoul(word.substr(equals + 1)));
  }
  return counts;
}

}  // namespace

SystemTest::SystemTest() {
  programsNative_ = platform::emulated::NativePath(programs_.Path());
  EXPECT_TRUE(machine::SetClockRate(kClockRate));
  clock_ = std::make_unique<SystemClock>();
  SetProcessClock(clock_.get());
  loop_ = std::make_unique<PollEventLoop>(*clock_);

  host_ = std::make_unique<zl::test::HostProcess>();
  EXPECT_TRUE(host_->Ready()) << host_->Log();
  const std::string service = programsNative_ + "/ZephlinkSvc";
  std::filesystem::copy_file(ZL_ZEPHLINKSVC, service);
  EXPECT_TRUE(RunToEnd({service, "/INSTALL", "/SILENT"}));
  EXPECT_TRUE(RunToEnd({ZlmachinePath(), "boot"}));
  EXPECT_TRUE(ServiceRunning());
}

SystemTest::~SystemTest() {
  form_.reset();
  traffic_.reset();
  if (ServiceRunning()) StopService();
  // The kernel host's leak check: every handle closed, every pool tag at zero.
  EXPECT_EQ(host_->Stop(), 0) << host_->Log();
  loop_.reset();
  SetProcessClock(nullptr);
}

// ---- The control panel ------------------------------------------------------

void SystemTest::OpenPanel() {
  form_ = std::make_unique<panel::TfrmMain>(*loop_, programs_.Path() + "\\");
  form_->FormCreate();
  form_->FormShow();
}

void SystemTest::ClosePanel() {
  if (!form_) return;
  form_->FormClose();
  form_.reset();
}

void SystemTest::KillPanel() { form_.reset(); }

bool SystemTest::SetUpHotspot(const std::string& name, const std::string& key) {
  panel::TfrmMain& f = Panel();
  f.UserClick(f.rbAutomaticConfigVWiFi);
  f.UserEditText(f.edHotspotName, name);
  f.UserEditText(f.edNetworkKey, key);
  if (!f.cbEnableICS.Checked()) f.UserClick(f.cbEnableICS);
  f.UserClick(f.btnOK);  // the whole set-up sequence, with its pauses
  return RunUntil([&] { return f.FHotspotRunning; });
}

std::vector<std::string> SystemTest::ClientsPage() const {
  std::vector<std::string> entries;
  if (!form_) return entries;
  for (const panel::TfmClient* entry : form_->ClientEntries()) {
    entries.push_back(entry->FMac + " " + entry->FIp + " " + entry->FClientName);
  }
  return entries;
}

std::size_t SystemTest::ServiceConnections() const {
  return form_ ? form_->HotspotServerSocket.Connections().Count() : 0;
}

bool SystemTest::RunUntil(const std::function<bool()>& condition, milliseconds limit) {
  if (form_) return loop_->RunUntil(condition, limit);
  return zl::test::WaitUntil(condition, limit);
}

// ---- The service ------------------------------------------------------------

std::int64_t SystemTest::ServicePid() const {
  for (const auto& service : machine::ListServices()) {
    if (service.name == panel::kFilterServiceName && service.state == 4) return service.pid;
  }
  return 0;
}

std::int64_t SystemTest::StartedServicePid() const {
  for (const auto& service : machine::ListServices()) {
    if (service.name == panel::kFilterServiceName && service.state != 1) return service.pid;
  }
  return 0;
}

bool SystemTest::StopService() {
  if (!RunToEnd({ZlmachinePath(), "service", "stop", panel::kFilterServiceName})) return false;
  return RunUntil([&] { return !ServiceRunning(); });
}

// ---- The clients --------------------------------------------------------------

void SystemTest::StartTraffic(std::vector<std::string> arguments) {
  std::size_t clients = 4;  // zltraffic's default
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "--clients") clients = std::stoul(arguments[i + 1]);
  }
  arguments.insert(arguments.begin(), ZL_ZLTRAFFIC);
  traffic_ = std::make_unique<ChildProcess>(arguments);
  // The clients join a little apart; commands for one not there yet would be refused.
  ASSERT_TRUE(RunUntil([&] {
    return traffic_->Output().find("connected to the hosted network's adapter") != std::string::npos &&
           traffic_->CountInOutput(" joined: ") >= clients;
  })) << traffic_->Output();
}

void SystemTest::TellTraffic(const std::string& command) { ASSERT_TRUE(traffic_->WriteLine(command)); }

std::map<std::string, unsigned> SystemTest::ReachedInternet() {
  const std::size_t before = traffic_->CountInOutput("counts: ");
  TellTraffic("counts");
  EXPECT_TRUE(RunUntil([&] { return traffic_->CountInOutput("counts: ") > before; })) << traffic_->Output();
  const std::string output = traffic_->Output();
  const std::size_t at = output.rfind("counts: ");
  if (at == std::string::npos) return {};
  return ParseCounts(output.substr(at + 8, output.find('\n', at) - at - 8));
}

unsigned SystemTest::SendAndCount(int client, const std::string& activity, const std::string& kind) {
  const auto before = ReachedInternet();
  const unsigned pagesBefore = before.count("tcp/80") ? before.at("tcp/80") : 0;
  const std::string number = std::to_string(client);
  TellTraffic("send " + number + " " + activity);
  TellTraffic("send " + number + " page");
  std::map<std::string, unsigned> after;
  EXPECT_TRUE(RunUntil([&] {
    after = ReachedInternet();
    return after.count("tcp/80") && after.at("tcp/80") > pagesBefore;
  })) << traffic_->Output();
  const unsigned kindBefore = before.count(kind) ? before.at(kind) : 0;
  const unsigned kindAfter = after.count(kind) ? after.at(kind) : 0;
  return kindAfter - kindBefore;
}

// ---- The driver -------------------------------------------------------------

std::map<std::string, std::uint32_t> SystemTest::AdapterModes() {
  using namespace zl::vorlanexapi;
  std::map<std::string, std::uint32_t> modes;
  // A handle of its own, only for the query: the driver returns every
  // adapter to mode 0 when its last handle closes, which must stay the
  // service's to decide.
  HANDLE driver = OpenFilterDriver("VORLANEX");
  if (driver == reinterpret_cast<HANDLE>(~std::uintptr_t(0))) return modes;
  auto adapters = std::make_unique<AdapterList>();
  if (GetTcpipBoundAdaptersInfo(driver, adapters.get())) {
    for (std::uint32_t i = 0; i < adapters->Count && i < kMaxAdapters; ++i) {
      AdapterModeRequest request{adapters->Handle[i], 0};
      if (GetAdapterMode(driver, &request)) modes[adapters->Name[i]] = request.Flags;
    }
  }
  CloseFilterDriver(driver);
  return modes;
}

std::optional<std::uint32_t> SystemTest::AdapterMode(const std::string& guid) {
  for (const auto& [name, mode] : AdapterModes()) {
    if (name.size() >= guid.size() && name.compare(name.size() - guid.size(), guid.size(), guid) == 0) return mode;
  }
  return std::nullopt;
}

std::string SystemTest::HostedAdapterGuid() const { return machine::ReadHostedNetwork().adapterGuid; }

// ---- Files --------------------------------------------------------------------

std::string SystemTest::TodaysUrlLogFile() const {
  const LocalDateTime today = clock_->LocalNow();
  char name[32];
  std::snprintf(name, sizeof name, "/UrlLog/%04d-%02d-%02d.txt", today.year, today.month, today.day);
  return programsNative_ + name;
}

std::string SystemTest::TodaysUrlLog() const {
  std::ifstream file(TodaysUrlLogFile(), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace zl::e2e
