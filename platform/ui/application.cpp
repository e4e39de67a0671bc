#include "platform/ui/application.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/errors.h"

namespace sib {
namespace {

struct LiveApplications {
  std::mutex mutex;
  std::vector<Application*> list;  // in order of creation; the last is the current one
};

LiveApplications& liveApplications() {
  static LiveApplications live;
  return live;
}

void printException(const std::exception& error) { std::fprintf(stderr, "%s\n", error.what()); }

}  // namespace

void Application::PostedQueue::push(Posted item) {
  if (count_ == ring_.size()) {
    std::vector<Posted> bigger(std::max<std::size_t>(16, ring_.size() * 2));
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = std::move(ring_[(head_ + i) % ring_.size()]);
    ring_ = std::move(bigger);
    head_ = 0;
  }
  ring_[(head_ + count_) % ring_.size()] = std::move(item);
  ++count_;
}

Application::Posted Application::PostedQueue::pop() {
  Posted item = std::move(ring_[head_]);
  ring_[head_] = Posted{};
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return item;
}

void Application::PostedQueue::dropWindow(WindowHandle window) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    Posted& item = ring_[(head_ + i) % ring_.size()];
    if (item.window == window) continue;
    if (kept != i) ring_[(head_ + kept) % ring_.size()] = std::move(item);
    ++kept;
  }
  for (std::size_t i = kept; i < count_; ++i) ring_[(head_ + i) % ring_.size()] = Posted{};
  count_ = kept;
}

Application::Application() : Application(Options{}) {}

Application::Application(Options options)
    : mainThread_(std::this_thread::get_id()),
      wait_(options.wait ? std::move(options.wait) : std::make_shared<SystemMessageWait>()),
      timerLimit_(options.timerLimit) {
  LiveApplications& live = liveApplications();
  std::lock_guard guard(live.mutex);
  live.list.push_back(this);
}

Application::~Application() {
  LiveApplications& live = liveApplications();
  std::lock_guard guard(live.mutex);
  std::erase(live.list, this);
}

Application& Application::Instance() {
  LiveApplications& live = liveApplications();
  {
    std::lock_guard guard(live.mutex);
    if (!live.list.empty()) return *live.list.back();
  }
  static Application processApplication;
  std::lock_guard guard(live.mutex);
  return *live.list.back();
}

void Application::requireMainThread(const char* operation) const {
  if (!IsMainThread()) throw EInvalidOperation(std::string(operation) + " must be called on the main thread");
}

void Application::Run() {
  loop(
      [this] {
        std::lock_guard guard(mutex_);
        return std::exchange(terminated_, false);
      },
      std::nullopt);
}

bool Application::RunUntil(const std::function<bool()>& done, MessageWait::Clock::duration limit) {
  return loop(done, Now() + limit);
}

void Application::ProcessMessages() {
  requireMainThread("ProcessMessages");
  handlePosted();
  handleDueTimers();
}

bool Application::loop(const std::function<bool()>& done, std::optional<MessageWait::TimePoint> limit) {
  requireMainThread("Run");
  for (;;) {
    handlePosted();
    handleDueTimers();
    if (done()) return true;
    if (limit && Now() >= *limit) return false;
    std::optional<MessageWait::TimePoint> deadline;
    {
      std::lock_guard guard(mutex_);
      if (!queue_.empty()) continue;
      deadline = nextTimerDueLocked();
    }
    if (limit && (!deadline || *limit < *deadline)) deadline = limit;
    wait_->WaitUntil(deadline);
  }
}

void Application::SetWait(std::shared_ptr<MessageWait> wait) {
  requireMainThread("SetWait");
  if (!wait) wait = std::make_shared<SystemMessageWait>();
  std::lock_guard guard(mutex_);
  wait_ = std::move(wait);
}

MessageWait::TimePoint Application::Now() {
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    wait = wait_;
  }
  return wait->Now();
}

void Application::Terminate() {
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    terminated_ = true;
    wait = wait_;
  }
  wait->Wake();
}

bool Application::Terminated() const {
  std::lock_guard guard(mutex_);
  return terminated_;
}

void Application::push(Posted item) {
  item.sequence = nextSequence_++;
  queue_.push(std::move(item));
}

bool Application::PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    if (!windows_.contains(window)) return false;
    Posted item;
    item.window = window;
    item.message = Message{.Msg = msg, .WParam = wParam, .LParam = lParam, .Result = 0};
    push(std::move(item));
    wait = wait_;
  }
  wait->Wake();
  return true;
}

void Application::Post(std::function<void()> work) {
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    Posted item;
    item.work = std::move(work);
    push(std::move(item));
    wait = wait_;
  }
  wait->Wake();
}

bool Application::Post(WindowHandle window, std::function<void()> work) {
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    if (!windows_.contains(window)) return false;
    Posted item;
    item.window = window;
    item.work = std::move(work);
    push(std::move(item));
    wait = wait_;
  }
  wait->Wake();
  return true;
}

template <class Call>
void Application::dispatch(Call&& call) {
  try {
    call();
  } catch (...) {
    HandleCurrentException();
  }
  endDispatch();
}

