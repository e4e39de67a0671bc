#include "platform/ui/form.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "platform/core/errors.h"
#include "platform/ui/canvas.h"
#include "platform/ui/forms_application.h"
#include "platform/ui/hint_window.h"

namespace sib {
namespace {

constexpr std::uint32_t kPaintMessage = kUserMessage + 1;
constexpr std::uint32_t kHintShowTimer = 1;
constexpr std::uint32_t kHintHideTimer = 2;
constexpr int kHintOffsetY = 20;  // below the pointer's hot spot, clear of the arrow

bool isOrInside(const TControl* inner, const TControl* outer) {
  for (const TControl* c = inner; c; c = c->Parent())
    if (c == outer) return true;
  return false;
}

std::vector<TControl*> chainOf(TControl* control) {
  std::vector<TControl*> chain;
  for (TControl* c = control; c; c = c->Parent()) chain.push_back(c);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool contains(const std::vector<TControl*>& list, const TControl* c) {
  return std::find(list.begin(), list.end(), c) != list.end();
}

bool isArrow(TKey key) { return key >= VK_LEFT && key <= VK_DOWN; }

}  // namespace

// Controls that a handler may destroy while the form walks a list of them: the form nulls what
// leaves the tree while the list is registered.
class TForm::Delivery {
 public:
  Delivery(TForm& form, std::vector<TControl*> controls) : form_(form), controls_(std::move(controls)) {
    form_.FDeliveries.push_back(this);
  }
  ~Delivery() { form_.FDeliveries.erase(std::find(form_.FDeliveries.begin(), form_.FDeliveries.end(), this)); }
  Delivery(const Delivery&) = delete;
  Delivery& operator=(const Delivery&) = delete;

  std::size_t size() const { return controls_.size(); }
  TControl* operator[](std::size_t i) const { return controls_[i]; }
  void Drop(const TControl* gone) {
    for (TControl*& c : controls_)
      if (c && isOrInside(c, gone)) c = nullptr;
  }

 private:
  TForm& form_;
  std::vector<TControl*> controls_;
};

// --- TIcon ----------------------------------------------------------------------------------------

namespace {

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) | (std::uint32_t{b[at + 3]} << 24);
}

struct IconDirEntry {
  int width;
  int height;
  int bitCount;
  std::uint32_t size;
  std::uint32_t offset;
  std::size_t at;  // where the entry itself lies in the directory
};

constexpr std::size_t kIconHeaderSize = 6;
constexpr std::size_t kIconEntrySize = 16;

// The directory of an icon file; empty when the bytes are not one.
std::vector<IconDirEntry> readIconDirectory(const std::vector<std::uint8_t>& b) {
  std::vector<IconDirEntry> entries;
  if (b.size() < kIconHeaderSize || le16(b, 0) != 0 || le16(b, 2) != 1) return entries;
  const std::size_t count = le16(b, 4);
  if (b.size() < kIconHeaderSize + kIconEntrySize * count) return entries;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kIconHeaderSize + kIconEntrySize * i;
    IconDirEntry e{b[at] == 0 ? 256 : b[at], b[at + 1] == 0 ? 256 : b[at + 1], le16(b, at + 6), le32(b, at + 8),
                   le32(b, at + 12), at};
    if (e.offset > b.size() || e.size > b.size() - e.offset) return {};
    entries.push_back(e);
  }
  return entries;
}

bool isPng(const std::vector<std::uint8_t>& b, const IconDirEntry& e) {
  static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G'};
  return e.size >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), b.begin() + e.offset);
}

// The one image of entry `e` as an icon file of its own: the image library decodes the largest image
// of a file by its own rules, and the window's choice (largest, then deepest, PNG passed over) is
// made here.
std::vector<std::uint8_t> singleImageIcon(const std::vector<std::uint8_t>& b, const IconDirEntry& e) {
  std::vector<std::uint8_t> file{0, 0, 1, 0, 1, 0};
  file.insert(file.end(), b.begin() + static_cast<std::ptrdiff_t>(e.at),
              b.begin() + static_cast<std::ptrdiff_t>(e.at + kIconEntrySize - 4));
  const std::uint32_t offset = kIconHeaderSize + kIconEntrySize;
  for (int shift = 0; shift < 32; shift += 8) file.push_back(static_cast<std::uint8_t>(offset >> shift));
  file.insert(file.end(), b.begin() + e.offset, b.begin() + e.offset + e.size);
  return file;
}

