// The LED readout: which segments light for a text (sampled in the middle of each segment of each
// cell), unlit segments in the off colour or not at all, one lit gradient across every digit, dots
// and colons, cells kept by characters it cannot draw, texts without cells, transparency, saving
// to an image, and the caption's change notification.
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/led_label.h"
#include "controls/track_bar.h"
#include "platform/core/numeric.h"
#include "platform/graphics/image.h"
#include "tests/controls/fill_fixtures.h"
#include "tests/controls/window_controls.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

// The middle of each segment in cell units (12 x 15 per cell): top, upper right, lower right,
// bottom, lower left, upper left, middle.
constexpr std::array<gfx::PointF, 7> kSegmentMiddles{{
    {6.35f, 1.5f}, {9.175f, 4.2f}, {8.425f, 9.875f}, {4.825f, 12.55f}, {1.925f, 9.85f}, {2.75f, 4.1f}, {5.58f, 7}}};
constexpr const char* kSegmentNames[] = {"top", "upper right", "lower right", "bottom", "lower left", "upper left",
                                         "middle"};

// Which segments each character lights ("1" = lit), in the order above; " " lights none.
std::string LitSegments(char c) {
  switch (c) {
    case '0': return "1111110";
    case '1': return "0110000";
    case '2': return "1101101";
    case '3': return "1111001";
    case '4': return "0110011";
    case '5': return "1011011";
    case '6': return "1011111";
    case '7': return "1110010";
    case '8': return "1111111";
    case '9': return "1111011";
    case '-': return "0000001";
    default: return "0000000";
  }
}

// A label painted on a transparent bitmap of its size.
struct Painted {
  explicit Painted(TAdvSmoothLedLabel& led) : canvas(led.Width(), led.Height()) {
    led.DrawLedLabel(canvas.g, led.Width(), led.Height());
  }
  Canvas canvas;
  gfx::Color At(float x, float y) const { return canvas.At(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))); }
};

class LedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    led = MakeComponent<TAdvSmoothLedLabel>();
    SetUpWindowReadout(*led);
  }

  // Where the middle of segment `s` of cell `cell` lies, for `cells` cells over the label.
  gfx::PointF SegmentAt(int cells, int cell, int s) const {
    const float w = static_cast<float>(led->Width()) / static_cast<float>(cells);
    const float u = w / 12, v = static_cast<float>(led->Height()) / 15;
    return {cell * w + kSegmentMiddles[s].X * u, kSegmentMiddles[s].Y * v};
  }

  // Checks every segment of every cell: `cells` holds one character per cell (" " for an empty
  // one); lit segments must look like `lit`, unlit ones like `off`.
  void ExpectSegments(const Painted& p, const std::string& cells, gfx::Color lit, gfx::Color off, int tolerance = 40) {
    const int n = static_cast<int>(cells.size());
    for (int cell = 0; cell < n; ++cell) {
      const std::string want = LitSegments(cells[static_cast<std::size_t>(cell)]);
      for (int s = 0; s < 7; ++s) {
        const gfx::PointF at = SegmentAt(n, cell, s);
        EXPECT_TRUE(Near(p.At(at.X, at.Y), want[static_cast<std::size_t>(s)] == '1' ? lit : off, tolerance))
            << "\"" << cells << "\" cell " << cell << " " << kSegmentNames[s];
      }
    }
  }

  TComponentPtr<TAdvSmoothLedLabel> led;
  const gfx::Color red = gfx::Color::Rgb(255, 0, 0);
  const gfx::Color grey = gfx::Color::Rgb(128, 128, 128);
  const gfx::Color black = gfx::Color::Rgb(0, 0, 0);
  const gfx::Color none = gfx::Color::Argb(0, 0, 0, 0);
};

TEST(LedDefaults, ANewLabelHasItsCaptionDefaults) {
  auto led = MakeComponent<TAdvSmoothLedLabel>();
  EXPECT_EQ(led->Width(), 200);
  EXPECT_EQ(led->Height(), 50);
  const TAdvSmoothLedLabelCaption& c = *led->Caption();
  EXPECT_EQ(c.Format(), "000.00");
  EXPECT_EQ(c.TimeFormat(), "hh:nn:ss");
  EXPECT_EQ(c.ColorStart(), 4227327);
  EXPECT_EQ(c.ColorEnd(), clRed);
  EXPECT_EQ(c.ColorOff(), clGray);
  EXPECT_EQ(c.GradientType(), gtVertical);
  EXPECT_NEAR(c.TimeValue(), now(), 1.0 / 24);
  EXPECT_EQ(led->Version(), "1.1.0.2");
  EXPECT_FALSE(led->Transparent());
}

