// The track bar: its geometry, the drag, clicks beside the thumb and keys as a user drives them
// through a form, the setters' rules, snapping with halves to even, the glint's timer, the position
// tooltip and the painted pixels of the window's level bar.
#include <cmath>
#include <string>
#include <vector>

#include "controls/track_bar.h"
#include "platform/graphics/image.h"
#include "platform/ui/hint_window.h"
#include "tests/controls/fill_fixtures.h"
#include "tests/controls/window_controls.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

std::string Num(double v) {
  std::string s = std::to_string(v);
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s;
}

void ExpectRect(const TGPRectF& r, float x, float y, float w, float h) {
  EXPECT_FLOAT_EQ(r.X, x);
  EXPECT_FLOAT_EQ(r.Y, y);
  EXPECT_FLOAT_EQ(r.Width, w);
  EXPECT_FLOAT_EQ(r.Height, h);
}

// The window with its level bar at (56, 244); input arrives through the form as the host sends it.
class TrackBarTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(471, 413);
    tb = NewComponent<TAdvSmoothTrackBar>(*form);
    tb->SetName("tbVol");
    tb->SetParent(form.get());
    SetUpWindowTrackBar(*tb);
    tb->OnPositionChanging = TAdvSmoothTrackBarValueChanged([this](TObject* s, double v) {
      EXPECT_EQ(s, tb);
      events.push_back("changing(" + Num(v) + ")");
    });
    tb->OnPositionChanged = TAdvSmoothTrackBarValueChanged([this](TObject* s, double v) {
      EXPECT_EQ(s, tb);
      events.push_back("changed(" + Num(v) + ")");
    });
    form->Show();
  }

  // Form coordinates of a point of the track bar.
  TPoint At(int x, int y) const { return {tb->Left() + x, tb->Top() + y}; }
  void Press(int x, int y) { form->Events().HostMouseDown(mbLeft, {ssLeft}, At(x, y)); }
  void Move(int x, int y) { form->Events().HostMouseMove({ssLeft}, At(x, y)); }
  void Release(int x, int y) { form->Events().HostMouseUp(mbLeft, {}, At(x, y)); }
  void Click(int x, int y) {
    Press(x, y);
    Release(x, y);
  }
  void Key(TKey key) {
    form->Events().HostKeyDown(key, {}, false);
    form->Events().HostKeyUp(key, {});
  }
  void WaitForGlintToEnd() {
    ASSERT_TRUE(loop.RunUntil([&] { return !tb->Glowing(); }, std::chrono::seconds(10)));
  }

  TComponentPtr<TForm> form;
  TAdvSmoothTrackBar* tb = nullptr;
  Log events;  // what the track bar reported
};

TEST(TrackBarDefaults, ANewTrackBarIsVerticalTabStoppedAndDoubleBuffered) {
  auto tb = MakeComponent<TAdvSmoothTrackBar>();
  EXPECT_EQ(tb->Width(), 90);
  EXPECT_EQ(tb->Height(), 250);
  EXPECT_EQ(tb->Direction(), dVertical);
  EXPECT_TRUE(tb->TabStop());
  EXPECT_TRUE(tb->DoubleBuffered());
  EXPECT_EQ(tb->Step(), 20);
  EXPECT_EQ(tb->Version(), "1.2.2.0");
  tb->SetVersion("9");
  EXPECT_EQ(tb->Version(), "1.2.2.0");
  EXPECT_FALSE(tb->Glowing());
  EXPECT_EQ(tb->GlowPos(), TAdvSmoothTrackBar::kGlowIdle);
}

TEST_F(TrackBarTest, TheWindowsBarHasItsGeometry) {
  const TRect I = tb->InsideRect();
  EXPECT_EQ(I, (TRect{1, 1, 356, 27}));
  ExpectRect(tb->GetNumRect(), 23, 1, 312, 27);
  EXPECT_DOUBLE_EQ(tb->GetPosition(), 156);
  ExpectRect(tb->GetSliderRect(), 157, 8, 44, 13);
  ExpectRect(tb->GetProgressRect(), 1, 1, 178, 27);
}

