// TAdvSmoothPanel: a container whose background is one gradient fill with an optional plain
// caption (gradient text with a line under it) and an optional markup caption (html_markup.h),
// whose anchors show the hand pointer and raise OnAnchorClick when pressed. What it paints is kept
// in an off-screen ARGB bitmap, redrawn only after Changed; an ordinary paint blends that bitmap
// over what its parent painted, so the parent shows through the rounded corners when Transparent
// is set.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/gdip_picture_container.h"
#include "controls/scaled_cache.h"
#include "controls/smooth_caption.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/image_list.h"
#include "platform/ui/win_control.h"

namespace sib {

namespace html {
struct Layout;
}

class TAdvSmoothPanel;

enum TAdvSmoothPanelTextRenderingHint : std::uint8_t { tAntiAlias, tAntiAliasGridFit, tClearType };
SIB_ENUM_NAMES(TAdvSmoothPanelTextRenderingHint, tAntiAlias, tAntiAliasGridFit, tClearType)

using TAdvSmoothPanelAnchorClickEvent = TEvent<TObject*, std::string>;
using TAdvSmoothPanelDrawEvent = TEvent<TObject*, TCanvas&, TRect>;

class TAdvSmoothPanelCaption : public TSmoothCaption {
  SIB_CLASS(TAdvSmoothPanelCaption, TSmoothCaption)
 public:
  explicit TAdvSmoothPanelCaption(TAdvSmoothPanel* AOwner = nullptr);
  ~TAdvSmoothPanelCaption() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  TFont* HTMLFont() const { return FHTMLFont.get(); }
  void SetHTMLFont(TFont* Value) { FHTMLFont->Assign(Value); }
  const std::string& HTMLText() const { return FHTMLText; }
  void SetHTMLText(const std::string& Value) { Set(FHTMLText, Value); }
  TAdvSmoothPanelLocation HTMLLocation() const { return FHTMLLocation; }
  void SetHTMLLocation(TAdvSmoothPanelLocation Value) { Set(FHTMLLocation, Value); }
  int HTMLLeft() const { return FHTMLLeft; }
  void SetHTMLLeft(int Value) { Set(FHTMLLeft, Value); }
  int HTMLTop() const { return FHTMLTop; }
  void SetHTMLTop(int Value) { Set(FHTMLTop, Value); }
  TColor HTMLURLColor() const { return FHTMLURLColor; }
  void SetHTMLURLColor(TColor Value) { Set(FHTMLURLColor, Value); }
  TColor HTMLShadowColor() const { return FHTMLShadowColor; }
  void SetHTMLShadowColor(TColor Value) { Set(FHTMLShadowColor, Value); }
  int HTMLShadowOffset() const { return FHTMLShadowOffset; }
  void SetHTMLShadowOffset(int Value) { Set(FHTMLShadowOffset, Value); }
  TColor LineColor() const { return FLineColor; }
  void SetLineColor(TColor Value) { Set(FLineColor, Value); }
  bool Line() const { return FLine; }
  void SetLine(bool Value) { Set(FLine, Value); }
  TAdvSmoothPanelTextRenderingHint TextRendering() const { return FTextRendering; }
  void SetTextRendering(TAdvSmoothPanelTextRenderingHint Value) { Set(FTextRendering, Value); }

