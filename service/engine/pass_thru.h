// TPassThru: the service's packet thread. It binds to the hosted network's
// adapter through the driver's client library, has every frame of that
// adapter diverted to it in both directions, and takes the frames one at a
// time: judges them, notes the clients' addresses, hands HTTP requests to the
// URL log and puts each passing frame back on its way. Between two frames it
// applies a settings text that arrived and sends the client report when one
// is due; those and the URL log line run in the main thread as synchronised
// calls while this thread waits.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "service/driverclient/packet_driver_api.h"
#include "service/engine/frame_judgement.h"
#include "service/engine/url_log_line.h"
#include "service/service_state.h"
#include "shared/support/thread.h"
#include "zl/platform/sync_event.h"

namespace zl::engine {

// The driver name the thread opens.
inline constexpr const char* kPacketDriverName = "VORLANEX";

class TPassThru final : public Thread, private UrlLogCandidates, private UrlLogLineWriter {
 public:
  TPassThru(EventLoop& loop, std::shared_ptr<service::ServiceState> state);

  // The thread got as far as diverting its adapter.
  bool Bound() const { return bound_; }
  // Signals the packet event so that a thread asleep on an idle adapter
  // wakes and sees a termination request; any thread. Nothing before the
  // event is handed to the driver (the thread then sees the request before
  // its first wait).
  void Wake();

 protected:
  void Execute() override;

 private:
  // Start-up; false when the thread is to end. Frees what it set up of a
  // binding that never diverted its adapter.
  bool BindAdapter();
  // One wake-up of the main loop: every queued frame, then back to waiting.
  void DrainQueue();
  void HandleFrame();

  void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) override;
  void WriteUrlLogLine(const std::string& line) override;

  std::shared_ptr<service::ServiceState> state_;
  std::atomic<bool> bound_{false};
  std::atomic<platform::EventHandle> wakeEvent_{platform::kNoEvent};
};

// The first of the list's `count` names (at most 32, each read up to its NUL
// or its 256 bytes) that contains `adapterName`, case-sensitive; -1 when
// none does or the name is empty.
int FindAdapterEntry(const driverclient::AdapterList& list, const std::string& adapterName);

}  // namespace zl::engine