TEST_F(TrackBarTest, TheInsideRectangleMakesRoomForShadowAndBorder) {
  struct Row {
    TColor border;
    int borderWidth;
    TColor shadow;
    int shadowOffset;
    TRect expected;
  } rows[] = {
      {clBlack, 1, clGray, 0, {1, 1, 356, 27}},
      {clNone, 1, clGray, 0, {1, 1, 356, 27}},   // (1 + 1) div 2
      {clNone, 4, clGray, 0, {2, 2, 355, 26}},   // (4 + 1) div 2
      {clNone, 0, clGray, 0, {0, 0, 357, 28}},
      {clBlack, 3, clGray, 5, {1, 1, 351, 22}},  // a border counts 1 whatever its width
      {clBlack, 1, clNone, 5, {1, 1, 356, 27}},  // no shadow colour, no shadow
  };
  for (const Row& row : rows) {
    tb->Fill()->SetBorderColor(row.border);
    tb->Fill()->SetBorderWidth(row.borderWidth);
    tb->Fill()->SetShadowColor(row.shadow);
    tb->Fill()->SetShadowOffset(row.shadowOffset);
    EXPECT_EQ(tb->InsideRect(), row.expected) << row.borderWidth << " " << row.shadowOffset;
  }
}

TEST_F(TrackBarTest, AVerticalBarGrowsUpwards) {
  auto* v = NewComponent<TAdvSmoothTrackBar>(*form);
  v->SetParent(form.get());
  v->SetBounds(0, 0, 90, 250);  // inside (1, 1)-(88, 248) without a border: (0, 0, 89, 249) less 1
  v->SetPosition(25);
  const TRect I = v->InsideRect();
  EXPECT_EQ(I, (TRect{1, 1, 88, 248}));
  ExpectRect(v->GetNumRect(), 1, 21, 88, 208);
  EXPECT_DOUBLE_EQ(v->GetPosition(), 52);
  ExpectRect(v->GetSliderRect(), 8, 229 - 52 - 20, 74, 40);
  ExpectRect(v->GetProgressRect(), 1, 248 - 72, 88, 72);
}

TEST_F(TrackBarTest, DraggingTheThumbReportsChangingThenChangedOnRelease) {
  Press(179, 14);  // the middle of the thumb
  EXPECT_TRUE(tb->MouseDownOnSlider());
  Move(100, 14);   // d = 100 - 22 = 78 of 312: a quarter
  EXPECT_EQ(tb->Position(), 25);
  Move(100, 20);   // the same value again: nothing to report
  Release(100, 20);
  EXPECT_EQ(joined(events), "changing(25) changed(25)");
  EXPECT_FALSE(tb->MouseDownOnSlider());
  EXPECT_EQ(form->ActiveControl(), tb);
}

TEST_F(TrackBarTest, DraggingPastTheEndsStopsAtTheRange) {
  Press(179, 14);
  Move(-40, 14);
  Move(500, 14);
  Release(500, 14);
  EXPECT_EQ(joined(events), "changing(0) changing(100) changed(100)");
}

TEST_F(TrackBarTest, APressAndReleaseOnTheThumbReportsChangedEvenWithoutAChange) {
  Click(170, 10);
  EXPECT_EQ(joined(events), "changed(50)");
}

TEST_F(TrackBarTest, AClickBesideTheThumbMovesOneStepAndReportsOnlyChanged) {
  struct Row {
    const char* name;
    double start;
    int x, y;
    double expected;
    const char* events;
  } rows[] = {
      {"left of the thumb", 50, 50, 14, 49, "changed(49)"},
      {"right of the thumb", 50, 300, 14, 51, "changed(51)"},
      {"above the thumb, within its extent", 50, 170, 3, 50, ""},
      {"left at the minimum", 0, 0, 14, 0, ""},
      {"right, beyond the maximum", 99.5, 357, 14, 99.5, ""},
  };
  for (const Row& row : rows) {
    tb->SetPosition(row.start);
    events.clear();
    Click(row.x, row.y);
    EXPECT_EQ(tb->Position(), row.expected) << row.name;
    EXPECT_EQ(joined(events), row.events) << row.name;
  }
}

