#include "platform/ui/hint_window.h"

#include "platform/ui/form.h"

namespace sib {
namespace {

constexpr int kMarginX = 4;
constexpr int kMarginY = 2;

}  // namespace

THintWindow::THintWindow(TControl& Owner) : owner_(Owner) { Font.SetColor(clInfoText); }

THintWindow::~THintWindow() = default;

TRect THintWindow::CalcHintRect(const std::string& Text) const {
  const TPoint text = MeasureText(Text, Font);
  const int width = text.X + 2 * kMarginX + 2;
  const int height = text.Y + 2 * kMarginY + 2;
  return TRect::FromSize(0, 0, width, height);
}

void THintWindow::ActivateHint(TPoint At, const std::string& Text) {
  position_ = At;
  text_ = Text;
  Render();
}

void THintWindow::SetText(const std::string& Text) {
  if (Text == text_) return;
  text_ = Text;
  if (visible_) Render();
}

void THintWindow::MoveTo(TPoint At) {
  if (At == position_) return;
  position_ = At;
  if (visible_) Render();
}

void THintWindow::Hide() {
  if (window_) window_->Hide();
  visible_ = false;
}

void THintWindow::Render() {
  TForm* form = owner_.GetParentForm();
  if (!form || !form->Window()) return;
  if (!window_) window_ = form->Window()->CreateTooltip();
  const TRect size = CalcHintRect(text_);
  TFormBuffer image(size.Width(), size.Height());
  {
    gfx::Graphics graphics(image.Pixels(), image.DeviceWidth(), image.DeviceHeight(), image.DeviceWidth() * 4);
    TCanvas canvas(graphics, 1.0, {0, 0}, size);
    canvas.FillRect(size, Color);
    canvas.FrameRect(size, clInfoText);
    canvas.DrawText({kMarginX + 1, kMarginY + 1, size.Right - kMarginX - 1, size.Bottom - kMarginY - 1}, text_, Font);
  }
  window_->Show(image.View(), owner_.ClientToForm(position_));
  visible_ = true;
}

}  // namespace sib
