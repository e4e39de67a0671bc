// The window's sleep timer: a context menu on the window (a right click anywhere, the Menu key or
// Shift+F10) offers "Stop after 15 minutes" to "Stop after 2 hours" and "No sleep timer", with the
// one in force checked. Choosing a time starts the noise if it is stopped and counts from the choice;
// while it runs the window's title reads "Sibilon – stops in N min" (N rounded up, changed as each
// minute passes). Over the last 30 seconds the sound fades to silence through the amplifier, the
// level bar and the readout untouched; at the end the window stops as its start button stops it, and
// the amplifier is back at the bar's level for the next start. Any stop of the noise (the button,
// the keyboard, the desktop's media-player control) ends the timer; "No sleep timer" ends it and the
// noise plays on.
//
// The timer is a component owned by the window, so that it goes with it. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "app/main_form.h"
#include "platform/ui/message_window.h"
#include "platform/ui/popup_menu.h"
#include "player/sleep_timer.h"

namespace sib {

class TWindowSleep : public TComponent {
  SIB_CLASS(TWindowSleep, TComponent)
 public:
  // The menu's times, in minutes, in the menu's order; "No sleep timer" follows them.
  static constexpr double kMenuMinutes[] = {15, 30, 45, 60, 120};

  // The timer of `AWindow`, which owns it. `ATimeScale` makes its minutes pass that many times faster
  // (for tests; 1 everywhere else).
  TWindowSleep(TComponent* AOwner, TForm1& AWindow, double ATimeScale = 1);
  ~TWindowSleep() override;

  // Starts the timer for `AMinutes` from now, and the noise when it is stopped; a timer that runs is
  // replaced.
  void Start(double AMinutes);
  // Ends the timer, if one runs; the noise plays on.
  void Cancel();
  // The timer's minutes while one runs.
  std::optional<double> Minutes() const { return FMinutes; }

  TPopupMenu& Menu() const { return *FMenu; }
  // "Sibilon – stops in N min" for what is left, N the minutes rounded up.
  static std::string TitleFor(const std::string& ATitle, double ASecondsLeft);

 private:
  void ShowMenu(TPoint AAt, bool AFromKeyboard);
  void Chosen(int AIndex);
  void Tick();
  void Schedule(MessageWait::TimePoint ANow);
  double SecondsLeft(MessageWait::TimePoint ANow) const;
  void End();

  TForm1& FWindow;
  const double FTimeScale;
  const std::string FTitle;  // the window's own title, shown again when no timer runs
  TPopupMenu* FMenu;         // owned by the window
  MessageWindow FMessages;   // the timer's ticks
  std::optional<SleepTimer> FTimer;
  std::optional<double> FMinutes;
  bool FStopping = false;  // the timer itself is stopping the noise
};

}  // namespace sib