TEST_F(TrackBarTest, AClickWhoseStepLeavesTheRangeChangesNothing) {
  tb->SetStep(30);
  tb->SetPosition(80);
  events.clear();
  Click(345, 14);  // 110 would lie beyond the maximum
  EXPECT_EQ(tb->Position(), 80);
  EXPECT_EQ(joined(events), "");
}

TEST_F(TrackBarTest, KeysMoveByStepAndReportChangedOnKeyUp) {
  tb->SetFocus();
  struct Row {
    TKey key;
    double start;
    const char* events;
    double expected;
  } rows[] = {
      {VK_RIGHT, 50, "changing(51) changed(51)", 51},
      {VK_UP, 50, "changing(51) changed(51)", 51},
      {VK_LEFT, 50, "changing(49) changed(49)", 49},
      {VK_DOWN, 50, "changing(49) changed(49)", 49},
      {VK_HOME, 50, "changing(0) changed(0)", 0},
      {VK_END, 50, "changing(100) changed(100)", 100},
      {VK_RIGHT, 100, "changed(100)", 100},  // nothing to change on the way down
      {VK_END, 100, "changed(100)", 100},
      {VK_LEFT, 0, "changed(0)", 0},
  };
  for (const Row& row : rows) {
    tb->SetPosition(row.start);
    events.clear();
    Key(row.key);
    EXPECT_EQ(joined(events), row.events) << row.key << " at " << row.start;
    EXPECT_EQ(tb->Position(), row.expected) << row.key << " at " << row.start;
  }
}

TEST_F(TrackBarTest, HeldKeysRepeatFromTheNewPosition) {
  tb->SetFocus();
  form->Events().HostKeyDown(VK_LEFT, {}, false);
  form->Events().HostKeyDown(VK_LEFT, {}, true);
  form->Events().HostKeyDown(VK_LEFT, {}, true);
  form->Events().HostKeyUp(VK_LEFT, {});
  EXPECT_EQ(joined(events), "changing(49) changing(48) changing(47) changed(47)");
}

TEST_F(TrackBarTest, WithoutTabStopTheKeysDoNothing) {
  tb->SetFocus();
  tb->SetTabStop(false);
  EXPECT_EQ(tb->GetDialogCode(), 0u);
  Key(VK_RIGHT);
  EXPECT_EQ(tb->Position(), 50);
  EXPECT_EQ(joined(events), "");
}

TEST_F(TrackBarTest, SettersKeepThePositionInTheRange) {
  tb->SetPosition(150);  // outside: ignored
  EXPECT_EQ(tb->Position(), 50);
  tb->SetPosition(50);   // equal: ignored
  EXPECT_EQ(joined(events), "");
  tb->SetMaximum(40);
  EXPECT_EQ(tb->Position(), 40);
  tb->SetMinimum(45);
  EXPECT_EQ(tb->Position(), 45);
  EXPECT_EQ(joined(events), "") << "range changes move the position silently";
  tb->SetStep(0);
  tb->SetStep(-3);
  EXPECT_EQ(tb->Step(), 1);
  tb->SetMaximum(100);
  tb->SetPosition(70);
  EXPECT_EQ(joined(events), "changed(70)") << "a position from code reports only changed";
}

TEST_F(TrackBarTest, WithNoRangeThePositionSitsAtTheStartAndDraggingChangesNothing) {
  tb->SetMinimum(50);
  tb->SetMaximum(50);
  EXPECT_EQ(tb->GetPosition(), 0);
  EXPECT_EQ(tb->GetPosition(100.0), 0);
  events.clear();
  const TGPRectF s = tb->GetSliderRect();
  ExpectRect(s, 1, 8, 44, 13);
  Press(23, 14);
  Move(200, 14);
  Release(200, 14);
  EXPECT_EQ(tb->Position(), 50);
  EXPECT_EQ(joined(events), "changed(50)");
}

TEST_F(TrackBarTest, DirectionSwapsLengthAndThickness) {
  tb->SetDirection(dVertical);
  EXPECT_EQ(tb->Width(), 29);
  EXPECT_EQ(tb->Height(), 358);
  tb->SetDirection(dHorizontal);
  EXPECT_EQ(tb->Width(), 358);
  EXPECT_EQ(tb->Height(), 29);
}

