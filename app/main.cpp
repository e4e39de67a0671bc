// sibilon: the program's entry. Reads the start options (player/start_options.h), then runs the
// start-up steps of start_up.h with the main window TForm1 in a real window and applies the options
// to it. Exit codes: 0 once the loop has ended (and after --help or --version), 1 when the start
// failed (after the error has been shown, or printed when there is no display to show it on) or when
// there is no graphical desktop, 2 for options it does not understand.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "app/forms_start_up.h"
#include "app/main_form.h"
#include "app/window_mpris.h"
#include "app/window_options.h"
#include "app/window_sleep.h"
#include "app/window_values.h"
#include "controls/fill_clipboard.h"
#include "platform/desktop/form_accessibility.h"
#include "platform/desktop/running_instance.h"
#include "platform/ui/sdl_host.h"
#include "player/start_options.h"

namespace {

constexpr int kExitBadUse = 2;

bool Set(const char* AName) {
  const char* value = std::getenv(AName);
  return value && *value;
}

// A desktop to open the window on: an X or a Wayland display, or SDL's window without a screen,
// which only tests ask for (SDL_VIDEODRIVER=offscreen or dummy).
bool HasDesktop() {
  if (Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const std::string_view wanted = driver ? driver : "";
  return wanted == "offscreen" || wanted == "dummy";
}

// How many times faster the sleep timer's minutes pass: a seam for the tests, which cannot wait a
// quarter of an hour for its end. 1 unless SIB_TEST_SLEEP_CLOCK_SCALE names a larger number.
double SleepClockScale() {
  const char* text = std::getenv("SIB_TEST_SLEEP_CLOCK_SCALE");
  if (!text || !*text) return 1;
  char* end = nullptr;
  const double scale = std::strtod(text, &end);
  return *end == '\0' && scale >= 1 ? scale : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sib;
  const WindowArguments arguments = ParseWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!arguments.Error.empty()) {
    std::cerr << "sibilon: " << arguments.Error << "\n\n" << WindowUsage();
    return kExitBadUse;
  }
  const WindowOptions& options = arguments.Options;
  if (options.Help) {
    std::cout << WindowUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << VersionLine("sibilon") << '\n';
    return 0;
  }
  if (!HasDesktop()) {
    std::cerr << "sibilon: needs a graphical desktop, and neither DISPLAY nor WAYLAND_DISPLAY is set\n";
    return kExitStartFailed;
  }
  // One window at a time: a window that runs on the session bus already is brought to the front and
  // takes the options; without a bus, or with nobody on it, this start opens a window of its own.
  const std::vector<std::string> given(argv + 1, argv + argc);
  const InstanceAnswer handedOver = OpenInRunningInstance(given);
  if (handedOver.Result == InstanceAnswer::Taken) return 0;
  if (handedOver.Result == InstanceAnswer::Refused) {
    std::cerr << "sibilon: the window that runs already did not take the options: " << handedOver.Why << '\n';
    return kExitStartFailed;
  }
  // The window opens the recordings by bare name from the working folder. Started where none of them
  // is (from the desktop's menu or a terminal), the program moves to the data folder of its build or
  // its install; a folder with some of them stays, and a missing one is reported when it is opened.
  if (const auto folder = RecordingsFolder()) {
    std::error_code ignored;
    std::filesystem::current_path(*folder, ignored);
  }
  try {
    RegisterForm1Classes();
    SdlHost host;
    TSystemFillClipboard clipboard;  // the fills' copy and paste go to the desktop's clipboard
    SetFillClipboard(&clipboard);
    TApplication application(host);
    // Media keys, the desktop's sound menu and scripts reach the window through the session bus. The
    // control goes before the application and its window; a window that goes first ends it.
    // Screen readers read and work the window over the accessibility bus, while the desktop says
    // that one listens.
    std::unique_ptr<TWindowMpris> desktopControl;
    std::unique_ptr<TFormAccessibility> accessibility;
    TFormsStartUp startUp(application, [&] {
      TForm1& window = *application.CreateForm<TForm1>(Form1Description());
      desktopControl = std::make_unique<TWindowMpris>(window, application.Loop());
      accessibility = std::make_unique<TFormAccessibility>(window, application.Loop());
      TWindowSleep& sleep = *NewComponent<TWindowSleep>(window, window, SleepClockScale());
      desktopControl->OnOpen = [&window, &sleep](const std::vector<std::string>& AArguments) {
        const WindowArguments later = ParseWindowArguments(AArguments);
        if (later.Error.empty()) ApplyWindowOptions(window, sleep, later.Options);
        return later.Error;
      };
      ApplyWindowOptions(window, sleep, options);
    });
    return RunApplication(startUp);
  } catch (...) {
    std::cerr << "sibilon: " << FrameworkError(std::current_exception()).Message() << '\n';
    return kExitStartFailed;
  }
}
