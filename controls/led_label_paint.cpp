// Painting of LED text: seven slanted segments per digit in a 12 x 15 grid, unlit ones in a dim
// colour, lit ones with one brush across the whole display.
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "controls/led_label.h"
#include "platform/core/date_time_format.h"
#include "platform/core/float_format.h"
#include "platform/ui/canvas.h"

namespace sib {

namespace {

struct Segment {
  std::array<gfx::PointF, 6> Points;
  int Count;
};

// In cell units: x in twelfths of the cell's width, y in fifteenths of its height.
constexpr std::array<Segment, 7> kSegments{{
    {{{{2.8f, 1}, {10, 1}, {8.8f, 2}, {3.8f, 2}}}, 4},                                // top
    {{{{10, 1.4f}, {9.3f, 6.8f}, {8.4f, 6.4f}, {9, 2.2f}}}, 4},                       // upper right
    {{{{9.2f, 7.2f}, {8.7f, 12.7f}, {7.6f, 11.9f}, {8.2f, 7.7f}}}, 4},                // lower right
    {{{{7.4f, 12.1f}, {8.4f, 13}, {1.3f, 13}, {2.2f, 12.1f}}}, 4},                    // bottom
    {{{{2.2f, 11.8f}, {1, 12.7f}, {1.7f, 7.2f}, {2.8f, 7.7f}}}, 4},                   // lower left
    {{{{3, 6.4f}, {1.8f, 6.8f}, {2.6f, 1.3f}, {3.6f, 2.2f}}}, 4},                     // upper left
    {{{{2, 7}, {3.1f, 6.5f}, {8.3f, 6.5f}, {9, 7}, {8.2f, 7.5f}, {2.9f, 7.5f}}}, 6},  // middle
}};

enum : std::uint8_t { kTop = 1, kUpperRight = 2, kLowerRight = 4, kBottom = 8, kLowerLeft = 16, kUpperLeft = 32, kMiddle = 64 };

// The lit segments of each digit.
constexpr std::array<std::uint8_t, 10> kDigits{
    kTop | kUpperRight | kLowerRight | kBottom | kLowerLeft | kUpperLeft,           // 0
    kUpperRight | kLowerRight,                                                      // 1
    kTop | kUpperRight | kBottom | kLowerLeft | kMiddle,                            // 2
    kTop | kUpperRight | kLowerRight | kBottom | kMiddle,                           // 3
    kUpperRight | kLowerRight | kUpperLeft | kMiddle,                               // 4
    kTop | kLowerRight | kBottom | kUpperLeft | kMiddle,                            // 5
    kTop | kLowerRight | kBottom | kLowerLeft | kUpperLeft | kMiddle,               // 6
    kTop | kUpperRight | kLowerRight | kUpperLeft,                                  // 7
    kTop | kUpperRight | kLowerRight | kBottom | kLowerLeft | kUpperLeft | kMiddle, // 8
    kTop | kUpperRight | kLowerRight | kBottom | kUpperLeft | kMiddle,              // 9
};

bool IsDot(char c) { return c == '.' || c == ':'; }

// The cells a text takes: one per character (not per byte of UTF-8) other than "." and ":".
int CellCount(const std::string& Text) {
  int n = 0;
  for (char c : Text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80 && !IsDot(c)) ++n;
  }
  return n;
}

// The brush of the lit segments over the whole display; none where nothing is to be drawn.
std::unique_ptr<gfx::Brush> LitBrush(TGPRectF R, TColor ColorStart, TColor ColorEnd, std::uint8_t OpacityStart,
                                     std::uint8_t OpacityEnd, TAdvGradientType GradientType, int Angle,
                                     gfx::HatchStyle HatchStyle, const TAdvGDIPPicture* Picture) {
  const gfx::Color S = MakeColor(OpacityStart, ColorStart), E = MakeColor(OpacityEnd, ColorEnd);
  using LG = gfx::LinearGradientBrush;
  switch (GradientType) {
    case gtVertical: return std::make_unique<LG>(gfx::PointF{R.X, R.Y}, gfx::PointF{R.X, R.Bottom()}, S, E);
    case gtHorizontal: return std::make_unique<LG>(gfx::PointF{R.X, R.Y}, gfx::PointF{R.Right(), R.Y}, S, E);
    case gtForwardDiagonal: return std::make_unique<LG>(gfx::PointF{R.X, R.Y}, gfx::PointF{R.Right(), R.Bottom()}, S, E);
    case gtBackwardDiagonal: return std::make_unique<LG>(gfx::PointF{R.X, R.Bottom()}, gfx::PointF{R.Right(), R.Y}, E, S);
    case gtAngle: return std::make_unique<LG>(R, S, E, static_cast<float>(Angle), gfx::AngleScaling::Fixed);
    case gtHatch: return std::make_unique<gfx::HatchBrush>(HatchStyle, S, E);
    case gtTexture:
      if (!Picture || Picture->Empty()) return nullptr;
      try {
        return std::make_unique<gfx::TextureBrush>(Picture->Decode().Pixels());
      } catch (const gfx::EImageError&) {
        return nullptr;  // a picture that no longer decodes paints nothing, as a failed drawing does
      }
    case gtNone: return nullptr;
    case gtSolid:
    case gtRadial:
    case gtPath: break;
  }
  return std::make_unique<gfx::SolidBrush>(S);
}

// Collects the segments of a whole text into two paths, one unlit and one lit, so that each is
// filled once: the lit brush then spans every digit, and overlapping unlit segments (a dot's and the
// next digit's) are filled once, in the nonzero rule.
class LedPainter {
 public:
  LedPainter(float W, float H) : w_(W), u_(W / 12), v_(H / 15) {}

