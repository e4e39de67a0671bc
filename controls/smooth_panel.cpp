#include "controls/smooth_panel.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

#include "controls/html_markup.h"
#include "platform/components/ini_file.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/pen.h"
#include "platform/ui/canvas.h"
#include "platform/ui/file_icons.h"

namespace sib {

TAdvSmoothPanelCaption::TAdvSmoothPanelCaption(TAdvSmoothPanel* AOwner)
    : TSmoothCaption(plTopLeft, {11563548, 10446362, 255, 255, gtVertical, gfx::HatchStyle::Horizontal, nullptr}),
      FHTMLFont(std::make_unique<TFont>()) {
  FHTMLFont->SetName("Tahoma");
  Font()->SetName("Tahoma");
  Font()->SetSize(12);
  FHTMLFont->OnChange = TNotifyEvent([this](TObject*) { Changed(); });
  if (AOwner != nullptr) SetOwnerChanged([AOwner] { AOwner->Changed(); });
}

TAdvSmoothPanelCaption::~TAdvSmoothPanelCaption() = default;

TPropertyList TAdvSmoothPanelCaption::PublishedProperties() {
  using C = TAdvSmoothPanelCaption;
  const TTypeInfo& color = colorTypeInfo();
  return {
      prop("Text", &C::Text, &C::SetText),
      prop("Location", &C::Location, &C::SetLocation).defaultValue(plTopLeft),
      prop("HatchStyle", &C::HatchStyle, &C::SetHatchStyle).defaultValue(gfx::HatchStyle::Horizontal),
      prop("HTMLFont", &C::HTMLFont, &C::SetHTMLFont),
      prop("HTMLText", &C::HTMLText, &C::SetHTMLText),
      prop("HTMLLocation", &C::HTMLLocation, &C::SetHTMLLocation).defaultValue(plCenterCenter),
      prop("HTMLLeft", &C::HTMLLeft, &C::SetHTMLLeft),
      prop("HTMLTop", &C::HTMLTop, &C::SetHTMLTop),
      prop("HTMLURLColor", &C::HTMLURLColor, &C::SetHTMLURLColor).type(color).defaultValue(16711680),
      prop("HTMLShadowColor", &C::HTMLShadowColor, &C::SetHTMLShadowColor).type(color).defaultValue(8421504),
      prop("HTMLShadowOffset", &C::HTMLShadowOffset, &C::SetHTMLShadowOffset).defaultValue(5),
      prop("Font", &C::Font, &C::SetFont),
      prop("Left", &C::Left, &C::SetLeft),
      prop("Top", &C::Top, &C::SetTop),
      prop("Picture", &C::Picture, &C::SetPicture),
      prop("ColorStart", &C::ColorStart, &C::SetColorStart).type(color).defaultValue(11563548),
      prop("ColorEnd", &C::ColorEnd, &C::SetColorEnd).type(color).defaultValue(10446362),
      prop("OpacityStart", &C::OpacityStart, &C::SetOpacityStart).defaultValue(255),
      prop("OpacityEnd", &C::OpacityEnd, &C::SetOpacityEnd).defaultValue(255),
      prop("GradientType", &C::GradientType, &C::SetGradientType).defaultValue(gtVertical),
      prop("LineColor", &C::LineColor, &C::SetLineColor).type(color).defaultValue(11563548),
      prop("Line", &C::Line, &C::SetLine).defaultValue(true),
      prop("TextRendering", &C::TextRendering, &C::SetTextRendering).defaultValue(tAntiAliasGridFit),
      prop("OnChange", &C::OnChange, &C::SetOnChange),
  };
}

void TAdvSmoothPanelCaption::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothPanelCaption*>(Source);
  if (other == nullptr) return TSmoothCaption::Assign(Source);
  AssignCaption(*other);
  FHTMLFont->Assign(other->FHTMLFont.get());
  FHTMLText = other->FHTMLText;
  FHTMLLocation = other->FHTMLLocation;
  FHTMLLeft = other->FHTMLLeft;
  FHTMLTop = other->FHTMLTop;
  FHTMLURLColor = other->FHTMLURLColor;
  FHTMLShadowColor = other->FHTMLShadowColor;
  FHTMLShadowOffset = other->FHTMLShadowOffset;
  FLineColor = other->FLineColor;
  FLine = other->FLine;
  FTextRendering = other->FTextRendering;
  Changed();
}

