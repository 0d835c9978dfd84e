#include <gtest/gtest.h>

#include <ostream>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame_builder.h"
#include "service/engine/frame_judgement.h"
#include "service/engine/url_log_file.h"
#include "service/engine/url_log_line.h"
#include "tests/support/temp_folder.h"
#include "zl/platform/files.h"
#include "zl/platform/locale.h"

namespace zl::engine {
namespace {

// Stamps are checked in the emulated machine's built-in form, whatever locale
// the test runner has; the platform reads the locale once, on first use.
const bool kNeutralLocale = setenv("LC_ALL", "C", 1) == 0;

using test::BuildFrame;
using test::HttpGet;
using test::kClient;
using test::kRemote;
using test::TcpFrame;

constexpr std::string_view kMac = "02-1A-2B-3C-4D-EF";
const LocalDateTime kSeen = {2026, 3, 7, 8, 5, 9, 250};

std::string FileText(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return "<missing>";
  return bytes;
}

class RecordingWriter final : public UrlLogLineWriter {
 public:
  void WriteUrlLogLine(const std::string& line) override {
    lines.push_back(line);
    if (fail) throw std::runtime_error("disk full");
  }
  std::vector<std::string> lines;
  bool fail = false;
};

TEST(UrlLogLineTest, TimeStampIsShortDateSpaceLongTime) {
  ASSERT_TRUE(kNeutralLocale);
  EXPECT_EQ(platform::FormatDefaultDateTime(kSeen), "07.03.2026 08:05:09");
  EXPECT_EQ(platform::FormatDefaultDateTime({2026, 12, 31, 23, 59, 59, 999}), "31.12.2026 23:59:59");
  EXPECT_EQ(platform::FormatDefaultDateTime({2027, 1, 1, 0, 0, 0, 0}), "01.01.2027 00:00:00");
}

TEST(UrlLogLineTest, ControlBytesAreEscaped) {
  struct Case {
    std::string bytes;
    std::string written;
  };
  for (const Case& c : std::vector<Case>{{"/plain/path?q=1&r=%41", "/plain/path?q=1&r=%41"},
                                         {"a\r\nb", "a%0D%0Ab"},
                                         {std::string("\0\x01\x1F\x20\x7E\x7F", 6), "%00%01%1F ~%7F"},
                                         {"\t", "%09"},
                                         {"\x80\xE9\xFF", "\x80\xE9\xFF"},
                                         {"", ""}}) {
    std::string out = "x";
    AppendEscapedControls(out, c.bytes);
    EXPECT_EQ(out, "x" + c.written);
  }
}

struct LineCase {
  const char* name;
  std::string payload;
  bool logged;
  std::string url;
  friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

class UrlLogLineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(UrlLogLineTable, ComposedLine) {
  const LineCase& c = GetParam();
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, c.payload));
  std::string line = "untouched";
  ASSERT_EQ(ComposeUrlLogLine(kMac, frame.data(), frame.size(), kSeen, line), c.logged);
  EXPECT_EQ(line, c.logged ? "07.03.2026 08:05:09  02-1A-2B-3C-4D-EF  " + c.url : "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, UrlLogLineTable,
    ::testing::Values(
        LineCase{"Page", HttpGet("/index.html", "example.com"), true, "http://example.com/index.html"},
        LineCase{"Root", HttpGet("/", "example.com:8080"), true, "http://example.com:8080/"},
        LineCase{"HostLineLast", "GET /a HTTP/1.1\r\nAccept: */*\r\nHost: example.com\r\n", true,
                 "http://example.com/a"},
        LineCase{"CutInsideHost", "GET /a HTTP/1.1\r\nHost: exam", false, ""},
        LineCase{"Post", "POST /form HTTP/1.1\r\nHost: example.com\r\n\r\n", true, "http://example.com"},
        LineCase{"Image", HttpGet("/logo.PNG", "example.com"), false, ""},
        LineCase{"Favicon", HttpGet("/favicon.ico", "example.com"), false, ""},
        LineCase{"ScriptWithQuery", HttpGet("/script.js?v=2", "example.com"), true,
                 "http://example.com/script.js?v=2"},
        LineCase{"NoRequest", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", false, ""},
        LineCase{"ForgedLineInPath",
                 "GET /a\r\n07.03.2026 08:00:00  02-00-00-00-00-66  http://forged/ HTTP/1.1\r\nHost: h\r\n", true,
                 "http://h/a%0D%0A07.03.2026"},
        LineCase{"LineFeedInHost", "GET /a HTTP/1.1\r\nHost: h\nforged\x7F\r\n", true, "http://h%0Aforged%7F/a"},
        LineCase{"HighBytesKept", HttpGet("/caf\xE9", "h\xE4.de"), true, "http://h\xE4.de/caf\xE9"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(UrlLogLineTest, LogRequestUrlStampsWithTheClockAndSwallowsWriteErrors) {
  VirtualClock clock(kSeen);
  RecordingWriter writer;
  writer.fail = true;
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/", "h")));
  LogRequestUrl(kMac, frame.data(), frame.size(), clock, writer);
  clock.Advance(std::chrono::seconds(2));
  LogRequestUrl(kMac, frame.data(), frame.size(), clock, writer);
  ASSERT_EQ(writer.lines.size(), 2u);
  EXPECT_EQ(writer.lines[0], "07.03.2026 08:05:09  02-1A-2B-3C-4D-EF  http://h/");
  EXPECT_EQ(writer.lines[1], "07.03.2026 08:05:11  02-1A-2B-3C-4D-EF  http://h/");
}

TEST(UrlLogFileTest, FileNames) {
  EXPECT_EQ(UrlLogFileName({2026, 3, 7}), "2026-03-07.txt");
  EXPECT_EQ(UrlLogFileName({2026, 12, 31, 23, 59}), "2026-12-31.txt");
  EXPECT_EQ(UrlLogFileName({999, 1, 1}), "0999-01-01.txt");
}

TEST(UrlLogFileTest, DefaultFolderIsBesideTheProgram) {
  EXPECT_EQ(DefaultUrlLogFolder(), platform::ProgramFolder() + "UrlLog");
}

TEST(UrlLogFileTest, CreatesTheMissingFolderAndTheDayFileAndAppends) {
  zl::test::TempFolder temp;
  VirtualClock clock(kSeen);
  UrlLogFile log(temp.Child("UrlLog"), clock);
  log.WriteUrlLogLine("first");
  log.WriteUrlLogLine("first");
  EXPECT_EQ(FileText(temp.Child("UrlLog\\2026-03-07.txt")), "first\r\nfirst\r\n");
}

TEST(UrlLogFileTest, KeepsTheLinesOfAnExistingDayFile) {
  zl::test::TempFolder temp;
  VirtualClock clock(kSeen);
  UrlLogFile log(temp.Path(), clock);
  log.WriteUrlLogLine("one");
  UrlLogFile restarted(temp.Path(), clock);
  restarted.WriteUrlLogLine("two");
  EXPECT_EQ(FileText(temp.Child("2026-03-07.txt")), "one\r\ntwo\r\n");
}

TEST(UrlLogFileTest, AFailedLineIsLostAndTheNextOneTriesAgain) {
  zl::test::TempFolder temp;
  VirtualClock clock(kSeen);
  UrlLogFile log(temp.Child("missing parent\\UrlLog"), clock);
  log.WriteUrlLogLine("lost");
  EXPECT_FALSE(platform::DirectoryExists(temp.Child("missing parent")));
  ASSERT_TRUE(platform::CreateDirectory(temp.Child("missing parent")));
  log.WriteUrlLogLine("kept");
  EXPECT_EQ(FileText(temp.Child("missing parent\\UrlLog\\2026-03-07.txt")), "kept\r\n");
}

TEST(UrlLogFileTest, TheDayFileIsNamedWhenTheLineIsWritten) {
  zl::test::TempFolder temp;
  VirtualClock clock({2026, 1, 5, 23, 59, 59, 500});
  UrlLogFile file(temp.Path(), clock);
  // The main thread gets to the line a second after the request was seen.
  class LateWriter final : public UrlLogLineWriter {
   public:
    LateWriter(VirtualClock& clock, UrlLogFile& file) : clock_(clock), file_(file) {}
    void WriteUrlLogLine(const std::string& line) override {
      clock_.Advance(std::chrono::seconds(1));
      file_.WriteUrlLogLine(line);
    }

   private:
    VirtualClock& clock_;
    UrlLogFile& file_;
  } late(clock, file);
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/", "h")));
  LogRequestUrl(kMac, frame.data(), frame.size(), clock, late);
  EXPECT_FALSE(platform::FileExists(temp.Child("2026-01-05.txt")));
  EXPECT_EQ(FileText(temp.Child("2026-01-06.txt")), "05.01.2026 23:59:59  02-1A-2B-3C-4D-EF  http://h/\r\n");
}

// The packet thread's path, from a judged frame to the day's file.
class LoggingCandidates final : public UrlLogCandidates {
 public:
  LoggingCandidates(const Clock& clock, UrlLogLineWriter& writer) : clock_(clock), writer_(writer) {}
  void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) override {
    engine::LogRequestUrl(clientMac, frame, length, clock_, writer_);
  }

 private:
  const Clock& clock_;
  UrlLogLineWriter& writer_;
};

class IgnoredAddresses final : public ClientAddressNoter {
 public:
  void NoteClientAddresses(std::string_view, std::string_view) override {}
};

TEST(UrlLogFileTest, JudgedRequestsReachTheDayFile) {
  zl::test::TempFolder temp;
  VirtualClock clock(kSeen);
  UrlLogFile file(temp.Child("UrlLog"), clock);
  LoggingCandidates candidates(clock, file);
  IgnoredAddresses addresses;
  FilterRules rules;
  ApplySettings("EnableFirewall=-1\nDisabledTcpPorts=8080\nEnableUrlLog=-1", rules);

  auto judge = [&](const test::FrameSpec& spec, std::uint32_t direction) {
    const std::vector<std::uint8_t> frame = BuildFrame(spec);
    return JudgeFrame(frame.data(), frame.size(), direction, rules, addresses, candidates);
  };
  EXPECT_EQ(judge(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/page", "example.com")), DIRECTION_INBOUND),
            Verdict::Pass);
  EXPECT_EQ(judge(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/logo.gif", "example.com")), DIRECTION_INBOUND),
            Verdict::Pass);
  EXPECT_EQ(judge(TcpFrame(kClient, 50000, kRemote, 8080, HttpGet("/blocked", "example.com")), DIRECTION_INBOUND),
            Verdict::Drop);
  EXPECT_EQ(judge(TcpFrame(kClient, 50000, test::kHotspot, 80, HttpGet("/own", "hotspot")), DIRECTION_INBOUND),
            Verdict::Pass);
  EXPECT_EQ(judge(TcpFrame(kRemote, 80, kClient, 50000, HttpGet("/reply", "x")), DIRECTION_OUTBOUND), Verdict::Pass);
  EXPECT_EQ(judge(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/page", "example.com")), DIRECTION_INBOUND),
            Verdict::Pass);

  const std::string line = "07.03.2026 08:05:09  02-1A-2B-3C-4D-EF  http://example.com/page\r\n";
  EXPECT_EQ(FileText(temp.Child("UrlLog\\2026-03-07.txt")), line + line);
}

}  // namespace
}  // namespace zl::engine
