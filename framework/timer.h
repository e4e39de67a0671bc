// TLPTimer: a component that calls OnTimer every Interval milliseconds on the main thread, through
// timer 1 of a hidden message window of its own. It ticks only while Enabled is true, Interval is
// not 0 and OnTimer is assigned; otherwise no platform timer exists.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/components/component.h"
#include "platform/ui/message_window.h"

namespace sib {

class TLPTimer : public TComponent {
  SIB_CLASS(TLPTimer, TComponent)
 public:
  explicit TLPTimer(TComponent* AOwner);
  ~TLPTimer() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TLPTimer::FEnabled, &TLPTimer::SetEnabled).defaultValue(true),
        prop("Interval", &TLPTimer::FInterval, &TLPTimer::SetInterval).defaultValue(1000),
        prop("OnTimer", &TLPTimer::FOnTimer, &TLPTimer::SetOnTimer),
    };
  }

  bool Enabled() const { return FEnabled; }
  // A different value re-arms the timer.
  void SetEnabled(bool Value);
  std::uint32_t Interval() const { return FInterval; }
  // Milliseconds; a different value re-arms the timer (below 10 ms the window system gives 10 ms).
  void SetInterval(std::uint32_t Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  // Always re-arms the timer.
  void SetOnTimer(TNotifyEvent Value);

 private:
  // Kills the platform timer and sets it again when the timer should tick. Raises EOutOfResources
  // "Not enough timers available" when the platform refuses it.
  void UpdateTimer();
  void WndProc(Message& Msg);

  std::uint32_t FInterval = 1000;
  std::unique_ptr<MessageWindow> FWindowHandle;
  TNotifyEvent FOnTimer;
  bool FEnabled = true;
};

}  // namespace sib
