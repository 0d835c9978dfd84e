// A process-wide notification broadcast. Every TrkMessageMonitor registers
// itself in MonitorList while it lives; BroadcastMessage hands a code to each
// of them in the order they were created. Senders and receivers share nothing
// but the code. Main thread only: the list has no lock.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zl {

// Sent by the language module after the user chose another language.
inline constexpr std::uint32_t NOTIFY_LANGUAGE_CHANGED = 48;

// The platform's window-message record.
struct TMessage {
  std::uint32_t Msg = 0;
  std::int32_t WParam = 0;
  std::int32_t LParam = 0;
  std::int32_t Result = 0;
};

// Receives the broadcast's record by reference: every handler of one
// broadcast sees the changes earlier handlers made to it.
using TrkMessageEvent = std::function<void(TMessage& Msg)>;

class TrkMessageMonitor {
 public:
  TrkMessageMonitor();   // appends itself to MonitorList
  ~TrkMessageMonitor();  // removes itself
  TrkMessageMonitor(const TrkMessageMonitor&) = delete;
  TrkMessageMonitor& operator=(const TrkMessageMonitor&) = delete;

  TrkMessageEvent OnMessage;
};

// The live monitors in creation order; the list does not own them.
const std::vector<TrkMessageMonitor*>& MonitorList();

// Delivers the code (WParam, LParam and Result 0) to the monitors registered
// when the broadcast starts. A handler's error is swallowed and the next
// monitor still gets the code; a handler that destroys monitors shortens the
// walk.
void BroadcastMessage(std::uint32_t code);

}  // namespace zl
