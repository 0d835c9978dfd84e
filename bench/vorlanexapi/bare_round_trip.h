// The yardstick of the control device's transport: a request and its answer
// between two processes over a bare AF_UNIX stream socket, with the sizes a
// one-frame control request has on the device socket, and nothing else done
// on either side. Ratios to it say how much the device path adds to the two
// unavoidable wake-ups of a request.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zl::vorlanexbench {

class BareRoundTrip {
 public:
  // Starts the answering process. Fork it before the process has threads.
  BareRoundTrip(std::size_t requestBytes, std::size_t answerBytes);
  ~BareRoundTrip();
  BareRoundTrip(const BareRoundTrip&) = delete;
  BareRoundTrip& operator=(const BareRoundTrip&) = delete;

  bool Started() const { return child_ > 0; }
  // One request sent and its answer received; false when the partner is gone.
  bool Once();
  // Mean nanoseconds of `rounds` round trips; 0 when one failed.
  double NanosecondsEach(long rounds);

 private:
  int fd_ = -1;
  pid_t child_ = -1;
  std::size_t requestBytes_;
  std::size_t answerBytes_;
};

}  // namespace zl::vorlanexbench
