#include "app/window_mpris.h"

#include <algorithm>

namespace sib {

namespace {

// The readout shows the level on the track bar's scale, 0 to 100; the bus speaks of 0.0 to 1.0.
constexpr double kLevelsPerVolume = 100;

TAdvSmoothSpinnerColumn* NoiseColumn(const TForm1& AWindow) {
  TAdvSmoothSpinnerColumns* columns = AWindow.spNoise->Columns();
  return columns->Count() > 0 ? columns->Items(0) : nullptr;
}

}  // namespace

// Tells the control when the window is destroyed before it. The news comes while the window is
// being taken apart: only its address is left.
class TWindowMprisWatch : public TComponent {
  SIB_CLASS(TWindowMprisWatch, TComponent)
 public:
  explicit TWindowMprisWatch(TComponent* AOwner) : TComponent(AOwner) {}

  TWindowMpris* Control = nullptr;

  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && Control && AComponent == Control->FWindow) Control->WindowGone();
  }
};

TWindowMpris::TWindowMpris(TForm1& AWindow, Application& ALoop, std::optional<std::string> AAddress,
                           std::function<void(const std::string&)> AOnNotice)
    : FWindow(&AWindow), FPosts(ALoop, [](Message&) {}), FWatch(MakeComponent<TWindowMprisWatch>()) {
  FWatch->Control = this;
  FWatch->FreeNotification(FWindow);
  MprisService::Options options = MprisService::Options::ThisProgram();
  options.CanRaise = true;
  options.Address = std::move(AAddress);
  options.OnNotice = std::move(AOnNotice);
  options.OnOpen = [this](std::vector<std::string> arguments, MprisDone done) {
    FPosts.Post([this, arguments = std::move(arguments), done = std::move(done)]() mutable {
      const MprisDone answer = std::move(done);  // answered as this ends
      Open(arguments, answer);
    });
  };
  FService = std::make_unique<MprisService>(
      std::move(options), StateOf(AWindow), [this](MprisCommand command, double value, MprisDone done) {
        // The bus's thread: the command waits its turn on the main thread, with its answer.
        FPosts.Post([this, command, value, done = std::move(done)]() mutable {
          const MprisDone answer = std::move(done);  // answered as this ends, also when the command raises
          try {
            Act(command, value);
          } catch (const std::exception& error) {
            answer->Refuse(error.what());
            throw;
          }
        });
      });
  FWindow->OnNoiseChanged = [this] { FService->Publish(StateOf(*FWindow)); };
}

TWindowMpris::~TWindowMpris() {
  if (!FWindow) return;
  FWindow->OnNoiseChanged = nullptr;
  FService.reset();
  FWatch->RemoveFreeNotification(FWindow);
}

void TWindowMpris::WindowGone() {
  FService.reset();
  FWindow = nullptr;
}

MprisState TWindowMpris::StateOf(const TForm1& AWindow) {
  MprisState state;
  state.Playing = AWindow.Playing();
  state.Volume = std::clamp(AWindow.ledVol->Caption()->Value() / kLevelsPerVolume, 0.0, 1.0);
  if (const TAdvSmoothSpinnerColumn* column = NoiseColumn(AWindow)) {
    const int index = column->SelectedCustomIndex();
    const TAdvSmoothSpinnerCustomItems* items = column->CustomItems();
    if (index >= 0 && index < items->Count()) state.Title = items->Items(index)->Text();
    state.Track = index;
    state.CanGoNext = index < column->GetRangeCount();
    state.CanGoPrevious = index > 0;
  }
  return state;
}

void TWindowMpris::Open(const std::vector<std::string>& AArguments, const MprisDone& ADone) {
  if (!FWindow) return;
  Act(MprisCommand::Raise, 0);
  if (!OnOpen) return;
  try {
    if (const std::string refusal = OnOpen(AArguments); !refusal.empty()) ADone->Refuse(refusal);
  } catch (const std::exception& error) {
    ADone->Refuse(error.what());
    throw;
  }
}

void TWindowMpris::Act(MprisCommand ACommand, double AValue) {
  if (!FWindow) return;
  TForm1& window = *FWindow;
  switch (ACommand) {
    case MprisCommand::Raise:
      window.Show();
      if (IFormWindow* shown = window.Window()) shown->Activate();
      break;
    case MprisCommand::Quit:
      window.btnExit->Click();
      break;
    case MprisCommand::Play:
      if (!window.Playing()) window.btnBegin->Click();
      break;
    case MprisCommand::Pause:
    case MprisCommand::Stop:
      if (window.Playing()) window.btnBegin->Click();
      break;
    case MprisCommand::PlayPause:
      window.btnBegin->Click();
      break;
    case MprisCommand::Next:
    case MprisCommand::Previous:
      if (TAdvSmoothSpinnerColumn* column = NoiseColumn(window)) {
        // Past the ends there is nothing to move to (CanGoNext and CanGoPrevious say so).
        const MprisState state = StateOf(window);
        if (ACommand == MprisCommand::Next && state.CanGoNext) column->Next(false);
        if (ACommand == MprisCommand::Previous && state.CanGoPrevious) column->Previous(false);
      }
      break;
    case MprisCommand::SetVolume:
      window.tbVol->SetPosition(AValue * kLevelsPerVolume);
      break;
  }
}

}  // namespace sib
