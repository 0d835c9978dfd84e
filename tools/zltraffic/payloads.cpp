#include "tools/zltraffic/payloads.h"

#include <cstring>

namespace zl::traffic {
namespace {

void Append16(Bytes& out, std::uint16_t value) {
  out.push_back(std::uint8_t(value >> 8));
  out.push_back(std::uint8_t(value));
}

void AppendText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

std::uint16_t Read16(const Bytes& in, std::size_t at) { return std::uint16_t(in[at] << 8 | in[at + 1]); }

// Labels of a name; false when a label is empty or longer than 63.
bool AppendDnsName(Bytes& out, const std::string& name) {
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t dot = name.find('.', start);
    if (dot == std::string::npos) dot = name.size();
    const std::size_t length = dot - start;
    if (length == 0 || length > 63) return false;
    out.push_back(std::uint8_t(length));
    AppendText(out, name.substr(start, length));
    start = dot + 1;
  }
  out.push_back(0);
  return true;
}

// Reads an uncompressed name at `at`, moving `at` past it.
std::optional<std::string> ReadDnsName(const Bytes& in, std::size_t& at) {
  std::string name;
  while (at < in.size()) {
    const std::uint8_t length = in[at++];
    if (length == 0) return name.empty() ? std::nullopt : std::optional<std::string>(name);
    if (length > 63 || at + length > in.size()) return std::nullopt;
    if (!name.empty()) name += '.';
    name.append(reinterpret_cast<const char*>(in.data() + at), length);
    at += length;
  }
  return std::nullopt;
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

constexpr char kBitTorrentProtocol[] = "\x13" "BitTorrent protocol";

}  // namespace

Bytes DnsQuery(std::uint16_t id, const std::string& name) {
  Bytes out;
  Append16(out, id);
  Append16(out, 0x0100);  // standard query, recursion desired
  Append16(out, 1);       // one question
  Append16(out, 0);
  Append16(out, 0);
  Append16(out, 0);
  AppendDnsName(out, name);
  Append16(out, 1);  // type A
  Append16(out, 1);  // class IN
  return out;
}

std::optional<DnsQuestion> ReadDnsQuery(const Bytes& message) {
  if (message.size() < 12 || (message[2] & 0x80) != 0 || Read16(message, 4) != 1) return std::nullopt;
  std::size_t at = 12;
  auto name = ReadDnsName(message, at);
  if (!name || at + 4 > message.size()) return std::nullopt;
  return DnsQuestion{Read16(message, 0), *name};
}

Bytes DnsAnswer(const DnsQuestion& question, const Ipv4& address) {
  Bytes out;
  Append16(out, question.id);
  Append16(out, 0x8180);  // response, recursion desired and available
  Append16(out, 1);
  Append16(out, 1);
  Append16(out, 0);
  Append16(out, 0);
  AppendDnsName(out, question.name);
  Append16(out, 1);
  Append16(out, 1);
  Append16(out, 0xC00C);  // the name of the question
  Append16(out, 1);
  Append16(out, 1);
  Append16(out, 0);
  Append16(out, 300);  // time to live
  Append16(out, 4);
  out.insert(out.end(), address.begin(), address.end());
  return out;
}

std::optional<Ipv4> ReadDnsAnswer(const Bytes& message, std::uint16_t id) {
  if (message.size() < 12 || Read16(message, 0) != id || (message[2] & 0x80) == 0) return std::nullopt;
  const std::uint16_t questions = Read16(message, 4);
  const std::uint16_t answers = Read16(message, 6);
  std::size_t at = 12;
  for (std::uint16_t q = 0; q < questions; ++q) {
    if (!ReadDnsName(message, at) || at + 4 > message.size()) return std::nullopt;
    at += 4;
  }
  for (std::uint16_t a = 0; a < answers; ++a) {
    if (at + 2 > message.size()) return std::nullopt;
    if ((message[at] & 0xC0) == 0xC0) {
      at += 2;
    } else if (!ReadDnsName(message, at)) {
      return std::nullopt;
    }
    if (at + 10 > message.size()) return std::nullopt;
    const std::uint16_t type = Read16(message, at);
    const std::uint16_t length = Read16(message, at + 8);
    at += 10;
    if (at + length > message.size()) return std::nullopt;
    if (type == 1 && length == 4) return Ipv4{message[at], message[at + 1], message[at + 2], message[at + 3]};
    at += length;
  }
  return std::nullopt;
}

Bytes HttpGet(const std::string& host, const std::string& path) {
  Bytes out;
  AppendText(out, "GET " + path + " HTTP/1.1\r\nHost: " + host +
                      "\r\nUser-Agent: Mozilla/5.0 (Linux; Android 13)\r\nAccept: */*\r\nConnection: close\r\n\r\n");
  return out;
}

std::optional<HttpRequest> ReadHttpGet(const Bytes& payload) {
  const std::string text = Text(payload);
  if (text.rfind("GET ", 0) != 0) return std::nullopt;
  const std::size_t pathEnd = text.find(' ', 4);
  if (pathEnd == std::string::npos) return std::nullopt;
  HttpRequest request{text.substr(4, pathEnd - 4), {}};
  const std::size_t host = text.find("\r\nHost: ");
  if (host != std::string::npos) {
    const std::size_t start = host + 8;
    request.host = text.substr(start, text.find("\r\n", start) - start);
  }
  return request;
}

Bytes HttpReply(const std::string& path) {
  const bool image = path.size() > 4 && (path.ends_with(".png") || path.ends_with(".jpg") || path.ends_with(".gif"));
  const std::string body = image ? std::string("\x89PNG\r\n\x1a\n", 8) : "<html><body>" + path + "</body></html>";
  Bytes out;
  AppendText(out, std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + (image ? "image/png" : "text/html") +
                      "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  return out;
}

int ReadHttpStatus(const Bytes& payload) {
  const std::string text = Text(payload);
  if (text.rfind("HTTP/1.", 0) != 0 || text.size() < 12 || text[8] != ' ') return 0;
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    status = status * 10 + (text[i] - '0');
  }
  return status;
}

Bytes TlsClientHello(const std::string& serverName) {
  // The server name extension: list length, type 0, name length, name.
  Bytes sni;
  Append16(sni, 0x0000);
  Append16(sni, std::uint16_t(serverName.size() + 5));
  Append16(sni, std::uint16_t(serverName.size() + 3));
  sni.push_back(0);
  Append16(sni, std::uint16_t(serverName.size()));
  AppendText(sni, serverName);

  Bytes hello;
  Append16(hello, 0x0303);  // TLS 1.2
  for (int i = 0; i < 32; ++i) hello.push_back(std::uint8_t(i * 7 + 1));  // random
  hello.push_back(0);                                                  // no session id
  Append16(hello, 2);
  Append16(hello, 0xC02F);  // ECDHE-RSA-AES128-GCM-SHA256
  hello.push_back(1);
  hello.push_back(0);  // no compression
  Append16(hello, std::uint16_t(sni.size()));
  hello.insert(hello.end(), sni.begin(), sni.end());

  Bytes record;
  record.push_back(0x16);  // handshake
  Append16(record, 0x0301);
  Append16(record, std::uint16_t(hello.size() + 4));
  record.push_back(0x01);  // ClientHello
  record.push_back(0);
  Append16(record, std::uint16_t(hello.size()));
  record.insert(record.end(), hello.begin(), hello.end());
  return record;
}

std::optional<std::string> ReadTlsServerName(const Bytes& p) {
  if (p.size() < 9 || p[0] != 0x16 || p[5] != 0x01) return std::nullopt;
  std::size_t at = 9 + 2 + 32;  // record and handshake headers, version, random
  if (at >= p.size()) return std::nullopt;
  at += 1 + p[at];  // session id
  if (at + 2 > p.size()) return std::nullopt;
  at += 2 + Read16(p, at);  // cipher suites
  if (at >= p.size()) return std::nullopt;
  at += 1 + p[at];  // compression methods
  if (at + 2 > p.size()) return std::nullopt;
  const std::size_t end = std::min(p.size(), at + 2 + Read16(p, at));
  at += 2;
  while (at + 4 <= end) {
    const std::uint16_t type = Read16(p, at);
    const std::uint16_t length = Read16(p, at + 2);
    at += 4;
    if (at + length > end) return std::nullopt;
    if (type == 0 && length >= 5) {
      const std::uint16_t nameLength = Read16(p, at + 3);
      if (5u + nameLength > length) return std::nullopt;
      return std::string(reinterpret_cast<const char*>(p.data() + at + 5), nameLength);
    }
    at += length;
  }
  return std::nullopt;
}

Bytes BitTorrentHandshake(std::uint8_t infoHashSeed) {
  Bytes out;
  AppendText(out, kBitTorrentProtocol);
  out.insert(out.end(), 8, 0);  // reserved
  for (int i = 0; i < 20; ++i) out.push_back(std::uint8_t(infoHashSeed + i * 13));
  AppendText(out, "-ZT0100-");
  for (int i = 0; i < 12; ++i) out.push_back(std::uint8_t('0' + (infoHashSeed + i) % 10));
  return out;
}

bool IsBitTorrentHandshake(const Bytes& payload) {
  return payload.size() == 68 && std::memcmp(payload.data(), kBitTorrentProtocol, 20) == 0;
}

}  // namespace zl::traffic
