// sibilon: the program's entry. Runs the start-up steps of start_up.h with the main window TForm1 in a
// real window; the exit code is 0 once the loop has ended, 1 when the start failed (after the error
// has been shown, or printed when there is no display to show it on).
#include <filesystem>
#include <iostream>

#include "app/forms_start_up.h"
#include "app/main_form.h"
#include "controls/fill_clipboard.h"
#include "platform/core/data_folders.h"
#include "platform/ui/sdl_host.h"

int main() {
  using namespace sib;
  // The window opens the recordings by bare name from the working folder. Started where they are not
  // (from a terminal, say), the program moves to the data folder of its build or its install.
  if (const auto folder = FolderHolding("Pink.wav")) {
    std::error_code ignored;
    std::filesystem::current_path(*folder, ignored);
  }
  try {
    RegisterForm1Classes();
    SdlHost host;
    TSystemFillClipboard clipboard;  // the fills' copy and paste go to the desktop's clipboard
    SetFillClipboard(&clipboard);
    TApplication application(host);
    TFormsStartUp startUp(application, [&] { application.CreateForm<TForm1>(Form1Description()); });
    return RunApplication(startUp);
  } catch (...) {
    std::cerr << "sibilon: " << FrameworkError(std::current_exception()).Message() << '\n';
    return kExitStartFailed;
  }
}
