#include "after_answer.h"

#include <utility>
#include <vector>

namespace zl::ndishost {
namespace {

struct Deferred {
  const void* key;
  std::function<void()> work;
};

thread_local bool answering = false;
thread_local std::vector<Deferred> deferred;

}  // namespace

void BeginAnswer() { answering = true; }

void RunAfterAnswer() {
  answering = false;
  // Work may defer more work: with the deferral ended, that runs at once.
  std::vector<Deferred> due;
  due.swap(deferred);
  for (Deferred& item : due) item.work();
  due.clear();
  if (deferred.empty()) deferred.swap(due);  // keeps the storage
}

bool DeferUntilAnswered(const void* key, std::function<void()> work) {
  if (!answering) return false;
  for (const Deferred& item : deferred) {
    if (item.key == key) return true;
  }
  deferred.push_back({key, std::move(work)});
  return true;
}

}  // namespace zl::ndishost
