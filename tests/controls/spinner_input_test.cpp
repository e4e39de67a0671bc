// The spinner's input state machine without drawing: keys, clicks, drags, flicks, the wheel, the
// glide on the timer, and every selection report with its Sender.
#include <chrono>

#include "tests/controls/spinner_fixture.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

TEST_F(SpinnerTest, TheLoadedWindowSpinnerRestsOnPinkNoiseAtTheLoadedSpacing) {
  EXPECT_EQ(sp->InsideRect(), (TRect{1, 1, 206, 114}));
  EXPECT_EQ(column().GetColumnRect(), (TGPRectF{16, 1, 175, 113}));
  const TGPRectF band = sp->GetSelectedRect();
  EXPECT_EQ(band.Y, 41);
  EXPECT_EQ(band.Bottom(), 71);
  EXPECT_EQ(column().SelectedValue(), 1);
  EXPECT_EQ(column().CurrentScPos(), 40) << "the columns were read before TextSpacing 40";
  EXPECT_EQ(column().ScPosTo(), 40);
  EXPECT_EQ(column().GetRangeCount(), 2);
  EXPECT_EQ(column().ItemText(1), "Pink Noise");
  EXPECT_FALSE(sp->AnimateTimerRunning()) << "nothing moves, so no timer runs";
  EXPECT_TRUE(reports.empty()) << "loading reports nothing";
}

struct KeyCase {
  const char* name;
  double start;
  TKey key;
  double expected;
  bool reported;
};

TEST_F(SpinnerTest, KeysChangeTheSelectionAtOnceAndReportWithTheColumnAsSender) {
  const KeyCase cases[] = {
      {"Down at Pink", 1, VK_DOWN, 2, true},      {"Down at White", 2, VK_DOWN, 2, false},
      {"Up at Brown", 0, VK_UP, 0, false},        {"Up at Pink", 1, VK_UP, 0, true},
      {"Home at White", 2, VK_HOME, 0, true},     {"End at Brown", 0, VK_END, 2, true},
      {"Page Down at Brown", 0, VK_NEXT, 2, true}, {"Page Up at White", 2, VK_PRIOR, 0, true},
      {"Left keeps column 0", 1, VK_LEFT, 1, false}, {"a letter", 1, 'A', 1, false},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    column().SetSelectedValue(c.start);
    ASSERT_EQ(column().SelectedValue(), c.start);
    reports.clear();
    key(c.key);
    EXPECT_EQ(column().SelectedValue(), c.expected);
    EXPECT_EQ(column().CurrentScPos(), c.expected * 40) << "applied at once, no glide";
    EXPECT_EQ(column().ScPosTo(), c.expected * 40);
    EXPECT_FALSE(sp->AnimateTimerRunning());
    if (c.reported) {
      const std::vector<Report> once{report(col0(), int(c.expected))};
      EXPECT_EQ(reports, once);
    } else {
      EXPECT_TRUE(reports.empty());
    }
  }
}

struct ClickCase {
  const char* name;
  double start;
  int y;
  double expected;
};

TEST_F(SpinnerTest, AClickOnTheTopOrBottomThirtyPixelsStepsAtOnceAndReportsEvenAtTheEnds) {
  const ClickCase cases[] = {
      {"top at Brown", 0, 10, 0}, {"top at Pink", 1, 10, 0},      {"top at White", 2, 30, 1},
      {"bottom at White", 2, 100, 2}, {"bottom at Pink", 1, 84, 2}, {"bottom at Brown", 0, 113, 1},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.name);
    column().SetSelectedValue(c.start);
    reports.clear();
    click(100, c.y);
    EXPECT_EQ(column().SelectedValue(), c.expected);
    const std::vector<Report> once{report(col0(), int(c.expected))};
    EXPECT_EQ(reports, once);
    ASSERT_TRUE(glideToEnd());
    EXPECT_EQ(reports, once) << "a step leaves no glide behind to report again";
  }
}

TEST_F(SpinnerTest, AClickOnTheBandReportsTheUnchangedValueAtTheNextTickFromTheSpinner) {
  click(100, 56);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(sp->AnimateTimerRunning());
  ASSERT_TRUE(glideToEnd());
  const std::vector<Report> once{report(sp, 1)};
  EXPECT_EQ(reports, once);
  EXPECT_EQ(column().CurrentScPos(), 40);
}

