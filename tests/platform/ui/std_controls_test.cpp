// The plain button and label: how a button is pressed and clicked by mouse, keys and accelerator,
// what its face shows, and a label's size and background.
#include <cairo.h>

#include "platform/ui/std_controls.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

std::uint32_t opaque(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return 0xFF000000u | std::uint32_t{RedOf(rgb)} << 16 | std::uint32_t{GreenOf(rgb)} << 8 | BlueOf(rgb);
}

class StdControlsTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(300, 100);
    form->SetColor(clSilver);
    other = probe(*form, *form, "other", TRect::FromSize(200, 10, 20, 20));
    other->SetTabStop(true);
    button = NewComponent<TButton>(*form);
    button->SetParent(form.get());
    button->SetBounds(10, 10, 100, 30);
    button->SetCaption("E&xit Program");
    button->OnClick = TNotifyEvent([this](TObject*) { ++clicks; });
    form->Show();
    other->SetFocus();
    clicks = 0;
  }
  void paint() { ASSERT_TRUE(loop.RunUntil([&] { return !form->PaintPending(); }, std::chrono::seconds(1))); }

  TComponentPtr<TForm> form;
  TProbe* other = nullptr;
  TButton* button = nullptr;
  int clicks = 0;
};

TEST_F(StdControlsTest, TheButtonClicksOnceForEachWayOfPressingIt) {
  struct Row {
    const char* name;
    std::function<void(IFormWindowEvents&)> act;
    int clicks;
    bool focusesButton;
  };
  const TPoint inside{50, 20};
  const Row rows[] = {
      {"a press and release inside", [&](IFormWindowEvents& e) {
         e.HostMouseMove({}, inside);
         e.HostMouseDown(mbLeft, {ssLeft}, inside);
         e.HostMouseUp(mbLeft, {}, inside);
       }, 1, true},
      {"a release outside", [&](IFormWindowEvents& e) {
         e.HostMouseDown(mbLeft, {ssLeft}, inside);
         e.HostMouseMove({ssLeft}, {250, 80});
         e.HostMouseUp(mbLeft, {}, {250, 80});
       }, 0, true},
      {"a double click clicks twice", [&](IFormWindowEvents& e) {
         e.HostMouseDown(mbLeft, {ssLeft}, inside);
         e.HostMouseUp(mbLeft, {}, inside);
         e.HostDoubleClick(mbLeft, {ssLeft}, inside);
         e.HostMouseUp(mbLeft, {}, inside);
       }, 2, true},
      {"the right button", [&](IFormWindowEvents& e) {
         e.HostMouseDown(mbRight, {ssRight}, inside);
         e.HostMouseUp(mbRight, {}, inside);
       }, 0, false},
      {"the accelerator", [](IFormWindowEvents& e) { e.HostChar(U'X', {}); }, 1, true},
      {"the accelerator with Alt", [](IFormWindowEvents& e) { e.HostChar(U'x', {ssAlt}); }, 1, true},
      {"another letter", [](IFormWindowEvents& e) { e.HostChar(U'q', {}); }, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    row.act(events());
    EXPECT_EQ(clicks, row.clicks);
    EXPECT_EQ(button->Focused(), row.focusesButton);
  }
}

TEST_F(StdControlsTest, SpaceClicksAtItsReleaseAndEnterAtOnce) {
  button->SetFocus();
  events().HostKeyDown(VK_SPACE, {}, false);
  events().HostChar(U' ', {});
  events().HostKeyDown(VK_SPACE, {}, true);
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(clicks, 0) << "held Space, repeats included, does not click yet";
  events().HostKeyUp(VK_SPACE, {});
  EXPECT_FALSE(button->Pressed());
  EXPECT_EQ(clicks, 1);
  events().HostKeyDown(VK_RETURN, {}, false);
  events().HostChar(U'\r', {});
  EXPECT_EQ(clicks, 2);
  // Space held while the focus leaves does not click later.
  events().HostKeyDown(VK_SPACE, {}, false);
  other->SetFocus();
  events().HostKeyUp(VK_SPACE, {});
  EXPECT_EQ(clicks, 2);
}

TEST_F(StdControlsTest, ADisabledButtonGetsNothing) {
  button->SetEnabled(false);
  events().HostMouseDown(mbLeft, {ssLeft}, {50, 20});
  events().HostMouseUp(mbLeft, {}, {50, 20});
  events().HostChar(U'x', {ssAlt});
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button->Focused());
  EXPECT_THROW(button->SetFocus(), EInvalidOperation);
}

