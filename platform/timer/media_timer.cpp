#include "platform/timer/media_timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <utility>
#include <limits>

#include "platform/core/run_thread.h"

namespace sib {
namespace {

constexpr std::int64_t kTickNs = 1'000'000;

class SystemMonotonicClock final : public MonotonicClock {
 public:
  std::int64_t nowNs() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  }
  // The steady clock is CLOCK_MONOTONIC, so the wait's deadline is the one nowNs reads.
  void sleepUntil(std::int64_t deadlineNs) override {
    const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(deadlineNs)};
    std::unique_lock lock(mutex_);
    woken_.wait_until(lock, deadline, [this] { return wakeRequested_; });
    wakeRequested_ = false;
  }
  void wake() override {
    {
      std::lock_guard lock(mutex_);
      wakeRequested_ = true;
    }
    woken_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  bool wakeRequested_ = false;
};

std::atomic<MediaTickSource*> installedSource{nullptr};

}  // namespace

// ---- events ----

MediaTimerId MediaTimerEvents::add(std::uint32_t periodMs, MediaTimerCallback callback, bool* sleeperMustWake) {
  auto shared = std::make_shared<MediaTimerCallback>(std::move(callback));
  MediaTimerId id = 0;
  {
    std::lock_guard lock(mutex_);
    if (sleeperMustWake) *sleeperMustWake = sleepingPastNextTick_;
    id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    events_.push_back(Event{id, periodMs, 0, std::move(shared), false});
  }
  changed_.notify_all();
  return id;
}

std::vector<MediaTimerEvents::Event>::iterator MediaTimerEvents::liveEvent(MediaTimerId id) {
  return std::find_if(events_.begin(), events_.end(), [&](const Event& e) { return e.id == id && !e.killed; });
}

MMResult MediaTimerEvents::remove(MediaTimerId id, MediaTimerKill kill) {
  std::unique_lock lock(mutex_);
  if (liveEvent(id) == events_.end()) return kMMInvalidParam;
  const bool mustNotWait = deliveringThread_ == std::this_thread::get_id() || kill == MediaTimerKill::DontWait;
  if (running_ == id && mustNotWait) {
    liveEvent(id)->killed = true;  // erased by deliver once the callback returns
    return kMMNoError;
  }
  changed_.wait(lock, [&] { return running_ != id; });
  auto it = liveEvent(id);
  if (it != events_.end()) events_.erase(it);
  return kMMNoError;
}

void MediaTimerEvents::deliver(std::uint32_t milliseconds) {
  std::unique_lock lock(mutex_);
  deliveringThread_ = std::this_thread::get_id();
  for (MediaTimerId after = 0;;) {
    auto it = std::find_if(events_.begin(), events_.end(), [&](const Event& e) { return e.id > after; });
    if (it == events_.end()) break;
    after = it->id;
    if (it->killed) continue;
    const std::uint64_t elapsed = static_cast<std::uint64_t>(it->elapsedMs) + milliseconds;
    const std::uint64_t periods = elapsed / it->periodMs;
    it->elapsedMs = static_cast<std::uint32_t>(elapsed % it->periodMs);
    if (periods == 0) continue;
    it->withheld += periods;
    if (it->withheld < it->deferredTo) continue;
    const std::uint64_t passed = std::exchange(it->withheld, 0);
    it->handedOver += passed;
    it->deferredTo = 0;
    const std::shared_ptr<MediaTimerCallback> callback = it->callback;
    running_ = after;
    lock.unlock();
    (*callback)(after, static_cast<std::uint32_t>(std::min<std::uint64_t>(passed, UINT32_MAX)));
    lock.lock();
    running_ = 0;
    std::erase_if(events_, [&](const Event& e) { return e.id == after && e.killed; });
    changed_.notify_all();
  }
  deliveringThread_ = {};
}

bool MediaTimerEvents::defer(MediaTimerId id, std::uint32_t periods) {
  std::lock_guard lock(mutex_);
  auto it = liveEvent(id);
  if (it == events_.end()) return false;
  const bool sooner = periods < it->deferredTo;
  it->deferredTo = periods;
  return sooner && sleepingPastNextTick_;
}

std::uint64_t MediaTimerEvents::periodsPassed(MediaTimerId id) {
  std::lock_guard lock(mutex_);
  auto it = liveEvent(id);
  return it == events_.end() ? 0 : it->handedOver + it->withheld;
}

std::uint64_t MediaTimerEvents::planSleep() {
  std::lock_guard lock(mutex_);
  std::uint64_t soonest = std::numeric_limits<std::uint64_t>::max();
  for (const Event& e : events_) {
    if (e.killed) continue;
    const std::uint64_t periodsLeft = e.deferredTo > e.withheld ? e.deferredTo - e.withheld : 1;
    soonest = std::min(soonest, (e.periodMs - e.elapsedMs) + (periodsLeft - 1) * e.periodMs);
  }
  soonest = std::max<std::uint64_t>(soonest, 1);
  sleepingPastNextTick_ = soonest > 1;
  return soonest;
}

