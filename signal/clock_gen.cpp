#include "signal/clock_gen.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/core/errors.h"
#include "platform/core/format.h"

namespace sib {
namespace {

constexpr std::int64_t kTickDuration = 10000;  // one millisecond in 100-nanosecond units

// The master clock's critical section guards the instance and, through it, the generator list and
// every generator's accumulator.
struct MasterClockState {
  TOWCriticalSection FSection;
  std::unique_ptr<TSMediaMasterClock> FInstance;
};

MasterClockState& masterClock() {
  static MasterClockState state;
  return state;
}

std::atomic<std::int32_t> gClockGenCount{0};

}  // namespace

// Generators freed from their own callbacks: their threads end by themselves once the callback
// returns, but only another thread can join them. Those already ended are freed whenever a generator
// is created or freed elsewhere; the rest on request and at the end of the process.
class TSLEndedClockGens {
 public:
  static void Add(TSLClockGen* AClockGen) {
    State& state = Instance();
    std::lock_guard guard(state.FMutex);
    state.FList.push_back(AClockGen);
  }

  // Joins every listed generator but one on the calling thread, waiting for callbacks still running.
  static void JoinAll() {
    Take([](TSLClockGen* clockGen) { return !clockGen->OnOwnThread(); });
  }

  // Frees only those whose threads have already ended, so it never waits for a callback: the caller
  // may hold a lock that a callback still running needs.
  static void FreeFinished() {
    Take([](TSLClockGen* clockGen) { return clockGen->Finished(); });
  }

 private:
  struct State {
    ~State() { JoinAndFree(FList); }
    std::mutex FMutex;
    std::vector<TSLClockGen*> FList;
  };

  static State& Instance() {
    static State state;
    return state;
  }

  template <class Predicate>
  static void Take(Predicate ATaken) {
    State& state = Instance();
    std::vector<TSLClockGen*> taken;
    {
      std::lock_guard guard(state.FMutex);
      auto kept = std::stable_partition(state.FList.begin(), state.FList.end(),
                                        [&](TSLClockGen* clockGen) { return !ATaken(clockGen); });
      taken.assign(kept, state.FList.end());
      state.FList.erase(kept, state.FList.end());
    }
    JoinAndFree(taken);
  }