// A bar whose value rectangle is 100 pixels long over 0 to 100, so an offset is its own value.
class SnapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tb = MakeComponent<TAdvSmoothTrackBar>();
    tb->SetDirection(dHorizontal);
    tb->SetBounds(0, 0, 142, 40);  // inside right 140, less a 40-pixel thumb
    ASSERT_FLOAT_EQ(tb->GetNumRect().Width, 100);
  }
  TComponentPtr<TAdvSmoothTrackBar> tb;
};

TEST_F(SnapTest, DraggedValuesSnapToTheStepGridWithHalvesToEven) {
  struct Row {
    double min, step, margin, d, expected;
  } rows[] = {
      {0, 5, 2.5, 12.5, 10},  // 2.5 steps round to 2
      {0, 5, 2.5, 17.5, 20},  // 3.5 steps round to 4
      {0, 5, 2.5, 22.5, 20},  // 4.5 steps round to 4
      {0, 5, 1, 12.5, 12.5},  // beyond the margin of 10: kept
      {0, 20, 10, 9, 0},      // the defaults: everything snaps
      {0, 20, 10, 31, 40},
      {0, 20, 10, 50, 40},    // 2.5 steps: to 40, not 60
      {0, 20, 10, 70, 80},    // 3.5 steps: to 80
      {3, 10, 3, 7, 10},      // the grid counts from 0: 3 + 6.97 snaps to 10, not 13
  };
  for (const Row& row : rows) {
    tb->SetMinimum(row.min);
    tb->SetStep(row.step);
    tb->SetSnapMargin(row.margin);
    const double d = row.min == 0 ? row.d : row.d / (100 - row.min) * 100;
    EXPECT_DOUBLE_EQ(tb->GetPosition(d), row.expected) << "step " << row.step << " d " << row.d;
  }
}

TEST_F(SnapTest, WithTheNewValuesEveryDraggedValueIsAGridPoint) {
  for (double d = -5; d <= 105; d += 0.25) {
    const double v = tb->GetPosition(d);
    EXPECT_EQ(std::fmod(v, 20.0), 0.0) << d;
  }
}

// --- The glint ----------------------------------------------------------------------------------

TEST_F(TrackBarTest, TheGlintRunsOnceAfterStartUpThenTheTimerStopsAndNothingRepaints) {
  // Setting the position at start-up started it.
  EXPECT_TRUE(tb->Glowing());
  EXPECT_TRUE(tb->GlowTimerRunning());
  const std::uint64_t before = tb->PaintCount();
  WaitForGlintToEnd();
  EXPECT_EQ(tb->GlowPos(), TAdvSmoothTrackBar::kGlowIdle);
  EXPECT_FALSE(tb->GlowTimerRunning());
  // From -60 in steps of 3 until past 156: 73 ticks, each repainting (gathered per paint).
  EXPECT_GT(tb->PaintCount(), before + 50);

  loop.ProcessMessages();  // the last tick's repaint
  const std::uint64_t idle = tb->PaintCount();
  loop.RunUntil([] { return false; }, std::chrono::seconds(5));
  EXPECT_EQ(tb->PaintCount(), idle);
  EXPECT_FALSE(tb->GlowTimerRunning());
}

TEST_F(TrackBarTest, TheGlintAdvancesThreePixelsPerTickUpToTheThumb) {
  WaitForGlintToEnd();
  tb->SetPosition(10);  // offset 31.2
  std::vector<double> seen;
  ASSERT_TRUE(loop.RunUntil(
      [&] {
        if (tb->Glowing() && (seen.empty() || seen.back() != tb->GlowPos())) seen.push_back(tb->GlowPos());
        return !tb->Glowing();
      },
      std::chrono::seconds(10)));
  ASSERT_FALSE(seen.empty());
  for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_DOUBLE_EQ(seen[i] - seen[i - 1], 3);
  EXPECT_LE(seen.back(), 31.2);
  EXPECT_GT(seen.back() + 3, 31.2);
}

TEST_F(TrackBarTest, KeysDoNotStartTheGlintButTheMouseDoes) {
  WaitForGlintToEnd();
  tb->SetFocus();
  Key(VK_RIGHT);
  EXPECT_FALSE(tb->Glowing());
  EXPECT_FALSE(tb->GlowTimerRunning());
  Click(50, 14);
  EXPECT_TRUE(tb->Glowing());
  EXPECT_TRUE(tb->GlowTimerRunning());
}

