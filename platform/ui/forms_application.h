// TApplication: the program's forms over the message loop (application.h) and a window host
// (form_host.h). One lives at a time, on the main thread; forms find it through
// TApplication::Current().
//
//   HeadlessHost host;                       // or the SDL host
//   TApplication app(host);
//   app.Initialize();
//   app.MainFormOnTaskBar = true;
//   app.Title = "Sibilon";
//   try {
//     auto form = app.CreateForm<TForm1>(description);   // the first form becomes MainForm
//     app.Run();                                          // shows MainForm, runs until Terminate
//   } catch (const Exception& e) {
//     app.ShowException(e);
//   }
//
// While it lives, an exception escaping a message handler or an event handler run by the loop is
// shown in a modal message box (ShowException) and the loop goes on. A modal box first ends every
// form's capture, so that a drag under way gets its MouseLeave and ends.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/ui/form_host.h"

namespace sib {

class TApplication {
 public:
  // On the message loop of Application::Instance() / of `loop`.
  explicit TApplication(IFormHost& host);
  TApplication(IFormHost& host, Application& loop);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The live application; raises EInvalidOperation "No application" when there is none.
  static TApplication& Current();
  static TApplication* CurrentOrNull();

  IFormHost& Host() const { return host_; }
  Application& Loop() const { return loop_; }

  void Initialize() {}
  bool MainFormOnTaskBar = true;
  std::string Title;

  // Creates a form (see CreateForm in form.h); the application owns it. The first form created this
  // way becomes MainForm. A failure leaves nothing behind and propagates.
  template <class F>
  F* CreateForm(std::string_view Text) {
    TComponentPtr<F> form = ::sib::CreateForm<F>(Text);
    F* raw = form.get();
    Adopt(TComponentPtr<TForm>(form.release()));
    return raw;
  }
  TForm* MainForm() const { return mainForm_; }
  // Forms destroy themselves from their owner; the application lets go of one it holds.
  void FormDestroyed(TForm* Form);

  // Shows MainForm (when there is one and it is not shown) and runs the message loop until
  // Terminate; the loop ends by itself when the main form closes.
  void Run();
  void Terminate() { loop_.Terminate(); }
  bool Terminated() const { return loop_.Terminated(); }
  // Handles what is queued and due without waiting (see Application::ProcessMessages).
  void ProcessMessages() { loop_.ProcessMessages(); }

  // A modal box with the error's message and the title as caption.
  void ShowException(const std::exception& E);
  void HandleException(const std::exception& E) { ShowException(E); }
  // A modal message box; every form's capture ends first.
  void MessageBox(const std::string& Text, const std::string& Caption, TMessageBoxKind Kind);

  // The live forms, in creation order (every TForm registers itself).
  const std::vector<TForm*>& Forms() const { return forms_; }

 private:
  friend class TForm;
  void Adopt(TComponentPtr<TForm> Form);
  void FormCreated(TForm* Form);
  void FormGone(TForm* Form);

  IFormHost& host_;
  Application& loop_;
  TApplication* previous_;
  std::vector<TComponentPtr<TForm>> owned_;
  std::vector<TForm*> forms_;
  TForm* mainForm_ = nullptr;
};

}  // namespace sib