TAdvSmoothPanel::TAdvSmoothPanel(TComponent* AOwner)
    : TCustomControl(AOwner),
      FCaption(std::make_unique<TAdvSmoothPanelCaption>(this)),
      FFill(std::make_unique<TGDIPFill>()) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  SetDoubleBuffered(true);
  SetBounds(0, 0, 256, 128);
  FFill->SetOnChange(TNotifyEvent(this, &TAdvSmoothPanel::PartChanged));
}

TAdvSmoothPanel::~TAdvSmoothPanel() {
  SetPictureContainer(nullptr);
  SetImages(nullptr);
}

TPropertyList TAdvSmoothPanel::PublishedProperties() {
  using P = TAdvSmoothPanel;
  return {
      prop("Transparent", &P::Transparent, &P::SetTransparent).defaultValue(true),
      prop("Caption", &P::Caption, &P::SetCaption),
      prop("Fill", &P::Fill, &P::SetFill),
      prop("Images", &P::Images, &P::SetImages),
      prop("PictureContainer", &P::PictureContainer, &P::SetPictureContainer),
      prop("OnAnchorClick", &P::OnAnchorClick, &P::SetOnAnchorClick),
      prop("OnDraw", &P::OnDraw, &P::SetOnDraw),
      prop("Version", &P::Version, &P::SetVersion),
  };
}

void TAdvSmoothPanel::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TAdvSmoothPanel*>(Source);
  if (other == nullptr) return TCustomControl::Assign(Source);
  FCaption->Assign(other->FCaption.get());
  FFill->Assign(other->FFill.get());
  FTransparent = other->FTransparent;
  Changed();
}

void TAdvSmoothPanel::Changed() {
  refreshcache = true;
  Invalidate();
  AccessibleChanged();
}

void TAdvSmoothPanel::DescribeAccessible(TAccessibleDescription& Description) const {
  TCustomControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Panel;
  Description.Name = FCaption->Text();
  Description.States.Exclude(asFocusable);
}

void TAdvSmoothPanel::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  // Without transparency the panel erases itself with its colour, so nothing under it needs painting.
  TControlStyle style = ControlStyle();
  if (FTransparent)
    style = style - TControlStyle{csOpaque};
  else
    style = style + TControlStyle{csOpaque};
  SetControlStyle(style);
  Changed();
}

namespace {

// Points `Field` of `Panel` at `Value`, the panel told when that component goes; false when it
// pointed there already.
template <typename T>
bool Repoint(TComponent* Panel, T*& Field, T* Value) {
  if (Field == Value) return false;
  if (Field != nullptr) Field->RemoveFreeNotification(Panel);
  Field = Value;
  if (Field != nullptr) Field->FreeNotification(Panel);
  return true;
}

}  // namespace

void TAdvSmoothPanel::SetPictureContainer(TGDIPPictureContainer* Value) {
  if (Repoint(this, FPictureContainer, Value)) Changed();
}

void TAdvSmoothPanel::SetImages(TImageList* Value) {
  if (Repoint(this, FImages, Value)) Changed();
}

void TAdvSmoothPanel::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == FPictureContainer) FPictureContainer = nullptr;
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    Changed();
  }
  TCustomControl::Notification(AComponent, Operation);
}

void TAdvSmoothPanel::Resize() {
  TCustomControl::Resize();
  Changed();
}

void TAdvSmoothPanel::Paint(TCanvas& Canvas) {
  if (Width() > 1 && Height() > 1) {
    if (refreshcache || !FCache.Fits(Width(), Height(), Canvas.Scale())) RedrawCache(Canvas.Scale());
    if (!FTransparent) Canvas.FillRect(ClientRect(), Color());
    gfx::Graphics& g = Canvas.Graphics();
    const gfx::GraphicsState saved = g.Save();
    g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
    FCache.DrawTo(g);
    g.Restore(saved);
  }
  FOnDraw(this, Canvas, ClientRect());
}

