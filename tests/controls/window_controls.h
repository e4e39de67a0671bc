// The level track bar and its LED readout set up as the main window has them, for the control
// tests and the painting benchmark, and a PNG writer for renders a person looks at. No test
// framework in here.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "controls/led_label.h"
#include "controls/track_bar.h"
#include "platform/graphics/image.h"

namespace sib::test {

// 358 x 29, horizontal, 0 to 100 in steps of 1 at 50, no snapping, no value labels, a 44-pixel
// thumb; black background with a black border, amber-to-brown progress, grey-to-black thumb.
inline void SetUpWindowTrackBar(TAdvSmoothTrackBar& tb) {
  tb.SetDirection(dHorizontal);
  tb.SetBounds(56, 244, 358, 29);
  tb.SetMaximum(100);
  tb.SetStep(1);
  tb.SetPositionToolTipFormat("%.2f");
  tb.SetValueFormat("%g db");
  tb.SetShowValues(false);
  tb.SetSnapToTickMarks(false);
  tb.SetSnapMargin(10);
  tb.SetThumbSize(44);

  TGDIPFill& fill = *tb.Fill();
  fill.SetColor(clBlack);
  fill.SetColorTo(clBlack);
  fill.SetBorderColor(clBlack);

  TGDIPFill& progress = *tb.ProgressFill();
  progress.SetColor(4313338);
  progress.SetColorTo(13209);
  progress.SetGradientType(gtHorizontal);
  progress.SetGradientMirrorType(gtVertical);
  progress.SetBorderColor(clBlack);

  TGDIPFill& thumb = *tb.ThumbFill();
  thumb.SetColor(clGray);
  thumb.SetColorTo(clBlack);
  thumb.SetGradientType(gtForwardDiagonal);
  thumb.SetBorderColor(clGray);
  thumb.SetRounding(10);

  for (TFont* font : {tb.Font(), tb.ProgressFont()}) {
    font->SetName("Tahoma");
    font->SetHeight(-11);
    font->SetColor(clWindowText);
  }
  tb.SetPosition(50);
}

// 107 x 36, black with a grey border of width 2, "000" in red with black unlit segments, at 50.
inline void SetUpWindowReadout(TAdvSmoothLedLabel& led) {
  led.SetBounds(182, 198, 107, 36);
  TGDIPFill& fill = *led.Fill();
  fill.SetColor(clBlack);
  fill.SetColorTo(clBlack);
  fill.SetBorderColor(clGray);
  fill.SetBorderWidth(2);
  TAdvSmoothLedLabelCaption& c = *led.Caption();
  c.SetValue(50.0);
  c.SetFormat("000");
  c.SetColorStart(clRed);
  c.SetColorOff(clBlack);
  c.SetTimeFormat("hh:nn:ss");
  c.SetTimeValue(40542.27532230324);
}

// Writes `bitmap` as a PNG file `name` into `folder`.
inline void SavePng(const gfx::Bitmap& bitmap, const std::string& folder, const std::string& name) {
  gfx::Image image(bitmap.Width(), bitmap.Height());
  {
    gfx::Graphics g(image.Pixels());
    g.DrawImage(bitmap, gfx::PointF{0, 0});
  }
  const std::vector<std::uint8_t> bytes = image.Save(gfx::ImageFormat::Png);
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace sib::test
