// The main window's class, over the classes of its controls: the members its stored description fills
// (the controls and the three pipeline components), the handlers of noise_window.h that the
// description binds by name, and what happens when loading ends.
//
// TControls names the control classes:
//   TSmoothButton (btnBegin), TSmoothPanel (pn1), TSmoothLabel (AdvSmoothLabel1, AdvSmoothLabel2),
//   TLedLabel (ledVol), TSpinner (spNoise) with its TSpinnerRangeType, TTrackBar (tbVol),
//   TPlainButton (btnExit, btnZorvex), TPlainLabel (Label1).
//
// A window class is made on TNoiseWindow<TNoiseFormMembers<TControls>> and declares SIB_NOISE_FORM(Form)
// in its body: its published tables, and its Loaded, which runs TNoiseWindow::WindowLoaded.
#pragma once

#include <string>

#include "app/noise_window.h"
#include "audio/fading_amplifier.h"
#include "audio/audio_out.h"
#include "audio/wave_player.h"
#include "platform/ui/form.h"
#include "platform/ui/forms_application.h"

namespace sib {

template <class TControls>
class TNoiseFormMembers : public TForm {
 public:
  using TSpinnerRangeType = typename TControls::TSpinnerRangeType;

  explicit TNoiseFormMembers(TComponent* AOwner) : TForm(AOwner) {}

  TApplication& Application() const { return TApplication::Current(); }
  // Through the application's host, fire and forget, as the desktop's "open": the result is ignored.
  void OpenAddress(const std::string& Address) const { Application().OpenUrl(Address); }

  // The members as the window declares them (the description creates them in its own order).
  typename TControls::TSmoothButton* btnBegin = nullptr;
  typename TControls::TPlainButton* btnExit = nullptr;
  typename TControls::TSmoothPanel* pn1 = nullptr;
  typename TControls::TPlainButton* btnZorvex = nullptr;
  typename TControls::TPlainLabel* Label1 = nullptr;
  TALAudioOut* out1 = nullptr;
  typename TControls::TSpinner* spNoise = nullptr;
  typename TControls::TSmoothLabel* AdvSmoothLabel1 = nullptr;
  typename TControls::TTrackBar* tbVol = nullptr;
  typename TControls::TSmoothLabel* AdvSmoothLabel2 = nullptr;
  typename TControls::TLedLabel* ledVol = nullptr;
  TALWavePlayer* wp1 = nullptr;
  TFadingAmplifier* amp1 = nullptr;  // fades for the sleep timer (window_sleep.h)
};

// The published tables of a window class `Form`.
template <class Form>
TFieldList NoiseFormFields() {
  return {
      field("btnBegin", &Form::btnBegin),   field("btnExit", &Form::btnExit),
      field("pn1", &Form::pn1),             field("btnZorvex", &Form::btnZorvex),
      field("Label1", &Form::Label1),       field("out1", &Form::out1),
      field("spNoise", &Form::spNoise),     field("AdvSmoothLabel1", &Form::AdvSmoothLabel1),
      field("tbVol", &Form::tbVol),         field("AdvSmoothLabel2", &Form::AdvSmoothLabel2),
      field("ledVol", &Form::ledVol),       field("wp1", &Form::wp1),
      field("amp1", &Form::amp1),
  };
}

template <class Form>
TMethodList NoiseFormMethods() {
  return {
      method("FormCreate", &Form::FormCreate),
      method("spNoiseSelectedValueChanged", &Form::spNoiseSelectedValueChanged),
      method("tbVolPositionChanging", &Form::tbVolPositionChanging),
      method("btnBeginClick", &Form::btnBeginClick),
      method("btnBeginMouseEnter", &Form::btnBeginMouseEnter),
      method("btnBeginMouseLeave", &Form::btnBeginMouseLeave),
      method("btnZorvexClick", &Form::btnZorvexClick),
      method("btnExitClick", &Form::btnExitClick),
  };
}

#define SIB_NOISE_FORM(Form)                                                              \
  static ::sib::TFieldList PublishedFields() { return ::sib::NoiseFormFields<Form>(); }    \
  static ::sib::TMethodList PublishedMethods() { return ::sib::NoiseFormMethods<Form>(); } \
  void Loaded() override {                                                                \
    ::sib::TForm::Loaded();                                                               \
    this->WindowLoaded();                                                                 \
  }

}  // namespace sib