TEST_F(TrackBarTest, WithoutGlowAnimationTheTimerRestsUntilItIsBack) {
  tb->SetGlowAnimation(false);
  EXPECT_FALSE(tb->GlowTimerRunning());
  loop.ProcessMessages();
  const std::uint64_t idle = tb->PaintCount();
  loop.RunUntil([] { return false; }, std::chrono::seconds(1));
  EXPECT_EQ(tb->PaintCount(), idle);
  tb->SetGlowAnimation(true);
  EXPECT_TRUE(tb->GlowTimerRunning());
  WaitForGlintToEnd();
}

// --- The tooltip --------------------------------------------------------------------------------

TEST_F(TrackBarTest, ThePositionTooltipFollowsTheDragAndGoesAtTheRelease) {
  tb->SetPositionToolTip(true);
  std::vector<double> asked;
  tb->OnGetToolTipText = TAdvSmoothTrackBarGetToolTipText([&](TObject*, double p, std::string& text) {
    asked.push_back(p);
    text += " %";
  });
  Press(179, 14);
  ASSERT_NE(tb->PositionHint(), nullptr);
  EXPECT_TRUE(tb->PositionHint()->Visible());
  EXPECT_EQ(tb->PositionHint()->Text(), "50.00 %");
  Move(100, 14);
  EXPECT_EQ(tb->PositionHint()->Text(), "25.00 %");
  Move(100, 16);  // same text: not asked again
  EXPECT_EQ(asked, (std::vector<double>{50, 25}));
  Release(100, 16);
  EXPECT_FALSE(tb->PositionHint()->Visible());
}

TEST_F(TrackBarTest, WithoutPositionToolTipNoTooltipIsMade) {
  Press(179, 14);
  Move(100, 14);
  Release(100, 14);
  EXPECT_EQ(tb->PositionHint(), nullptr);
}

// --- Painting -----------------------------------------------------------------------------------

// The window's bar painted alone on a transparent bitmap.
struct Painted {
  explicit Painted(TAdvSmoothTrackBar& tb) : canvas(tb.Width(), tb.Height()) { tb.PaintTo(canvas.g); }
  Canvas canvas;
  gfx::Color At(int x, int y) const { return canvas.At(x, y); }
};

class TrackBarPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tb = MakeComponent<TAdvSmoothTrackBar>();
    SetUpWindowTrackBar(*tb);
    tb->SetGlowAnimation(false);  // no glint in the pixels unless a test asks
  }
  TComponentPtr<TAdvSmoothTrackBar> tb;
};

TEST_F(TrackBarPaintTest, TheWindowsBarShowsProgressGrooveAndThumb) {
  tb->SetShowTickMarks(false);
  Painted p(*tb);
  // Inside the groove: the progress from amber at its start, the black track past the thumb.
  EXPECT_TRUE(Near(p.At(9, 14), gfx::Color::Rgb(245, 200, 62), 12));
  EXPECT_TRUE(Near(p.At(300, 14), gfx::Color::Rgb(0, 0, 0), 2));
  // Outside the groove a translucent white frame lightens the track.
  EXPECT_TRUE(Near(p.At(300, 4), gfx::Color::Rgb(75, 75, 75), 6));
  // The thumb: grey at its top left, darker towards the bottom right, with a light grip line.
  const gfx::Color thumbTopLeft = p.At(162, 10), thumbBottomRight = p.At(196, 18);
  EXPECT_GT(thumbTopLeft.R, thumbBottomRight.R);
  EXPECT_GT(p.At(180, 14).R, p.At(176, 14).R);
  // Every pixel is painted: the bar is opaque.
  for (int y = 0; y < tb->Height(); ++y)
    for (int x = 0; x < tb->Width(); ++x) ASSERT_EQ(p.At(x, y).A, 255) << x << "," << y;
  EXPECT_TRUE(tb->ControlStyle().Contains(csOpaque));
}

