// Names shared by the socket layer and the framed connection components:
// error kinds, socket modes, the error the layer raises, and the base of
// everything that appears as an event's Sender.
#pragma once

#include <stdexcept>
#include <string>

namespace zl {

// Which socket operation an error notification is about.
enum TErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept, eeLookup };

// Only the non-blocking modes are provided; activating a component in a
// blocking mode raises SocketError.
enum TServerType { stNonBlocking, stThreadBlocking };
enum TClientType { ctNonBlocking, ctBlocking };

// Raised by the socket layer: when an error notification's handler leaves the
// error code non-zero, and when a server cannot start listening.
class SocketError : public std::runtime_error {
 public:
  SocketError(TErrorEvent kind, int errorCode, const std::string& what)
      : std::runtime_error(what), kind_(kind), errorCode_(errorCode) {}
  TErrorEvent Kind() const { return kind_; }
  int ErrorCode() const { return errorCode_; }

 private:
  TErrorEvent kind_;
  int errorCode_;
};

// What raised an event: a socket component, or a connection item for the
// item's internal read-complete callback.
class EventSender {
 public:
  virtual ~EventSender() = default;
};

}  // namespace zl
