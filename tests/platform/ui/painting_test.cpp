// Painting only what is dirty: counts of paints per control, the rectangles presented to the host,
// and the pixels that end up on the headless screen.
#include <chrono>

#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t opaque(TColor c) {
  return 0xFF000000u | std::uint32_t{RedOf(c)} << 16 | std::uint32_t{GreenOf(c)} << 8 | BlueOf(c);
}

// A form (silver) with panel P (blue) holding A (red) and a sibling B (yellow) of the panel.
class PaintingTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(200, 120);
    form->SetColor(clSilver);
    P = probe(*form, *form, "P", TRect::FromSize(10, 10, 100, 100));
    P->SetColor(clBlue);
    A = probe(*form, *P, "A", TRect::FromSize(10, 10, 30, 30));
    A->SetColor(clRed);
    B = probe(*form, *form, "B", TRect::FromSize(130, 10, 50, 50));
    B->SetColor(clYellow);
    form->Show();
    window().ClearPresented();
  }

  struct Counts {
    std::uint64_t form, P, A, B;
    friend bool operator==(const Counts&, const Counts&) = default;
  };
  Counts counts() const { return {form->PaintCount(), P->PaintCount(), A->PaintCount(), B->PaintCount()}; }
  bool runUntilPainted() {
    return loop.RunUntil([&] { return !form->PaintPending(); }, 1s);
  }

  TComponentPtr<TForm> form;
  TProbe* P = nullptr;
  TProbe* A = nullptr;
  TProbe* B = nullptr;
};

TEST_F(PaintingTest, ShowingPaintsEverythingOnceInCreationOrder) {
  SetUp();
  EXPECT_EQ(counts(), (Counts{1, 1, 1, 1}));
  EXPECT_EQ(window().ScreenPixel(5, 5), opaque(clSilver));
  EXPECT_EQ(window().ScreenPixel(15, 15), opaque(clBlue));
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clRed));
  EXPECT_EQ(window().ScreenPixel(49, 49), opaque(clRed)) << "the child's last pixel";
  EXPECT_EQ(window().ScreenPixel(50, 50), opaque(clBlue));
  EXPECT_EQ(window().ScreenPixel(150, 30), opaque(clYellow));
}

TEST_F(PaintingTest, ATimerThatInvalidatesOneControlRepaintsOnlyItsRectangle) {
  const Counts before = counts();
  int ticks = 0;
  A->onTimer = [&](std::uint32_t id) {
    A->SetColor(++ticks == 1 ? clWhite : clBlack);
    if (ticks == 2) A->KillTimer(id);
  };
  A->SetTimer(7, 10);
  ASSERT_TRUE(loop.RunUntil([&] { return ticks == 2 && !form->PaintPending(); }, 1s));
  // Each tick: the form and the panel paint under A, clipped to A; B is not touched.
  EXPECT_EQ(counts(), (Counts{before.form + 2, before.P + 2, before.A + 2, before.B}));
  const std::vector<TRect> expected(2, TRect::FromSize(20, 20, 30, 30));
  EXPECT_EQ(window().Presented(), expected);
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clBlack));
}

TEST_F(PaintingTest, InvalidationsBeforeThePaintArePaintedOnce) {
  const Counts before = counts();
  A->Invalidate();
  A->Invalidate();
  A->InvalidateRect(TRect::FromSize(0, 0, 5, 5));
  B->Invalidate();
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(counts(), (Counts{before.form + 2, before.P + 1, before.A + 1, before.B + 1}))
      << "A and B lie apart: two rectangles, the form under each";
  EXPECT_EQ(window().Presented(), (std::vector<TRect>{TRect::FromSize(20, 20, 30, 30), TRect::FromSize(130, 10, 50, 50)}));
}

TEST_F(PaintingTest, NothingIsPaintedForHiddenOrOffFormControls) {
  const Counts before = counts();
  A->Hide();
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clBlue)) << "the panel shows where A was";
  window().ClearPresented();
  A->Invalidate();
  A->SetColor(clWhite);
  ASSERT_TRUE(runUntilPainted());
  EXPECT_TRUE(window().Presented().empty());
  EXPECT_EQ(A->PaintCount(), before.A);
}

TEST_F(PaintingTest, AControlPaintsOverItsParentsBackground) {
  A->holeSize = 4;  // a translucent corner
  A->SetColor(clRed);
  A->Invalidate();
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(window().ScreenPixel(21, 21), opaque(clBlue)) << "the panel shows through the corner";
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clRed));
  P->SetColor(clGreen);
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(window().ScreenPixel(21, 21), opaque(clGreen)) << "and follows the panel's changes";
}

TEST_F(PaintingTest, AnOpaqueControlIsPaintedWithoutWhatLiesUnderIt) {
  A->SetControlStyle(A->ControlStyle() + TControlStyle{csOpaque});
  const Counts before = counts();
  A->Invalidate();
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(counts(), (Counts{before.form, before.P, before.A + 1, before.B}));
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clRed));
  // Covered only in part by the opaque control, the dirty area is painted from the bottom.
  A->SetBounds(5, 5, 30, 30);
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(counts().P, before.P + 1);
  EXPECT_EQ(window().ScreenPixel(48, 48), opaque(clBlue)) << "where A was";
}

TEST_F(PaintingTest, MovingAControlRepaintsWhereItWasAndWhereItGoes) {
  A->SetBounds(50, 50, 30, 30);
  ASSERT_TRUE(runUntilPainted());
  EXPECT_EQ(window().ScreenPixel(25, 25), opaque(clBlue));
  EXPECT_EQ(window().ScreenPixel(65, 65), opaque(clRed));
  EXPECT_EQ(window().Presented(), (std::vector<TRect>{TRect::FromSize(20, 20, 30, 30), TRect::FromSize(60, 60, 30, 30)}));
}

TEST_F(PaintingTest, AlignClientFillsTheParentAndFollowsItsSize) {
  A->SetAlign(alClient);
  EXPECT_EQ(A->BoundsRect(), TRect::FromSize(0, 0, 100, 100));
  P->SetBounds(10, 10, 60, 40);
  EXPECT_EQ(A->BoundsRect(), TRect::FromSize(0, 0, 60, 40));
}

TEST_F(PaintingTest, TimersBelowTenMillisecondsTickEveryTenAndDieWithTheControl) {
  std::vector<std::chrono::milliseconds> at;
  const auto start = time->Elapsed();
  A->onTimer = [&](std::uint32_t) {
    at.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(time->Elapsed() - start));
  };
  A->SetTimer(1, 1);
  ASSERT_TRUE(loop.RunUntil([&] { return at.size() == 3; }, 1s));
  EXPECT_EQ(at, (std::vector<std::chrono::milliseconds>{10ms, 20ms, 30ms}));
  const std::size_t timers = loop.TimerCount();
  FreeComponent(A);
  EXPECT_EQ(loop.TimerCount(), timers - 1);
}

}  // namespace
}  // namespace sib::test
