// The application's message loop. One Application runs on the main thread (the thread that made
// it); any thread may post to it. Posted messages and posted work run in posting order; each is
// addressed to a hidden message window (message_window.h) or to the application itself, and one
// addressed to a window that is gone by then is skipped. Timers belong to a window and an id, as in
// the window system: setting an existing one re-arms it, intervals below 10 ms become 10 ms, and a
// refused timer is reported to the caller. A timer message is due at most once at a time (missed
// ticks are not queued up) and comes after the posted messages. An exception thrown by a handler goes
// to the exception handler and the loop goes on.
//
// The loop sleeps in a MessageWait until the next timer is due or something is posted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ui/message_wait.h"

namespace sib {

using WindowHandle = std::uint64_t;  // 0 is no window; handles are never reused

struct Message {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};

inline constexpr std::uint32_t kTimerMessage = 0x0113;  // WParam: the timer id
inline constexpr std::uint32_t kUserMessage = 0x0400;   // first number free for a window's own messages
inline constexpr std::uint32_t kAppMessage = 0x8000;    // first number free for the application's

inline constexpr std::uint32_t kMinimumTimerInterval = 10;  // milliseconds
inline constexpr std::size_t kDefaultTimerLimit = 10000;

using MessageHandler = std::function<void(Message&)>;
using ExceptionHandler = std::function<void(const std::exception&)>;

class Application {
 public:
  struct Options {
    std::shared_ptr<MessageWait> wait;  // none: real time (SystemMessageWait)
    std::size_t timerLimit = kDefaultTimerLimit;
  };

  // The calling thread becomes this application's main thread. The newest live application is the
  // one Instance() returns; an application made in a test hides the process's own until it dies.
  Application();
  explicit Application(Options options);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The newest live application; when there is none, the process's own, made on first use by the
  // calling thread (so the first use belongs on the main thread, as does static initialisation).
  static Application& Instance();

  std::thread::id MainThreadId() const { return mainThread_; }
  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

  // Main thread only (others raise EInvalidOperation). Run handles messages and timers, sleeping in
  // between, until Terminate; it then clears the request so that the loop can run again.
  void Run();
  // Runs the loop until `done()` holds (checked after each round of messages) or `limit` has passed
  // on this application's clock. Returns whether `done()` held. On simulated time the limit is a
  // deadline like a timer's: with nothing else due, the loop jumps to it.
  bool RunUntil(const std::function<bool()>& done, MessageWait::Clock::duration limit);
  // Handles the messages that were queued when it was called, then the timers that are due, and
  // returns without waiting. Messages posted meanwhile wait for the next call.
  void ProcessMessages();
  // Any thread: asks Run to return once the round of messages being handled is done.
  void Terminate();
  bool Terminated() const;

  // Any thread. False when the window does not exist (nothing is queued then).
  bool PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  // Any thread. Work for the application itself; it always runs.
  void Post(std::function<void()> work);
  // Any thread. Work tied to a window: skipped when the window is gone by then.
  bool Post(WindowHandle window, std::function<void()> work);

  // Hidden windows (MessageWindow wraps these); every window goes before its application. The
  // handler runs on the main thread. A window may be destroyed from its own handler. Destroying it
  // from another thread while its handler runs waits for the handler to return. Queued messages to
  // it are dropped and its timers killed.
  WindowHandle CreateWindow(MessageHandler handler);
  void DestroyWindow(WindowHandle window);
  bool WindowExists(WindowHandle window);

  // Any thread. SetTimer (re-)arms timer `id` of `window` to come every `intervalMs` from now; false
  // when the window does not exist or the timer limit refuses a new timer. KillTimer is false when
  // there was no such timer.
  bool SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t intervalMs);
  bool KillTimer(WindowHandle window, std::uint32_t id);
  void SetTimerLimit(std::size_t limit);
  std::size_t TimerCount();

  // Main thread. The handler gets every exception that escapes a message handler; an empty handler
  // restores the default, which prints the message to the standard error stream.
  void SetExceptionHandler(ExceptionHandler handler);
  void HandleException(const std::exception& error);
  // Call inside a catch block: hands the exception being handled to HandleException.
  void HandleCurrentException();

  // Main thread, while the loop is not waiting: how the loop reads the time, sleeps and is woken from
  // now on (the window system's event pump, once there is a window; none: real time). Timers keep
  // their deadlines, so the new wait must read the same clock.
  void SetWait(std::shared_ptr<MessageWait> wait);
  // Main thread.
  MessageWait& Wait() { return *wait_; }
  // Any thread.
  MessageWait::TimePoint Now();

 private:
  struct Posted {
    std::uint64_t sequence = 0;
    WindowHandle window = 0;  // 0: the application's own work
    Message message;
    std::function<void()> work;
  };
  // A first-in first-out ring that keeps its storage, so that steady posting does not allocate.
  class PostedQueue {
   public:
    bool empty() const { return count_ == 0; }
    const Posted& front() const { return ring_[head_]; }
    void push(Posted item);
    Posted pop();
    void dropWindow(WindowHandle window);

   private:
    std::vector<Posted> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
  };
  struct Timer {
    std::uint32_t interval;
    MessageWait::TimePoint due;
  };
  using TimerKey = std::pair<WindowHandle, std::uint32_t>;
  using SharedHandler = std::shared_ptr<MessageHandler>;

  void requireMainThread(const char* operation) const;
  bool loop(const std::function<bool()>& done, std::optional<MessageWait::TimePoint> limit);
  void handlePosted();
  void handleDueTimers();
  // Runs `call` for the window recorded as being dispatched; exceptions go to the exception handler.
  template <class Call>
  void dispatch(Call&& call);
  void endDispatch();
  void push(Posted item);
  std::optional<MessageWait::TimePoint> nextTimerDueLocked() const;

  const std::thread::id mainThread_;
  // Written on the main thread under mutex_; other threads copy it under mutex_ before using it.
  std::shared_ptr<MessageWait> wait_;

  mutable std::mutex mutex_;
  std::condition_variable dispatchEnded_;
  PostedQueue queue_;
  std::unordered_map<WindowHandle, SharedHandler> windows_;
  std::map<TimerKey, Timer> timers_;
  std::size_t timerLimit_;
  WindowHandle nextHandle_ = 1;
  std::uint64_t nextSequence_ = 0;
  // The windows whose handlers are running, innermost last (a handler may run ProcessMessages);
  // 0 stands for the application's own work.
  std::vector<WindowHandle> dispatching_;
  bool terminated_ = false;

  ExceptionHandler exceptionHandler_;  // main thread only
};

}  // namespace sib
