// What the main window does: its handlers and the one flag they share, written against the
// members of the window and the operations it uses on them, whatever their classes. TForm1 runs them
// on its controls and pipeline components; the tests run them on stand-ins that record every write.
//
// TParts is the class that holds the members. It supplies:
//   btnBegin  the start button: SetCaption(text), SetColor(colour)
//   ledVol    the level readout: Caption()->SetValue(number)
//   wp1       the player: SetFileName(text), SetEnabled(bool), SetPaused(bool), Pause()
//   amp1      the amplifier: SetCoefficient(double)
//   out1      the output: SetEnabled(bool)
//   TSpinnerRangeType, the kind of the spinner's values in its selection event;
//   Application(), whose Terminate() ends the message loop, and OpenAddress(address).
//
// OnPlayingChanged, when set, is told after each start and stop, before OnNoiseChanged.
// OnNoiseChanged, when set, is told after each handler that changed what the window shows of the
// noise (started or stopped, the level, the noise chosen), so that others can follow the window.
//
// Every handler runs on the main thread. None checks anything: a component that refuses a value
// raises, and the message loop shows the error.
#pragma once

#include <functional>
#include <string>

#include "app/window_values.h"
#include "platform/components/class_info.h"

namespace sib {

template <class TParts>
class TNoiseWindow : public TParts {
 public:
  using TParts::TParts;
  using TSpinnerRangeType = typename TParts::TSpinnerRangeType;

  // The end of the window's own loading, which comes before any of its components' Loaded. The player
  // starts as it finishes loading, before FormCreate has set the gain and silenced the output, and the
  // output is enabled by default: silenced here, no sample reaches the device before the first Start.
  void WindowLoaded() { out1->SetEnabled(false); }

  // The window's creation event, after every component has been loaded.
  void FormCreate(TObject* /*Sender*/) {
    amp1->SetCoefficient(kCreationGain);
    FPlaying = false;
    out1->SetEnabled(false);
  }

  // A noise choice switches the file in the running pipeline, or, while stopped, prepares the next
  // start; the output, the pause state and FPlaying are left alone. Other indexes do nothing.
  void spNoiseSelectedValueChanged(TObject* /*Sender*/, int /*Column*/, int SelectedCustomIndex,
                                   double /*SelectedValue*/, TSpinnerRangeType /*RangeType*/) {
    const std::optional<std::string> fileName = NoiseFileName(SelectedCustomIndex);
    if (!fileName) return;
    // The spinner shows the choice already, also when the player then fails to open its file.
    NoiseChanged();
    wp1->SetFileName(*fileName);
    wp1->SetEnabled(true);
  }

  // Serves both position events of the track bar, so that the readout and the level follow the thumb
  // however it moved (a click beside the thumb reports only the finished change). The readout is
  // written first.
  void tbVolPositionChanging(TObject* /*Sender*/, double Position) {
    ledVol->Caption()->SetValue(Position);
    amp1->SetCoefficient(static_cast<double>(static_cast<long double>(Position) * kGainPerUnit));
    NoiseChanged();
  }

  // On start the player leaves pause before the output is enabled; on stop the output is disabled
  // before the player pauses, so that the device plays out what it holds and then idles.
  void btnBeginClick(TObject* /*Sender*/) {
    FPlaying = !FPlaying;
    if (FPlaying) {
      wp1->SetPaused(false);
      out1->SetEnabled(true);
      btnBegin->SetColor(kBeginColorPlaying);
      btnBegin->SetCaption(kBeginCaptionPlaying);
    } else {
      out1->SetEnabled(false);
      btnBegin->SetCaption(kBeginCaptionStopped);
      btnBegin->SetColor(kBeginColorStopped);
      wp1->Pause();
    }
    if (OnPlayingChanged) OnPlayingChanged();
    NoiseChanged();
  }

  // Hovering lights the button only while stopped.
  void btnBeginMouseEnter(TObject* /*Sender*/) {
    if (!FPlaying) btnBegin->SetColor(kBeginColorHover);
  }
  void btnBeginMouseLeave(TObject* /*Sender*/) {
    if (!FPlaying) btnBegin->SetColor(kBeginColorStopped);
  }

  void btnZorvexClick(TObject* /*Sender*/) { this->OpenAddress(HomePage()); }

  void btnExitClick(TObject* /*Sender*/) { this->Application().Terminate(); }

  bool Playing() const { return FPlaying; }

  std::function<void()> OnPlayingChanged;
  std::function<void()> OnNoiseChanged;

  using TParts::amp1;
  using TParts::btnBegin;
  using TParts::ledVol;
  using TParts::out1;
  using TParts::wp1;

 private:
  void NoiseChanged() {
    if (OnNoiseChanged) OnNoiseChanged();
  }

  bool FPlaying = false;  // true while the noise is started by the start button
};

}  // namespace sib