TEST_F(SpinnerTest, AWheelNotchGlidesWithEverSmallerStepsAndReportsWhenItArrives) {
  sp->MouseMove({}, 100, 56);
  ASSERT_EQ(sp->HoveredColumn(), 0);
  EXPECT_TRUE(sp->DoMouseWheel({}, -120, {100, 56}));
  EXPECT_EQ(column().ScPosTo(), 80);
  EXPECT_EQ(column().SelectedValue(), 1) << "the value changes when the glide ends";
  ASSERT_TRUE(sp->AnimateTimerRunning());

  std::vector<int> positions;
  while (column().Gliding()) {
    sp->Animate();
    positions.push_back(column().CurrentScPos());
    if (column().Gliding()) {
      EXPECT_TRUE(reports.empty()) << "nothing is reported while it moves";
    }
  }
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions[0], 42) << "40 / 16 = 2.5 rounds to 2";
  int previousStep = 2;
  for (std::size_t i = 1; i + 1 < positions.size(); ++i) {
    const int step = positions[i] - positions[i - 1];
    EXPECT_GE(step, 1) << "at least a pixel per tick, tick " << i;
    EXPECT_LE(step, previousStep) << "slowing down, tick " << i;
    previousStep = step;
  }
  EXPECT_EQ(positions[positions.size() - 2], 80) << "the tick that arrives moves no further";
  EXPECT_EQ(positions.back(), 80);
  const std::vector<Report> once{report(sp, 2)};
  EXPECT_EQ(reports, once);
  EXPECT_FALSE(sp->AnimateTimerRunning()) << "the timer stops with the glide";
}

TEST_F(SpinnerTest, TheWheelGlidesOnTheTimerAndStopsAtTheEnds) {
  sp->MouseMove({}, 100, 56);
  sp->DoMouseWheel({}, 120, {100, 56});
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().CurrentScPos(), 0);
  sp->DoMouseWheel({}, 120, {100, 56});
  EXPECT_EQ(column().ScPosTo(), 0) << "clamped at the first item";
  ASSERT_TRUE(glideToEnd());
  const std::vector<Report> expected{report(sp, 0), report(sp, 0)};
  EXPECT_EQ(reports, expected);
}

TEST_F(SpinnerTest, TheWheelOutsideEveryColumnIsLeftToTheParent) {
  sp->MouseMove({}, 5, 56);
  ASSERT_EQ(sp->HoveredColumn(), -1);
  EXPECT_FALSE(sp->DoMouseWheel({}, -120, {5, 56}));
  EXPECT_FALSE(sp->AnimateTimerRunning());
}

TEST_F(SpinnerTest, ADragBelowHalfTheSpacingScrollsNothingAndEndsAsAClick) {
  drag(100, 56, 66, 600);  // 10 pixels, slowly
  EXPECT_EQ(column().CurrentScPos(), 40);
  EXPECT_TRUE(reports.empty());
  ASSERT_TRUE(glideToEnd());
  const std::vector<Report> once{report(sp, 1)};
  EXPECT_EQ(reports, once);

  reports.clear();
  drag(100, 10, 12, 100);  // 2 pixels on the top thirty: a click on the item above
  const std::vector<Report> previous{report(col0(), 0)};
  EXPECT_EQ(reports, previous);
}

TEST_F(SpinnerTest, ADragStepSnapsPixelByPixelAndReportsFromTheSpinnerChangedOrNot) {
  sp->MouseDown(mbLeft, {ssLeft}, 100, 40);
  sp->MouseMove({ssLeft}, 100, 65);  // 25 pixels down: 40 - 25 = 15, snapped down to 0
  EXPECT_EQ(column().CurrentScPos(), 0);
  EXPECT_EQ(column().ScPosTo(), 0);
  sp->MouseMove({ssLeft}, 100, 90);  // another 25 down: clamped at the first item, reported again
  EXPECT_EQ(column().CurrentScPos(), 0);
  sp->MouseMove({ssLeft}, 100, 20);  // 70 up: 70 snapped up to 80
  EXPECT_EQ(column().CurrentScPos(), 80);
  const std::vector<Report> steps{report(sp, 0), report(sp, 0), report(sp, 2)};
  EXPECT_EQ(reports, steps);
  time->Advance(700ms);
  sp->MouseUp(mbLeft, {}, 100, 20);
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().SelectedValue(), 2);
  EXPECT_EQ(reports.size(), 4u) << "the release's zero-length glide reports once more";
}

