// The application bytes the simulated clients send and the simulated
// Internet answers: DNS queries and answers, HTTP requests and replies, a TLS
// ClientHello and a BitTorrent handshake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/zltraffic/packet.h"

namespace zl::traffic {

// A standard query for the A record of `name`.
Bytes DnsQuery(std::uint16_t id, const std::string& name);
struct DnsQuestion {
  std::uint16_t id = 0;
  std::string name;
};
// The question of a query (not of an answer); nothing when malformed.
std::optional<DnsQuestion> ReadDnsQuery(const Bytes& message);
// The answer to a query: the question repeated and one A record.
Bytes DnsAnswer(const DnsQuestion& question, const Ipv4& address);
// The address of the first A record of an answer with the given id.
std::optional<Ipv4> ReadDnsAnswer(const Bytes& message, std::uint16_t id);

Bytes HttpGet(const std::string& host, const std::string& path);
// "GET <path>" and the Host header of a request; nothing when it is not a GET.
struct HttpRequest {
  std::string path;
  std::string host;
};
std::optional<HttpRequest> ReadHttpGet(const Bytes& payload);
Bytes HttpReply(const std::string& path);
// The status code of a reply, 0 when the bytes are not one.
int ReadHttpStatus(const Bytes& payload);

// A TLS 1.2 ClientHello record offering one cipher suite, with the server name.
Bytes TlsClientHello(const std::string& serverName);
// The server name of a ClientHello, nothing when the bytes are not one.
std::optional<std::string> ReadTlsServerName(const Bytes& payload);

// The 68-byte BitTorrent handshake ("\x13BitTorrent protocol", reserved bytes,
// info hash, peer id).
Bytes BitTorrentHandshake(std::uint8_t infoHashSeed);
bool IsBitTorrentHandshake(const Bytes& payload);

}  // namespace zl::traffic
