// TALWaveThread: the audio output's device thread. The device's callback thread only appends each
// device message here; this thread hands them to the output one at a time, in order, at the highest
// priority. Named "<owner>.TALWaveThread", shown by the system as "<owner>.device".
//
// Append runs where the sound card cannot wait (the device's callback thread, or a thread resetting
// the device, possibly both at once): it takes no lock and allocates nothing. The messages go through
// a fixed ring of slots, each with a sequence number that says whose turn it is (producers claim a
// slot by advancing the tail with a compare-and-swap), and one semaphore post wakes the thread.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "framework/lp_thread.h"
#include "platform/audio/wave_out.h"

namespace sib {

using TALWaveProcessMessage = std::function<void(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr)>;

// Messages still pending when the thread ends are dropped.
class TALWaveThread : public TLPThread {
 public:
  // Room for every buffer a device can hold, and its open, close and loss messages.
  static constexpr std::size_t kCapacity = kMaxOutstandingBuffers + 64;

  TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess);
  ~TALWaveThread() override;

  // Any thread, several at once; never blocks, never allocates. Nothing once the thread is stopping,
  // and nothing when the ring is full (it has room for every buffer a device may hold).
  void Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr);
  // Drops the messages not yet handled.
  void DiscardPending();
  // Ends the thread after the message in progress and waits for it. Not from the thread itself.
  void Stop();
  // Waits until every message appended so far has been handled or dropped. Not from the thread itself.
  void WaitUntilIdle();

 protected:
  void Execute() override;

 private:
  struct TALWaveItemNode {
    std::atomic<std::uint64_t> Sequence;
    WaveOutHandle hwo = 0;
    std::uint32_t uMsg = 0;
    WaveHeader* AWaveHdr = nullptr;
  };

  // Takes the oldest message; false when there is none.
  bool Pop(TALWaveItemNode& AItem);
  void Finished(std::uint64_t ACount);

  TALWaveProcessMessage FOnProcess;
  std::vector<TALWaveItemNode> FItems;
  std::atomic<std::uint64_t> FTail{0};
  std::atomic<std::uint64_t> FHead{0};
  sem_t FWakeUp;
  std::atomic<bool> FStopping{false};
  // Messages appended, and handled or dropped; the idle waiters' side only.
  std::atomic<std::uint64_t> FAppended{0};
  std::mutex FIdleMutex;
  std::condition_variable FIdle;
  std::uint64_t FDone = 0;  // guarded by FIdleMutex
  bool FEnded = false;      // guarded by FIdleMutex
};

}  // namespace sib