struct LoaderFree {
  void operator()(GdkPixbufLoader* loader) const { g_object_unref(loader); }
};
struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

// Decodes one bitmap image (with its AND mask) through gdk-pixbuf's icon loader into premultiplied
// ARGB; false for PNG images and anything the loader refuses.
bool decodeIconImage(const std::vector<std::uint8_t>& b, const IconDirEntry& e, TIcon::Image& out) {
  if (isPng(b, e)) return false;
  const std::vector<std::uint8_t> file = singleImageIcon(b, e);
  GError* rawError = nullptr;
  std::unique_ptr<GdkPixbufLoader, LoaderFree> loader(gdk_pixbuf_loader_new_with_type("ico", &rawError));
  std::unique_ptr<GError, ErrorFree> error(rawError);
  if (!loader) return false;
  const bool written = gdk_pixbuf_loader_write(loader.get(), file.data(), file.size(), nullptr);
  const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (!written || !closed || !pixbuf || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8)
    return false;
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  if (width <= 0 || height <= 0 || channels != (alpha ? 4 : 3)) return false;
  const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  out.Width = width;
  out.Height = height;
  out.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    const guchar* row = pixels + stride * static_cast<std::size_t>(y);
    for (int x = 0; x < width; ++x) {
      const guchar* p = row + static_cast<std::size_t>(channels) * static_cast<std::size_t>(x);
      const std::uint32_t a = alpha ? p[3] : 255;
      const std::uint32_t r = p[0] * a / 255, g = p[1] * a / 255, bl = p[2] * a / 255;
      out.Pixels[static_cast<std::size_t>(y * width + x)] = a << 24 | r << 16 | g << 8 | bl;
    }
  }
  return true;
}

}  // namespace

void TIcon::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TIcon*>(Source)) {
    FData = other->FData;
    OnChange(this);
    return;
  }
  if (!Source) {
    FData.clear();
    OnChange(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TIcon::DefineProperties(TFiler& Filer) {
  TPersistent::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Data", [this](const std::vector<std::uint8_t>& bytes) { SetData(bytes); }, [this] { return FData; },
      !FData.empty());
}

void TIcon::SetData(std::vector<std::uint8_t> Bytes) {
  if (!Bytes.empty() && readIconDirectory(Bytes).empty()) throw EInvalidOperation("Invalid icon");
  FData = std::move(Bytes);
  OnChange(this);
}

std::vector<TIcon::Entry> TIcon::Entries() const {
  std::vector<Entry> entries;
  for (const IconDirEntry& e : readIconDirectory(FData)) entries.push_back({e.width, e.height, e.bitCount});
  return entries;
}

TIcon::Image TIcon::LargestImage() const {
  std::vector<IconDirEntry> entries = readIconDirectory(FData);
  // Largest first, deepest colour first among equals.
  std::stable_sort(entries.begin(), entries.end(), [](const IconDirEntry& a, const IconDirEntry& b) {
    return a.width * a.height != b.width * b.height ? a.width * a.height > b.width * b.height : a.bitCount > b.bitCount;
  });
  for (const IconDirEntry& e : entries) {
    Image image;
    if (decodeIconImage(FData, e, image)) return image;
  }
  return {};
}

// --- TForm: creation ------------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner), FIcon(std::make_unique<TIcon>()) {
  FVisible = false;
  FParentFont = false;
  FParentShowHint = false;
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FMessages = std::make_unique<MessageWindow>([this](Message& msg) { HandleMessage(msg); });
  FIcon->OnChange = TNotifyEvent(std::function<void(TObject*)>([this](TObject*) {
    if (FWindow) ApplyIcon();
  }));
  if (TApplication* app = TApplication::CurrentOrNull()) {
    FApplication = app;
    app->FormCreated(this);
  }
}

