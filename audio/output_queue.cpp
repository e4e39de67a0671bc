#include "audio/output_queue.h"

#include <algorithm>

#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"
#include "signal/signal_pins.h"

namespace sib {

TALOutputQueue::TALOutputQueue(RefPtr<IOWLock> ALock) : FList(std::move(ALock)) {}

void TALOutputQueue::Push(OperationRef AOperation) {
  FArrivedFrames.fetch_add(Count(AOperation.get(), 1), std::memory_order_relaxed);
  FList.Push(std::move(AOperation));
}

void TALOutputQueue::PutBack(OperationRef AOperation) {
  Count(AOperation.get(), 1);
  FList.PushBack(std::move(AOperation));
}

OperationRef TALOutputQueue::Pop() {
  OperationRef operation = FList.Pop();
  if (operation) Count(operation.get(), -1);
  return operation;
}

void TALOutputQueue::Clear() {
  while (Pop()) {
  }
}

std::uint64_t TALOutputQueue::Count(IOWNotifyOperation* AOperation, int ASign) {
  if (operationIs<TOWStartWaveOperation>(AOperation) || operationIs<TOWStopOperation>(AOperation))
    FStartsAndStops += ASign;
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(AOperation);
  if (!supplied || !supplied->Buffer) return 0;
  auto buffer = queryInterface<IALAudioBuffer>(supplied->Buffer.get());
  if (!buffer) return 0;
  const std::uint64_t frames = buffer->GetSize();
  FFrames = ASign > 0 ? FFrames + frames : FFrames - std::min(FFrames, frames);
  return frames;
}

}  // namespace sib

