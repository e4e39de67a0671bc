#include "framework/timer.h"

namespace sib {
namespace {

constexpr std::uint32_t kTimerId = 1;

}  // namespace

TLPTimer::TLPTimer(TComponent* AOwner)
    : TComponent(AOwner), FWindowHandle(std::make_unique<MessageWindow>([this](Message& Msg) { WndProc(Msg); })) {}

TLPTimer::~TLPTimer() {
  FEnabled = false;
  FWindowHandle->KillTimer(kTimerId);
}

void TLPTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TLPTimer::SetInterval(std::uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TLPTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

void TLPTimer::UpdateTimer() {
  FWindowHandle->KillTimer(kTimerId);
  if (FInterval == 0 || !FEnabled || !FOnTimer) return;
  if (!FWindowHandle->SetTimer(kTimerId, FInterval)) throw EOutOfResources("Not enough timers available");
}

void TLPTimer::WndProc(Message& Msg) {
  if (Msg.Msg != kTimerMessage) return;
  // The handler may destroy this timer: call a copy, and touch nothing of this object afterwards.
  Application& application = FWindowHandle->Owner();
  const TNotifyEvent handler = FOnTimer;
  try {
    handler(this);
  } catch (...) {
    application.HandleCurrentException();
  }
}

}  // namespace sib