void Application::handlePosted() {
  std::uint64_t end;
  {
    std::lock_guard guard(mutex_);
    end = nextSequence_;
  }
  for (;;) {
    Posted item;
    SharedHandler handler;
    {
      std::lock_guard guard(mutex_);
      if (queue_.empty() || queue_.front().sequence >= end) return;
      item = queue_.pop();
      if (item.window != 0) {
        auto found = windows_.find(item.window);
        if (found == windows_.end()) continue;
        handler = found->second;
      }
      dispatching_.push_back(item.window);
    }
    if (item.work)
      dispatch(item.work);
    else
      dispatch([&] { (*handler)(item.message); });
  }
}

void Application::handleDueTimers() {
  const MessageWait::TimePoint now = Now();
  // Local, not a member: a handler may run ProcessMessages again.
  std::vector<std::pair<MessageWait::TimePoint, TimerKey>> dueTimers;
  {
    std::lock_guard guard(mutex_);
    for (const auto& [key, timer] : timers_) {
      if (timer.due <= now) dueTimers.emplace_back(timer.due, key);
    }
  }
  std::sort(dueTimers.begin(), dueTimers.end());
  for (const auto& [due, key] : dueTimers) {
    SharedHandler handler;
    {
      std::lock_guard guard(mutex_);
      auto timer = timers_.find(key);
      // Killed or re-armed by a handler that ran before it in this round.
      if (timer == timers_.end() || timer->second.due != due) continue;
      const auto interval = std::chrono::milliseconds(timer->second.interval);
      // Ticks missed while the loop was busy are not made up for: one message, then the next period.
      timer->second.due = due + interval > now ? due + interval : now + interval;
      handler = windows_.at(key.first);
      dispatching_.push_back(key.first);
    }
    Message message{.Msg = kTimerMessage, .WParam = key.second, .LParam = 0, .Result = 0};
    dispatch([&] { (*handler)(message); });
  }
}

void Application::endDispatch() {
  {
    std::lock_guard guard(mutex_);
    dispatching_.pop_back();
  }
  dispatchEnded_.notify_all();
}

std::optional<MessageWait::TimePoint> Application::nextTimerDueLocked() const {
  std::optional<MessageWait::TimePoint> next;
  for (const auto& [key, timer] : timers_) {
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

WindowHandle Application::CreateWindow(MessageHandler handler) {
  auto shared = std::make_shared<MessageHandler>(std::move(handler));
  std::lock_guard guard(mutex_);
  const WindowHandle window = nextHandle_++;
  windows_.emplace(window, std::move(shared));
  return window;
}

void Application::DestroyWindow(WindowHandle window) {
  SharedHandler handler;  // released after the lock, in case the handler owns something that posts
  std::unique_lock guard(mutex_);
  auto found = windows_.find(window);
  if (found == windows_.end()) return;
  handler = std::move(found->second);
  windows_.erase(found);
  queue_.dropWindow(window);
  std::erase_if(timers_, [window](const auto& entry) { return entry.first.first == window; });
  if (!IsMainThread())
    dispatchEnded_.wait(guard, [&] { return std::ranges::find(dispatching_, window) == dispatching_.end(); });
}

bool Application::WindowExists(WindowHandle window) {
  std::lock_guard guard(mutex_);
  return windows_.contains(window);
}

bool Application::SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t intervalMs) {
  intervalMs = std::max(intervalMs, kMinimumTimerInterval);
  std::shared_ptr<MessageWait> wait;
  {
    std::lock_guard guard(mutex_);
    if (!windows_.contains(window)) return false;
    const TimerKey key{window, id};
    wait = wait_;
    const Timer timer{intervalMs, wait->Now() + std::chrono::milliseconds(intervalMs)};
    auto found = timers_.find(key);
    if (found != timers_.end()) {
      found->second = timer;
    } else {
      if (timers_.size() >= timerLimit_) return false;
      timers_.emplace(key, timer);
    }
  }
  wait->Wake();  // the loop may be sleeping towards a later deadline
  return true;
}

bool Application::KillTimer(WindowHandle window, std::uint32_t id) {
  std::lock_guard guard(mutex_);
  return timers_.erase(TimerKey{window, id}) > 0;
}

void Application::SetTimerLimit(std::size_t limit) {
  std::lock_guard guard(mutex_);
  timerLimit_ = limit;
}

std::size_t Application::TimerCount() {
  std::lock_guard guard(mutex_);
  return timers_.size();
}

void Application::SetExceptionHandler(ExceptionHandler handler) {
  requireMainThread("SetExceptionHandler");
  exceptionHandler_ = std::move(handler);
}

void Application::HandleException(const std::exception& error) {
  if (!exceptionHandler_) {
    printException(error);
    return;
  }
  try {
    exceptionHandler_(error);
  } catch (const std::exception& failure) {
    // The handler itself failed: show both rather than lose either, and keep the loop alive.
    printException(error);
    printException(failure);
  } catch (...) {
    printException(error);
  }
}

void Application::HandleCurrentException() {
  try {
    throw;
  } catch (const std::exception& error) {
    HandleException(error);
  } catch (...) {
    HandleException(Exception("Unknown exception"));
  }
}

}  // namespace sib
