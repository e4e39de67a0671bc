// A window host without a display, for tests and for programs that render off screen. Each form
// window keeps a screen image of its own, into which every Present copies the damaged part, and a
// log of what the form asked of it (presented rectangles, cursor, capture, tooltip, visibility).
// Tests deliver input through the form's IFormWindowEvents (HeadlessWindow::Events) and read the
// screen image's pixels. Message boxes are recorded; a test may run code "inside" the modal box.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/form_host.h"

namespace sib {

class HeadlessHost;

class HeadlessWindow;

class HeadlessTooltip final : public ITooltipWindow {
 public:
  explicit HeadlessTooltip(HeadlessWindow* owner) : owner_(owner) {}
  ~HeadlessTooltip() override;

  void Show(const TImageView& Image, TPoint At) override;
  void Hide() override;

  bool Visible() const { return visible_; }
  TPoint Position() const { return position_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int ShowCount() const { return shows_; }
  std::vector<std::uint32_t> Pixels;  // the last image shown, rows packed

 private:
  friend class HeadlessWindow;
  HeadlessWindow* owner_;
  bool visible_ = false;
  TPoint position_;
  int width_ = 0;
  int height_ = 0;
  int shows_ = 0;
};

class HeadlessWindow final : public IFormWindow {
 public:
  HeadlessWindow(HeadlessHost& host, const TFormWindowParams& params, IFormWindowEvents& events);
  ~HeadlessWindow() override;

  double ScaleFactor() const override { return 1.0; }
  void SetCaption(const std::string& Caption) override { params_.Caption = Caption; }
  void SetClientSize(int Width, int Height) override;
  void SetIcon(const TImageView& Image) override;
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  void Present(const TImageView& Image, const TRect& Damaged) override;
  void SetCursor(TCursor Cursor) override { cursor_ = Cursor; }
  void SetCapture(bool On) override { captured_ = On; }
  void Activate() override { activated_ = true; }
  std::unique_ptr<ITooltipWindow> CreateTooltip() override;

  IFormWindowEvents& Events() const { return events_; }
  const TFormWindowParams& Params() const { return params_; }
  bool Visible() const { return visible_; }
  bool Captured() const { return captured_; }
  bool Activated() const { return activated_; }
  TCursor Cursor() const { return cursor_; }
  int IconWidth() const { return iconWidth_; }
  int IconHeight() const { return iconHeight_; }
  // The screen image: what the window shows, ClientWidth x ClientHeight pixels.
  std::uint32_t ScreenPixel(int x, int y) const;
  TImageView Screen() const;
  // Every rectangle presented so far, in order.
  const std::vector<TRect>& Presented() const { return presented_; }
  void ClearPresented() { presented_.clear(); }
  // The live tooltips of this window, in order of creation (the form owns them).
  const std::vector<HeadlessTooltip*>& Tooltips() const { return tooltips_; }
  HeadlessTooltip* Tooltip() const { return tooltips_.empty() ? nullptr : tooltips_.back(); }

 private:
  friend class HeadlessTooltip;
  friend class HeadlessHost;

  HeadlessHost& host_;
  TFormWindowParams params_;
  IFormWindowEvents& events_;
  bool visible_ = false;
  bool captured_ = false;
  bool activated_ = false;
  TCursor cursor_ = crDefault;
  int iconWidth_ = 0;
  int iconHeight_ = 0;
  std::vector<std::uint32_t> screen_;
  std::vector<TRect> presented_;
  std::vector<HeadlessTooltip*> tooltips_;
};

class HeadlessHost final : public IFormHost {
 public:
  struct Box {
    std::string Caption;
    std::string Text;
    TMessageBoxKind Kind;
  };

  std::unique_ptr<IFormWindow> CreateFormWindow(const TFormWindowParams& Params, IFormWindowEvents& Events) override;
  void MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) override;
  void OpenUrl(const std::string& Address) override { openedUrls_.push_back(Address); }

  // The live windows, in order of creation.
  const std::vector<HeadlessWindow*>& Windows() const { return windows_; }
  HeadlessWindow* LastWindow() const { return windows_.empty() ? nullptr : windows_.back(); }
  // The addresses opened so far.
  const std::vector<std::string>& OpenedUrls() const { return openedUrls_; }
  // The message boxes shown so far.
  const std::vector<Box>& Boxes() const { return boxes_; }
  // Runs while a message box is "open" (after it is recorded, before MessageBox returns).
  std::function<void(const Box&)> WhileBoxOpen;

 private:
  friend class HeadlessWindow;
  std::vector<HeadlessWindow*> windows_;
  std::vector<Box> boxes_;
  std::vector<std::string> openedUrls_;
};

}  // namespace sib
