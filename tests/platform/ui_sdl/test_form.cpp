#include "test_form.h"

#include <algorithm>
#include <cmath>

namespace sib::test {

TestForm::~TestForm() {
  if (surface_) cairo_surface_destroy(surface_);
}

void TestForm::Render(double scale) {
  if (surface_) cairo_surface_destroy(surface_);
  const int w = static_cast<int>(std::ceil(width_ * scale));
  const int h = static_cast<int>(std::ceil(height_ * scale));
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_set_device_scale(surface_, scale, scale);
  cairo_t* cr = cairo_create(surface_);
  cairo_set_source_rgb(cr, 192 / 255.0, 192 / 255.0, 192 / 255.0);
  cairo_paint(cr);
  // A 1-pixel frame on the outermost pixels and a blue box with a 1-pixel white border.
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, 0.5, 0.5, width_ - 1, height_ - 1);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.1, 0.2, 0.7);
  cairo_rectangle(cr, 20, 20, 100, 60);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, 20.5, 20.5, 99, 59);
  cairo_stroke(cr);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 120, 0, 220);
  cairo_pattern_add_color_stop_rgb(gradient, 0, 0.65, 0.47, 0.13);
  cairo_pattern_add_color_stop_rgb(gradient, 1, 0.96, 0.87, 0.70);
  cairo_set_source(cr, gradient);
  cairo_arc(cr, width_ / 2.0, 170, 50, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(gradient);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 18);
  cairo_move_to(cr, 20, 300);
  cairo_show_text(cr, "Sibilon 471 x 413");
  cairo_destroy(cr);
  cairo_surface_flush(surface_);
}

TImageView TestForm::Image() const {
  return TImageView{reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface_)),
                    cairo_image_surface_get_width(surface_), cairo_image_surface_get_height(surface_),
                    cairo_image_surface_get_stride(surface_)};
}

std::string ShiftText(TShiftState shift) {
  std::string out;
  const std::pair<TShiftStateFlag, const char*> names[] = {{ssShift, "shift"}, {ssAlt, "alt"},   {ssCtrl, "ctrl"},
                                                           {ssLeft, "left"},   {ssRight, "right"}, {ssMiddle, "middle"},
                                                           {ssDouble, "double"}};
  for (const auto& [flag, name] : names) {
    if (!shift.Contains(flag)) continue;
    out += out.empty() ? "[" : " ";
    out += name;
  }
  return out.empty() ? "[]" : out + "]";
}

namespace {
std::string at(TPoint p) { return std::to_string(p.X) + "," + std::to_string(p.Y); }
const char* buttonName(TMouseButton b) { return b == mbLeft ? "left" : b == mbRight ? "right" : "middle"; }
}  // namespace

void TestForm::HostMouseDown(TMouseButton Button, TShiftState Shift, TPoint At) {
  log(std::string("down ") + buttonName(Button) + " " + at(At) + " " + ShiftText(Shift));
  if (OnMouseDown) OnMouseDown();
}
void TestForm::HostDoubleClick(TMouseButton Button, TShiftState Shift, TPoint At) {
  log(std::string("double ") + buttonName(Button) + " " + at(At) + " " + ShiftText(Shift));
}
void TestForm::HostMouseUp(TMouseButton Button, TShiftState Shift, TPoint At) {
  log(std::string("up ") + buttonName(Button) + " " + at(At) + " " + ShiftText(Shift));
}
void TestForm::HostMouseMove(TShiftState Shift, TPoint At) { log("move " + at(At) + " " + ShiftText(Shift)); }
void TestForm::HostMouseWheel(TShiftState Shift, int WheelDelta, TPoint At) {
  log("wheel " + std::to_string(WheelDelta) + " " + at(At) + " " + ShiftText(Shift));
}
void TestForm::HostKeyDown(TKey Key, TShiftState Shift, bool Repeat) {
  log("key down " + std::to_string(Key) + " " + ShiftText(Shift) + (Repeat ? " repeat" : ""));
}
void TestForm::HostKeyUp(TKey Key, TShiftState Shift) { log("key up " + std::to_string(Key) + " " + ShiftText(Shift)); }
void TestForm::HostChar(char32_t Char, TShiftState Shift) {
  log("char " + std::to_string(static_cast<std::uint32_t>(Char)) + " " + ShiftText(Shift));
}
void TestForm::HostExposed() {
  log("exposed");
  if (Window && surface_) PresentAll(*Window);
}

TFormWindowParams FixedCentred(const std::string& caption, int width, int height) {
  TFormWindowParams params;
  params.Caption = caption;
  params.ClientWidth = width;
  params.ClientHeight = height;
  params.Resizable = false;
  params.MaximizeBox = false;
  params.Centred = true;
  return params;
}

std::vector<std::string> TestForm::WithoutMoves() const {
  std::vector<std::string> out;
  std::copy_if(Log.begin(), Log.end(), std::back_inserter(out), [](const std::string& l) { return l.rfind("move", 0) != 0; });
  return out;
}

bool TestForm::Saw(const std::string& line) const { return std::find(Log.begin(), Log.end(), line) != Log.end(); }

}  // namespace sib::test