void TAdvSmoothPanel::RedrawCache(double Scale) {
  refreshcache = false;
  ++FCacheRedraws;
  FCache.Resize(Width(), Height(), Scale);
  gfx::Graphics g(FCache.Bitmap());
  FCache.Prepare(g);
  g.SetSmoothingMode(gfx::SmoothingMode::AntiAlias);
  switch (FCaption->TextRendering()) {
    case tAntiAlias: g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAlias); break;
    case tAntiAliasGridFit: g.SetTextRenderingHint(gfx::TextRenderingHint::AntiAliasGridFit); break;
    case tClearType: g.SetTextRenderingHint(gfx::TextRenderingHint::ClearTypeGridFit); break;
  }
  GDIPPaint(g);
}

int TAdvSmoothPanel::ShadowSize() const { return FFill->ShadowColor() != clNone ? FFill->ShadowOffset() : 0; }

void TAdvSmoothPanel::GDIPPaint(gfx::Graphics& g) {
  const auto W = static_cast<float>(Width());
  const auto H = static_cast<float>(Height());
  // With a border the whole border shows; without one the fill's soft edges fall outside.
  const bool bordered = FFill->BorderColor() != clNone && FFill->BorderWidth() != 0;
  const gfx::RectF R = bordered ? gfx::RectF{0, 0, W - 1, H - 1} : gfx::RectF{-1, -1, W + 1, H + 1};
  const gfx::RectF A = FFill->Fill(&g, R);
  const int captionHeight = FCaption->Text().empty() ? 0 : DrawPlainCaption(g, A);
  FHtmlr = {};
  FHtmlLayout.reset();
  if (!FCaption->HTMLText().empty()) DrawMarkupCaption(g, A, captionHeight);
}

namespace {

// The width a fill picture takes from the caption when both stand on the same edge: the caption's
// left grows by it (picture on the left) or its width shrinks by it (picture on the right).
struct PictureRoom {
  float LeftGrowth = 0;
  float WidthLoss = 0;
};

PictureRoom RoomFor(const TGDIPFill& Fill, TAdvSmoothPanelLocation Location) {
  const TAdvGDIPPicture& pic = *Fill.Picture();
  if (pic.Empty()) return {};
  const auto width = static_cast<float>(Fill.PictureSize() == psCustom ? Fill.PictureWidth() : pic.Width());
  const bool top = Location == plTopLeft || Location == plTopRight;
  const bool bottom = Location == plBottomLeft || Location == plBottomRight;
  switch (Fill.PicturePosition()) {
    case ppTopLeft: return top ? PictureRoom{width, 0} : PictureRoom{};
    case ppBottomLeft: return bottom ? PictureRoom{width, 0} : PictureRoom{};
    case ppTopRight: return top ? PictureRoom{0, width} : PictureRoom{};
    case ppBottomRight: return bottom ? PictureRoom{0, width} : PictureRoom{};
    default: return {};
  }
}

int RoundToInt(float v) { return static_cast<int>(std::lround(v)); }

// Where a caption of tw x th stands at `Location` (not plCustom) in the fill's rectangle A: the
// columns at L, max(W - tw, L) div 2 and max(W - tw, L), the rows at T, (H - th) div 2 and H - th,
// with L, T, W, H the rounded left, top, width and height of A.
TPoint CaptionPosition(TAdvSmoothPanelLocation Location, gfx::RectF A, int tw, int th) {
  const int L = RoundToInt(A.X), T = RoundToInt(A.Y), W = RoundToInt(A.Width), H = RoundToInt(A.Height);
  const int across[] = {L, std::max(W - tw, L) / 2, std::max(W - tw, L)};
  const int down[] = {T, (H - th) / 2, H - th};
  return {across[LocationColumn(Location)], down[LocationRow(Location)]};
}

// The pictures the markup caption names, from the panel's image list, its picture container and
// the desktop's file icons.
class PanelImages : public html::ImageSource {
 public:
  PanelImages(const TImageList* Images, const TGDIPPictureContainer* Container) : FImages(Images), FContainer(Container) {}