TEST_F(TrackBarPaintTest, TickMarksFallEveryThreePixelsOnTheProgress) {
  tb->SetPosition(100);  // progress over the whole track
  Painted with(*tb);
  tb->SetShowTickMarks(false);
  Painted without(*tb);
  // Ticks stand at 335 - 3.12 k; on the progress each darkens its pixel to about half, and the
  // pixels between two ticks less.
  int ticks = 0;
  for (int k = 60; k <= 100; ++k) {
    const double p = 335 - 3.12 * k;
    const int at = static_cast<int>(std::lround(p));
    const int between = static_cast<int>(std::lround(p + 1.56));
    EXPECT_LT(with.At(at, 10).R, without.At(at, 10).R * 0.75) << k;
    EXPECT_LT(with.At(at, 10).R, with.At(between, 10).R) << k;
    ++ticks;
  }
  EXPECT_EQ(ticks, 41);
}

TEST_F(TrackBarPaintTest, NoRangeDrawsNoTicksAndATinyStepDrawsAtMostOnePerPixel) {
  int asked = 0;
  tb->OnDrawNumber = TAdvSmoothTrackBarDrawNumber([&](TObject*, double, std::string&, bool&, bool&) { ++asked; });
  Painted normal(*tb);
  EXPECT_EQ(asked, 101);

  asked = 0;
  tb->SetStep(1e-9);  // 10^11 values
  Painted tiny(*tb);
  EXPECT_GT(asked, 100);
  EXPECT_LE(asked, 313) << "one tick per pixel of the 312-pixel track at most";

  tb->SetStep(1);
  tb->SetMaximum(0);  // Maximum = Minimum
  asked = 0;
  Painted none(*tb);
  EXPECT_EQ(asked, 0);
  tb->SetShowTickMarks(false);
  Painted plain(*tb);
  for (int y = 0; y < tb->Height(); ++y)
    for (int x = 0; x < tb->Width(); ++x) ASSERT_EQ(none.At(x, y), plain.At(x, y)) << x << "," << y;
}

TEST_F(TrackBarPaintTest, DrawNumberMaySwitchOffTicksAndRewriteLabels) {
  tb->SetShowValues(true);
  tb->SetShowTickMarks(false);
  tb->SetStep(50);
  Painted plain(*tb);
  std::vector<std::string> texts;
  tb->OnDrawNumber = TAdvSmoothTrackBarDrawNumber([&](TObject*, double, std::string& s, bool& text, bool&) {
    texts.push_back(s);
    text = false;
  });
  tb->SetShowValues(true);
  Painted hidden(*tb);
  EXPECT_EQ(texts, (std::vector<std::string>{"0 db", "50 db", "100 db"}));
  tb->SetShowValues(false);
  Painted none(*tb);
  int differing = 0;
  for (int y = 0; y < tb->Height(); ++y)
    for (int x = 0; x < tb->Width(); ++x) {
      EXPECT_EQ(hidden.At(x, y), none.At(x, y));
      differing += plain.At(x, y) != none.At(x, y);
    }
  EXPECT_GT(differing, 20) << "the labels themselves are drawn when allowed";
}

TEST_F(TrackBarTest, TheGlintBrightensTheProgressAroundItsPosition) {
  tb->SetShowTickMarks(false);
  WaitForGlintToEnd();
  Painted still(*tb);
  tb->SetPosition(49);
  ASSERT_TRUE(loop.RunUntil([&] { return tb->GlowPos() >= 90; }, std::chrono::seconds(5)));
  Painted glint(*tb);
  const int g = static_cast<int>(tb->GlowPos());
  const auto sum = [](gfx::Color c) { return c.R + c.G + c.B; };
  // White at alpha 120 over the progress at the glint, fading to nothing 30 pixels either side.
  EXPECT_GT(sum(glint.At(g, 14)), sum(still.At(g, 14)) + 100);
  EXPECT_GT(sum(glint.At(g - 15, 14)), sum(still.At(g - 15, 14)) + 40);
  EXPECT_NEAR(sum(glint.At(g - 45, 14)), sum(still.At(g - 45, 14)), 9) << "far from the glint nothing changes";
  EXPECT_NEAR(sum(glint.At(250, 14)), sum(still.At(250, 14)), 3) << "the glint stays on the progress";
}

