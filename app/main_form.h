// TForm1, the program's one window: the noise window (noise_window.h) on a form holding the controls
// and the pipeline its stored description (form1.txt) creates.
#pragma once

#include <string_view>

#include "app/noise_form.h"
#include "app/noise_window.h"
#include "controls/led_label.h"
#include "controls/smooth_button.h"
#include "controls/smooth_label.h"
#include "controls/smooth_panel.h"
#include "controls/spinner.h"
#include "controls/track_bar.h"
#include "platform/ui/std_controls.h"

namespace sib {

struct TWindowControls {
  using TSmoothButton = TAdvSmoothButton;
  using TSmoothPanel = TAdvSmoothPanel;
  using TSmoothLabel = TAdvSmoothLabel;
  using TLedLabel = TAdvSmoothLedLabel;
  using TSpinner = TAdvSmoothSpinner;
  using TSpinnerRangeType = TAdvSmoothSpinnerRangeType;
  using TTrackBar = TAdvSmoothTrackBar;
  using TPlainButton = TButton;
  using TPlainLabel = TLabel;
};

class TForm1 : public TNoiseWindow<TNoiseFormMembers<TWindowControls>> {
  SIB_CLASS(TForm1, TForm)
 public:
  using TNoiseWindow::TNoiseWindow;
  SIB_NOISE_FORM(TForm1)
};

// The window's stored description.
std::string_view Form1Description();

// Registers the classes the description names (once is enough; again is harmless).
void RegisterForm1Classes();

}  // namespace sib
