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
  // Until text is measured by the drawing layer, an average character width.
  const int width = static_cast<int>(Text.size()) * 6 + 2 * kMarginX + 2;
  const int height = static_cast<int>(Font.PixelHeight()) + 2 * kMarginY + 4;
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
  TCanvas canvas(image, {0, 0}, size);
  canvas.FillRect(size, Color);
  canvas.FrameRect(size, clInfoText);
  window_->Show(image.View(), owner_.ClientToForm(position_));
  visible_ = true;
}

}  // namespace sib
