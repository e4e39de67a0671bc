// Mouse routing through the control tree: the control under the pointer, enter and leave across
// nested controls, the capture of a drag, click on release, double clicks, disabled controls, the
// wheel, and a drag ended early by a modal box or by the host.
#include <functional>

#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

// The form: panel P with child B, sibling C beside it, a disabled D below C.
//   P: form (10,10)-(110,110); B: form (20,20)-(60,60); C: (120,10)-(170,60); D: (120,100)-(170,150)
class RoutingTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(200, 200);
    P = probe(*form, *form, "P", TRect::FromSize(10, 10, 100, 100));
    B = probe(*form, *P, "B", TRect::FromSize(10, 10, 40, 40));
    C = probe(*form, *form, "C", TRect::FromSize(120, 10, 50, 50));
    D = probe(*form, *form, "D", TRect::FromSize(120, 100, 50, 50));
    D->SetEnabled(false);
    form->Show();
  }

  TComponentPtr<TForm> form;
  TProbe* P = nullptr;
  TProbe* B = nullptr;
  TProbe* C = nullptr;
  TProbe* D = nullptr;
};

using Step = std::function<void(IFormWindowEvents&, TApplication&)>;

Step move(int x, int y) {
  return [=](IFormWindowEvents& e, TApplication&) { e.HostMouseMove({}, {x, y}); };
}
Step down(int x, int y, TMouseButton b = mbLeft) {
  return [=](IFormWindowEvents& e, TApplication&) { e.HostMouseDown(b, {ButtonShift(b)}, {x, y}); };
}
Step up(int x, int y, TMouseButton b = mbLeft) {
  return [=](IFormWindowEvents& e, TApplication&) { e.HostMouseUp(b, {}, {x, y}); };
}
Step dbl(int x, int y) {
  return [=](IFormWindowEvents& e, TApplication&) { e.HostDoubleClick(mbLeft, {ssLeft}, {x, y}); };
}
Step wheel(int x, int y, int delta) {
  return [=](IFormWindowEvents& e, TApplication&) { e.HostMouseWheel({}, delta, {x, y}); };
}
Step leaveWindow() {
  return [](IFormWindowEvents& e, TApplication&) { e.HostMouseLeave(); };
}
Step captureLost() {
  return [](IFormWindowEvents& e, TApplication&) { e.HostCaptureLost(); };
}
Step modalBox() {
  return [](IFormWindowEvents&, TApplication& app) { app.MessageBox("Text", "Caption", TMessageBoxKind::Information); };
}

struct Row {
  const char* name;
  std::vector<Step> steps;
  const char* expected;
  bool logMoves = false;
  bool panelUsesWheel = false;
};

