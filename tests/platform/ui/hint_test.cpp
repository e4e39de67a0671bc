// Hints after the pointer rests, and the tooltip a control shows, moves, updates and hides itself.
#include <chrono>

#include "platform/ui/hint_window.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

class HintTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(200, 200);
    A = probe(*form, *form, "A", TRect::FromSize(10, 10, 50, 50));
    A->SetHint("Level");
    A->SetShowHint(true);
    B = probe(*form, *form, "B", TRect::FromSize(100, 10, 50, 50));
    B->SetHint("Not shown");
    form->Show();
  }
  HeadlessTooltip* tip() { return window().Tooltip(); }
  bool tipVisible() { return tip() && tip()->Visible(); }
  std::chrono::milliseconds elapsedSince(std::chrono::nanoseconds start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time->Elapsed() - start);
  }

  TComponentPtr<TForm> form;
  TProbe* A = nullptr;
  TProbe* B = nullptr;
};

TEST_F(HintTest, TheHintShowsAfterThePointerRestsAndHidesLater) {
  const auto start = time->Elapsed();
  events().HostMouseMove({}, {20, 20});
  ASSERT_TRUE(loop.RunUntil([&] { return tipVisible(); }, 5s));
  EXPECT_EQ(elapsedSince(start), 500ms);
  EXPECT_EQ(tip()->Position(), (TPoint{20, 40})) << "below the pointer";
  EXPECT_GT(tip()->Width(), 10);
  ASSERT_TRUE(loop.RunUntil([&] { return !tipVisible(); }, 10s));
  EXPECT_EQ(elapsedSince(start), 3000ms);
}

TEST_F(HintTest, MovingRestartsTheWaitAndAPressOrLeavingCancelsIt) {
  struct Row {
    const char* name;
    std::function<void(IFormWindowEvents&)> after;
    bool shown;
  };
  const Row rows[] = {
      {"a press", [](IFormWindowEvents& e) { e.HostMouseDown(mbLeft, {ssLeft}, {20, 20}); }, false},
      {"a key", [](IFormWindowEvents& e) { e.HostKeyDown('A', {}, false); }, false},
      {"leaving for a control without ShowHint", [](IFormWindowEvents& e) { e.HostMouseMove({}, {120, 20}); }, false},
      {"leaving the window", [](IFormWindowEvents& e) { e.HostMouseLeave(); }, false},
      {"moving within the control", [](IFormWindowEvents& e) { e.HostMouseMove({}, {30, 30}); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    events().HostMouseMove({}, {20, 20});
    ASSERT_TRUE(loop.RunUntil([] { return false; }, 300ms) == false);
    row.after(events());
    loop.RunUntil([&] { return tipVisible(); }, 1s);
    EXPECT_EQ(tipVisible(), row.shown);
  }
}

TEST_F(HintTest, ParentShowHintFollowsTheParent) {
  auto* inner = probe(*form, *B, "inner", TRect::FromSize(5, 5, 10, 10));
  EXPECT_FALSE(inner->ShowHint());
  B->SetShowHint(true);
  EXPECT_TRUE(inner->ShowHint());
  inner->SetShowHint(false);
  EXPECT_FALSE(inner->ParentShowHint());
  B->SetShowHint(false);
  B->SetShowHint(true);
  EXPECT_FALSE(inner->ShowHint());
}

TEST_F(HintTest, AControlShowsMovesUpdatesAndHidesItsOwnTooltip) {
  THintWindow tooltip(*A);
  tooltip.ActivateHint({5, -20}, "50.00");
  ASSERT_NE(tip(), nullptr);
  EXPECT_TRUE(tip()->Visible());
  EXPECT_EQ(tip()->Position(), (TPoint{15, -10})) << "the control's coordinates on the form";
  const int narrow = tip()->Width();
  tooltip.MoveTo({25, -20});
  EXPECT_EQ(tip()->Position(), (TPoint{35, -10}));
  tooltip.SetText("100.00");
  EXPECT_GT(tip()->Width(), narrow);
  const int shows = tip()->ShowCount();
  tooltip.SetText("100.00");
  EXPECT_EQ(tip()->ShowCount(), shows) << "the same text is not shown again";
  tooltip.Hide();
  EXPECT_FALSE(tip()->Visible());
  EXPECT_FALSE(tooltip.Visible());
}

}  // namespace
}  // namespace sib::test
