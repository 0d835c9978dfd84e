// Signals of events that stand for another process's eventfd. Writing the
// eventfd wakes the waiting process at once; done while the signalling thread
// holds a spin lock (the driver signals its packet event under its queue
// lock), the woken client's next request finds that lock still taken and its
// host thread spins for it. So a signal made at DISPATCH_LEVEL is written
// when the thread drops below it, once per event however often it was
// signalled meanwhile. The event object itself is signalled at once. A frame
// endpoint delivering a burst holds the writes back the same way until the
// whole burst is queued (EventfdSignalBatch): the client wakes once for it.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "host_internals.h"

namespace zl::ndishost {
namespace {

void WriteEventfd(int fd) {
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is signalled already.
  while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

// Events signalled at DISPATCH_LEVEL by this thread, each holding a
// reference of its own until written, so its descriptor stays open.
thread_local std::vector<HostEventObject*> deferred;
thread_local int batchDepth = 0;

}  // namespace

void SignalEventfd(HostEventObject* object, bool atDispatch) {
  if (object->signalFd.load() < 0) return;
  if (!atDispatch && batchDepth == 0) {
    const int fd = object->signalFd.load();
    if (fd >= 0) WriteEventfd(fd);
    return;
  }
  for (HostEventObject* waiting : deferred) {
    if (waiting == object) return;
  }
  object->references.fetch_add(1);
  deferred.push_back(object);
}

void WriteDeferredEventfdSignals() {
  if (deferred.empty() || batchDepth > 0) return;
  std::vector<HostEventObject*> due;
  due.swap(deferred);
  for (HostEventObject* object : due) {
    const int fd = object->signalFd.load();
    if (fd >= 0) WriteEventfd(fd);
    ObfDereferenceObject(&object->event);
  }
  // Keeps the storage for the next signals.
  due.clear();
  if (deferred.empty()) deferred.swap(due);
}

EventfdSignalBatch::EventfdSignalBatch() { ++batchDepth; }

EventfdSignalBatch::~EventfdSignalBatch() {
  if (--batchDepth == 0 && KeGetCurrentIrql() < DISPATCH_LEVEL) WriteDeferredEventfdSignals();
}

}  // namespace zl::ndishost
