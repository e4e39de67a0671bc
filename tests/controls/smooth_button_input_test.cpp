// The smooth button's input on a form, driven through the host's events as a person's mouse and
// keyboard produce them: which sequences click, hover with the window's colour handlers, the
// accelerator, the cache redrawn only after a change, the parent font and the theme file.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/controls/smooth_button_fixture.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

// The button at (20, 20)-(202, 61) of a 300 x 100 form.
class SmoothButtonInput : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(300, 100);
    b = NewComponent<TAdvSmoothButton>(*form);
    b->SetName("btnBegin");
    b->SetParent(form.get());
    SetUpWindowButton(*b);
    b->SetBounds(20, 20, 182, 41);
    b->OnClick = TNotifyEvent([this](TObject*) { log.push_back("click"); });
    b->OnDblClick = TNotifyEvent([this](TObject*) { log.push_back("dbl"); });
    form->Show();
    log.clear();
  }
  bool painted() {
    return loop.RunUntil([&] { return !form->PaintPending(); }, 1s);
  }
  int clicks() const { return static_cast<int>(std::count(log.begin(), log.end(), "click")); }

  TComponentPtr<TForm> form;
  TAdvSmoothButton* b = nullptr;
};

using Step = std::function<void(IFormWindowEvents&, TApplication&, TAdvSmoothButton&)>;

Step move(int x, int y) {
  return [=](IFormWindowEvents& e, TApplication&, TAdvSmoothButton&) { e.HostMouseMove({}, {x, y}); };
}
Step down(int x, int y, TMouseButton button = mbLeft) {
  return [=](IFormWindowEvents& e, TApplication&, TAdvSmoothButton&) {
    e.HostMouseDown(button, {ButtonShift(button)}, {x, y});
  };
}
Step up(int x, int y, TMouseButton button = mbLeft) {
  return [=](IFormWindowEvents& e, TApplication&, TAdvSmoothButton&) { e.HostMouseUp(button, {}, {x, y}); };
}
Step dbl(int x, int y) {
  return [=](IFormWindowEvents& e, TApplication&, TAdvSmoothButton&) { e.HostDoubleClick(mbLeft, {ssLeft}, {x, y}); };
}
Step modalBox() {
  return [](IFormWindowEvents&, TApplication& app, TAdvSmoothButton&) {
    app.MessageBox("Text", "Caption", TMessageBoxKind::Information);
  };
}
Step focus() {
  return [](IFormWindowEvents&, TApplication&, TAdvSmoothButton& b) { b.SetFocus(); };
}
Step key(TKey k, char32_t c) {
  return [=](IFormWindowEvents& e, TApplication&, TAdvSmoothButton&) {
    e.HostKeyDown(k, {}, false);
    e.HostChar(c, {});
    e.HostKeyUp(k, {});
  };
}

TEST_F(SmoothButtonInput, ClickSequences) {
  struct Row {
    const char* name;
    std::vector<Step> steps;
    const char* expected;
  } rows[] = {
      {"press and release inside", {move(100, 40), down(100, 40), up(100, 40)}, "click"},
      {"press, drag out, release outside", {move(100, 40), down(100, 40), move(260, 90), up(260, 90)}, "click"},
      {"right button", {move(100, 40), down(100, 40, mbRight), up(100, 40, mbRight)}, "click"},
      {"double click: each release clicks",
       {move(100, 40), down(100, 40), up(100, 40), dbl(100, 40), up(100, 40)},
       "click dbl click"},
      {"release with no press, as after the click that closed a box", {move(100, 40), up(100, 40)}, ""},
      {"press elsewhere, release over the button", {move(250, 80), down(250, 80), move(100, 40), up(100, 40)}, ""},
      {"a box opened during the press", {move(100, 40), down(100, 40), modalBox(), up(100, 40)}, ""},
      {"space", {focus(), key(VK_SPACE, U' ')}, "click"},
      {"enter", {focus(), key(VK_RETURN, U'\r')}, "click"},
  };
  for (const Row& row : rows) {
    SetUp();
    for (const Step& step : row.steps) step(events(), app, *b);
    Log own;
    for (const std::string& entry : log)
      if (entry.rfind("form.", 0) != 0) own.push_back(entry);
    EXPECT_EQ(joined(own), row.expected) << row.name;
    EXPECT_FALSE(b->Down()) << row.name << ": the press is over";
  }
}

TEST_F(SmoothButtonInput, EnterIsKeptFromTheDialogWhileTabStop) {
  EXPECT_EQ(b->GetDialogCode(), DLGC_WANTARROWS | DLGC_WANTALLKEYS);
  b->SetTabStop(false);
  EXPECT_EQ(b->GetDialogCode(), 0u);
}

