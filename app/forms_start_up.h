// The start-up steps (start_up.h) on the forms application: the main window created from its stored
// description, errors shown in the application's message box, and the forms destroyed on failure.
#pragma once

#include <functional>

#include "app/start_up.h"
#include "platform/ui/forms_application.h"

namespace sib {

class TFormsStartUp : public IStartUpHost {
 public:
  // ACreateMainForm creates the main window through AApplication. While the application lives, the
  // loop shows an error raised by a handler as FrameworkError makes it: with its text, or
  // "Unexpected error", never an empty box.
  TFormsStartUp(TApplication& AApplication, std::function<void()> ACreateMainForm);

  void Initialize() override;
  void SetMainFormOnTaskBar(bool Value) override;
  void SetTitle(const std::string& Value) override;
  void CreateMainForm() override;
  void Run() override;
  void DestroyForms() override;
  void ShowException(const Exception& E) override;

 private:
  TApplication& FApplication;
  std::function<void()> FCreateMainForm;
};

}  // namespace sib
