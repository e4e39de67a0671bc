#include "platform/ui/headless_host.h"

#include <algorithm>
#include <cstring>

namespace sib {

HeadlessTooltip::~HeadlessTooltip() {
  if (!owner_) return;
  auto& list = owner_->tooltips_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void HeadlessTooltip::Show(const TImageView& Image, TPoint At) {
  visible_ = true;
  position_ = At;
  width_ = Image.Width;
  height_ = Image.Height;
  ++shows_;
  Pixels.assign(static_cast<std::size_t>(std::max(0, width_ * height_)), 0);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) Pixels[static_cast<std::size_t>(y * width_ + x)] = Image.Pixel(x, y);
}

void HeadlessTooltip::Hide() { visible_ = false; }

HeadlessWindow::HeadlessWindow(HeadlessHost& host, const TFormWindowParams& params, IFormWindowEvents& events)
    : host_(host), params_(params), events_(events) {
  SetClientSize(params.ClientWidth, params.ClientHeight);
  host_.windows_.push_back(this);
}

HeadlessWindow::~HeadlessWindow() {
  for (HeadlessTooltip* tip : tooltips_) tip->owner_ = nullptr;
  auto& list = host_.windows_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void HeadlessWindow::SetClientSize(int Width, int Height) {
  params_.ClientWidth = std::max(0, Width);
  params_.ClientHeight = std::max(0, Height);
  screen_.assign(static_cast<std::size_t>(params_.ClientWidth) * static_cast<std::size_t>(params_.ClientHeight), 0);
}

void HeadlessWindow::SetIcon(const TImageView& Image) {
  iconWidth_ = Image.Width;
  iconHeight_ = Image.Height;
}

void HeadlessWindow::Present(const TImageView& Image, const TRect& Damaged) {
  const TRect area = Damaged.Intersect(TRect::FromSize(0, 0, std::min(Image.Width, params_.ClientWidth),
                                                       std::min(Image.Height, params_.ClientHeight)));
  presented_.push_back(Damaged);
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x)
      screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(params_.ClientWidth) + static_cast<std::size_t>(x)] =
          Image.Pixel(x, y);
}

std::unique_ptr<ITooltipWindow> HeadlessWindow::CreateTooltip() {
  auto tip = std::make_unique<HeadlessTooltip>(this);
  tooltips_.push_back(tip.get());
  return tip;
}

std::uint32_t HeadlessWindow::ScreenPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= params_.ClientWidth || y >= params_.ClientHeight) return 0;
  return screen_[static_cast<std::size_t>(y) * static_cast<std::size_t>(params_.ClientWidth) + static_cast<std::size_t>(x)];
}

TImageView HeadlessWindow::Screen() const {
  return TImageView{screen_.data(), params_.ClientWidth, params_.ClientHeight, params_.ClientWidth * 4};
}

std::unique_ptr<IFormWindow> HeadlessHost::CreateFormWindow(const TFormWindowParams& Params, IFormWindowEvents& Events) {
  return std::make_unique<HeadlessWindow>(*this, Params, Events);
}

void HeadlessHost::MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) {
  const std::vector<HeadlessWindow*> windows = windows_;
  for (HeadlessWindow* window : windows)
    if (window->captured_) {
      window->captured_ = false;
      window->events_.HostCaptureLost();
    }
  boxes_.push_back(Box{Caption, Text, Kind});
  if (WhileBoxOpen) WhileBoxOpen(boxes_.back());
}

}  // namespace sib
