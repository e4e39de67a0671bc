// The program's window as it runs, for the tests: TForm1 from its stored description in a forms
// application on the headless host, with the real player, amplifier and output on the simulated
// device. The media timer stands still, so the player's clock ticks only when a test makes a block.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "app/forms_start_up.h"
#include "app/main_form.h"
#include "platform/timer/media_timer.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/audio/wave_out.h"
#include "platform/ui/application.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/headless_host.h"

namespace sib::test {

// Runs the test in a folder (the player opens its recordings by bare name) and goes back after.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::filesystem::path& AFolder) : FPrevious(std::filesystem::current_path()) {
    std::filesystem::current_path(AFolder);
  }
  ~WorkingFolder() { std::filesystem::current_path(FPrevious); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  std::filesystem::path FPrevious;
};

// A folder of its own holding copies of some of the recordings.
class RecordingsFolder {
 public:
  explicit RecordingsFolder(std::initializer_list<const char*> ANames) {
    static int counter = 0;
    FPath = std::filesystem::temp_directory_path() /
            ("sib-app-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(FPath);
    for (const char* name : ANames) std::filesystem::copy_file(std::filesystem::path(SIB_DATA_DIR) / name, FPath / name);
  }
  ~RecordingsFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

// The process's threads that are not on their way out. A thread that has just been joined may still be
// listed for a moment while the kernel finishes it; it is marked exiting (PF_EXITING in its flags) by then.
inline int ThreadCount() {
  constexpr unsigned long kExiting = 0x4;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) continue;  // gone while we looked
    std::istringstream fields(text.substr(nameEnd + 1));
    char state = 0;
    long ignored = 0;
    unsigned long flags = 0;
    fields >> state >> ignored >> ignored >> ignored >> ignored >> ignored >> flags;
    if (state != 'Z' && state != 'X' && !(flags & kExiting)) ++count;
  }
  return count;
}

class WindowFixture : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kRate = 44100;
  static constexpr std::uint32_t kBlockFrames = 1024;

  WindowFixture() { RegisterForm1Classes(); }

  template <class F = TForm1>
  F* Create() {
    return app_.CreateForm<F>(Form1Description());
  }
  // What the player's clock does on each tick, and the device playing for as long as a block lasts.
  void Blocks(int count) { Blocks(*Window(), count); }
  void Blocks(TForm1& window, int count) {
    for (int i = 0; i < count; ++i) {
      window.wp1->ProcessBuffer();
      ++blocks_;
      const auto due = std::chrono::nanoseconds(blocks_ * kBlockFrames * 1'000'000'000 / kRate);
      sim_.advance(due - (sim_.now() - start_));
      window.out1->WaitUntilDeviceIdle();
      loop_.ProcessMessages();
    }
  }
  // Left press and release at a point of the window.
  void ClickAt(TPoint At) {
    Window()->Events().HostMouseMove({}, At);
    Window()->Events().HostMouseDown(mbLeft, {ssLeft}, At);
    Window()->Events().HostMouseUp(mbLeft, {}, At);
  }
  // A noise chosen on the spinner without a glide, as a person's choice ends: reported at once.
  static void ChooseNoise(TForm1& window, int index) {
    window.spNoise->Columns()->Items(0)->ScrollToValue(index, false, 0);
  }
  // The level track bar's thumb dragged by the mouse from its place to `x` pixels into the bar and
  // let go there.
  void DragThumbTo(TForm1& window, int x) {
    TAdvSmoothTrackBar& bar = *window.tbVol;
    const TGPRectF thumb = bar.GetSliderRect();
    const int y = static_cast<int>(thumb.Y + thumb.Height / 2);
    const TPoint from = bar.ClientToForm({static_cast<int>(thumb.X + thumb.Width / 2), y});
    const TPoint to = bar.ClientToForm({x, y});
    window.Events().HostMouseMove({}, from);
    window.Events().HostMouseDown(mbLeft, {ssLeft}, from);
    window.Events().HostMouseMove({ssLeft}, to);
    window.Events().HostMouseUp(mbLeft, {}, to);
  }
  // The main window: the first one created.
  TForm1* Window() const { return static_cast<TForm1*>(app_.MainForm()); }
  static TPoint Middle(const TControl* AControl) {
    return AControl->ClientToForm({AControl->Width() / 2, AControl->Height() / 2});
  }

  Application loop_;
  ManualTickSource ticks_;
  ScopedMediaTickSource scopedTicks_{ticks_};
  SimulatedWaveOut sim_;
  ScopedWaveOutDriver driver_{sim_};
  const std::chrono::nanoseconds start_ = sim_.now();
  std::int64_t blocks_ = 0;
  HeadlessHost host_;
  TApplication app_{host_, loop_};
};

}  // namespace sib::test