TEST_F(TrackBarTest, TheFocusedThumbHasADottedOutline) {
  tb->SetShowTickMarks(false);
  WaitForGlintToEnd();
  form->SetActiveControl(nullptr);
  Painted plain(*tb);
  tb->SetFocus();
  Painted focused(*tb);
  int changed = 0;
  for (int x = 157; x < 201; ++x) changed += focused.At(x, 8) != plain.At(x, 8);
  EXPECT_GT(changed, 10);
  EXPECT_LT(changed, 40) << "dotted, not solid";
}

TEST_F(TrackBarPaintTest, ATranslucentBackgroundLetsTheParentShowThrough) {
  tb->Fill()->SetOpacity(0);
  tb->Fill()->SetOpacityTo(0);
  EXPECT_FALSE(tb->ControlStyle().Contains(csOpaque));
  tb->SetShowTickMarks(false);
  Painted p(*tb);
  EXPECT_EQ(p.At(300, 14).A, 0) << "nothing painted inside the groove beyond the thumb";
  tb->Fill()->SetOpacity(255);
  tb->Fill()->SetOpacityTo(255);
  EXPECT_TRUE(tb->ControlStyle().Contains(csOpaque));
}

TEST_F(TrackBarTest, InTheWindowATranslucentBarShowsTheFormsColour) {
  form->SetColor(clRed);
  tb->SetShowTickMarks(false);
  tb->Fill()->SetOpacity(0);
  tb->Fill()->SetOpacityTo(0);
  form->PaintDirty();
  const std::uint32_t argb = window().ScreenPixel(tb->Left() + 300, tb->Top() + 14);
  EXPECT_EQ(argb & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
}  // namespace sib::test

namespace sib::test {
namespace {

void SavePng(const gfx::Bitmap& bitmap, const std::string& name) { test::SavePng(bitmap, SIB_TEST_OUTPUT_DIR, name); }

TEST_F(TrackBarTest, TheWindowsBarIsRenderedForAPersonToLookAt) {
  WaitForGlintToEnd();
  form->SetActiveControl(nullptr);  // as at start-up, where the focus lies on the start button
  SavePng(Painted(*tb).canvas.bitmap, "track_bar_window.png");
  tb->SetFocus();
  tb->SetPosition(80);
  ASSERT_TRUE(loop.RunUntil([&] { return tb->GlowPos() >= 120; }, std::chrono::seconds(5)));
  SavePng(Painted(*tb).canvas.bitmap, "track_bar_window_focused_glint.png");
  auto* values = NewComponent<TAdvSmoothTrackBar>(*form);
  values->SetDirection(dHorizontal);
  values->SetBounds(0, 0, 358, 60);
  values->SetPosition(40);
  SavePng(Painted(*values).canvas.bitmap, "track_bar_new_with_values.png");
}

}  // namespace
}  // namespace sib::test

namespace sib::test {
namespace {

class TLevelForm : public TForm {
  SIB_CLASS(TLevelForm, TForm)
 public:
  using TForm::TForm;
  TAdvSmoothTrackBar* tbVol = nullptr;
  TAdvSmoothLedLabel* ledVol = nullptr;
  std::vector<double> changing;

  static TFieldList PublishedFields() {
    return {field("tbVol", &TLevelForm::tbVol), field("ledVol", &TLevelForm::ledVol)};
  }
  static TMethodList PublishedMethods() {
    return {method("tbVolPositionChanging", &TLevelForm::tbVolPositionChanging)};
  }
  void tbVolPositionChanging(TObject* /*Sender*/, double Position) {
    changing.push_back(Position);
    ledVol->Caption()->SetValue(Position);
  }
};

constexpr const char* kLevelDescription = R"(object Form1: TLevelForm
  ClientHeight = 413
  ClientWidth = 471
  Color = clSilver
  object ledVol: TAdvSmoothLedLabel
    Left = 182
    Top = 198
    Width = 107
    Height = 36
    Fill.Color = clBlack
    Fill.ColorTo = clBlack
    Fill.ColorMirror = clNone
    Fill.ColorMirrorTo = clNone
    Fill.BorderColor = clGray
    Fill.BorderWidth = 2
    Fill.Rounding = 0
    Fill.ShadowOffset = 0
    Caption.Value = 50.000000000000000000
    Caption.ColorStart = clRed
    Caption.ColorOff = clBlack
    Caption.Format = '000'
    Caption.TimeFormat = 'hh:nn:ss'
    Caption.TimeValue = 40542.275322303240000000
    Version = '1.1.0.2'
  end
  object tbVol: TAdvSmoothTrackBar
    Left = 56
    Top = 244
    Width = 358
    Height = 29
    Direction = dHorizontal
    Fill.Color = clBlack
    Fill.ColorTo = clBlack
    Fill.ColorMirror = clNone
    Fill.ColorMirrorTo = clNone
    Fill.BorderColor = clBlack
    Fill.Rounding = 0
    Fill.ShadowOffset = 0
    ProgressFill.Color = 4313338
    ProgressFill.ColorTo = 13209
    ProgressFill.ColorMirror = clNone
    ProgressFill.ColorMirrorTo = clNone
    ProgressFill.GradientType = gtHorizontal
    ProgressFill.GradientMirrorType = gtVertical
    ProgressFill.BorderColor = clBlack
    ProgressFill.Rounding = 0
    ProgressFill.ShadowOffset = 0
    ThumbFill.Color = clGray
    ThumbFill.ColorTo = clBlack
    ThumbFill.ColorMirror = clNone
    ThumbFill.ColorMirrorTo = clNone
    ThumbFill.GradientType = gtForwardDiagonal
    ThumbFill.BorderColor = clGray
    ThumbFill.Rounding = 10
    ThumbFill.ShadowOffset = 0
    ThumbSize = 44
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'Tahoma'
    Font.Style = []
    ProgressFont.Charset = DEFAULT_CHARSET
    ProgressFont.Color = clWindowText
    ProgressFont.Height = -11
    ProgressFont.Name = 'Tahoma'
    ProgressFont.Style = []
    Maximum = 100.000000000000000000
    Step = 1.000000000000000000
    Position = 50.000000000000000000
    PositionToolTipFormat = '%.2f'
    ValueFormat = '%g db'
    ShowValues = False
    SnapToTickMarks = False
    SnapMargin = 10.000000000000000000
    Version = '1.2.2.0'
    TabOrder = 2
    OnPositionChanging = tbVolPositionChanging
  end
end
)";

class LevelFormTest : public FormsTest {
 protected:
  void SetUp() override { RegisterClasses<TLevelForm, TAdvSmoothTrackBar, TAdvSmoothLedLabel>(); }
};

TEST_F(LevelFormTest, TheStoredBarAndReadoutLoadAsTheWindowHasThem) {
  TLevelForm* form = app.CreateForm<TLevelForm>(kLevelDescription);
  ASSERT_TRUE(form->tbVol && form->ledVol);
  TAdvSmoothTrackBar& tb = *form->tbVol;
  EXPECT_EQ(tb.Direction(), dHorizontal);
  EXPECT_EQ(tb.Position(), 50);
  EXPECT_EQ(tb.InsideRect(), (TRect{1, 1, 356, 27}));
  ExpectRect(tb.GetSliderRect(), 157, 8, 44, 13);
  EXPECT_TRUE(tb.Glowing()) << "the stored position goes through the setter: the glint runs once";
  EXPECT_EQ(tb.ThumbFill()->Rounding(), 10);
  EXPECT_EQ(form->ledVol->Caption()->Format(), "000");
  EXPECT_EQ(form->ledVol->Caption()->ColorOff(), clBlack);
  EXPECT_DOUBLE_EQ(form->ledVol->Caption()->TimeValue(), 40542.27532230324);

  // The window's binding: a drag mirrors the value on the readout.
  form->Show();
  form->Events().HostMouseDown(mbLeft, {ssLeft}, {56 + 179, 244 + 14});
  form->Events().HostMouseMove({ssLeft}, {56 + 100, 244 + 14});
  form->Events().HostMouseUp(mbLeft, {}, {56 + 100, 244 + 14});
  EXPECT_EQ(form->changing, (std::vector<double>{25}));
  EXPECT_EQ(form->ledVol->Caption()->Value(), 25);
}

}  // namespace
}  // namespace sib::test