TEST_F(LedTest, FiftyWithThreeZeroesLightsExactlyTheSegmentsOf050) {
  Painted p(*led);  // unlit segments black on the black background
  ExpectSegments(p, "050", red, black);
  led->Caption()->SetColorOff(clGray);
  Painted grey_off(*led);
  ExpectSegments(grey_off, "050", red, grey);
}

TEST_F(LedTest, ValuesLightTheirDigits) {
  led->Caption()->SetColorOff(clGray);
  struct Row {
    double value;
    const char* format;
    const char* cells;
  } rows[] = {
      {7, "000", "007"},
      {100, "000", "100"},
      {1000, "000", "1000"},  // the integer part is never cut: four cells
      {49.5, "000", "050"},   // halves away from zero
      {-5, "000", "-005"},    // four cells, the first a minus
      {12.5, "000.00", "01250"},
      {8.25, "0.0", "83"},
  };
  for (const Row& row : rows) {
    led->Caption()->SetValue(row.value);
    led->Caption()->SetFormat(row.format);
    Painted p(*led);
    ExpectSegments(p, row.cells, red, grey);
  }
}

TEST_F(LedTest, TheDecimalPointSitsAtTheLowerRightOfThePreviousDigit) {
  led->Caption()->SetFormat("000.00");
  led->Caption()->SetValue(12.5);
  led->SetBounds(0, 0, 300, 90);  // roomy cells: the dot is w / 7 across
  Painted p(*led);
  const float w = 300.0f / 5, u = w / 12, v = 90.0f / 15;
  // The dot's box starts 10u - w right of the fourth cell, i.e. in the third (the digit 2).
  const gfx::PointF dot{3 * w + 10 * u - w + w / 14, 12 * v + w / 14};
  EXPECT_TRUE(Near(p.At(dot.X, dot.Y), red, 40));
  const gfx::PointF afterFive{5 * w - 2 * u + w / 14, 12 * v + w / 14};  // no dot after the last digit
  EXPECT_FALSE(Near(p.At(afterFive.X, afterFive.Y), red, 40));
}

TEST_F(LedTest, ATimeShowsSixDigitCellsWithColonsBetweenThePairs) {
  led->Caption()->SetValueType(vtDateTime);
  led->Caption()->SetTimeValue(encodeDate(2010,12, 30) + encodeTime(12, 34, 56, 0));
  led->Caption()->SetColorOff(clGray);
  led->SetBounds(0, 0, 360, 90);
  Painted p(*led);
  ExpectSegments(p, "123456", red, grey);
  const float w = 60, u = 5, v = 6;
  for (int cell : {2, 4}) {  // the colon before the cell's digit, in the previous cell
    EXPECT_TRUE(Near(p.At(cell * w + 11.2f * u - w + w / 14, 3 * v + w / 14), red, 40)) << cell;
    EXPECT_TRUE(Near(p.At(cell * w + 10 * u - w + w / 14, 9.5f * v + w / 14), red, 40)) << cell;
  }
}

TEST_F(LedTest, ACharacterItCannotDrawKeepsACellButDoesNotAdvance) {
  led->Caption()->SetFormat("#,##0");
  led->Caption()->SetValue(1234);  // "1,234": five cells, the comma draws nothing
  led->Caption()->SetColorOff(clGray);
  led->SetTransparent(true);
  Painted p(*led);
  // The digits fill the first four cells; the last one stays empty, not even unlit.
  const int n = 5;
  for (int cell = 0; cell < 4; ++cell)
    for (int s = 0; s < 7; ++s) {
      const gfx::PointF at = SegmentAt(n, cell, s);
      const bool lit = LitSegments("1234"[cell])[static_cast<std::size_t>(s)] == '1';
      EXPECT_TRUE(Near(p.At(at.X, at.Y), lit ? red : grey, 40)) << cell << " " << kSegmentNames[s];
    }
  for (int s = 0; s < 7; ++s) {
    const gfx::PointF at = SegmentAt(n, 4, s);
    EXPECT_EQ(p.At(at.X, at.Y).A, 0) << kSegmentNames[s];
  }
}