  void Character(char c, float x0, float y0) {
    AddSegments(unlit_, 0x7F, x0, y0);
    if (c >= '0' && c <= '9') AddSegments(lit_, kDigits[static_cast<std::size_t>(c - '0')], x0, y0);
    else if (c == '-') AddSegments(lit_, kMiddle, x0, y0);
    else if (c == ':') {
      Dot(x0 + 11.2f * u_ - w_, y0 + 3 * v_);
      Dot(x0 + 10 * u_ - w_, y0 + 9.5f * v_);
    } else if (c == '.') {
      Dot(x0 + 10 * u_ - w_, y0 + 12 * v_);
    }
  }

  const gfx::Path& Unlit() const { return unlit_; }
  const gfx::Path& Lit() const { return lit_; }

 private:
  void AddSegments(gfx::Path& path, std::uint8_t mask, float x0, float y0) {
    for (std::size_t i = 0; i < kSegments.size(); ++i) {
      if (!(mask & (1u << i))) continue;
      const Segment& s = kSegments[i];
      std::array<gfx::PointF, 6> points;
      for (int k = 0; k < s.Count; ++k) points[k] = {x0 + s.Points[k].X * u_, y0 + s.Points[k].Y * v_};
      path.AddPolygon(std::span<const gfx::PointF>(points.data(), static_cast<std::size_t>(s.Count)));
    }
  }
  void Dot(float x, float y) { lit_.AddEllipse(x, y, w_ / 7, w_ / 7); }

  float w_, u_, v_;
  gfx::Path unlit_{gfx::FillMode::Winding};
  gfx::Path lit_{gfx::FillMode::Winding};
};

}  // namespace

std::string LedText(TFillValueType ValueType, const std::string& Format, const std::string& TimeFormat, double Value,
                    TDateTime TimeValue) {
  // The patterns always write "." as the decimal point, which is what the digits draw.
  try {
    return ValueType == vtDateTime ? FormatDateTime(TimeFormat, TimeValue) : FormatFloat(Format, Value);
  } catch (const std::exception&) {
    return {};
  }
}

void DrawLed(gfx::Graphics& Graphics, TGPRectF R, TFillValueType ValueType, const std::string& Format,
             const std::string& TimeFormat, double Value, TDateTime TimeValue, TColor ColorOff,
             std::uint8_t ColorOffOpacity, TColor ColorStart, TColor ColorEnd, std::uint8_t OpacityStart,
             std::uint8_t OpacityEnd, TAdvGradientType GradientType, int Angle, gfx::HatchStyle HatchStyle,
             const TAdvGDIPPicture* Picture) {
  const std::string text = LedText(ValueType, Format, TimeFormat, Value, TimeValue);
  const int n = CellCount(text);
  // No cells, no width to share out.
  if (n == 0 || R.IsEmpty()) return;
  const std::unique_ptr<gfx::Brush> lit =
      LitBrush(R, ColorStart, ColorEnd, OpacityStart, OpacityEnd, GradientType, Angle, HatchStyle, Picture);
  if (!lit) return;

  const float w = R.Width / static_cast<float>(n);
  LedPainter painter(w, R.Height);
  float x = R.X;
  for (char c : text) {
    if ((c >= '0' && c <= '9') || c == '-') {
      painter.Character(c, x, R.Y);
      x += w;
    } else if (IsDot(c)) {
      painter.Character(c, x, R.Y);
    }
  }
  if (ColorOff != clNone) Graphics.FillPath(gfx::SolidBrush(MakeColor(ColorOffOpacity, ColorOff)), painter.Unlit());
  Graphics.FillPath(*lit, painter.Lit());
}

void TAdvSmoothLedLabel::DrawLedLabel(gfx::Graphics& g, int W, int H) {
  if (W <= 0 || H <= 0) return;
  const gfx::GraphicsState saved = g.Save();
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  if (!FTransparent) FFill->Fill(&g, TGPRectF{0, 0, float(W - 1), float(H - 1)});
  const TAdvSmoothLedLabelCaption& c = *FCaption;
  DrawLed(g, TGPRectF{0, 0, float(W), float(H)}, c.ValueType(), c.Format(), c.TimeFormat(), c.Value(), c.TimeValue(),
          c.ColorOff(), c.ColorOffOpacity(), c.ColorStart(), c.ColorEnd(), c.OpacityStart(), c.OpacityEnd(),
          c.GradientType(), c.Angle(), c.HatchStyle(), c.Picture());
  g.Restore(saved);
}

void TAdvSmoothLedLabel::Paint(TCanvas& Canvas) {
  FIsPainting = true;
  ++FCount;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{FIsPainting};
  DrawLedLabel(Canvas.Graphics(), Width(), Height());
}

}  // namespace sib
