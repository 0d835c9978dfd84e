// The application bytes: each kind reads back, and answers are matched to
// their questions.
#include "tools/zltraffic/payloads.h"

#include <gtest/gtest.h>

namespace zl::traffic {
namespace {

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(PayloadsTest, DnsAnswersMatchTheirQuery) {
  const Bytes query = DnsQuery(0x4242, "www.example.com");
  const auto question = ReadDnsQuery(query);
  ASSERT_TRUE(question);
  EXPECT_EQ(question->id, 0x4242);
  EXPECT_EQ(question->name, "www.example.com");

  const Bytes answer = DnsAnswer(*question, {203, 0, 113, 80});
  EXPECT_EQ(ReadDnsAnswer(answer, 0x4242), (Ipv4{203, 0, 113, 80}));
  EXPECT_FALSE(ReadDnsAnswer(answer, 0x4243)) << "another query's answer";
  EXPECT_FALSE(ReadDnsAnswer(query, 0x4242)) << "a query is no answer";
  EXPECT_FALSE(ReadDnsQuery(answer)) << "an answer is no query";
  for (std::size_t cut : {std::size_t(5), std::size_t(14), answer.size() - 2}) {
    EXPECT_FALSE(ReadDnsAnswer(Bytes(answer.begin(), answer.begin() + std::ptrdiff_t(cut)), 0x4242)) << cut;
  }
}

TEST(PayloadsTest, HttpRequestsAndReplies) {
  const Bytes get = HttpGet("www.example.org", "/wiki/Hotspot");
  EXPECT_EQ(Text(get).rfind("GET /wiki/Hotspot HTTP/1.1\r\nHost: www.example.org\r\n", 0), 0u);
  const auto request = ReadHttpGet(get);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->path, "/wiki/Hotspot");
  EXPECT_EQ(request->host, "www.example.org");
  EXPECT_FALSE(ReadHttpGet(Bytes{'P', 'O', 'S', 'T', ' ', '/'}));

  EXPECT_EQ(ReadHttpStatus(HttpReply("/")), 200);
  EXPECT_NE(Text(HttpReply("/logo.png")).find("image/png"), std::string::npos);
  EXPECT_EQ(ReadHttpStatus(get), 0);
  EXPECT_EQ(ReadHttpStatus(Bytes{'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '2', 'x', '0'}), 0);
}

TEST(PayloadsTest, ClientHelloCarriesTheServerName) {
  const Bytes hello = TlsClientHello("mail.example.org");
  EXPECT_EQ(hello[0], 0x16);
  EXPECT_EQ(std::size_t(hello[3] << 8 | hello[4]), hello.size() - 5) << "record length";
  EXPECT_EQ(ReadTlsServerName(hello), "mail.example.org");
  Bytes cut(hello.begin(), hello.end() - 4);
  EXPECT_FALSE(ReadTlsServerName(cut));
  EXPECT_FALSE(ReadTlsServerName(HttpGet("a.example", "/")));
}

TEST(PayloadsTest, BitTorrentHandshake) {
  const Bytes handshake = BitTorrentHandshake(3);
  EXPECT_EQ(handshake.size(), 68u);
  EXPECT_TRUE(IsBitTorrentHandshake(handshake));
  EXPECT_EQ(Text(handshake).substr(1, 19), "BitTorrent protocol");
  EXPECT_NE(BitTorrentHandshake(4), handshake) << "the seed picks the torrent";
  EXPECT_FALSE(IsBitTorrentHandshake(Bytes(handshake.begin(), handshake.end() - 1)));
}

}  // namespace
}  // namespace zl::traffic
