#include "app/main_form.h"

namespace sib {

void RegisterForm1Classes() {
  RegisterClasses<TForm1, TAdvSmoothPanel, TLabel, TAdvSmoothLabel, TAdvSmoothLedLabel, TButton, TAdvSmoothSpinner,
                  TAdvSmoothTrackBar, TAdvSmoothButton, TALAudioOut, TALWavePlayer, TFadingAmplifier>();
}

}  // namespace sib