TEST_F(SpinnerTest, AFlickGlidesFurtherThanASlowDragOfTheSameDistance) {
  struct Case {
    const char* name;
    int heldMs;
    int expectedPos;
  };
  const Case cases[] = {{"slow drag", 600, 40}, {"flick", 100, 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    column().SetSelectedValue(0);
    reports.clear();
    drag(100, 80, 50, c.heldMs, 30);  // one move of 30 pixels up: 30 snapped up to 40
    ASSERT_TRUE(glideToEnd());
    EXPECT_EQ(column().CurrentScPos(), c.expectedPos);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), report(sp, c.expectedPos / 40));
  }
}

TEST_F(SpinnerTest, ScrollToValueGlidesOrJumpsAndReportsWithTheMatchingSender) {
  column().ScrollToValue(2, true, 4);
  EXPECT_EQ(column().SelectedValue(), 2);
  EXPECT_TRUE(reports.empty());
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(reports, (std::vector<Report>{report(sp, 2)}));

  reports.clear();
  column().ScrollToValue(0, false, 4);
  EXPECT_EQ(column().CurrentScPos(), 0);
  EXPECT_EQ(reports, (std::vector<Report>{report(col0(), 0)}));

  reports.clear();
  column().ScrollToValue(0, false, 4);
  EXPECT_TRUE(reports.empty()) << "the selected value again does nothing";
  column().SetEnabled(false);
  column().ScrollToValue(2, false, 4);
  EXPECT_EQ(column().SelectedValue(), 0) << "a disabled column ignores it";
  EXPECT_TRUE(reports.empty());
}

TEST_F(SpinnerTest, AssigningTheSelectedValueIsQuietAndIgnoresValuesOutsideTheRange) {
  column().SetSelectedValue(2);
  EXPECT_EQ(column().CurrentScPos(), 80);
  column().SetSelectedValue(3);
  column().SetSelectedValue(-1);
  EXPECT_EQ(column().SelectedValue(), 2);
  EXPECT_EQ(column().CurrentScPos(), 80);
  EXPECT_TRUE(reports.empty());
  sp->ColumnAppearance()->SetTextSpacing(0);
  EXPECT_EQ(sp->ColumnAppearance()->TextSpacing(), 1);
  EXPECT_EQ(column().CurrentScPos(), 2) << "a new spacing moves the drum to its item";
}

// A release on a column that glides stops the glide. The drum settles on the nearest item and
// reports it when it gets there; the release is no click, even where its Y happens to lie within
// two pixels of the scroll position.
TEST_F(SpinnerTest, AReleaseThatStopsAGlideIsAStopAndNothingMore) {
  column().SetSelectedValue(0);
  sp->MouseMove({}, 100, 56);
  sp->DoMouseWheel({}, -120, {100, 56});
  sp->Animate();
  ASSERT_EQ(column().CurrentScPos(), 2);
  ASSERT_TRUE(column().Animating());
  click(100, 4);  // top thirty pixels, |scroll position 2 - Y 4| <= 2
  EXPECT_TRUE(reports.empty()) << "no step to the previous item";
  EXPECT_EQ(column().ScPosTo(), 0) << "settles on the nearest item";
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().CurrentScPos(), 0);
  EXPECT_EQ(reports, (std::vector<Report>{report(sp, 0)}));
}

