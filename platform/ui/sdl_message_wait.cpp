#include "platform/ui/sdl_message_wait.h"

#include <chrono>
#include <limits>

#include "platform/core/errors.h"
#include "platform/ui/application.h"

namespace sib {
namespace {

std::uint32_t registerWakeEvent() {
  const std::uint32_t type = SDL_RegisterEvents(1);
  if (type == std::numeric_limits<std::uint32_t>::max()) throw Exception("No SDL event number left for the message loop");
  return type;
}

}  // namespace

int WaitTimeoutMs(std::optional<MessageWait::TimePoint> deadline, MessageWait::TimePoint now) {
  if (!deadline) return -1;
  if (*deadline <= now) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
  return left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(left);
}

SdlMessageWait::SdlMessageWait(Application& application, Dispatcher dispatcher, std::function<bool()> windowsOpen)
    : application_(application),
      dispatcher_(std::move(dispatcher)),
      windowsOpen_(std::move(windowsOpen)),
      wakeEvent_(registerWakeEvent()) {}

void SdlMessageWait::Wake() {
  WakeableWait::Wake();
  if (wakePushed_.exchange(true)) return;
  SDL_Event event{};
  event.type = wakeEvent_;
  if (SDL_PushEvent(&event) != 1) wakePushed_.store(false);  // queue full: the condition variable still wakes
}

void SdlMessageWait::WaitUntil(std::optional<TimePoint> deadline) {
  if (!windowsOpen_()) {
    std::unique_lock lock(mutex_);
    waitLocked(lock, deadline);
  } else {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, WaitTimeoutMs(deadline, Now())) == 1) {
      dispatch(event);
      DispatchPending();
    }
  }
  wakeups_.fetch_add(1, std::memory_order_relaxed);
}

void SdlMessageWait::DispatchPending() {
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) dispatch(event);
}

void SdlMessageWait::dispatch(const SDL_Event& event) {
  if (isWake(event)) {
    wakePushed_.store(false);
    // The condition variable's half of the same wake is spent too.
    std::unique_lock lock(mutex_);
    if (wakePendingLocked()) waitLocked(lock, Clock::now());
    return;
  }
  try {
    if (dispatcher_) dispatcher_(event);
  } catch (...) {
    application_.HandleCurrentException();
  }
}

}  // namespace sib
