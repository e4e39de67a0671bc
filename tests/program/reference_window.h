// The main window made in this process from its stored description, on a headless host with a
// simulated device that nothing drives: the reference for the real window's pixels, the source of its
// controls' geometry, and what the repaint benchmark paints. Made on the calling thread, which becomes
// its main thread.
#pragma once

#include <filesystem>

#include "app/main_form.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/audio/wave_out.h"
#include "platform/timer/media_timer.h"
#include "platform/ui/application.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/headless_host.h"

namespace sib::test {

struct ReferenceWindow {
  Application loop;
  ManualTickSource ticks;
  ScopedMediaTickSource scopedTicks{ticks};
  SimulatedWaveOut device;
  ScopedWaveOutDriver driver{device};
  HeadlessHost host;
  TApplication application{host, loop};
  TForm1* form = nullptr;

  // The player opens its recordings by bare name: the window is made in `RecordingsFolder`.
  explicit ReferenceWindow(const std::filesystem::path& RecordingsFolder) {
    RegisterForm1Classes();
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(RecordingsFolder);
    form = application.CreateForm<TForm1>(Form1Description());
    std::filesystem::current_path(here);
    form->Show();
    form->PaintDirty();
  }
  // The window's image once everything pending is painted.
  TImageView Image() {
    form->PaintDirty();
    return form->Image();
  }
  // The middle of a control, in the window's client coordinates.
  static TPoint Middle(const TControl* AControl) {
    return AControl->ClientToForm({AControl->Width() / 2, AControl->Height() / 2});
  }
};

}  // namespace sib::test