TEST_F(LedTest, WithoutAnOffColourOnlyLitSegmentsAreDrawn) {
  led->Caption()->SetColorOff(clNone);
  led->SetTransparent(true);
  Painted p(*led);
  ExpectSegments(p, "050", red, none);
}

TEST_F(LedTest, TransparentSkipsTheBackground) {
  led->SetTransparent(true);
  Painted p(*led);
  EXPECT_EQ(p.At(0, 18).A, 0) << "no border";
  EXPECT_EQ(p.At(20, 33).A, 0) << "nothing between the segments";
  ExpectSegments(p, "050", red, black);
  led->SetTransparent(false);
  Painted q(*led);
  EXPECT_TRUE(Near(q.At(0, 18), grey, 10)) << "the grey border";
  EXPECT_TRUE(Near(q.At(20, 33), black, 2));
}

TEST_F(LedTest, WithoutALitBrushNoneOfTheTextIsDrawn) {
  led->Caption()->SetColorOff(clGray);
  for (TAdvGradientType type : {gtNone, gtTexture}) {  // gtTexture without a picture
    led->Caption()->SetGradientType(type);
    Painted p(*led);
    ExpectSegments(p, "   ", red, black, 2);
    EXPECT_TRUE(Near(p.At(0, 18), grey, 10)) << "the background is still drawn";
  }
}

TEST_F(LedTest, ATextWithoutCellsDrawsNothing) {
  led->SetTransparent(true);
  led->Caption()->SetColorOff(clGray);
  led->Caption()->SetValue(0);
  struct Row {
    TAdvSmoothLedLabelValueType type;
    const char* pattern;
    const char* text;
  } rows[] = {
      {vtNormal, "#", ""},     // zero shows no digit
      {vtNormal, "'.'", "."},  // a point alone: no cell for it to follow
      {vtDateTime, "::", "::"},
  };
  for (const Row& row : rows) {
    led->Caption()->SetValueType(row.type);
    led->Caption()->SetFormat(row.pattern);
    led->Caption()->SetTimeFormat(row.pattern);
    EXPECT_EQ(LedText(row.type, row.pattern, row.pattern, 0, 0), row.text);
    Painted p(*led);
    for (int y = 0; y < led->Height(); ++y)
      for (int x = 0; x < led->Width(); ++x)
        ASSERT_EQ(p.At(float(x), float(y)).A, 0) << row.pattern << " " << x << "," << y;
  }
}

TEST_F(LedTest, OneGradientRunsAcrossAllDigits) {
  led->Caption()->SetColorStart(clRed);
  led->Caption()->SetColorEnd(clBlue);
  led->Caption()->SetGradientType(gtHorizontal);
  led->Caption()->SetValue(888);
  led->SetBounds(0, 0, 321, 108);
  Painted p(*led);
  // The same segment in each cell takes the gradient's colour at its place on the whole label.
  for (int cell = 0; cell < 3; ++cell)
    for (int s : {0, 3, 6}) {
      const gfx::PointF at = SegmentAt(3, cell, s);
      const float t = at.X / 321.0f;
      const gfx::Color expected = gfx::Color::Rgb(static_cast<std::uint8_t>(255 * (1 - t) + 0.5f), 0,
                                                  static_cast<std::uint8_t>(255 * t + 0.5f));
      EXPECT_TRUE(Near(p.At(at.X, at.Y), expected, 12)) << cell << " " << kSegmentNames[s];
    }
}

TEST_F(LedTest, AVerticalGradientRunsFromTopToBottom) {
  led->Caption()->SetColorStart(clRed);
  led->Caption()->SetColorEnd(clBlue);
  led->SetBounds(0, 0, 321, 108);
  Painted p(*led);
  const gfx::PointF top = SegmentAt(3, 1, 0), bottom = SegmentAt(3, 1, 3);
  EXPECT_GT(p.At(top.X, top.Y).R, 200);
  EXPECT_GT(p.At(bottom.X, bottom.Y).B, 200);
}

TEST_F(LedTest, SaveToImageRendersTheLabelAtTheGivenSize) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "sib_led_label_test.png";
  led->SaveToImage(file, 214, 72, itPNG);
  std::ifstream in(file, std::ios::binary);
  const gfx::Image image = gfx::Image::FromStream(in);
  EXPECT_EQ(image.Width(), 214);
  EXPECT_EQ(image.Height(), 72);
  const float w = 214.0f / 3;
  EXPECT_TRUE(Near(image.GetPixel(static_cast<int>(w + 6.35f * w / 12), static_cast<int>(1.5f * 72 / 15)), red, 40));
  std::filesystem::remove(file);
  EXPECT_THROW(led->SaveToImage(file, 214, 72, itGIF), gfx::EImageError);
  EXPECT_THROW(led->SaveToImage(file, 0, 72, itPNG), gfx::EImageError);
}

