// The window's start options (player/start_options.h) applied to the window, as a person would set
// them: the spinner turned to the noise, the level bar moved (the readout and the gain follow), then
// the sleep timer started or the noise started. Used at the start and for the options of a second
// start handed over through the session bus. Main thread.
#pragma once

#include "app/main_form.h"
#include "app/window_sleep.h"
#include "player/start_options.h"

namespace sib {

void ApplyWindowOptions(TForm1& AWindow, TWindowSleep& ASleep, const WindowOptions& AOptions);

}  // namespace sib
