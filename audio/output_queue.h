// TALOutputQueue: the notifications waiting for the audio output's device, in arrival order, with the
// two things the output asks of them at every arrival: how many stream frames their buffers hold
// (the depth the rate steering follows) and how many start-waves and stops are among them (while any
// is, the queue is taken at once). Both are counted as operations go in and out, in one place.
// Guarded by the output's component lock, like the list it wraps.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/lock.h"
#include "framework/notify.h"
#include "signal/operation_list.h"

namespace sib {

class TALOutputQueue {
 public:
  explicit TALOutputQueue(RefPtr<IOWLock> ALock);

  // Appends at the tail.
  void Push(OperationRef AOperation);
  // Puts an operation just taken back at the head, so that it is the next one out.
  void PutBack(OperationRef AOperation);
  // The oldest operation, taken off; nil when the queue is empty.
  OperationRef Pop();
  void Clear();

  std::uint64_t Frames() const { return FFrames; }
  std::int32_t StartsAndStops() const { return FStartsAndStops; }
  // The frames of every buffer pushed so far (not those put back); read from any thread.
  std::uint64_t ArrivedFrames() const { return FArrivedFrames.load(std::memory_order_relaxed); }

 private:
  // Adds (ASign 1) or removes (-1) what AOperation holds to the counts; returns its frames.
  std::uint64_t Count(IOWNotifyOperation* AOperation, int ASign);

  TSLOperationList FList;
  std::uint64_t FFrames = 0;
  std::int32_t FStartsAndStops = 0;
  std::atomic<std::uint64_t> FArrivedFrames{0};
};

}  // namespace sib
