// THintWindow: a tooltip that a control can show, move, update and hide (the hint of a control
// under a resting pointer, or a value shown while a thumb is dragged). It draws its text on the
// hint colour with a thin frame into an image and hands it to a tooltip window of the owner's form's
// host window, made on first use. Positions are in the owner control's coordinates.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/canvas.h"
#include "platform/ui/control.h"
#include "platform/ui/form_host.h"

namespace sib {

class THintWindow {
 public:
  explicit THintWindow(TControl& Owner);
  ~THintWindow();
  THintWindow(const THintWindow&) = delete;
  THintWindow& operator=(const THintWindow&) = delete;

  // Shows `Text` with the tooltip's top left corner at `At`; when shown already, moves it and
  // replaces the text. Nothing happens while the owner is on no shown form.
  void ActivateHint(TPoint At, const std::string& Text);
  void SetText(const std::string& Text);
  void MoveTo(TPoint At);
  void Hide();

  bool Visible() const { return visible_; }
  const std::string& Text() const { return text_; }
  // Where the tooltip stands, in the owner's coordinates.
  TPoint Position() const { return position_; }
  // The size the tooltip takes for a text.
  TRect CalcHintRect(const std::string& Text) const;

  TColor Color = clInfoBk;
  TFont Font;

 private:
  void Render();

  TControl& owner_;
  std::unique_ptr<ITooltipWindow> window_;
  std::string text_;
  TPoint position_;
  bool visible_ = false;
};

}  // namespace sib
