// sibilon: the program's entry. Runs the start-up steps of start_up.h with the main window TForm1 in a
// real window; the exit code is 0 once the loop has ended, 1 when the start failed (after the error
// has been shown, or printed when there is no display to show it on).
#include <filesystem>
#include <iostream>

#include "app/forms_start_up.h"
#include "app/main_form.h"
#include "app/window_mpris.h"
#include "app/window_values.h"
#include "controls/fill_clipboard.h"
#include "platform/desktop/form_accessibility.h"
#include "platform/ui/sdl_host.h"

int main() {
  using namespace sib;
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
    });
    return RunApplication(startUp);
  } catch (...) {
    std::cerr << "sibilon: " << FrameworkError(std::current_exception()).Message() << '\n';
    return kExitStartFailed;
  }
}