  std::shared_ptr<const gfx::Bitmap> Find(const std::string& Source) override {
    const auto prefixed = [&](std::string_view prefix) {
      return Source.size() >= prefix.size() &&
             std::equal(prefix.begin(), prefix.end(), Source.begin(),
                        [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); });
    };
    if (prefixed("IDX:")) {
      if (FImages == nullptr) return nullptr;
      const std::string_view digits = std::string_view(Source).substr(4);
      int index = 0;
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
      if (error != std::errc() || end != digits.data() + digits.size()) return nullptr;
      return FImages->Get(index);
    }
    if (prefixed("SSYS:")) return DesktopFileIcons().Find(Source.substr(5), 16);
    if (prefixed("LSYS:")) return DesktopFileIcons().Find(Source.substr(5), 32);
    if (FContainer == nullptr) return nullptr;
    const TAdvGDIPPicture* picture = FContainer->FindPicture(Source);
    if (picture == nullptr || picture->Empty()) return nullptr;
    try {
      gfx::Image image = picture->Decode();
      return std::make_shared<const gfx::Bitmap>(std::move(image.Pixels()));
    } catch (const gfx::EImageError&) {
      return nullptr;  // a picture that does not decode is drawn as none
    }
  }

 private:
  const TImageList* FImages;
  const TGDIPPictureContainer* FContainer;
};

html::BaseStyle MarkupBase(const TFont& Font) {
  html::BaseStyle base;
  base.Face = Font.Name();
  base.Size = Font.Size();
  base.Bold = Font.Style().Contains(fsBold);
  base.Italic = Font.Style().Contains(fsItalic);
  base.Underline = Font.Style().Contains(fsUnderline);
  base.Strikeout = Font.Style().Contains(fsStrikeOut);
  base.Color = Font.Color();
  return base;
}

// The height of the box the markup caption is measured in: more than any panel is high.
constexpr float kMarkupMeasureHeight = 10000;

}  // namespace

void TAdvSmoothPanel::DrawMarkupCaption(gfx::Graphics& g, gfx::RectF A, int CaptionHeight) {
  const TAdvSmoothPanelCaption& c = *FCaption;
  const bool custom = c.HTMLLocation() == plCustom;
  const int boxWidth = Width() - ShadowSize() - 2 * FFill->BorderWidth() - c.HTMLLeft();

  html::GraphicsMeasure measure(g);
  PanelImages images(FImages, FPictureContainer);
  auto layout = std::make_unique<html::Layout>(
      html::LayOut(std::make_shared<const html::Document>(html::Parse(c.HTMLText(), MarkupBase(*c.HTMLFont()))),
                   measure, &images, static_cast<float>(boxWidth), kMarkupMeasureHeight));
  const int tw = static_cast<int>(std::ceil(layout->Width));
  const int th = static_cast<int>(std::ceil(layout->Height));
  if (th >= Height()) return;  // taller than the panel: not drawn

  TRect where;
  if (custom) {
    where = TRect::FromSize(c.HTMLLeft(), c.HTMLTop(), std::min(boxWidth, Width() - c.HTMLLeft()), th);
  } else {
    const TPoint at = CaptionPosition(c.HTMLLocation(), A, tw, th);
    where = TRect::FromSize(at.X, at.Y + CaptionHeight, tw, th);
  }
  html::PaintOptions options;
  options.UrlColor = ColorToRGB(c.HTMLURLColor());
  options.ShadowColor = ColorToRGB(c.HTMLShadowColor());
  options.ShadowOffset = c.HTMLShadowOffset();
  html::Paint(g, *layout, {static_cast<float>(where.Left), static_cast<float>(where.Top)}, options);
  FHtmlr = where;
  FHtmlLayout = std::move(layout);
}

std::string TAdvSmoothPanel::GetAnchorAt(int X, int Y) {
  if (FCaption->HTMLText().empty()) return {};
  if (refreshcache && Width() > 1 && Height() > 1) RedrawCache(FCache.Scale());
  if (!FHtmlLayout || !FHtmlr.Contains(TPoint{X, Y})) return {};
  return FHtmlLayout->AnchorAt({static_cast<float>(X - FHtmlr.Left), static_cast<float>(Y - FHtmlr.Top)});
}

