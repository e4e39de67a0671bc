// Hooks the block pool's trimming to the main loop: `TSLPoolTimer` is a tick source over a TLPTimer,
// and `TSLPoolTrimming` installs one in the process's pool for as long as it lives.
//
// The program makes one TSLPoolTrimming on the main thread once the application exists and lets it
// go before the application ends (the timer's hidden window belongs to the application).
#pragma once

#include <cstdint>
#include <functional>

#include "framework/timer.h"
#include "signal/buffer_pool.h"

namespace sib {

// Main thread only: the timer belongs to the main thread's message loop.
class TSLPoolTimer : public ISLTickSource {
 public:
  void Start(std::uint32_t AIntervalMs, std::function<void()> AOnTick) override;
  void Stop() override { FTimer.reset(); }

 private:
  TComponentPtr<TLPTimer> FTimer;
};

class TSLPoolTrimming {
 public:
  explicit TSLPoolTrimming(TSLSmartBufferManager& AManager = TSLSmartBufferManager::Instance());
  ~TSLPoolTrimming();
  TSLPoolTrimming(const TSLPoolTrimming&) = delete;
  TSLPoolTrimming& operator=(const TSLPoolTrimming&) = delete;

 private:
  TSLSmartBufferManager& FManager;
};

}  // namespace sib
