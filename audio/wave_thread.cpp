#include "audio/wave_thread.h"

#include <cerrno>

namespace sib {

TALWaveThread::TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess)
    : TLPThread(AOwner, "TALWaveThread", "device"), FOnProcess(std::move(AOnProcess)), FItems(kCapacity) {
  for (std::size_t i = 0; i < FItems.size(); ++i) FItems[i].Sequence.store(i, std::memory_order_relaxed);
  sem_init(&FWakeUp, 0, 0);
}

TALWaveThread::~TALWaveThread() {
  Stop();
  sem_destroy(&FWakeUp);
}

void TALWaveThread::Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr) {
  if (FStopping.load(std::memory_order_acquire)) return;
  std::uint64_t tail = FTail.load(std::memory_order_relaxed);
  TALWaveItemNode* item;
  while (true) {
    item = &FItems[tail % FItems.size()];
    const std::uint64_t sequence = item->Sequence.load(std::memory_order_acquire);
    if (sequence == tail) {
      if (FTail.compare_exchange_weak(tail, tail + 1, std::memory_order_relaxed)) break;
    } else if (sequence < tail) {
      return;  // full
    } else {
      tail = FTail.load(std::memory_order_relaxed);
    }
  }
  item->hwo = hwo;
  item->uMsg = uMsg;
  item->AWaveHdr = AWaveHdr;
  item->Sequence.store(tail + 1, std::memory_order_release);
  FAppended.fetch_add(1, std::memory_order_release);
  sem_post(&FWakeUp);
}

bool TALWaveThread::Pop(TALWaveItemNode& AItem) {
  std::uint64_t head = FHead.load(std::memory_order_relaxed);
  TALWaveItemNode* item;
  while (true) {
    item = &FItems[head % FItems.size()];
    const std::uint64_t sequence = item->Sequence.load(std::memory_order_acquire);
    if (sequence == head + 1) {
      if (FHead.compare_exchange_weak(head, head + 1, std::memory_order_relaxed)) break;
    } else if (sequence < head + 1) {
      return false;  // empty
    } else {
      head = FHead.load(std::memory_order_relaxed);
    }
  }
  AItem.hwo = item->hwo;
  AItem.uMsg = item->uMsg;
  AItem.AWaveHdr = item->AWaveHdr;
  item->Sequence.store(head + FItems.size(), std::memory_order_release);
  return true;
}

void TALWaveThread::Finished(std::uint64_t ACount) {
  if (ACount == 0) return;
  {
    std::lock_guard guard(FIdleMutex);
    FDone += ACount;
  }
  FIdle.notify_all();
}

void TALWaveThread::DiscardPending() {
  TALWaveItemNode item;
  std::uint64_t dropped = 0;
  while (Pop(item)) ++dropped;
  Finished(dropped);
}

void TALWaveThread::Stop() {
  if (!FStopping.exchange(true, std::memory_order_acq_rel)) {
    Terminate();
    sem_post(&FWakeUp);
  }
  WaitFor();
}

void TALWaveThread::WaitUntilIdle() {
  const std::uint64_t target = FAppended.load(std::memory_order_acquire);
  std::unique_lock guard(FIdleMutex);
  FIdle.wait(guard, [&] { return FEnded || FDone >= target; });
}

void TALWaveThread::Execute() {
  AnnounceThreadName();
  TALWaveItemNode item;
  while (!FStopping.load(std::memory_order_acquire)) {
    while (sem_wait(&FWakeUp) != 0 && errno == EINTR) {
    }
    // One post per message, but a message may already have been taken with an earlier one's post.
    while (!FStopping.load(std::memory_order_acquire) && Pop(item)) {
      FOnProcess(item.uMsg, item.hwo, item.AWaveHdr);
      Finished(1);
    }
  }
  DiscardPending();
  {
    std::lock_guard guard(FIdleMutex);
    FEnded = true;
  }
  FIdle.notify_all();
}

}  // namespace sib
