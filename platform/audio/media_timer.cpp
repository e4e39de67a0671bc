#include "platform/audio/media_timer.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

#include "platform/audio/run_thread.h"

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
  void sleepUntil(std::int64_t deadlineNs) override {
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadlineNs / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(deadlineNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
  }
  void wake() override {}  // sleeps last at most one tick
};

std::atomic<MediaTickSource*> installedSource{nullptr};

}  // namespace

// ---- events ----

MediaTimerId MediaTimerEvents::add(std::uint32_t periodMs, MediaTimerCallback callback) {
  auto shared = std::make_shared<MediaTimerCallback>(std::move(callback));
  MediaTimerId id = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    events_.push_back(Event{id, periodMs, 0, std::move(shared), false});
  }
  changed_.notify_all();
  return id;
}

MMResult MediaTimerEvents::remove(MediaTimerId id, MediaTimerKill kill) {
  std::unique_lock lock(mutex_);
  auto find = [&] {
    return std::find_if(events_.begin(), events_.end(), [&](const Event& e) { return e.id == id && !e.killed; });
  };
  if (find() == events_.end()) return kMMInvalidParam;
  const bool mustNotWait = deliveringThread_ == std::this_thread::get_id() || kill == MediaTimerKill::DontWait;
  if (running_ == id && mustNotWait) {
    find()->killed = true;  // erased by deliver once the callback returns
    return kMMNoError;
  }
  changed_.wait(lock, [&] { return running_ != id; });
  auto it = find();
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
    const std::shared_ptr<MediaTimerCallback> callback = it->callback;
    running_ = after;
    lock.unlock();
    (*callback)(after, static_cast<std::uint32_t>(std::min<std::uint64_t>(periods, UINT32_MAX)));
    lock.lock();
    running_ = 0;
    std::erase_if(events_, [&](const Event& e) { return e.id == after && e.killed; });
    changed_.notify_all();
  }
  deliveringThread_ = {};
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

MonotonicClock& systemMonotonicClock() {
  static SystemMonotonicClock clock;
  return clock;
}

MediaTimer::MediaTimer(MonotonicClock& clock) : clock_(clock) {}

MediaTimer::~MediaTimer() {
  stop_.store(true, std::memory_order_release);
  events_.notifyAll();
  clock_.wake();
  thread_.reset();
}

MediaTimerId MediaTimer::setEvent(std::uint32_t periodMs, MediaTimerCallback callback) {
  if (periodMs == 0 || !callback) return 0;
  const MediaTimerId id = events_.add(periodMs, std::move(callback));
  std::call_once(started_, [this] {
    thread_ = std::make_unique<RunThread>("sib.media-timer", [this] { run(); });
    thread_->Start();
    thread_->SetPriority(ThreadPriority::Highest);
  });
  return id;
}

MMResult MediaTimer::killEvent(MediaTimerId id, MediaTimerKill kill) { return events_.remove(id, kill); }

// Deadlines are absolute and advance by whole ticks: lateness never accumulates, and the ticks a
// late wake-up missed are delivered with it.
void MediaTimer::run() {
  while (!stop_.load(std::memory_order_acquire)) {
    events_.waitForEvents(stop_);
    std::int64_t next = clock_.nowNs() + kTickNs;
    while (!stop_.load(std::memory_order_acquire) && !events_.empty()) {
      clock_.sleepUntil(next);
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