TEST_F(StdControlsTest, TheFaceShowsPressHoverAndFocus) {
  paint();
  const std::uint32_t face = window().ScreenPixel(14, 15);
  EXPECT_EQ(face, opaque(clBtnFace));
  EXPECT_NE(window().ScreenPixel(10, 10), face) << "a border";
  EXPECT_EQ(window().ScreenPixel(13, 13), face) << "no focus rectangle while unfocused";
  events().HostMouseMove({}, {50, 20});
  paint();
  const std::uint32_t hot = window().ScreenPixel(14, 15);
  EXPECT_NE(hot, face);
  events().HostMouseDown(mbLeft, {ssLeft}, {50, 20});
  paint();
  const std::uint32_t pressed = window().ScreenPixel(14, 15);
  EXPECT_NE(pressed, hot);
  EXPECT_EQ(window().ScreenPixel(13, 13), opaque(clWindowText)) << "the press focused it: dotted outline";
  EXPECT_NE(window().ScreenPixel(14, 13), opaque(clWindowText)) << "every other pixel";
  events().HostMouseMove({ssLeft}, {250, 80});
  paint();
  EXPECT_EQ(window().ScreenPixel(14, 15), opaque(clBtnFace)) << "dragged off, the face is no longer pressed";
  events().HostMouseUp(mbLeft, {}, {250, 80});
}

TEST_F(StdControlsTest, TheCaptionIsDrawnInTheButtonsFont) {
  button->Font()->SetColor(clRed);
  button->Font()->SetHeight(-13);
  paint();
  int red = 0;
  for (int y = 10; y < 40; ++y)
    for (int x = 10; x < 110; ++x) {
      const std::uint32_t p = window().ScreenPixel(x, y);
      if (((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90) ++red;
    }
  EXPECT_GT(red, 30) << "red glyphs";
  EXPECT_FALSE(button->ParentFont());
}

TEST_F(StdControlsTest, TheLabelSizesItselfToItsTextOnATransparentBackground) {
  auto* label = NewComponent<TLabel>(*form);
  label->SetParent(form.get());
  label->SetBounds(120, 50, 10, 10);
  label->SetCaption("Sibilon");
  label->Font()->SetHeight(-21);
  const TPoint size = label->TextSize();
  EXPECT_EQ(label->Width(), size.X);
  EXPECT_EQ(label->Height(), size.Y);
  EXPECT_GT(size.X, 50);
  EXPECT_GE(size.Y, 21);
  label->SetCaption("Sibilon Sibilon");
  EXPECT_GT(label->Width(), size.X);
  paint();
  // Right of the glyphs, inside the label: the form shows through.
  EXPECT_EQ(window().ScreenPixel(label->Left() + label->Width() - 1, label->Top()), opaque(clSilver));
  label->SetTransparent(false);
  label->SetColor(clYellow);
  paint();
  EXPECT_EQ(window().ScreenPixel(label->Left() + label->Width() - 1, label->Top()), opaque(clYellow));
  label->SetAutoSize(false);
  label->SetCaption("S");
  EXPECT_GT(label->Width(), size.X) << "without AutoSize the size stays";
}

}  // namespace
}  // namespace sib::test

namespace sib::test {
namespace {

// Writes what the headless screen shows to "ui_controls.png" in the working folder, to be looked at.
TEST_F(StdControlsTest, ContactSheet) {
  button->SetFocus();
  auto* label = NewComponent<TLabel>(*form);
  label->SetParent(form.get());
  label->SetBounds(120, 50, 10, 10);
  label->SetCaption("&Sibilon");
  label->Font()->SetHeight(-21);
  label->Font()->SetColor(clWhite);
  auto* exit = NewComponent<TButton>(*form);
  exit->SetParent(form.get());
  exit->SetBounds(10, 50, 100, 25);
  exit->SetCaption("Disabled");
  exit->SetEnabled(false);
  paint();
  const TImageView screen = window().Screen();
  std::vector<std::uint32_t> pixels(screen.Pixels, screen.Pixels + screen.Width * screen.Height);
  const gfx::Bitmap image = gfx::Bitmap::FromArgb(screen.Width, screen.Height, pixels);
  ASSERT_TRUE(image.Ok());
  EXPECT_EQ(cairo_surface_write_to_png(image.NativeSurface(), "ui_controls.png"), CAIRO_STATUS_SUCCESS);
}

}  // namespace
}  // namespace sib::test
