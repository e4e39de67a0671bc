#include "app/window_sleep.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/window_values.h"
#include "platform/core/errors.h"

namespace sib {
namespace {

constexpr std::uint32_t kTickTimer = 1;
constexpr std::uint32_t kMinTickMs = 10;
// The window's player sends blocks of this many frames (its stored BufferSize).
constexpr std::int32_t kBlockFrames = 1024;

std::string MenuCaption(double AMinutes) {
  if (AMinutes == 60) return "Stop after 1 hour";
  if (AMinutes == 120) return "Stop after 2 hours";
  return "Stop after " + std::to_string(static_cast<int>(AMinutes)) + " minutes";
}

}  // namespace

TWindowSleep::TWindowSleep(TComponent* AOwner, TForm1& AWindow, double ATimeScale)
    : TComponent(AOwner),
      FWindow(AWindow),
      FTimeScale(ATimeScale > 0 ? ATimeScale : 1),
      FTitle(AWindow.Caption()),
      FMenu(NewComponent<TPopupMenu>(AWindow)),
      FMessages(AWindow.Application().Loop(), [this](Message& AMessage) {
        if (AMessage.Msg == kTimerMessage && AMessage.WParam == kTickTimer) Tick();
      }) {
  // In the window's colours: its silver face, and the playing button's brown-orange for the choice.
  FMenu->SetColor(kBeginColorStopped);
  FMenu->HighlightColor = kBeginColorPlaying;
  FMenu->HighlightTextColor = clWhite;
  FMenu->FrameColor = clGray;
  FMenu->OnChoose = [this](int AIndex) { Chosen(AIndex); };
  FWindow.OnContextPopup =
      TContextPopupEvent([this](TObject*, TPoint AAt, bool AFromKeyboard) { ShowMenu(AAt, AFromKeyboard); });
  FWindow.OnPlayingChanged = [this] {
    if (!FWindow.Playing() && !FStopping) End();
  };
}

TWindowSleep::~TWindowSleep() {
  // The window that owns the timer is already being taken apart when it destroys it: its handlers
  // go with it, and only a timer destroyed before its window lets go of them.
  if (FWindow.ComponentState().Contains(csDestroying)) return;
  FWindow.OnPlayingChanged = nullptr;
  FWindow.OnContextPopup = {};
}

void TWindowSleep::ShowMenu(TPoint AAt, bool AFromKeyboard) {
  std::vector<TPopupMenuItem> items;
  for (const double minutes : kMenuMinutes) items.push_back({MenuCaption(minutes), FMinutes == minutes});
  items.push_back({"No sleep timer", !FMinutes});
  FMenu->SetItems(std::move(items));
  FMenu->Popup(FWindow, AAt, AFromKeyboard);
}

void TWindowSleep::Chosen(int AIndex) {
  if (AIndex >= 0 && AIndex < static_cast<int>(std::size(kMenuMinutes))) {
    Start(kMenuMinutes[AIndex]);
  } else {
    Cancel();
  }
}

void TWindowSleep::Start(double AMinutes) {
  End();
  if (!FWindow.Playing()) FWindow.btnBegin->Click();
  if (!FWindow.Playing()) return;
  // The noise plays already: nothing of a prefill is left to fade in advance.
  FTimer.emplace(AMinutes, SleepTimer::Chain{*FWindow.wp1, *FWindow.amp1, *FWindow.out1}, 0, kBlockFrames,
                 FTimeScale);
  FMinutes = AMinutes;
  const MessageWait::TimePoint now = FMessages.Owner().Now();
  FTimer->Start(now);
  FTimer->Update(now);
  FWindow.SetCaption(TitleFor(FTitle, SecondsLeft(now)));
  Schedule(now);
}

void TWindowSleep::Cancel() { End(); }

void TWindowSleep::End() {
  FMessages.KillTimer(kTickTimer);
  if (!FTimer) return;
  FTimer.reset();
  FMinutes.reset();
  // The bar's level again, for the noise that plays on or for the next start.
  FWindow.amp1->CancelFade();
  FWindow.SetCaption(FTitle);
}

double TWindowSleep::SecondsLeft(MessageWait::TimePoint ANow) const {
  return std::chrono::duration<double>(FTimer->Deadline() - ANow).count() * FTimeScale;
}

std::string TWindowSleep::TitleFor(const std::string& ATitle, double ASecondsLeft) {
  const long minutes = std::max(0L, static_cast<long>(std::ceil(ASecondsLeft / 60 - 1e-9)));
  return ATitle + " \u2013 stops in " + std::to_string(minutes) + " min";
}

void TWindowSleep::Tick() {
  FMessages.KillTimer(kTickTimer);
  if (!FTimer) return;
  const MessageWait::TimePoint now = FMessages.Owner().Now();
  if (FTimer->Over(now, FWindow.Playing())) {
    FStopping = true;
    // Stops as the button does; the output holds only the fade's silence by now.
    if (FWindow.Playing()) FWindow.btnBegin->Click();
    FStopping = false;
    End();
    return;
  }
  FWindow.SetCaption(TitleFor(FTitle, SecondsLeft(now)));
  Schedule(now);
}

void TWindowSleep::Schedule(MessageWait::TimePoint ANow) {
  // The next of: the fade's start, the look for its end, the next minute of the title.
  MessageWait::TimePoint due = std::min(FTimer->Update(ANow), FTimer->NextLook(ANow));
  const double left = SecondsLeft(ANow);
  if (left > 0) {
    const double nextMinute = std::ceil(left / 60 - 1e-9) - 1;  // the title's next number, in minutes
    const auto change = FTimer->Deadline() - std::chrono::duration_cast<SleepTimer::Duration>(
                                                 std::chrono::duration<double>(nextMinute * 60 / FTimeScale));
    due = std::min(due, change);
  }
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - ANow).count();
  const auto ms = static_cast<std::uint32_t>(std::clamp<long long>(wait + 1, kMinTickMs, 24LL * 3600 * 1000));
  FMessages.SetTimer(kTickTimer, ms);
}

}  // namespace sib
