#include "audio/wave_thread.h"

namespace sib {

TALWaveThread::TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess)
    : TLPThread(AOwner, "TALWaveThread", "device"), FOnProcess(std::move(AOnProcess)) {}

TALWaveThread::~TALWaveThread() { Stop(); }

void TALWaveThread::Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr) {
  std::lock_guard guard(FSection);
  if (FStopping) return;
  FItems.push_back({hwo, uMsg, AWaveHdr});
  FWakeUp.notify_one();
}

void TALWaveThread::DiscardPending() {
  std::lock_guard guard(FSection);
  FItems.clear();
  FIdle.notify_all();
}

void TALWaveThread::Stop() {
  {
    std::lock_guard guard(FSection);
    FStopping = true;
    Terminate();
    FWakeUp.notify_all();
  }
  WaitFor();
}

void TALWaveThread::WaitUntilIdle() {
  std::unique_lock guard(FSection);
  FIdle.wait(guard, [this] { return FStopping || (FItems.empty() && !FBusy); });
}

void TALWaveThread::Execute() {
  AnnounceThreadName();
  std::unique_lock guard(FSection);
  while (true) {
    FWakeUp.wait(guard, [this] { return FStopping || !FItems.empty(); });
    if (FStopping) break;
    const TALWaveItemNode node = FItems.front();
    FItems.pop_front();
    FBusy = true;
    guard.unlock();
    FOnProcess(node.uMsg, node.hwo, node.AWaveHdr);
    guard.lock();
    FBusy = false;
    if (FItems.empty()) FIdle.notify_all();
  }
  FItems.clear();
  FBusy = false;
  FIdle.notify_all();
}

}  // namespace sib
