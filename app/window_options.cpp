#include "app/window_options.h"

#include <algorithm>

namespace sib {

void ApplyWindowOptions(TForm1& AWindow, TWindowSleep& ASleep, const WindowOptions& AOptions) {
  if (AOptions.Noise) {
    const std::vector<std::string> names = NoiseNames();
    const auto found = std::find(names.begin(), names.end(), *AOptions.Noise);
    TAdvSmoothSpinnerColumns* columns = AWindow.spNoise->Columns();
    if (found != names.end() && columns->Count() > 0) {
      TAdvSmoothSpinnerColumn* column = columns->Items(0);
      column->ScrollToValue(column->RangeFrom() + static_cast<double>(found - names.begin()), false, 0);
    }
  }
  if (AOptions.Level) AWindow.tbVol->SetPosition(*AOptions.Level);
  if (AOptions.SleepMinutes) {
    ASleep.Start(*AOptions.SleepMinutes);
  } else if (AOptions.Play && !AWindow.Playing()) {
    AWindow.btnBegin->Click();
  }
}

}  // namespace sib