void MediaTimerEvents::sleepEnded() {
  std::lock_guard lock(mutex_);
  sleepingPastNextTick_ = false;
}

bool MediaTimerEvents::empty() {
  std::lock_guard lock(mutex_);
  return events_.empty();
}

void MediaTimerEvents::waitForEvents(const std::atomic<bool>& stop) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !events_.empty() || stop.load(std::memory_order_acquire); });
}

void MediaTimerEvents::notifyAll() {
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

// ---- the real timer ----

std::unique_ptr<MonotonicClock> makeSystemMonotonicClock() { return std::make_unique<SystemMonotonicClock>(); }

MediaTimer::MediaTimer() : ownClock_(makeSystemMonotonicClock()), clock_(*ownClock_) {}

MediaTimer::MediaTimer(MonotonicClock& clock) : clock_(clock) {}

MediaTimer::~MediaTimer() {
  stop_.store(true, std::memory_order_release);
  events_.notifyAll();
  clock_.wake();
  thread_.reset();
}

MediaTimerId MediaTimer::setEvent(std::uint32_t periodMs, MediaTimerCallback callback) {
  if (periodMs == 0 || !callback) return 0;
  bool sleeperMustWake = false;
  const MediaTimerId id = events_.add(periodMs, std::move(callback), &sleeperMustWake);
  if (sleeperMustWake) clock_.wake();  // it sleeps through ticks the new event needs
  std::call_once(started_, [this] {
    thread_ = std::make_unique<RunThread>("sib.media-timer", [this] { run(); });
    thread_->Start();
    thread_->SetPriority(ThreadPriority::Highest);
  });
  return id;
}

MMResult MediaTimer::killEvent(MediaTimerId id, MediaTimerKill kill) { return events_.remove(id, kill); }

void MediaTimer::deferEvent(MediaTimerId id, std::uint32_t periods) {
  if (events_.defer(id, periods)) clock_.wake();
}

// Deadlines are absolute and advance by whole ticks: lateness never accumulates, and the ticks a
// late wake-up missed are delivered with it. The thread sleeps until the first tick a callback is
// due at; a wake before it only makes it look again.
void MediaTimer::run() {
  while (!stop_.load(std::memory_order_acquire)) {
    events_.waitForEvents(stop_);
    std::int64_t next = clock_.nowNs() + kTickNs;
    while (!stop_.load(std::memory_order_acquire) && !events_.empty()) {
      const auto quietTicks = static_cast<std::int64_t>(std::min<std::uint64_t>(events_.planSleep(), 1000)) - 1;
      clock_.sleepUntil(next + quietTicks * kTickNs);
      events_.sleepEnded();
      const std::int64_t now = clock_.nowNs();
      if (stop_.load(std::memory_order_acquire) || now < next) continue;
      const std::int64_t ticks = 1 + (now - next) / kTickNs;
      next += ticks * kTickNs;
      events_.deliver(static_cast<std::uint32_t>(std::min<std::int64_t>(ticks, UINT32_MAX)));
    }
  }
}

// ---- the manual source and the current source ----

MediaTimerId ManualTickSource::setEvent(std::uint32_t periodMs, MediaTimerCallback callback) {
  if (periodMs == 0 || !callback) return 0;
  return events_.add(periodMs, std::move(callback));
}

MMResult ManualTickSource::killEvent(MediaTimerId id, MediaTimerKill kill) { return events_.remove(id, kill); }

void ManualTickSource::deferEvent(MediaTimerId id, std::uint32_t periods) { events_.defer(id, periods); }

void ManualTickSource::tick(std::uint32_t milliseconds) { events_.deliver(milliseconds); }

MediaTimer& processMediaTimer() {
  static MediaTimer timer;
  return timer;
}

MediaTickSource& currentMediaTickSource() {
  MediaTickSource* source = installedSource.load(std::memory_order_acquire);
  return source != nullptr ? *source : processMediaTimer();
}

ScopedMediaTickSource::ScopedMediaTickSource(MediaTickSource& source)
    : previous_(installedSource.exchange(&source, std::memory_order_acq_rel)) {}

ScopedMediaTickSource::~ScopedMediaTickSource() { installedSource.store(previous_, std::memory_order_release); }

MediaTimerId timeSetEvent(std::uint32_t delayMs, MediaTimerCallback callback) {
  return currentMediaTickSource().setEvent(delayMs, std::move(callback));
}

MMResult timeKillEvent(MediaTimerId id, MediaTimerKill kill) { return currentMediaTickSource().killEvent(id, kill); }

}  // namespace sib
