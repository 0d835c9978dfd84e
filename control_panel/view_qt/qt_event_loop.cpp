#include "control_panel/view_qt/qt_event_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace zl {

using std::chrono::milliseconds;

QtEventLoop::QtEventLoop(Clock& clock)
    : clock_(clock),
      ownerThread_(QThread::currentThread()),
      context_(std::make_unique<QObject>()),
      timers_(clock),
      calls_([context = context_.get(), this] {
        QMetaObject::invokeMethod(
            context,
            [this] {
              Guarded([this] { calls_.RunQueued(); });
              RescheduleTimers();
            },
            Qt::QueuedConnection);
      }) {
  wakeTimer_ = new QTimer(context_.get());
  wakeTimer_->setSingleShot(true);
  wakeTimer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(wakeTimer_, &QTimer::timeout, context_.get(), [this] { FireTimers(); });
  SetCurrent(this);
}

QtEventLoop::~QtEventLoop() {
  if (Current() == this) SetCurrent(nullptr);
  for (auto& [id, watch] : watches_) {
    delete watch.readNotifier;
    delete watch.writeNotifier;
  }
}

bool QtEventLoop::IsLoopThread() const { return QThread::currentThread() == ownerThread_; }

void QtEventLoop::Guarded(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    if (onException_) onException_(std::current_exception());
  }
}

// --- timers ---------------------------------------------------------------

EventLoop::TimerId QtEventLoop::StartTimer(milliseconds interval, Task onFire) {
  const TimerId id = timers_.Start(interval, std::move(onFire));
  RescheduleTimers();
  return id;
}

void QtEventLoop::StopTimer(TimerId id) {
  timers_.Stop(id);
  RescheduleTimers();
}

void QtEventLoop::RescheduleTimers() {
  const milliseconds next = timers_.NextDue();
  if (next == milliseconds::max()) {
    wakeTimer_->stop();
    return;
  }
  const milliseconds wait = next - clock_.Now();
  if (clock_.IsVirtual() && wait.count() > 0) {
    wakeTimer_->stop();  // only RunFor moves this clock on
    return;
  }
  // The machine's clock may run faster than real time: Qt waits in real time.
  wakeTimer_->start(WallWaitMs(clock_, wait));
}

void QtEventLoop::FireTimers() {
  Guarded([this] { timers_.FireDue(); });
  RescheduleTimers();
}

// --- sockets --------------------------------------------------------------

void QtEventLoop::Release(QSocketNotifier*& notifier) {
  if (!notifier) return;
  // It may be the notifier whose signal is being delivered right now.
  notifier->setEnabled(false);
  notifier->deleteLater();
  notifier = nullptr;
}

void QtEventLoop::ApplyWatch(WatchId id, Watch& watch) {
  const auto ensure = [&](QSocketNotifier*& notifier, QSocketNotifier::Type type, unsigned readiness) {
    if (!notifier) {
      notifier = new QSocketNotifier(static_cast<qintptr>(watch.socket), type, context_.get());
      QObject::connect(notifier, &QSocketNotifier::activated, context_.get(),
                       [this, id, readiness] { SocketActivated(id, readiness); });
    }
  };
  if (watch.read) ensure(watch.readNotifier, QSocketNotifier::Read, platform::kReadable);
  if (watch.write) ensure(watch.writeNotifier, QSocketNotifier::Write, platform::kWritable);
  if (watch.readNotifier) watch.readNotifier->setEnabled(watch.read);
  if (watch.writeNotifier) watch.writeNotifier->setEnabled(watch.write);
}

EventLoop::WatchId QtEventLoop::WatchSocket(platform::SocketHandle socket, bool read, bool write,
                                            SocketHandler handler) {
  const WatchId id = nextWatchId_++;
  Watch& watch = watches_[id];
  watch.socket = socket;
  watch.read = read;
  watch.write = write;
  watch.handler = std::make_shared<SocketHandler>(std::move(handler));
  ApplyWatch(id, watch);
  return id;
}

void QtEventLoop::ChangeWatch(WatchId id, bool read, bool write) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second.read = read;
  it->second.write = write;
  ApplyWatch(id, it->second);
}

void QtEventLoop::RemoveWatch(WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  Release(it->second.readNotifier);
  Release(it->second.writeNotifier);
  watches_.erase(it);
}

void QtEventLoop::SocketActivated(WatchId id, unsigned readiness) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  const bool wanted = readiness == platform::kReadable ? it->second.read : it->second.write;
  if (!wanted) return;
  // The handler may remove its own watch while it runs.
  std::shared_ptr<SocketHandler> handler = it->second.handler;
  Guarded([&] { (*handler)(readiness); });
}

// --- calls ----------------------------------------------------------------

void QtEventLoop::Post(Task task) { calls_.Post(std::move(task)); }

void QtEventLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  calls_.SynchronizeFromOtherThread(std::move(task));
}

// --- running --------------------------------------------------------------

bool QtEventLoop::ProcessQtEvents() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  return dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::ProcessPending() {
  Guarded([this] { calls_.RunQueued(); });
  ProcessQtEvents();
  FireTimers();
}

void QtEventLoop::RunUntilIdle() {
  for (;;) {
    bool handled = false;
    Guarded([&] { handled = calls_.RunQueued(); });
    handled |= ProcessQtEvents();
    Guarded([&] { handled |= timers_.FireDue(); });
    if (!handled && !calls_.HasQueued()) break;
  }
  RescheduleTimers();
}

void QtEventLoop::RunFor(milliseconds duration) {
  if (clock_.IsVirtual()) {
    RunVirtualTime(static_cast<VirtualClock&>(clock_), timers_, duration, [this] { RunUntilIdle(); });
    return;
  }
  const milliseconds end = clock_.Now() + duration;
  while (clock_.Now() < end) {
    QEventLoop wait;
    QTimer::singleShot(std::max(1, WallWaitMs(clock_, end - clock_.Now())), &wait, &QEventLoop::quit);
    wait.exec();
  }
  RunUntilIdle();
}

bool QtEventLoop::RunUntil(const std::function<bool()>& done, milliseconds ioLimit) {
  // Wakes a waiting dispatcher now and then, so `done` is looked at even
  // when the awaited change arrives without a Qt event.
  QTimer tick;
  tick.start(5);
  QElapsedTimer wall;
  wall.start();
  while (!done() && wall.elapsed() < ioLimit.count()) {
    Guarded([this] { calls_.RunQueued(); });
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    FireTimers();  // a virtual clock may have been moved by a handler's pause
  }
  return done();
}

void QtEventLoop::Run() { QCoreApplication::exec(); }

void QtEventLoop::Quit() {
  // Queued, so that a Quit from another thread, or before Run, still ends it.
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace zl
