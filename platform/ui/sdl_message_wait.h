// The message loop's wait over SDL's event queue: the loop sleeps in SDL_WaitEventTimeout until the
// next timer is due, an SDL event arrives (input, expose, a window closing) or another thread posts
// work, which pushes one private SDL event to end the wait. Events are handed to a dispatcher while
// the loop waits; the dispatcher runs on the main thread and its exceptions go to the application's
// exception handler, so the loop goes on.
//
// SDL can only sleep without polling while it has a window to wake; until the first window exists
// (and after the last is gone) the wait sleeps on a condition variable instead, as SystemMessageWait
// does, and SDL events that arrive meanwhile are handled at the next wait with a window.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/ui/message_wait.h"

namespace sib {

class Application;

class SdlMessageWait : public WakeableWait {
 public:
  using Dispatcher = std::function<void(const SDL_Event&)>;

  // SDL's video (or events) subsystem must be initialised. The dispatcher gets every event but the
  // wait's own; `windowsOpen` tells whether SDL has a window to wake (main thread).
  SdlMessageWait(Application& application, Dispatcher dispatcher, std::function<bool()> windowsOpen);

  TimePoint Now() override { return Clock::now(); }
  void WaitUntil(std::optional<TimePoint> deadline) override;
  void Wake() override;

  // Main thread: hands every queued SDL event to the dispatcher, without waiting.
  void DispatchPending();
  // The number of times WaitUntil has returned; a test of the idle loop reads it.
  std::uint64_t Wakeups() const { return wakeups_.load(std::memory_order_relaxed); }

 private:
  void dispatch(const SDL_Event& event);
  bool isWake(const SDL_Event& event) const { return event.type == wakeEvent_; }

  Application& application_;
  Dispatcher dispatcher_;
  std::function<bool()> windowsOpen_;
  const std::uint32_t wakeEvent_;
  // Set by Wake until the wait has taken the one SDL event it pushed, so that a burst of posts
  // pushes one event, not one each.
  std::atomic<bool> wakePushed_{false};
  std::atomic<std::uint64_t> wakeups_{0};
};

// Milliseconds to wait for SDL_WaitEventTimeout: rounded up, so that the loop never wakes just before
// a deadline and spins towards it; -1 for no deadline.
int WaitTimeoutMs(std::optional<MessageWait::TimePoint> deadline, MessageWait::TimePoint now);

}  // namespace sib