  static void JoinAndFree(std::vector<TSLClockGen*>& AList) {
    for (TSLClockGen* clockGen : AList) {
      clockGen->WaitFor();
      delete clockGen;
    }
    AList.clear();
  }
};

// ---- the generator ----

TSLClockGen::TSLClockGen(TComponent* AOwner, std::int64_t AInterval, TSLClockGenEvent AEvent)
    : TLPThread(AOwner, "TSLClockGen", "clock"), FEvent(std::move(AEvent)), FInterval(AInterval) {
  gClockGenCount.fetch_add(1, std::memory_order_acq_rel);
}

TSLClockGen::~TSLClockGen() {
  Terminate();
  gClockGenCount.fetch_sub(1, std::memory_order_acq_rel);
}

TSLClockGenPtr TSLClockGen::Create(TComponent* AOwner, std::int64_t AInterval, TSLClockGenEvent AEvent) {
  // A non-positive interval would never leave the accumulator below it: the tick would never end.
  if (AInterval <= 0) throw ERangeError(formatText("Clock interval out of range = %d", {AInterval}));
  TSLEndedClockGens::FreeFinished();
  TSLClockGenPtr clockGen(new TSLClockGen(AOwner, AInterval, std::move(AEvent)));
  clockGen->Start();
  // Its callback feeds the sound device: a late tick is a gap in the sound.
  clockGen->SetPriority(ThreadPriority::Highest);
  TSMediaMasterClock::Register(clockGen.get());
  return clockGen;
}

void TSLClockGen::Terminate() {
  Thread::Terminate();
  if (OnOwnThread()) return;  // the loop ends when the callback returns
  // Wakes the thread; when 10000 releases are pending it is awake anyway.
  FSemaphore.Increment(1);
  WaitFor();
}

std::int32_t TSLClockGen::LiveCount() { return gClockGenCount.load(std::memory_order_acquire); }

void TSLClockGen::WaitForEnded() { TSLEndedClockGens::JoinAll(); }

void TSLClockGen::Execute() {
  AnnounceThreadName();
  FThreadId.store(std::this_thread::get_id(), std::memory_order_release);
  while (!Terminated()) {
    FSemaphore.Decrement(kInfinite);
    if (Terminated()) break;
    if (FEvent) FEvent();
  }
}

std::int64_t TSLClockGen::MillisecondsUntilDue() const { return (FInterval - FAccumulator) / kTickDuration + 1; }

void TSLClockGen::Advance(std::int64_t ADuration) {
  FAccumulator += ADuration;
  if (FAccumulator <= FInterval) return;
  // As many whole intervals as leave the accumulator in (0, FInterval]: one millisecond at a time
  // would release the same number.
  const std::int64_t due = (FAccumulator - 1) / FInterval;
  FAccumulator -= due * FInterval;
  const std::int64_t wanted = std::min<std::int64_t>(due, 10000);
  std::int64_t released = 0;
  if (FSemaphore.Increment(static_cast<std::int32_t>(wanted))) {
    released = wanted;
  } else {
    // Nearly full: as many as still fit; the rest are lost.
    while (released < wanted && FSemaphore.Increment(1)) ++released;
  }
  FTicksReleased.fetch_add(static_cast<std::uint64_t>(released), std::memory_order_acq_rel);
}

void TSLClockGenFree::operator()(TSLClockGen* AClockGen) const {
  TSMediaMasterClock::Unregister(AClockGen);
  if (AClockGen->OnOwnThread()) {
    AClockGen->Terminate();
    TSLEndedClockGens::Add(AClockGen);
    return;
  }
  delete AClockGen;
  TSLEndedClockGens::FreeFinished();
}

// ---- the master clock ----

TSMediaMasterClock::~TSMediaMasterClock() { FSource.killEvent(uTimerID); }

bool TSMediaMasterClock::Running() {
  MasterClockState& state = masterClock();
  std::lock_guard guard(state.FSection);
  return state.FInstance != nullptr;
}

void TSMediaMasterClock::Register(TSLClockGen* AClockGen) {
  MasterClockState& state = masterClock();
  std::lock_guard guard(state.FSection);
  if (!state.FInstance) {
    std::unique_ptr<TSMediaMasterClock> clock(new TSMediaMasterClock(currentMediaTickSource()));
    MediaTickSource* source = &clock->FSource;
    // Setting the timer inside the section is safe: a tick waits for the section, and setting never
    // waits for a tick.
    clock->uTimerID = source->setEvent(1, [source](MediaTimerId AId, std::uint32_t AMilliseconds) {
      TimerTick(source, AId, AMilliseconds);
    });
    if (clock->uTimerID == 0) throw EOutOfResources("Not enough timers available");
    state.FInstance = std::move(clock);
  }
  TSMediaMasterClock& clock = *state.FInstance;
  // The milliseconds that have passed but not reached the generators yet (withheld while the timer
  // sleeps towards the others' next callback, or in a tick waiting for this section) will reach this
  // one too: it starts that far behind, so that it counts from now.
  const std::uint64_t pending = clock.FSource.periodsPassed(clock.uTimerID) - clock.FMillisecondsApplied;
  AClockGen->FAccumulator = -static_cast<std::int64_t>(pending) * kTickDuration;
  clock.FClockList.push_back(AClockGen);
  clock.FSource.deferEvent(clock.uTimerID, 1);
}

void TSMediaMasterClock::Unregister(TSLClockGen* AClockGen) {
  MasterClockState& state = masterClock();
  std::unique_ptr<TSMediaMasterClock> ended;
  {
    std::lock_guard guard(state.FSection);
    if (!state.FInstance) return;
    std::erase(state.FInstance->FClockList, AClockGen);
    if (state.FInstance->FClockList.empty()) ended = std::move(state.FInstance);
  }
  // Killing the timer waits for a tick in progress, and a tick takes the section: so outside it.
}

void TSMediaMasterClock::TimerTick(MediaTickSource* ASource, MediaTimerId AId, std::uint32_t AMilliseconds) {
  MasterClockState& state = masterClock();
  std::lock_guard guard(state.FSection);
  // A timer being killed may still tick once after its clock has gone or a new one has come.
  TSMediaMasterClock* clock = state.FInstance.get();
  if (!clock || &clock->FSource != ASource || clock->uTimerID != AId) return;
  clock->FMillisecondsApplied += AMilliseconds;
  const std::int64_t duration = kTickDuration * AMilliseconds;
  std::int64_t quiet = std::numeric_limits<std::uint32_t>::max();
  for (auto clockGen = clock->FClockList.rbegin(); clockGen != clock->FClockList.rend(); ++clockGen) {
    (*clockGen)->Advance(duration);
    quiet = std::min(quiet, (*clockGen)->MillisecondsUntilDue());
  }
  // The ticks until then would change nothing but the counts, and they arrive summed with that one.
  ASource->deferEvent(AId, static_cast<std::uint32_t>(quiet));
}

}  // namespace sib
