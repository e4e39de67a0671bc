// TAdvSmoothLabel: a windowless label whose text is painted with a gradient (or another caption
// brush), optionally behind it a shadow text at an offset, optionally over a fill. It keeps no
// cache: every paint of its parent draws it completely.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "controls/smooth_caption.h"
#include "platform/ui/control.h"

namespace sib {

class TAdvSmoothLabel;

enum class TTextRenderingHint : std::uint8_t { tAntiAlias, tClearType };
SIB_ENUM_NAMES(TTextRenderingHint, tAntiAlias, tClearType)

class TAdvSmoothLabelCaption : public TSmoothCaption {
  SIB_CLASS(TAdvSmoothLabelCaption, TSmoothCaption)
 public:
  explicit TAdvSmoothLabelCaption(TAdvSmoothLabel* AOwner = nullptr);

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;
};

class TAdvSmoothLabel : public TGraphicControl {
  SIB_CLASS(TAdvSmoothLabel, TGraphicControl)
 public:
  explicit TAdvSmoothLabel(TComponent* AOwner);
  ~TAdvSmoothLabel() override;

  static TPropertyList PublishedProperties();
  void Assign(TPersistent* Source) override;

  // Repaints and raises OnChange.
  void Changed();

  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }
  TAdvSmoothLabelCaption* Caption() const { return FCaption.get(); }
  void SetCaption(TAdvSmoothLabelCaption* Value) { FCaption->Assign(Value); }
  TAdvSmoothLabelCaption* CaptionShadow() const { return FCaptionShadow.get(); }
  void SetCaptionShadow(TAdvSmoothLabelCaption* Value) { FCaptionShadow->Assign(Value); }
  bool CaptionShadowVisible() const { return FCaptionShadowVisible; }
  void SetCaptionShadowVisible(bool Value) { Set(FCaptionShadowVisible, Value); }
  int CaptionShadowOffsetLeft() const { return FCaptionShadowOffsetLeft; }
  void SetCaptionShadowOffsetLeft(int Value) { Set(FCaptionShadowOffsetLeft, Value); }
  int CaptionShadowOffsetTop() const { return FCaptionShadowOffsetTop; }
  void SetCaptionShadowOffsetTop(int Value) { Set(FCaptionShadowOffsetTop, Value); }
  std::string Version() const { return "1.5.0.0"; }
  void SetVersion(const std::string&) {}
  // The control this label names: assistive technology reads the label's text as that control's name
  // (TControl::AccessibleLabel). nullptr: none; forgotten when that control dies.
  TControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TControl* Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value) { Set(FTransparent, Value); }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value) { Set(FWordWrap, Value); }
  TTextRenderingHint TextRendering() const { return FTextRendering; }
  void SetTextRendering(TTextRenderingHint Value) { Set(FTextRendering, Value); }
  const TNotifyEvent& OnChange() const { return FOnChangeEvent; }
  void SetOnChange(TNotifyEvent Value) { FOnChangeEvent = std::move(Value); }

  // Draws the label at (0, 0) of g, as a paint of its parent does at the label's place.
  void DrawLabel(gfx::Graphics& g);

  // Paints the label into a bitmap of its size, stretches that to ImageWidth x ImageHeight and
  // saves it in the format of ImageType.
  void SaveToImage(const std::filesystem::path& Filename, int ImageWidth, int ImageHeight,
                   TImageType ImageType = itPNG, int ImageQualityPercentage = 100);
  void LoadFromTheme(const std::filesystem::path&) {}
  void SaveToTheme(const std::filesystem::path&) {}

 protected:
  void Paint(TCanvas& Canvas) override;
  // A label named by its caption's text.
  void DescribeAccessible(TAccessibleDescription& Description) const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  template <class T>
  void Set(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void PartChanged(TObject* Sender) { (void)Sender, Changed(); }
  void DrawCaption(const TAdvSmoothLabelCaption& c, gfx::Graphics& g, gfx::RectF R, int OffsetX, int OffsetY) const;

  std::unique_ptr<TGDIPFill> FFill;
  std::unique_ptr<TAdvSmoothLabelCaption> FCaption;
  std::unique_ptr<TAdvSmoothLabelCaption> FCaptionShadow;
  bool FCaptionShadowVisible = false;
  int FCaptionShadowOffsetLeft = 1;
  int FCaptionShadowOffsetTop = 1;
  bool FTransparent = true;
  bool FWordWrap = false;
  TTextRenderingHint FTextRendering = TTextRenderingHint::tAntiAlias;
  TNotifyEvent FOnChangeEvent;
  TControl* FFocusControl = nullptr;
};

}  // namespace sib
