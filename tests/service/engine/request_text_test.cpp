#include "service/engine/request_text.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace zl::engine {
namespace {

struct RequestCase {
  const char* name;
  std::string text;
  std::string hostUrl;
  std::string path;
  bool loggable;
  friend void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }
};

class RequestTextTable : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestTextTable, HostUrlPathAndLoggable) {
  const RequestCase& c = GetParam();
  EXPECT_EQ(ExtractHostUrl(c.text), c.hostUrl);
  EXPECT_EQ(ExtractRequestPath(c.text), c.path);
  EXPECT_EQ(IsLoggableResource(ExtractRequestPath(c.text)), c.loggable);
}

// Bytes of the Ethernet, IPv4 and TCP headers in front of the request.
const std::string kHeaders("\x02\x00\x00\x00\x00\x01\x02\x1A\x2B\x3C\x4D\xEF\x08\x00\x45\x00\x00\x00", 18);

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestTextTable,
    ::testing::Values(
        RequestCase{"Root", "GET / HTTP/1.1\r\nHost: example.com\r\n\r\n", "http://example.com", "/", true},
        RequestCase{"BehindFrameHeaders", kHeaders + "GET /index.html HTTP/1.1\r\nHost: example.com\r\n\r\n",
                    "http://example.com", "/index.html", true},
        RequestCase{"HostWithPort", "GET /a HTTP/1.1\r\nHost: example.com:8080\r\n\r\n",
                    "http://example.com:8080", "/a", true},
        RequestCase{"HostLineEndsTheFrame", "GET /a HTTP/1.1\r\nAccept: */*\r\nHost: example.com\r\n",
                    "http://example.com", "/a", true},
        RequestCase{"FrameCutInsideHostLine", "GET /a HTTP/1.1\r\nHost: examp", "", "/a", true},
        RequestCase{"HostWithoutCrLf", "GET /a HTTP/1.1\nHost: example.com\n\n", "", "/a", true},
        RequestCase{"NoHost", "GET /a HTTP/1.0\r\n\r\n", "", "/a", true},
        RequestCase{"HostIsCaseSensitive", "GET /a HTTP/1.1\r\nhost: example.com\r\n", "", "/a", true},
        RequestCase{"HostBlanksTrimmed", "GET /a HTTP/1.1\r\nHost:  \t example.com \t\r\n", "http://example.com", "/a",
                    true},
        RequestCase{"EmptyHostTakesNextLine", "GET /a HTTP/1.1\r\nHost:\r\nAccept: x\r\n\r\n", "http://Accept: x",
                    "/a", true},
        RequestCase{"Post", "POST /form HTTP/1.1\r\nHost: example.com\r\nContent-Length: 0\r\n\r\n",
                    "http://example.com", "", true},
        RequestCase{"FirstGetInAHeader", "POST /f HTTP/1.1\r\nX-Note: GETTING /y there\r\nHost: h\r\n\r\n", "http://h",
                    "TING", true},
        RequestCase{"ForgetBeforeGet", "POST /forGET HTTP/1.1\r\nHost: h\r\n", "http://h",
                    "HTTP/1.1\r\nHost:", true},
        RequestCase{"GetWithoutSpace", "xxGET", "", "", true},
        RequestCase{"SkippedPng", "GET /logo.png HTTP/1.1\r\nHost: h\r\n", "http://h", "/logo.png", false},
        RequestCase{"SkippedUpperCase", "GET /logo.PNG HTTP/1.1\r\nHost: h\r\n", "http://h", "/logo.PNG", false},
        RequestCase{"SkippedMixedCase", "GET /site.Css HTTP/1.1\r\nHost: h\r\n", "http://h", "/site.Css", false},
        RequestCase{"Favicon", "GET /favicon.ico HTTP/1.1\r\nHost: h\r\n", "http://h", "/favicon.ico", false},
        RequestCase{"ScriptWithQuery", "GET /script.js?v=2 HTTP/1.1\r\nHost: h\r\n", "http://h", "/script.js?v=2",
                    true},
        RequestCase{"TwoRequestsInOneFrame", "GET /a HTTP/1.1\r\nHost: one\r\n\r\nGET /b HTTP/1.1\r\nHost: two\r\n",
                    "http://one", "/a", true}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST(RequestTextTest, LoggableResources) {
  struct Case {
    const char* path;
    bool loggable;
  };
  for (const Case& c : std::vector<Case>{
           {"", true},           {"/", true},           {"/page.html", true},     {"/a.bmp", false},
           {"/a.gif", false},    {"/a.jpg", false},     {"/a.jpeg", false},       {"/a.JPEG", false},
           {"/a.png", false},    {"/a.js", false},      {"/a.css", false},        {"/a.ico", false},
           {"/a.xml", false},    {"/a.json", true},     {"/a.png?x=1", true},     {"/dir.v2/page", true},
           {"/dir.png/", true},  {"/a.png\\x", true},   {"/a.png:80", true},      {"/x\\y.gif", false},
           {"/a.", true},        {"/.css", false},      {"/a.b.css", false},      {"/a.cssx", true},
       }) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsLoggableResource(c.path), c.loggable);
  }
}

TEST(RequestTextTest, SkippedExtensionsInOrder) {
  const std::vector<std::string_view> expected = {".bmp", ".gif", ".jpg", ".jpeg", ".png",
                                                  ".js",  ".css", ".ico", ".xml"};
  EXPECT_EQ(std::vector<std::string_view>(SkippedExtensions.begin(), SkippedExtensions.end()), expected);
}

TEST(RequestTextTest, TrimRemovesCodesUpToSpaceOnly) {
  EXPECT_EQ(TrimText(std::string_view("\0\x01 \tab c\r\n\x20", 11)), "ab c");
  EXPECT_EQ(TrimText("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(TrimText(" \r\n"), "");
}

}  // namespace
}  // namespace zl::engine