TEST_F(SpinnerTest, WithNothingMovingATimerTickRepaintsNothing) {
  ASSERT_TRUE(loop.RunUntil([&] { return !form->PaintPending(); }, 1s));
  const std::uint64_t painted = sp->PaintCount();
  sp->Animate();
  EXPECT_FALSE(form->PaintPending());
  loop.RunUntil([] { return false; }, 200ms);
  EXPECT_EQ(sp->PaintCount(), painted);
  EXPECT_FALSE(sp->AnimateTimerRunning());

  sp->MouseMove({}, 100, 56);
  ASSERT_TRUE(loop.RunUntil([&] { return !form->PaintPending(); }, 1s));
  sp->DoMouseWheel({}, -120, {100, 56});
  sp->Animate();
  EXPECT_TRUE(form->PaintPending()) << "a glide step repaints";
}

TEST_F(SpinnerTest, AGlideOfAColumnThatIsDisabledWaitsWithoutATimer) {
  column().ScrollToValue(2, true, 4);
  ASSERT_TRUE(sp->AnimateTimerRunning());
  column().SetEnabled(false);
  EXPECT_FALSE(sp->AnimateTimerRunning());
  column().SetEnabled(true);
  EXPECT_TRUE(sp->AnimateTimerRunning());
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().CurrentScPos(), 80);
  EXPECT_EQ(reports, (std::vector<Report>{report(sp, 2)}));
}

TEST_F(SpinnerTest, ReadOnlyIgnoresKeysClicksDragsAndTheWheelAndTracksNoFocus) {
  ASSERT_TRUE(sp->Focused()) << "the form's first control";
  sp->SetReadOnly(true);
  sp->DoExit();
  EXPECT_TRUE(sp->IsFocused()) << "leaving is not tracked";
  form->SetActiveControl(nullptr);
  key(VK_DOWN);
  click(100, 100);
  drag(100, 56, 10, 100, 46);
  sp->MouseMove({}, 100, 56);
  EXPECT_FALSE(sp->DoMouseWheel({}, -120, {100, 56}));
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().SelectedValue(), 1);
  EXPECT_EQ(column().CurrentScPos(), 40);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(sp->Focused()) << "a press still gives the control the focus";
}

TEST_F(SpinnerTest, HoveringFollowsThePointerAndLeavingClearsItAndAnyPress) {
  sp->MouseMove({}, 100, 56);
  EXPECT_EQ(sp->HoveredColumn(), 0);
  sp->MouseMove({}, 3, 56);
  EXPECT_EQ(sp->HoveredColumn(), -1);
  sp->MouseMove({}, 100, 56);
  sp->MouseDown(mbLeft, {ssLeft}, 100, 56);
  sp->MouseLeave();
  EXPECT_EQ(sp->HoveredColumn(), -1);
  EXPECT_FALSE(column().Pressed());
  sp->MouseMove({}, 100, 10);
  EXPECT_EQ(column().CurrentScPos(), 40) << "no drag without a press";
}

TEST_F(SpinnerTest, AReleaseOutsideEveryColumnLeavesNothingPressed) {
  sp->MouseDown(mbLeft, {ssLeft}, 100, 56);
  sp->MouseUp(mbLeft, {}, 5, 56);
  EXPECT_FALSE(column().Pressed());
  sp->MouseMove({}, 100, 0);
  EXPECT_EQ(column().CurrentScPos(), 40) << "moving without a button drags nothing";
  EXPECT_TRUE(reports.empty());
}

TEST_F(SpinnerTest, TheColumnHintReplacesTheSpinnerHintAndIsReported) {
  std::vector<std::pair<int, std::string>> hints;
  sp->OnColumnHint = TAdvSmoothSpinnerColumnHintEvent(
      [&](TObject*, int Column, std::string Hint) { hints.emplace_back(Column, Hint); });
  sp->SetHint("Noise");
  std::string text;
  EXPECT_TRUE(sp->GetHintText({100, 56}, text));
  EXPECT_EQ(text, "Noise");
  column().SetHint("Pick a colour");
  EXPECT_TRUE(sp->GetHintText({100, 56}, text));
  EXPECT_EQ(text, "Pick a colour");
  EXPECT_TRUE(sp->GetHintText({3, 56}, text));
  EXPECT_EQ(text, "Noise");
  const std::vector<std::pair<int, std::string>> expected{{0, "Noise"}, {0, "Pick a colour"}, {-1, "Noise"}};
  EXPECT_EQ(hints, expected);
}

