#include "app/forms_start_up.h"

#include <vector>

namespace sib {

TFormsStartUp::TFormsStartUp(TApplication& AApplication, std::function<void()> ACreateMainForm)
    : FApplication(AApplication), FCreateMainForm(std::move(ACreateMainForm)) {
  FApplication.Loop().SetExceptionHandler(
      [&application = FApplication](const std::exception& E) { application.ShowException(FrameworkError(E)); });
}

void TFormsStartUp::Initialize() { FApplication.Initialize(); }

void TFormsStartUp::SetMainFormOnTaskBar(bool Value) { FApplication.MainFormOnTaskBar = Value; }

void TFormsStartUp::SetTitle(const std::string& Value) { FApplication.Title = Value; }

void TFormsStartUp::CreateMainForm() { FCreateMainForm(); }

void TFormsStartUp::Run() { FApplication.Run(); }

void TFormsStartUp::DestroyForms() {
  // Newest first, as an owner destroys what it owns; each lets go of the application as it goes.
  const std::vector<TForm*> forms = FApplication.Forms();
  for (auto form = forms.rbegin(); form != forms.rend(); ++form) FreeComponent(*form);
}

void TFormsStartUp::ShowException(const Exception& E) { FApplication.ShowException(E); }

}  // namespace sib
