#include "app/main_form.h"

namespace sib {

void RegisterForm1Classes() {
  RegisterInterimControls();
  RegisterClasses<TForm1, TALAudioOut, TALWavePlayer, TALAmplifier>();
}

}  // namespace sib