std::string TAdvSmoothPanel::TrackAnchor(int X, int Y) {
  std::string anchor = GetAnchorAt(X, Y);
  if (!anchor.empty()) {
    if (!FOnAnchor) {
      FOnAnchor = true;
      FoldCursor = Cursor();
      SetCursor(crHandPoint);
    }
  } else {
    LeaveAnchor();
  }
  return anchor;
}

void TAdvSmoothPanel::LeaveAnchor() {
  if (!FOnAnchor) return;
  FOnAnchor = false;
  SetCursor(FoldCursor);
}

void TAdvSmoothPanel::MouseMove(TShiftState Shift, int X, int Y) {
  TrackAnchor(X, Y);
  TCustomControl::MouseMove(Shift, X, Y);
}

void TAdvSmoothPanel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  const std::string anchor = TrackAnchor(X, Y);
  TCustomControl::MouseDown(Button, Shift, X, Y);
  // Last: the handler may change or free the panel.
  if (!anchor.empty()) FOnAnchorClick(this, anchor);
}

void TAdvSmoothPanel::MouseLeave() {
  LeaveAnchor();
  TCustomControl::MouseLeave();
}

int TAdvSmoothPanel::DrawPlainCaption(gfx::Graphics& g, gfx::RectF A) {
  const TAdvSmoothPanelCaption& c = *FCaption;
  const gfx::Font font = CaptionFont(*c.Font());
  const gfx::StringFormat format;

  const PictureRoom room = RoomFor(*FFill, c.Location());
  A.X += room.LeftGrowth;
  A.Width -= room.WidthLoss;
  const float narrowing = room.LeftGrowth;

  const gfx::RectF measured = g.MeasureString(c.Text(), font, {A.X, A.Y, A.Width - narrowing, A.Height}, format).Box;
  const int tw = RoundToInt(measured.Width);
  const int th = RoundToInt(measured.Height);

  int x = c.Left();
  int y = c.Top();
  if (c.Location() != plCustom) {
    const TPoint at = CaptionPosition(c.Location(), A, tw, th);
    x = at.X;
    y = at.Y;
  }

  const auto fx = static_cast<float>(x);
  const auto fy = static_cast<float>(y);
  if (const std::unique_ptr<gfx::Brush> brush = CaptionBrush(c.BrushStyle(), fx, fy, measured.Width, measured.Height)) {
    const gfx::RectF box{fx, fy, static_cast<float>(RoundToInt(A.Width - 2 - narrowing)),
                         static_cast<float>(Height() - ShadowSize() - 1)};
    g.DrawString(c.Text(), font, box, format, *brush);
  }

  if (c.LineColor() != clNone && c.Line()) {
    const float lineY = static_cast<float>(LocationRow(c.Location()) == 2 ? y - 2 : y + th);
    const gfx::Pen pen(MakeColor(255, c.LineColor()), 1);
    g.DrawLine(pen, static_cast<float>(RoundToInt(A.X + 2)), lineY, static_cast<float>(RoundToInt(A.Width - 2)), lineY);
  }
  return th;
}

void TAdvSmoothPanel::LoadFromTheme(const std::filesystem::path& FileName) {
  const IniFile ini(FileName);
  FFill->LoadFromFile(ini, ClassName() + ".Fill");
}

void TAdvSmoothPanel::SaveToTheme(const std::filesystem::path& FileName) {
  IniFile ini(FileName);
  FFill->SaveToFile(ini, ClassName() + ".Fill");
  ini.UpdateFile();
}

void TAdvSmoothPanel::SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight,
                                  TImageType ImageType, int ImageQualityPercentage) {
  if (refreshcache || !FCache.Fits(Width(), Height(), 1.0)) RedrawCache(1.0);
  SaveBitmapToImage(FCache.Bitmap(), Filename, ImageWidth, ImageHeight, ImageType, ImageQualityPercentage);
}

}  // namespace sib
