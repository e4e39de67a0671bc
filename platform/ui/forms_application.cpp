#include "platform/ui/forms_application.h"

#include <algorithm>

#include "platform/core/errors.h"

namespace sib {
namespace {

TApplication*& current() {
  static TApplication* application = nullptr;
  return application;
}

}  // namespace

TApplication::TApplication(IFormHost& host) : TApplication(host, Application::Instance()) {}

TApplication::TApplication(IFormHost& host, Application& loop) : host_(host), loop_(loop), previous_(current()) {
  current() = this;
  loop_.SetExceptionHandler([this](const std::exception& e) { ShowException(e); });
}

TApplication::~TApplication() {
  while (!owned_.empty()) {
    TComponentPtr<TForm> form = std::move(owned_.back());
    owned_.pop_back();
    form.reset();
  }
  for (TForm* form : forms_) form->FApplication = nullptr;
  loop_.SetExceptionHandler({});
  current() = previous_;
}

TApplication& TApplication::Current() {
  if (!current()) throw EInvalidOperation("No application");
  return *current();
}

TApplication* TApplication::CurrentOrNull() { return current(); }

void TApplication::Adopt(TComponentPtr<TForm> Form) {
  if (!mainForm_) mainForm_ = Form.get();
  owned_.push_back(std::move(Form));
}

void TApplication::FormCreated(TForm* Form) { forms_.push_back(Form); }

void TApplication::FormGone(TForm* Form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), Form), forms_.end());
  if (mainForm_ == Form) mainForm_ = nullptr;
  for (auto& owned : owned_)
    if (owned.get() == Form) owned.release();
  owned_.erase(std::remove_if(owned_.begin(), owned_.end(), [](const auto& f) { return !f; }), owned_.end());
}

void TApplication::FormDestroyed(TForm* Form) { FormGone(Form); }

void TApplication::Run() {
  if (mainForm_ && !mainForm_->Window()) mainForm_->Show();
  loop_.Run();
}

void TApplication::ShowException(const std::exception& E) { MessageBox(E.what(), Title, TMessageBoxKind::Error); }

void TApplication::MessageBox(const std::string& Text, const std::string& Caption, TMessageBoxKind Kind) {
  const std::vector<TForm*> forms = forms_;
  for (TForm* form : forms) form->CancelCapture();
  host_.MessageBox(Caption, Text, Kind);
}

}  // namespace sib
