#include "signal/pool_timer.h"

#include <memory>

namespace sib {

void TSLPoolTimer::Start(std::uint32_t AIntervalMs, std::function<void()> AOnTick) {
  FTimer = MakeComponent<TLPTimer>();
  FTimer->SetInterval(AIntervalMs);
  FTimer->SetOnTimer(TNotifyEvent([tick = std::move(AOnTick)](TObject*) { tick(); }));
}

TSLPoolTrimming::TSLPoolTrimming(TSLSmartBufferManager& AManager) : FManager(AManager) {
  FManager.SetTickSource(std::make_unique<TSLPoolTimer>());
}

TSLPoolTrimming::~TSLPoolTrimming() { FManager.SetTickSource(nullptr); }

}  // namespace sib
