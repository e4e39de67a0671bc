// Shared by the spinner tests: the window's noise spinner loaded from its stored description onto a
// shown form, on a message loop that runs on simulated time, with every selection report recorded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "controls/spinner.h"
#include "platform/components/filer.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {

// The noise spinner of the main window as the window's description stores it, on a form of its own.
inline constexpr const char* kNoiseSpinnerForm = R"(object form: TForm
  ClientWidth = 471
  ClientHeight = 413
  object spNoise: TAdvSmoothSpinner
    Left = 131
    Top = 45
    Width = 208
    Height = 116
    Columns = <
      item
        RangeTo = 2.000000000000000000
        Step = 1.000000000000000000
        SelectedValue = 1.000000000000000000
        ValueFormat = '%g'
        DateTimeValueFormat = 'dd/mm/yy'
        RangeType = rtCustom
        CustomItems = <
          item
            Text = 'Brown Noise'
          end
          item
            Text = 'Pink Noise'
          end
          item
            Text = 'White Noise'
          end>
        DateRangeFrom = 40542.247942129630000000
        DateRangeTo = 40562.247942129630000000
        Font.Charset = ANSI_CHARSET
        Font.Color = clBlack
        Font.Height = -21
        Font.Name = 'Arial'
        Font.Style = []
      end>
    ColumnAppearance.Spacing = 15
    ColumnAppearance.Fill.ColorTo = clWhite
    ColumnAppearance.Fill.ColorMirror = clWhite
    ColumnAppearance.Fill.ColorMirrorTo = clSilver
    ColumnAppearance.Fill.GradientMirrorType = gtVertical
    ColumnAppearance.Fill.BorderColor = clBlack
    ColumnAppearance.Fill.Rounding = 0
    ColumnAppearance.Fill.ShadowOffset = 0
    ColumnAppearance.HoverFill.Color = 15465983
    ColumnAppearance.HoverFill.ColorTo = 11332863
    ColumnAppearance.HoverFill.ColorMirror = 5888767
    ColumnAppearance.HoverFill.ColorMirrorTo = 10807807
    ColumnAppearance.HoverFill.GradientMirrorType = gtVertical
    ColumnAppearance.HoverFill.BorderColor = 10079963
    ColumnAppearance.HoverFill.Rounding = 0
    ColumnAppearance.HoverFill.ShadowOffset = 0
    ColumnAppearance.DisabledFill.Color = 15921906
    ColumnAppearance.DisabledFill.ColorTo = 11974326
    ColumnAppearance.DisabledFill.ColorMirror = 11974326
    ColumnAppearance.DisabledFill.ColorMirrorTo = 15921906
    ColumnAppearance.DisabledFill.GradientMirrorType = gtVertical
    ColumnAppearance.DisabledFill.BorderColor = 16765357
    ColumnAppearance.DisabledFill.Rounding = 0
    ColumnAppearance.DisabledFill.ShadowOffset = 0
    ColumnAppearance.TextSpacing = 40
    SelectedFill.Color = clWhite
    SelectedFill.ColorTo = clWhite
    SelectedFill.ColorMirror = clNone
    SelectedFill.ColorMirrorTo = clNone
    SelectedFill.Opacity = 40
    SelectedFill.OpacityTo = 60
    SelectedFill.BorderColor = clSilver
    SelectedFill.Rounding = 0
    SelectedFill.ShadowOffset = 0
    TopLayerFill.Color = clBlack
    TopLayerFill.ColorTo = clWhite
    TopLayerFill.ColorMirror = clNone
    TopLayerFill.ColorMirrorTo = clNone
    TopLayerFill.OpacityTo = 0
    TopLayerFill.BorderColor = clNone
    TopLayerFill.Rounding = 0
    TopLayerFill.ShadowOffset = 0
    BottomLayerFill.Color = clWhite
    BottomLayerFill.ColorTo = clBlack
    BottomLayerFill.ColorMirror = clNone
    BottomLayerFill.ColorMirrorTo = clNone
    BottomLayerFill.Opacity = 0
    BottomLayerFill.BorderColor = clNone
    BottomLayerFill.Rounding = 0
    BottomLayerFill.ShadowOffset = 0
    Fill.Color = clBlack
    Fill.ColorMirror = clGray
    Fill.ColorMirrorTo = clBlack
    Fill.GradientMirrorType = gtVertical
    Fill.BorderColor = clGray
    Fill.Rounding = 0
    Fill.ShadowOffset = 0
    TabOrder = 1
  end
end
)";

// One OnSelectedValueChanged call.
struct Report {
  TObject* Sender = nullptr;
  int Column = 0;
  int SelectedCustomIndex = 0;
  double SelectedValue = 0;
  TAdvSmoothSpinnerRangeType RangeType = rtNumber;
  friend bool operator==(const Report&, const Report&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Report& r) {
  return os << "{Column " << r.Column << ", index " << r.SelectedCustomIndex << ", value " << r.SelectedValue
            << ", type " << int(r.RangeType) << "}";
}

class SpinnerTest : public FormsTest {
 protected:
  void SetUp() override {
    RegisterClasses<TForm, TAdvSmoothSpinner>();
    form = MakeComponent<TForm>();
    LoadDescription(kNoiseSpinnerForm, *form);
    sp = dynamic_cast<TAdvSmoothSpinner*>(form->FindComponent("spNoise"));
    ASSERT_NE(sp, nullptr);
    sp->OnSelectedValueChanged = TAdvSmoothSpinnerSelectedValueChangedEvent(
        [this](TObject* Sender, int Column, int Index, double Value, TAdvSmoothSpinnerRangeType Type) {
          reports.push_back({Sender, Column, Index, Value, Type});
        });
    form->Show();
  }

  TAdvSmoothSpinnerColumn& column(int i = 0) { return *sp->Columns()->Items(i); }
  TObject* col0() { return sp->Columns()->Items(0); }
  Report report(TObject* sender, int index) {
    return {sender, 0, index, double(index), rtCustom};
  }

  void key(TKey k) { sp->KeyDown(k, {}); }
  // A press and release at (x, y) in the spinner's coordinates, `heldMs` apart.
  void click(int x, int y, int heldMs = 100) {
    sp->MouseDown(mbLeft, {ssLeft}, x, y);
    time->Advance(std::chrono::milliseconds(heldMs));
    sp->MouseUp(mbLeft, {}, x, y);
  }
  // A press at (x, y0), moves in steps of `step` pixels to y1, and a release there, `heldMs` after the press.
  void drag(int x, int y0, int y1, int heldMs, int step = 1) {
    sp->MouseDown(mbLeft, {ssLeft}, x, y0);
    const int dir = y1 > y0 ? 1 : -1;
    for (int y = y0 + dir * step; dir * (y1 - y) >= 0; y += dir * step) sp->MouseMove({ssLeft}, x, y);
    if ((y1 - y0) % step != 0) sp->MouseMove({ssLeft}, x, y1);
    time->Advance(std::chrono::milliseconds(heldMs));
    sp->MouseUp(mbLeft, {}, x, y1);
  }
  // Runs the loop until no column glides; false when that takes longer than `limit` of loop time.
  bool glideToEnd(std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    return loop.RunUntil([&] { return !sp->AnimateTimerRunning(); }, limit);
  }

  TComponentPtr<TForm> form;
  TAdvSmoothSpinner* sp = nullptr;
  std::vector<Report> reports;
};

}  // namespace sib::test
