// TForm1, the program's one window: the noise window (noise_window.h) on a form holding the controls
// and the pipeline its stored description (form1.txt) creates.
#pragma once

#include <string_view>

#include "app/interim_controls.h"
#include "app/noise_form.h"
#include "app/noise_window.h"

namespace sib {

struct TWindowControls {
  using TSmoothButton = TInterimCaptionControl;
  using TSmoothPanel = TInterimPanel;
  using TSmoothLabel = TInterimCaptionControl;
  using TLedLabel = TInterimLedLabel;
  using TSpinner = TInterimSpinner;
  using TSpinnerRangeType = TInterimRangeType;
  using TTrackBar = TInterimTrackBar;
  using TPlainButton = TInterimCaptionControl;
  using TPlainLabel = TInterimCaptionControl;
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