 private:
  std::unique_ptr<TFont> FHTMLFont;
  std::string FHTMLText;
  TAdvSmoothPanelLocation FHTMLLocation = plCenterCenter;
  int FHTMLLeft = 0;
  int FHTMLTop = 0;
  TColor FHTMLURLColor = 16711680;
  TColor FHTMLShadowColor = 8421504;
  int FHTMLShadowOffset = 5;
  TColor FLineColor = 11563548;
  bool FLine = true;
  TAdvSmoothPanelTextRenderingHint FTextRendering = tAntiAliasGridFit;
};

class TAdvSmoothPanel : public TCustomControl {
  SIB_CLASS(TAdvSmoothPanel, TCustomControl)
 public:
  explicit TAdvSmoothPanel(TComponent* AOwner);
  ~TAdvSmoothPanel() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  // The cache must be redrawn: marks it so and repaints.
  void Changed();

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TAdvSmoothPanelCaption* Caption() const { return FCaption.get(); }
  void SetCaption(TAdvSmoothPanelCaption* Value) { FCaption->Assign(Value); }
  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  // Pictures of the markup: "IDX:n" is picture n of Images, "SSYS:name" and "LSYS:name" the
  // desktop's small (16) and large (32) icon for a file of that name, any other name a picture
  // of PictureContainer.
  TImageList* Images() const { return FImages; }
  void SetImages(TImageList* Value);
  TGDIPPictureContainer* PictureContainer() const { return FPictureContainer; }
  void SetPictureContainer(TGDIPPictureContainer* Value);
  std::string Version() const { return "1.0.9.3"; }
  void SetVersion(const std::string&) {}
  const TAdvSmoothPanelAnchorClickEvent& OnAnchorClick() const { return FOnAnchorClick; }
  void SetOnAnchorClick(TAdvSmoothPanelAnchorClickEvent Value) { FOnAnchorClick = std::move(Value); }
  const TAdvSmoothPanelDrawEvent& OnDraw() const { return FOnDraw; }
  void SetOnDraw(TAdvSmoothPanelDrawEvent Value) { FOnDraw = std::move(Value); }

  // The fill in the INI section "<class name>.Fill"; the caption's section stores nothing.
  void LoadFromTheme(const std::filesystem::path& FileName);
  void SaveToTheme(const std::filesystem::path& FileName);

  // Paints fill and caption into a bitmap of the panel's size, stretches that to ImageWidth x
  // ImageHeight and saves it in the format of ImageType.
  void SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight,
                   TImageType ImageType = itPNG, int ImageQualityPercentage = 100);

  // The panel's own drawing (fill and captions) on g, as the cache holds it. Keeps where the
  // markup caption went and how it was laid out, for GetAnchorAt.
  void GDIPPaint(gfx::Graphics& g);

  // The reference of the markup anchor under (X, Y), or "". Brings the cache up to date first
  // when it is stale, so that the answer is about what the next paint shows.
  std::string GetAnchorAt(int X, int Y);
  // Where the markup caption was last drawn; empty when it was not.
  TRect HtmlRect() const { return FHtmlr; }

  // How many times the cache was redrawn.
  std::uint64_t CacheRedraws() const { return FCacheRedraws; }
  const gfx::Bitmap& Cache() const { return FCache.Bitmap(); }

 protected:
  void Paint(TCanvas& Canvas) override;
  // A panel named by its plain caption, grouping what it holds.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void Resize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;

 private:
  void PartChanged(TObject* Sender) { (void)Sender, Changed(); }
  void RedrawCache(double Scale);
  // Draws the plain caption and returns its height.
  int DrawPlainCaption(gfx::Graphics& g, gfx::RectF A);
  void DrawMarkupCaption(gfx::Graphics& g, gfx::RectF A, int CaptionHeight);
  int ShadowSize() const;
  // Follows the pointer at (X, Y) over the anchors (the hand over one, the remembered cursor
  // elsewhere) and returns the anchor under it.
  std::string TrackAnchor(int X, int Y);
  // Gives back the remembered cursor when the pointer was over an anchor.
  void LeaveAnchor();

  bool FTransparent = true;
  std::unique_ptr<TAdvSmoothPanelCaption> FCaption;
  std::unique_ptr<TGDIPFill> FFill;
  TImageList* FImages = nullptr;
  TGDIPPictureContainer* FPictureContainer = nullptr;
  TAdvSmoothPanelAnchorClickEvent FOnAnchorClick;
  TAdvSmoothPanelDrawEvent FOnDraw;
  bool refreshcache = true;
  TScaledCache FCache;
  std::uint64_t FCacheRedraws = 0;
  TCursor FoldCursor = crDefault;
  bool FOnAnchor = false;
  TRect FHtmlr;
  std::unique_ptr<html::Layout> FHtmlLayout;  // of the markup caption drawn at FHtmlr
};

}  // namespace sib