TEST_F(SmoothButtonInput, PressShowsPressedOnlyWhileThePointerIsOver) {
  events().HostMouseMove({}, {100, 40});
  events().HostMouseDown(mbLeft, {ssLeft}, {100, 40});
  EXPECT_TRUE(b->ShowsPressed());
  EXPECT_TRUE(b->Focused()) << "a press takes the focus";
  events().HostMouseMove({ssLeft}, {260, 90});
  EXPECT_FALSE(b->ShowsPressed());
  EXPECT_FALSE(b->Down()) << "leaving clears the press";
}

TEST_F(SmoothButtonInput, HoverColourSetByTheEnterHandlerIsPaintedInTheOneRedraw) {
  ASSERT_TRUE(painted());
  b->OnMouseEnter = TNotifyEvent([this](TObject*) { b->SetColor(11788021); });
  const auto before = b->CacheRedrawCount();
  events().HostMouseMove({}, {100, 40});
  ASSERT_TRUE(painted());
  EXPECT_EQ(b->CacheRedrawCount(), before + 1);
  TComponentPtr<TAdvSmoothButton> expected = MakeComponent<TAdvSmoothButton>();
  SetUpWindowButton(*expected);
  expected->SetColor(11788021);
  EXPECT_TRUE(Near(b->Cache().GetPixel(90, 30), Face(*expected).GetPixel(90, 30), 0));
}

TEST_F(SmoothButtonInput, ColorSetToItsValueRedrawsNothingAndANewValueRedrawsOnce) {
  ASSERT_TRUE(painted());
  const auto redraws = b->CacheRedrawCount();
  const auto paints = b->PaintCount();
  b->SetColor(clSilver);
  EXPECT_FALSE(form->PaintPending());
  ASSERT_TRUE(painted());
  EXPECT_EQ(b->CacheRedrawCount(), redraws);
  EXPECT_EQ(b->PaintCount(), paints);
  b->SetColor(clGray);
  ASSERT_TRUE(painted());
  EXPECT_EQ(b->CacheRedrawCount(), redraws + 1);
  form->Invalidate();
  ASSERT_TRUE(painted());
  EXPECT_EQ(b->CacheRedrawCount(), redraws + 1) << "a repaint without a change blends the cache";
}

TEST_F(SmoothButtonInput, AcceleratorClicksAndHoldsTheButtonDownBriefly) {
  b->SetCaption("&Start Noise");
  events().HostChar(U's', {ssAlt});
  EXPECT_EQ(joined(log), "click");
  EXPECT_TRUE(b->Down());
  time->Advance(std::chrono::milliseconds(TAdvSmoothButton::kAcceleratorHoldMs - 10));
  app.ProcessMessages();
  EXPECT_TRUE(b->Down());
  ASSERT_TRUE(loop.RunUntil([&] { return !b->Down(); }, 1s));
  events().HostChar(U'x', {ssAlt});
  EXPECT_EQ(joined(log), "click") << "another letter is not the accelerator";
}

TEST_F(SmoothButtonInput, ParentFontFollowsTheFormUntilTheAppearanceFontIsChanged) {
  b->SetParentFont(true);
  form->Font()->SetHeight(-20);
  EXPECT_EQ(b->Appearance()->Font()->Height(), -20);
  EXPECT_TRUE(b->ParentFont()) << "copying the parent's font is no change of our own";
  b->Appearance()->Font()->SetHeight(-16);
  EXPECT_FALSE(b->ParentFont());
  form->Font()->SetHeight(-24);
  EXPECT_EQ(b->Appearance()->Font()->Height(), -16);
}

TEST_F(SmoothButtonInput, ThemeKeepsTheColourUnderItsKey) {
  const auto path = std::filesystem::temp_directory_path() / ("smooth_button_theme_" + std::to_string(::getpid()) + ".ini");
  std::filesystem::remove(path);
  b->SetColor(2258854);
  b->SaveToTheme(path);
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[TAdvSmoothButton]"), std::string::npos) << text;
  EXPECT_NE(text.find("Color=2258854"), std::string::npos) << text;
  b->SetColor(clSilver);
  b->LoadFromTheme(path);
  EXPECT_EQ(b->Color(), 2258854);
  std::filesystem::remove(path);
  b->LoadFromTheme(path);
  EXPECT_EQ(b->Color(), 2258854) << "a missing key keeps the colour";
}

}  // namespace
}  // namespace sib::test
