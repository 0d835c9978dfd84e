// Work that the thread answering a control request does once the answer has
// gone out: what the request set off but its caller need not wait for. A
// re-injected frame reaches the protocols within the request; it comes out of
// the stack endpoint after the caller has its answer and is on its way to the
// next request.
#pragma once

#include <functional>

namespace zl::ndishost {

// From here until RunAfterAnswer, work may be put off on this thread.
void BeginAnswer();
// Ends the deferral and runs the work put off since BeginAnswer, in order.
void RunAfterAnswer();
// Puts `work` off until the answer when the thread is answering a request; a
// second call with the same `key` before then adds nothing (the first work
// will do it). False when the thread answers no request: do it now.
bool DeferUntilAnswered(const void* key, std::function<void()> work);

}  // namespace zl::ndishost