TForm::~TForm() {
  if (FApplication) FApplication->FormGone(this);
}

TPropertyList TForm::PublishedProperties() {
  return {
      prop("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons)
          .defaultValue(TBorderIcons{biSystemMenu, biMinimize, biMaximize}),
      prop("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle).defaultValue(bsSizeable),
      prop("Caption", &TControl::Text, &TControl::SetText),
      prop("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight),
      prop("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth),
      prop("Icon", &TForm::Icon, &TForm::SetIcon),
      prop("OldCreateOrder", &TForm::FOldCreateOrder),
      prop("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch),
      prop("Position", &TForm::Position, &TForm::SetPosition).defaultValue(poDesigned),
      prop("TextHeight", &TForm::FTextHeight),
      prop("Visible", &TControl::Visible, &TControl::SetVisible).defaultValue(false),
      prop("OnClose", &TForm::OnClose),
      prop("OnCloseQuery", &TForm::OnCloseQuery),
      prop("OnCreate", &TForm::OnCreate),
      prop("OnDestroy", &TForm::OnDestroy),
      prop("OnHide", &TForm::OnHide),
      prop("OnShow", &TForm::OnShow),
  };
}

void TForm::BeforeDestruction() {
  if (!ComponentState().Contains(csDestroying)) {
    try {
      OnDestroy(this);
    } catch (...) {
      FMessages->Owner().HandleCurrentException();
    }
  }
  Destroying();
  CancelHint();
  FHintWindow.reset();
  FActiveControl = nullptr;
  FCapture = nullptr;
  FClickControl = nullptr;
  FHintControl = nullptr;
  FHover.clear();
  // The form's components go while the form is whole, the last created first.
  while (ComponentCount() > 0) FreeComponent(Components(ComponentCount() - 1));
  TWinControl::BeforeDestruction();
  FWindow.reset();
  FMessages.reset();
}

void TForm::Loaded() { TWinControl::Loaded(); }

void TForm::LoadFromDescription(std::string_view Text) {
  LoadDescription(Text, *this);
  DoCreate();
}

void TForm::DoCreate() {
  FCreated = true;
  OnCreate(this);
}

// --- TForm: the window ----------------------------------------------------------------------------

void TForm::SetClientWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }

void TForm::SetClientHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }

void TForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool resized = std::max(0, AWidth) != Width() || std::max(0, AHeight) != Height();
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (resized && FWindow) FWindow->SetClientSize(Width(), Height());
}

void TForm::SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }

void TForm::SetBorderIcons(TBorderIcons Value) { FBorderIcons = Value; }

void TForm::SetPixelsPerInch(int Value) {
  if (Value > 0) FPixelsPerInch = Value;
}

TFormWindowParams TForm::WindowParams() const {
  TFormWindowParams params;
  params.Caption = Text();
  params.ClientWidth = Width();
  params.ClientHeight = Height();
  params.Resizable = FBorderStyle == bsSizeable || FBorderStyle == bsSizeToolWin;
  params.MinimizeBox = FBorderIcons.Contains(biSystemMenu) && FBorderIcons.Contains(biMinimize);
  params.MaximizeBox = params.Resizable && FBorderIcons.Contains(biSystemMenu) && FBorderIcons.Contains(biMaximize);
  params.Centred = FPosition == poDesktopCenter || FPosition == poScreenCenter || FPosition == poMainFormCenter ||
                   FPosition == poOwnerFormCenter;
  params.Left = Left();
  params.Top = Top();
  return params;
}

void TForm::ApplyIcon() {
  const TIcon::Image image = FIcon->LargestImage();
  if (image.Width > 0) FWindow->SetIcon(TImageView{image.Pixels.data(), image.Width, image.Height, image.Width * 4});
}

void TForm::Show() {
  if (FVisible && FWindow) {
    FWindow->Show();
    return;
  }
  if (!FWindow) {
    FWindow = TApplication::Current().Host().CreateFormWindow(WindowParams(), *this);
    if (!FIcon->Empty()) ApplyIcon();
  }
  FVisible = true;
  OnShow(this);
  if (!FActiveControl) SelectNext(nullptr, true, true);
  UpdateCursor();
  FWindow->Show();
  InvalidateFormRect(ClientRect());
  PaintDirty();
}

void TForm::Close() {
  bool canClose = true;
  OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = caHide;
  OnClose(this, action);
  if (action == caNone) return;
  if (FVisible) {
    CancelCapture();
    CancelHint();
    FVisible = false;
    if (FWindow) FWindow->Hide();
    OnHide(this);
  }
  if (FApplication && FApplication->MainForm() == this) FApplication->Terminate();
}

void TForm::VisibleChanged() {
  if (Loading()) return;
  if (FVisible) {
    FVisible = false;
    Show();
  } else {
    CancelCapture();
    CancelHint();
    if (FWindow) FWindow->Hide();
    OnHide(this);
  }
}

void TForm::TextChanged() {
  TWinControl::TextChanged();
  if (FWindow) FWindow->SetCaption(Text());
}

void TForm::Resize() {
  TWinControl::Resize();
  InvalidateFormRect(ClientRect());
}

// --- TForm: painting ------------------------------------------------------------------------------

void TForm::InvalidateFormRect(const TRect& R) {
  const TRect r = R.Intersect(ClientRect());
  if (r.IsEmpty() || ComponentState().Contains(csDestroying)) return;
  FDamage.Add(r);
  if (!FPaintPosted && FMessages) FPaintPosted = FMessages->PostMessage(kPaintMessage);
}

void TForm::ResizeBuffer() {
  const double scale = FWindow ? FWindow->ScaleFactor() : 1.0;
  if (!FBuffer || FBuffer->Width() != Width() || FBuffer->Height() != Height() || FBuffer->Scale() != scale)
    FBuffer = std::make_unique<TFormBuffer>(Width(), Height(), scale);
}

void TForm::PaintDirty() {
  if (FDamage.IsEmpty()) return;
  ResizeBuffer();
  // Taken first, so that an Invalidate from a handler run meanwhile schedules another paint.
  const std::vector<TRect> rects = FDamage.Rects();
  FDamage.Clear();
  if (FBuffer->DeviceWidth() > 0 && FBuffer->DeviceHeight() > 0) {
    gfx::Graphics graphics(FBuffer->Pixels(), FBuffer->DeviceWidth(), FBuffer->DeviceHeight(),
                           FBuffer->DeviceWidth() * 4);
    for (const TRect& r : rects) {
      TControl* start = OpaqueCover(r);
      const TPoint origin = start->ClientToForm({0, 0});
      TCanvas canvas(graphics, FBuffer->Scale(), origin, r);
      start->PaintTree(canvas, r.Offset(-origin.X, -origin.Y));
    }
  }
  if (FWindow && FVisible)
    for (const TRect& r : rects) FWindow->Present(FBuffer->View(), r);
}

TControl* TForm::OpaqueCover(const TRect& R) {
  TControl* cover = this;
  TControl* current = this;
  // Down the controls that hold all of R with nothing else above them there.
  while (auto* parent = dynamic_cast<TWinControl*>(current)) {
    TControl* next = nullptr;
    const TPoint origin = parent->ClientToForm({0, 0});
    for (int i = parent->ControlCount() - 1; i >= 0; --i) {
      TControl* c = parent->Controls(i);
      if (!c->Visible()) continue;
      const TRect bounds = c->BoundsRect().Offset(origin.X, origin.Y);
      if (!bounds.Intersects(R)) continue;
      if (bounds.Contains(R)) next = c;
      break;
    }
    if (!next) break;
    current = next;
    if (current->ControlStyle().Contains(csOpaque)) cover = current;
  }
  return cover;
}

void TForm::Paint(TCanvas& Canvas) { Canvas.FillRect(ClientRect(), Color()); }

TImageView TForm::Image() const { return FBuffer ? FBuffer->View() : TImageView{}; }

void TForm::PresentAll() {
  if (!FWindow) return;
  if (!FBuffer) InvalidateFormRect(ClientRect());
  PaintDirty();
  if (FBuffer) FWindow->Present(FBuffer->View(), ClientRect());
}

void TForm::HandleMessage(Message& Msg) {
  if (Msg.Msg == kPaintMessage) {
    FPaintPosted = false;
    PaintDirty();
  } else if (Msg.Msg == kTimerMessage && Msg.WParam == kHintShowTimer) {
    FMessages->KillTimer(kHintShowTimer);
    ShowHintNow();
  } else if (Msg.Msg == kTimerMessage && Msg.WParam == kHintHideTimer) {
    FMessages->KillTimer(kHintHideTimer);
    if (FHintWindow) FHintWindow->Hide();
    FHintShown = false;
  }
}

// --- TForm: focus ---------------------------------------------------------------------------------

void TForm::SetActiveControl(TWinControl* Control) {
  if (Control == FActiveControl) return;
  if (Control && (Control->GetParentForm() != this || !Control->CanFocus()))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  TWinControl* old = FActiveControl;
  FActiveControl = Control;
  if (old) old->AccessibleChanged();
  if (Control) Control->AccessibleChanged();
  Delivery order(*this, {old, Control});
  if (order[0]) static_cast<TWinControl*>(order[0])->DoExit();
  if (order[1] && FActiveControl == Control) static_cast<TWinControl*>(order[1])->DoEnter();
}

TWinControl* TForm::FocusTarget() const {
  if (FActiveControl && FActiveControl->CanFocus()) return FActiveControl;
  return const_cast<TForm*>(this);
}

// --- TForm: the mouse -----------------------------------------------------------------------------

TControl* TForm::TargetAt(TPoint P) {
  if (!Enabled()) return nullptr;
  TControl* current = this;
  for (;;) {
    auto* parent = dynamic_cast<TWinControl*>(current);
    if (!parent) break;
    const TPoint local = parent->FormToClient(P);
    TControl* child = parent->ControlAtPos(local);
    if (!child || !child->Enabled()) break;
    current = child;
  }
  return current;
}

void TForm::SetCaptureControl(TControl* Control) {
  if (Control == FCapture) return;
  FCapture = Control;
  if (FWindow) FWindow->SetCapture(Control != nullptr);
}

void TForm::CancelCapture() { EndCapture(true); }

void TForm::EndCapture(bool LeaveEverything) {
  if (!FCapture && FButtonsDown.Empty()) return;
  TControl* captured = FCapture;
  FCapture = nullptr;
  FButtonsDown = {};
  FClickControl = nullptr;
  if (FWindow) FWindow->SetCapture(false);
  Delivery keep(*this, {captured});
  if (LeaveEverything) LeaveAll();
  if (keep[0]) keep[0]->MouseCaptureLost();
  UpdateCursor();
}

void TForm::SetHoverChain(std::vector<TControl*> Chain) {
  std::vector<TControl*> leaving;
  for (auto it = FHover.rbegin(); it != FHover.rend(); ++it)
    if (!contains(Chain, *it)) leaving.push_back(*it);
  std::vector<TControl*> entering;
  for (TControl* c : Chain)
    if (!contains(FHover, c)) entering.push_back(c);
  FHover = std::move(Chain);
  for (TControl* c : leaving) c->FMouseInClient = false;
  for (TControl* c : entering) c->FMouseInClient = true;
  Delivery leave(*this, std::move(leaving));
  for (std::size_t i = 0; i < leave.size(); ++i)
    if (leave[i]) leave[i]->MouseLeave();
  Delivery enter(*this, std::move(entering));
  for (std::size_t i = 0; i < enter.size(); ++i)
    if (enter[i] && enter[i]->FMouseInClient) enter[i]->MouseEnter();
}

void TForm::UpdateHover(TPoint At) {
  if (!FPointerInside) {
    LeaveAll();
    return;
  }
  std::vector<TControl*> under = chainOf(TargetAt(At));
  if (FCapture) {
    // Only the capturing control and its parents follow the pointer during a drag.
    std::vector<TControl*> chain;
    for (TControl* c : chainOf(FCapture))
      if (contains(under, c)) chain.push_back(c);
    under = std::move(chain);
  }
  SetHoverChain(std::move(under));
}

void TForm::LeaveAll() { SetHoverChain({}); }

void TForm::Press(TMouseButton Button, TShiftState Shift, TPoint At, bool Double) {
  CancelHint();
  FPointer = At;
  FPointerInside = true;
  if (!FCapture) UpdateHover(At);
  TControl* target = FCapture ? FCapture : TargetAt(At);
  if (FPopup && !isOrInside(target, FPopup)) target = FPopup;
  FButtonsDown.Include(ButtonShift(Button));
  if (!target) return;
  if (!FCapture && target->ControlStyle().Contains(csCaptureMouse)) SetCaptureControl(target);
  // Without csDoubleClicks the second press of a double click is an ordinary press.
  Double = Double && target->ControlStyle().Contains(csDoubleClicks);
  if (Button == mbLeft) FClickControl = target->ControlStyle().Contains(csClickEvents) && !Double ? target : nullptr;
  const TPoint local = target->FormToClient(At);
  if (Double) {
    target->DoubleClick(Button, Shift, local.X, local.Y);
  } else {
    target->MouseDown(Button, Shift - TShiftState{ssDouble}, local.X, local.Y);
  }
}

void TForm::HostMouseDown(TMouseButton Button, TShiftState Shift, TPoint At) {
  Guarded([&] { Press(Button, Shift, At, false); });
}

void TForm::HostDoubleClick(TMouseButton Button, TShiftState Shift, TPoint At) {
  Guarded([&] { Press(Button, Shift + TShiftState{ssDouble}, At, true); });
}

void TForm::HostMouseUp(TMouseButton Button, TShiftState Shift, TPoint At) {
  Guarded([&] {
    FPointer = At;
    const TShiftStateFlag flag = ButtonShift(Button);
    if (!FButtonsDown.Contains(flag)) return;  // the drag ended early; its release is dropped
    FButtonsDown.Exclude(flag);
    const bool popupOpen = FPopup != nullptr;  // a release that a popup takes asks for no other
    TControl* target = FCapture ? FCapture : TargetAt(At);
    const bool lastButton = (FButtonsDown * TShiftState{ssLeft, ssRight, ssMiddle}).Empty();
    if (lastButton) SetCaptureControl(nullptr);
    bool click = false;
    if (Button == mbLeft) {
      click = target && FClickControl == target && target->ClientRect().Contains(target->FormToClient(At));
      FClickControl = nullptr;
    }
    Delivery keep(*this, {target});
    if (keep[0]) {
      const TPoint local = keep[0]->FormToClient(At);
      if (click) keep[0]->Click();
      if (keep[0]) keep[0]->MouseUp(Button, Shift, local.X, local.Y);
    }
    if (lastButton) UpdateHover(At);
    UpdateCursor();
    if (Button == mbRight && !popupOpen && !FPopup) OnContextPopup(this, At, false);
  });
}

void TForm::HostMouseMove(TShiftState Shift, TPoint At) {
  Guarded([&] {
    FPointer = At;
    FPointerInside = FCapture || ClientRect().Contains(At);
    UpdateHover(At);
    TControl* target = FCapture ? FCapture : (FPointerInside ? TargetAt(At) : nullptr);
    if (!FCapture) TrackHint(target);
    Delivery keep(*this, {target});
    if (keep[0]) {
      const TPoint local = keep[0]->FormToClient(At);
      keep[0]->MouseMove(Shift, local.X, local.Y);
    }
    UpdateCursor();
  });
}

void TForm::HostMouseWheel(TShiftState Shift, int WheelDelta, TPoint At) {
  Guarded([&] {
    CancelHint();
    Delivery chain(*this, chainOf(FCapture ? FCapture : TargetAt(At)));
    for (std::size_t i = chain.size(); i-- > 0;)
      if (chain[i] && chain[i]->DoMouseWheel(Shift, WheelDelta, chain[i]->FormToClient(At))) break;
  });
}

void TForm::HostMouseLeave() {
  Guarded([&] {
    if (FCapture) return;
    FPointerInside = false;
    CancelHint();
    LeaveAll();
  });
}

void TForm::HostCaptureLost() {
  Guarded([&] { CancelCapture(); });
}

void TForm::UpdateCursor() {
  TCursor cursor = crDefault;
  for (TControl* c = FCapture ? FCapture : HoverControl(); c && cursor == crDefault; c = c->Parent()) cursor = c->Cursor();
  if (cursor == crDefault) cursor = crArrow;
  if (cursor == FCurrentCursor) return;
  FCurrentCursor = cursor;
  if (FWindow) FWindow->SetCursor(cursor);
}

// --- TForm: keys ----------------------------------------------------------------------------------

bool TForm::DialogKey(TKey Key, TShiftState Shift) {
  if (Key == VK_TAB) {
    if (Shift.Contains(ssCtrl) || Shift.Contains(ssAlt)) return false;
    SelectNext(FActiveControl, !Shift.Contains(ssShift), true);
    return true;
  }
  if (isArrow(Key) && FActiveControl && FActiveControl->Parent()) {
    FActiveControl->Parent()->SelectNext(FActiveControl, Key == VK_RIGHT || Key == VK_DOWN, false);
    return true;
  }
  return false;
}

void TForm::HostKeyDown(TKey Key, TShiftState Shift, bool /*Repeat*/) {
  Guarded([&] {
    CancelHint();
    FSuppressChar = false;
    TWinControl* target = FocusTarget();
    unsigned wanted = 0;
    if (Key == VK_TAB) wanted = DLGC_WANTTAB;
    else if (isArrow(Key)) wanted = DLGC_WANTARROWS;
    else if (Key == VK_RETURN || Key == VK_ESCAPE) wanted = DLGC_WANTALLKEYS;
    if (wanted && target != this && (target->GetDialogCode() & wanted) == 0 && DialogKey(Key, Shift)) {
      FSuppressChar = true;
      return;
    }
    if (wanted == DLGC_WANTTAB && target == this && DialogKey(Key, Shift)) {
      FSuppressChar = true;
      return;
    }
    const bool contextKey = Key == VK_APPS || (Key == VK_F10 && Shift == TShiftState{ssShift});
    if (contextKey && !FPopup && OnContextPopup) {
      FSuppressChar = true;
      const TControl* at = target == this ? static_cast<const TControl*>(this) : target;
      OnContextPopup(this, at->ClientToForm({at->Width() / 2, at->Height() / 2}), true);
      return;
    }
    TKey key = Key;
    target->KeyDown(key, Shift);
  });
}

void TForm::HostKeyUp(TKey Key, TShiftState Shift) {
  Guarded([&] {
    TKey key = Key;
    FocusTarget()->KeyUp(key, Shift);
  });
}

void TForm::HostChar(char32_t Char, TShiftState Shift) {
  Guarded([&] {
    if (FSuppressChar) {
      FSuppressChar = false;
      return;
    }
    if (Shift.Contains(ssAlt)) {
      BroadcastDialogChar(Char, Shift);
      return;
    }
    TWinControl* target = FocusTarget();
    const unsigned code = target->GetDialogCode();
    Delivery keep(*this, {target});
    char32_t key = Char;
    target->KeyPress(key);
    if (key == 0 || (keep[0] && (code & DLGC_WANTCHARS))) return;
    if (key >= 32 && key != 127) BroadcastDialogChar(key, Shift);
  });
}

void TForm::HostFocusIn() {
  FWindowActive = true;
  AccessibleChanged();
}

void TForm::HostFocusOut() {
  FWindowActive = false;
  AccessibleChanged();
  Guarded([&] {
    CancelHint();
    if (FPopup) FPopup->Hide();
  });
}

TPoint TForm::ClientOriginOnScreen() const { return FWindow ? FWindow->ClientOriginOnScreen() : TPoint{0, 0}; }

void TForm::DescribeAccessible(TAccessibleDescription& Description) const {
  TWinControl::DescribeAccessible(Description);
  Description.Role = TAccessibleRole::Frame;
  Description.States.Exclude(asFocusable).Exclude(asFocused);
  if (FWindowActive) Description.States.Include(asActive);
}

void TForm::HostCloseRequest() {
  Guarded([&] { Close(); });
}

void TForm::HostExposed() {
  Guarded([&] { PresentAll(); });
}

void TForm::HostScaleChanged() {
  Guarded([&] {
    FBuffer.reset();
    InvalidateFormRect(ClientRect());
    PaintDirty();
  });
}

template <class Body>
void TForm::Guarded(Body&& body) {
  try {
    body();
  } catch (...) {
    if (FMessages) FMessages->Owner().HandleCurrentException();
    else Application::Instance().HandleCurrentException();
  }
}

// --- TForm: hints ---------------------------------------------------------------------------------

void TForm::TrackHint(TControl* Control) {
  if (Control == FHintControl && FHintShown) return;
  if (Control != FHintControl) CancelHint();
  FHintControl = Control;
  if (Control && Control->ShowHint() && FMessages) FMessages->SetTimer(kHintShowTimer, static_cast<std::uint32_t>(HintPause));
}

void TForm::ShowHintNow() {
  if (!FHintControl || FCapture || !FWindow || !FHintControl->ShowHint()) return;
  std::string text;
  if (!FHintControl->GetHintText(FHintControl->FormToClient(FPointer), text) || text.empty()) return;
  if (!FHintWindow) FHintWindow = std::make_unique<THintWindow>(*this);
  FHintWindow->ActivateHint({FPointer.X, FPointer.Y + kHintOffsetY}, text);
  FHintShown = true;
  FMessages->SetTimer(kHintHideTimer, static_cast<std::uint32_t>(HintHidePause));
}

void TForm::CancelHint() {
  if (FMessages) {
    FMessages->KillTimer(kHintShowTimer);
    FMessages->KillTimer(kHintHideTimer);
  }
  if (FHintWindow) FHintWindow->Hide();
  FHintShown = false;
  FHintControl = nullptr;
}

// --- TForm: controls leaving ----------------------------------------------------------------------

void TForm::ControlGone(TControl* Control, bool Destroyed) {
  for (Delivery* d : FDeliveries) d->Drop(Control);
  if (FPopup && isOrInside(FPopup, Control)) FPopup = nullptr;
  if (ComponentState().Contains(csDestroying)) return;
  if (FClickControl && isOrInside(FClickControl, Control)) FClickControl = nullptr;
  if (FHintControl && isOrInside(FHintControl, Control)) CancelHint();
  std::vector<TControl*> kept;
  std::vector<TControl*> left;
  for (TControl* c : FHover) (isOrInside(c, Control) ? left : kept).push_back(c);
  if (!left.empty()) {
    FHover = kept;
    for (TControl* c : left) c->FMouseInClient = false;
    if (!Destroyed) {
      Delivery leave(*this, {left.rbegin(), left.rend()});
      for (std::size_t i = 0; i < leave.size(); ++i)
        if (leave[i]) leave[i]->MouseLeave();
    }
  }
  if (FCapture && isOrInside(FCapture, Control)) {
    if (Destroyed) {
      FCapture = nullptr;
      FButtonsDown = {};
      if (FWindow) FWindow->SetCapture(false);
    } else {
      // The pointer still lies over the parents: only what went away leaves.
      EndCapture(false);
    }
  }
  if (FActiveControl && isOrInside(FActiveControl, Control)) {
    TWinControl* old = FActiveControl;
    TWinControl* next = Destroyed ? nullptr : FindNextControl(old, true, true, false);
    if (next && isOrInside(next, Control)) next = nullptr;
    FActiveControl = nullptr;
    if (!Destroyed) old->DoExit();
    if (next && next->CanFocus() && !FActiveControl) SetActiveControl(next);
  }
  UpdateCursor();
}

}  // namespace sib
