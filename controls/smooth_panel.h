// TAdvSmoothPanel: a container whose background is one gradient fill with an optional plain
// caption (gradient text with a line under it). What it paints is kept in an off-screen ARGB
// bitmap, redrawn only after Changed; an ordinary paint blends that bitmap over what its parent
// painted, so the parent shows through the rounded corners when Transparent is set.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/gdip_picture_container.h"
#include "controls/scaled_cache.h"
#include "controls/smooth_caption.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/win_control.h"

namespace sib {

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

  // The panel's own drawing (fill and captions) on g, as the cache holds it.
  void GDIPPaint(gfx::Graphics& g);

  // How many times the cache was redrawn.
  std::uint64_t CacheRedraws() const { return FCacheRedraws; }
  const gfx::Bitmap& Cache() const { return FCache.Bitmap(); }

 protected:
  void Paint(TCanvas& Canvas) override;
  void Resize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void PartChanged(TObject* Sender) { (void)Sender, Changed(); }
  void RedrawCache(double Scale);
  void DrawPlainCaption(gfx::Graphics& g, gfx::RectF A);
  int ShadowSize() const;

  bool FTransparent = true;
  std::unique_ptr<TAdvSmoothPanelCaption> FCaption;
  std::unique_ptr<TGDIPFill> FFill;
  TGDIPPictureContainer* FPictureContainer = nullptr;
  TAdvSmoothPanelAnchorClickEvent FOnAnchorClick;
  TAdvSmoothPanelDrawEvent FOnDraw;
  bool refreshcache = true;
  TScaledCache FCache;
  std::uint64_t FCacheRedraws = 0;
};

}  // namespace sib