TEST_F(SpinnerTest, CyclicColumnsWrapByKeyAndByTheWheel) {
  column().SetCyclic(true);
  column().SetSelectedValue(2);
  key(VK_DOWN);
  EXPECT_EQ(column().SelectedValue(), 0);
  key(VK_UP);
  EXPECT_EQ(column().SelectedValue(), 2);
  EXPECT_EQ(reports, (std::vector<Report>{report(col0(), 0), report(col0(), 2)}));

  reports.clear();
  sp->MouseMove({}, 100, 56);
  sp->DoMouseWheel({}, -120, {100, 56});
  EXPECT_EQ(column().ScPosTo(), 120) << "past the last item, not clamped";
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().CurrentScPos(), 0) << "one turn over, the drum is at its first item";
  EXPECT_EQ(reports, (std::vector<Report>{report(sp, 0)}));
}

TEST_F(SpinnerTest, DisabledOrHiddenColumnsTakeNoInput) {
  column().SetEnabled(false);
  key(VK_DOWN);
  click(100, 100);
  sp->MouseMove({}, 100, 56);
  EXPECT_EQ(sp->HoveredColumn(), -1);
  EXPECT_EQ(sp->XYToColumn(100, 56), -1);
  EXPECT_EQ(column().SelectedValue(), 1);
  EXPECT_TRUE(reports.empty());
}

// The same input as the window's host delivers it, in form coordinates: the form routes keys, the
// pointer, the capture and the wheel to the spinner.
TEST_F(SpinnerTest, InputThroughTheFormReachesTheSpinner) {
  const TPoint origin{131, 45};
  const auto at = [&](int x, int y) { return TPoint{origin.X + x, origin.Y + y}; };
  events().HostKeyDown(VK_DOWN, {}, false);
  EXPECT_EQ(column().SelectedValue(), 2) << "the arrow key is the spinner's, not the form's";
  events().HostMouseMove({}, at(100, 56));
  EXPECT_EQ(sp->HoveredColumn(), 0);
  events().HostMouseWheel({}, 120, at(100, 56));
  ASSERT_TRUE(glideToEnd());
  EXPECT_EQ(column().SelectedValue(), 1);
  // A drag that leaves the control still belongs to it while the button is held.
  events().HostMouseDown(mbLeft, {ssLeft}, at(100, 56));
  events().HostMouseMove({ssLeft}, at(100, 100));
  EXPECT_EQ(column().CurrentScPos(), 0) << "44 pixels down: 40 - 44 snapped down, clamped to 0";
  time->Advance(700ms);
  events().HostMouseUp(mbLeft, {}, at(100, 100));
  ASSERT_TRUE(glideToEnd());
  const std::vector<Report> expected{report(col0(), 2), report(sp, 1), report(sp, 0), report(sp, 0)};
  EXPECT_EQ(reports, expected);
}

// Guards: a spinner without columns, and custom columns without items (whose range ends at -1,
// below its start), have nothing to select; keys and the mouse leave them alone.
TEST_F(SpinnerTest, KeysAndTheMouseOnEmptyColumnsOrNoColumnsDoNothing) {
  for (const bool cyclic : {false, true}) {
    SCOPED_TRACE(cyclic ? "cyclic" : "not cyclic");
    column().CustomItems()->Clear();
    column().SetCyclic(cyclic);
    EXPECT_EQ(column().GetRangeTo(), -1);
    for (TKey k : {VK_DOWN, VK_UP, VK_END, VK_HOME, VK_NEXT, VK_PRIOR}) key(k);
    click(100, 10);
    click(100, 100);
    drag(100, 56, 0, 100, 28);
    sp->MouseMove({}, 100, 56);
    sp->DoMouseWheel({}, -120, {100, 56});
    column().Next(false);
    column().Previous(true);
    ASSERT_TRUE(glideToEnd());
    EXPECT_TRUE(reports.empty());
  }
  sp->Columns()->Clear();
  for (TKey k : {VK_DOWN, VK_LEFT, VK_RIGHT, VK_END}) key(k);
  click(100, 100);
  EXPECT_FALSE(sp->DoMouseWheel({}, -120, {100, 56}));
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace sib::test