TEST_F(LedTest, CaptionChangesReachTheLabelOnlyWhenAValueDiffers) {
  int labelChanges = 0;
  led->OnChange = TNotifyEvent([&](TObject* s) {
    EXPECT_EQ(s, led.get());
    ++labelChanges;
  });
  TAdvSmoothLedLabelCaption& c = *led->Caption();
  c.SetValue(50);  // unchanged
  c.SetFormat("000");
  EXPECT_EQ(labelChanges, 0);
  c.SetValue(51);
  c.SetColorOff(clNone);
  c.SetTimeFormat("nn:ss");
  led->Fill()->SetColor(clRed);
  led->SetTransparent(true);
  led->SetTransparent(true);
  EXPECT_EQ(labelChanges, 5);

  auto copy = MakeComponent<TAdvSmoothLedLabel>();
  copy->Assign(led.get());
  EXPECT_EQ(copy->Caption()->Value(), 51);
  EXPECT_EQ(copy->Caption()->Format(), "000");
  EXPECT_EQ(copy->Fill()->Color(), clRed);
  EXPECT_TRUE(copy->Transparent());
}

class LedOnFormTest : public FormsTest {};

TEST_F(LedOnFormTest, PaintingCountsAndIsOverWhenItReturns) {
  auto form = makeForm(300, 300);
  auto* led = NewComponent<TAdvSmoothLedLabel>(*form);
  led->SetParent(form.get());
  SetUpWindowReadout(*led);
  form->Show();
  form->PaintDirty();
  const std::uint64_t first = led->Getcount();
  EXPECT_GE(first, 1u);
  EXPECT_FALSE(led->IsPainting());
  led->Caption()->SetValue(51);
  form->PaintDirty();
  EXPECT_EQ(led->Getcount(), first + 1);
  // The readout on the window shows its digits: the middle segment of the "5" is lit.
  const std::uint32_t argb = window().ScreenPixel(182 + static_cast<int>(107.0 / 3 + 5.58 * 107.0 / 36), 198 + 17);
  EXPECT_GT((argb >> 16) & 0xFF, 200u);
}

}  // namespace
}  // namespace sib::test

namespace sib::test {
namespace {

void SavePng(const gfx::Image& image, const std::string& name) { test::SavePng(image.Pixels(), SIB_TEST_OUTPUT_DIR, name); }

// The readout alone, then the readout above the level bar where the window has them, on a dark
// ground in the panel's colours, for a person to look at.
TEST_F(LedOnFormTest, TheWindowsReadoutAndBarAreRenderedForAPersonToLookAt) {
  auto solo = MakeComponent<TAdvSmoothLedLabel>();
  SetUpWindowReadout(*solo);
  gfx::Image alone(107, 36);
  {
    gfx::Graphics g(alone.Pixels());
    solo->DrawLedLabel(g, 107, 36);
  }
  SavePng(alone, "led_label_window.png");

  auto form = makeForm(471, 413);
  form->SetColor(0x3A3216);
  auto* led = NewComponent<TAdvSmoothLedLabel>(*form);
  led->SetParent(form.get());
  SetUpWindowReadout(*led);
  auto* tb = NewComponent<TAdvSmoothTrackBar>(*form);
  tb->SetParent(form.get());
  SetUpWindowTrackBar(*tb);
  tb->SetGlowAnimation(false);
  form->Show();
  form->PaintDirty();
  const TImageView screen = window().Screen();
  const TRect crop{40, 185, 430, 285};
  std::vector<std::uint32_t> pixels;
  for (int y = crop.Top; y < crop.Bottom; ++y)
    for (int x = crop.Left; x < crop.Right; ++x) pixels.push_back(screen.Pixel(x, y) | 0xFF000000u);
  gfx::Image shot(crop.Width(), crop.Height());
  shot.Pixels() = gfx::Bitmap::FromArgb(crop.Width(), crop.Height(), pixels);
  SavePng(shot, "window_level_controls.png");
}

}  // namespace
}  // namespace sib::test