TEST_F(RoutingTest, EventsReachTheRightControlsInOrder) {
  const Row rows[] = {
      {"enter and leave pairs across nested controls",
       {move(5, 5), move(15, 15), move(30, 30), move(80, 80), move(150, 30), leaveWindow()},
       "form.enter P.enter B.enter B.leave P.leave C.enter C.leave form.leave"},
      {"a jump from the nested child to the sibling leaves both, innermost first",
       {move(30, 30), move(150, 30)},
       "form.enter P.enter B.enter B.leave P.leave C.enter"},
      {"click on release inside, before the release itself",
       {move(30, 30), down(30, 30), up(31, 31)},
       "form.enter P.enter B.enter B.down(10,10) B.click B.up(11,11)"},
      {"release outside: no click",
       {move(30, 30), down(30, 30), up(150, 30)},
       "form.enter P.enter B.enter B.down(10,10) B.up(130,10) B.leave P.leave C.enter"},
      {"dragging out and back in still clicks",
       {move(30, 30), down(30, 30), move(150, 30), move(40, 40), up(40, 40)},
       "form.enter P.enter B.enter B.down(10,10) B.leave P.leave P.enter B.enter B.click B.up(20,20)"},
      {"capture keeps a drag on the control that started it",
       {move(30, 30), down(30, 30), move(150, 30), move(190, 190), up(190, 190), move(150, 30)},
       "form.enter P.enter B.enter B.move(10,10) B.down(10,10) B.leave P.leave B.move(130,10) B.move(170,170) "
       "B.up(170,170) C.enter C.move(30,20)"
       ,
       true},
      {"the right button captures but does not click",
       {move(30, 30), down(30, 30, mbRight), up(30, 30, mbRight)},
       "form.enter P.enter B.enter B.downR(10,10) B.upR(10,10)"},
      {"a double click arrives as press, release, double click, release",
       {move(30, 30), down(30, 30), up(30, 30), dbl(30, 30), up(30, 30)},
       "form.enter P.enter B.enter B.down(10,10) B.click B.up(10,10) B.dbl B.down2(10,10) B.up(10,10)"},
      {"a disabled control gets nothing: its parent does",
       {move(130, 110), down(130, 110), up(130, 110), move(5, 5)},
       "form.enter form.down form.click form.up"},
      {"a modal box during a drag sends leave and ends the capture; the release is dropped",
       {move(30, 30), down(30, 30), move(35, 35), modalBox(), move(40, 40), up(40, 40)},
       "form.enter P.enter B.enter B.move(10,10) B.down(10,10) B.move(15,15) B.leave P.leave form.leave B.lost "
       "form.enter P.enter B.enter B.move(20,20)",
       true},
      {"the host losing the capture ends the drag the same way",
       {move(30, 30), down(30, 30), captureLost(), up(30, 30)},
       "form.enter P.enter B.enter B.down(10,10) B.leave P.leave form.leave B.lost"},
      {"the window losing the pointer during a drag changes nothing",
       {move(30, 30), down(30, 30), leaveWindow(), up(30, 30)},
       "form.enter P.enter B.enter B.down(10,10) B.click B.up(10,10)"},
      {"the wheel goes to the control under the pointer, then to parents until one uses it",
       {move(30, 30), wheel(30, 30, -120)},
       "form.enter P.enter B.enter B.wheel(-120) P.wheel(-120)",
       false,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    for (TProbe* p : {P, B, C, D}) p->logMoves = row.logMoves;
    P->usesWheel = row.panelUsesWheel;
    log.clear();
    for (const Step& step : row.steps) step(events(), app);
    EXPECT_EQ(joined(log), row.expected);
    EXPECT_FALSE(window().Captured());
    EXPECT_EQ(form->CaptureControl(), nullptr);
  }
}

TEST_F(RoutingTest, TheHostHoldsTheCaptureOnlyWhileAButtonIsDown) {
  events().HostMouseDown(mbLeft, {ssLeft}, {30, 30});
  EXPECT_TRUE(window().Captured());
  EXPECT_EQ(form->CaptureControl(), B);
  events().HostMouseDown(mbRight, {ssLeft, ssRight}, {150, 30});  // a second button joins the drag
  EXPECT_EQ(form->CaptureControl(), B);
  events().HostMouseUp(mbLeft, {ssRight}, {30, 30});
  EXPECT_TRUE(window().Captured()) << "the right button is still down";
  events().HostMouseUp(mbRight, {}, {30, 30});
  EXPECT_FALSE(window().Captured());
}

TEST_F(RoutingTest, DisablingOrHidingTheDraggedControlEndsTheDrag) {
  for (bool hide : {false, true}) {
    SCOPED_TRACE(hide ? "hidden" : "disabled");
    SetUp();
    events().HostMouseMove({}, {30, 30});
    events().HostMouseDown(mbLeft, {ssLeft}, {30, 30});
    log.clear();
    if (hide) B->Hide();
    else B->SetEnabled(false);
    events().HostMouseUp(mbLeft, {}, {30, 30});
    EXPECT_EQ(joined(log), "B.leave B.lost");
    EXPECT_FALSE(window().Captured());
  }
}

TEST_F(RoutingTest, AControlDestroyedByItsOwnHandlerIsNotCalledAgain) {
  B->OnClick = TNotifyEvent([this](TObject*) { FreeComponent(B); });
  events().HostMouseMove({}, {30, 30});
  events().HostMouseDown(mbLeft, {ssLeft}, {30, 30});
  log.clear();
  events().HostMouseUp(mbLeft, {}, {30, 30});
  EXPECT_EQ(joined(log), "B.click");
  EXPECT_EQ(form->HoverControl(), P);
  events().HostMouseMove({}, {150, 30});
  EXPECT_EQ(joined(log), "B.click P.leave C.enter");
}

TEST_F(RoutingTest, TheCursorFollowsTheControlUnderThePointer) {
  C->SetCursor(crHandPoint);
  events().HostMouseMove({}, {150, 30});
  EXPECT_EQ(window().Cursor(), crHandPoint);
  events().HostMouseMove({}, {30, 30});
  EXPECT_EQ(window().Cursor(), crArrow);
  P->SetCursor(crHandPoint);  // B's crDefault means its parent's
  EXPECT_EQ(window().Cursor(), crHandPoint);
}

TEST_F(RoutingTest, AnExceptionFromAHandlerIsShownAndInputGoesOn) {
  app.Title = "Sibilon";
  B->OnClick = TNotifyEvent([](TObject*) { throw Exception("Cannot open file"); });
  events().HostMouseMove({}, {30, 30});
  events().HostMouseDown(mbLeft, {ssLeft}, {30, 30});
  events().HostMouseUp(mbLeft, {}, {30, 30});
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].Text, "Cannot open file");
  EXPECT_EQ(host.Boxes()[0].Caption, "Sibilon");
  EXPECT_EQ(host.Boxes()[0].Kind, TMessageBoxKind::Error);
  log.clear();
  events().HostMouseMove({}, {150, 30});
  EXPECT_EQ(joined(log), "B.leave P.leave C.enter");
}

}  // namespace
}  // namespace sib::test
