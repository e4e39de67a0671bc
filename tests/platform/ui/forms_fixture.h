// What the control-tree tests share: a message loop on simulated time, the headless host, a
// forms application over both, and probe controls that write what reaches them into one log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/form.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/headless_host.h"

namespace sib::test {

using Log = std::vector<std::string>;

inline std::string joined(const Log& log) {
  std::string text;
  for (const std::string& entry : log) text += (text.empty() ? "" : " ") + entry;
  return text;
}

// A windowed control that logs its input ("B.down(10,10)", "B.enter", ...) and paints its Color,
// except for a transparent top-left corner of `HoleSize` pixels.
class TProbe : public TCustomControl {
  SIB_CLASS(TProbe, TCustomControl)
 public:
  explicit TProbe(TComponent* AOwner) : TCustomControl(AOwner) { SetBounds(0, 0, 20, 20); }

  Log* log = nullptr;
  bool logMoves = false;
  bool usesWheel = false;
  unsigned dialogCode = 0;
  int holeSize = 0;
  std::function<void(std::uint32_t)> onTimer;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    write(std::string(Shift.Contains(ssDouble) ? "down2" : "down") + button(Button) + at(X, Y));
    TCustomControl::MouseDown(Button, Shift, X, Y);
  }
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    write("up" + button(Button) + at(X, Y));
    TCustomControl::MouseUp(Button, Shift, X, Y);
  }
  void MouseMove(TShiftState Shift, int X, int Y) override {
    if (logMoves) write("move" + at(X, Y));
    TCustomControl::MouseMove(Shift, X, Y);
  }
  void Click() override {
    write("click");
    TCustomControl::Click();
  }
  void DblClick() override {
    write("dbl");
    TCustomControl::DblClick();
  }
  void MouseEnter() override {
    write("enter");
    TCustomControl::MouseEnter();
  }
  void MouseLeave() override {
    write("leave");
    TCustomControl::MouseLeave();
  }
  void MouseCaptureLost() override { write("lost"); }
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override {
    write("wheel(" + std::to_string(WheelDelta) + ")");
    return usesWheel || TCustomControl::DoMouseWheel(Shift, WheelDelta, MousePos);
  }
  void KeyDown(TKey& Key, TShiftState Shift) override {
    write("key" + std::to_string(Key));
    TCustomControl::KeyDown(Key, Shift);
  }
  void KeyUp(TKey& Key, TShiftState Shift) override {
    write("keyup" + std::to_string(Key));
    TCustomControl::KeyUp(Key, Shift);
  }
  void KeyPress(char32_t& Key) override {
    write("char" + std::to_string(static_cast<unsigned>(Key)));
    TCustomControl::KeyPress(Key);
  }
  void DoEnter() override {
    write("focus");
    TCustomControl::DoEnter();
  }
  void DoExit() override {
    write("blur");
    TCustomControl::DoExit();
  }
  unsigned GetDialogCode() override { return dialogCode; }
  void Timer(std::uint32_t Id) override {
    if (onTimer) onTimer(Id);
  }

 protected:
  void Paint(TCanvas& Canvas) override {
    // Leaves the hole's pixels untouched: what lies under them shows.
    Canvas.FillRect({holeSize, 0, Width(), Height()}, Color());
    Canvas.FillRect({0, holeSize, holeSize, Height()}, Color());
  }

 private:
  static std::string button(TMouseButton b) { return b == mbLeft ? "" : b == mbRight ? "R" : "M"; }
  static std::string at(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }
  void write(const std::string& what) {
    if (log) log->push_back(Name() + "." + what);
  }
};

class FormsTest : public ::testing::Test {
 protected:
  std::shared_ptr<SimulatedTime> time = std::make_shared<SimulatedTime>();
  Application loop{Application::Options{.wait = time, .timerLimit = kDefaultTimerLimit}};
  HeadlessHost host;
  TApplication app{host, loop};
  Log log;

  // A shown form of the given client size whose mouse events are logged as "form.*".
  TComponentPtr<TForm> makeForm(int width, int height) {
    auto form = MakeComponent<TForm>();
    form->SetName("form");
    form->SetClientWidth(width);
    form->SetClientHeight(height);
    form->OnMouseEnter = TNotifyEvent([this](TObject*) { log.push_back("form.enter"); });
    form->OnMouseLeave = TNotifyEvent([this](TObject*) { log.push_back("form.leave"); });
    form->OnMouseDown = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("form.down"); });
    form->OnMouseUp = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("form.up"); });
    form->OnClick = TNotifyEvent([this](TObject*) { log.push_back("form.click"); });
    return form;
  }

  TProbe* probe(TForm& owner, TWinControl& parent, const std::string& name, TRect bounds) {
    auto* p = NewComponent<TProbe>(owner);
    p->SetName(name);
    p->SetParent(&parent);
    p->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    p->log = &log;
    return p;
  }

  HeadlessWindow& window() { return *host.LastWindow(); }
  IFormWindowEvents& events() { return window().Events(); }
};

}  // namespace sib::test
