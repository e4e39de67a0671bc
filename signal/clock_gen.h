// TSLClockGen: a thread that runs a callback periodically, and TSMediaMasterClock, the one 1 ms media
// timer that drives every clock generator of the process.
//
// Each millisecond tick adds one millisecond to every generator's accumulator; whenever the
// accumulator exceeds the generator's interval, one interval is taken off and the generator's thread
// is released for one callback. With an interval of N ms the first callback therefore comes after
// N + 1 ticks and every later one N ticks apart. A timer that wakes late ticks the missed
// milliseconds all at once, and the generator releases as many callbacks as they are worth; a
// callback that overruns is followed at once by the ones that piled up meanwhile (up to 10000).
//
// The master clock and its timer exist exactly while some generator exists. Ticks touch only the
// accumulators and the generators' semaphores, under one process-wide critical section.
//
// The player makes its clock like this and frees it on pause and stop (from any thread, also from
// inside the callback itself):
//
//   FClockGen = TSLClockGen::Create(this, FFrameDelay * 10000, [this] { ClockTick(); });
//   ...
//   FClockGen.reset();
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "framework/lp_thread.h"
#include "framework/sync.h"
#include "platform/timer/media_timer.h"

namespace sib {

// Runs on the generator's own thread; must not throw.
using TSLClockGenEvent = std::function<void()>;

class TSLClockGen;
class TSLEndedClockGens;

// Frees a generator: from another thread it stops the thread and waits for it to end; from the
// generator's own callback it only stops it, and the ended thread is joined and freed later (see
// TSLClockGen::WaitForEnded). Either way the master clock ticks it no more.
struct TSLClockGenFree {
  void operator()(TSLClockGen* AClockGen) const;
};
using TSLClockGenPtr = std::unique_ptr<TSLClockGen, TSLClockGenFree>;

class TSLClockGen : public TLPThread {
 public:
  // AInterval is in 100-nanosecond units and must be positive (ERangeError otherwise). The thread is
  // named after AOwner and starts at once; it is ticked from the master clock until freed.
  static TSLClockGenPtr Create(TComponent* AOwner, std::int64_t AInterval, TSLClockGenEvent AEvent);

  // Ends the generator's thread. From another thread it waits for the thread to end; called from the
  // generator's own callback it only marks it, and the thread ends when the callback returns. Either
  // way the owner still frees the generator.
  void Terminate();

  std::int64_t Interval() const { return FInterval; }
  // How many callbacks the master clock has released to this generator so far (releases refused
  // because 10000 were already pending are not counted).
  std::uint64_t TicksReleased() const { return FTicksReleased.load(std::memory_order_acquire); }

  // The generators of the process that are not yet freed, and those freed from their own callbacks
  // whose threads have not been joined yet.
  static std::int32_t LiveCount();
  // Joins and frees the generators that were freed from their own callbacks (except one freed on the
  // calling thread, which cannot join itself), waiting for their callbacks to return. Creating or
  // freeing a generator frees those whose threads have ended; the end of the process joins the rest.
  static void WaitForEnded();

 protected:
  void Execute() override;

 private:
  friend struct TSLClockGenFree;
  friend class TSLEndedClockGens;
  friend class TSMediaMasterClock;

  TSLClockGen(TComponent* AOwner, std::int64_t AInterval, TSLClockGenEvent AEvent);
  ~TSLClockGen() override;

  bool OnOwnThread() const { return FThreadId.load(std::memory_order_acquire) == std::this_thread::get_id(); }
  // Called by the master clock with its critical section held.
  void Advance(std::int64_t ADuration);
  // Whole milliseconds of Advance until the next callback is released (master clock's section).
  std::int64_t MillisecondsUntilDue() const;

  TSLClockGenEvent FEvent;
  TOWSemaphore FSemaphore{0, 10000};
  const std::int64_t FInterval;
  std::int64_t FAccumulator = 0;  // guarded by the master clock's critical section
  std::atomic<std::uint64_t> FTicksReleased{0};
  std::atomic<std::thread::id> FThreadId{};
};

// The process's master clock. Generators register themselves; tests only look at whether it runs.
class TSMediaMasterClock {
 public:
  // Whether the master clock exists, and so whether its timer runs.
  static bool Running();

  TSMediaMasterClock(const TSMediaMasterClock&) = delete;
  TSMediaMasterClock& operator=(const TSMediaMasterClock&) = delete;
  ~TSMediaMasterClock();

 private:
  friend class TSLClockGen;
  friend struct TSLClockGenFree;

  explicit TSMediaMasterClock(MediaTickSource& ASource) : FSource(ASource) {}

  // Creates the master clock and its timer when there is none.
  static void Register(TSLClockGen* AClockGen);
  // Frees the master clock and stops its timer when the last generator leaves.
  static void Unregister(TSLClockGen* AClockGen);
  // The timer's callback, on the timer's thread.
  static void TimerTick(MediaTickSource* ASource, MediaTimerId AId, std::uint32_t AMilliseconds);

  std::vector<TSLClockGen*> FClockList;
  MediaTickSource& FSource;  // where the timer was set, so that it is killed there too
  MediaTimerId uTimerID = 0;
  std::uint64_t FMillisecondsApplied = 0;  // handed to the generators so far (the section)
};

}  // namespace sib
