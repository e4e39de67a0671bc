// Plain stand-ins for the window's controls until its own arrive (the smooth button, panel, label, LED
// readout, spinner and track bar, and the platform's plain button and label): each keeps the values
// the window writes to it, raises the events the window listens to when driven, and paints nothing.
// The window's behaviour is written against the operations alone (noise_window.h), so the real
// controls take these places without a change to it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/control.h"
#include "platform/ui/win_control.h"

namespace sib {

// A control with a caption: the buttons and the labels.
class TInterimCaptionControl : public TGraphicControl {
  SIB_CLASS(TInterimCaptionControl, TGraphicControl)
 public:
  explicit TInterimCaptionControl(TComponent* AOwner) : TGraphicControl(AOwner) {}
  static TPropertyList PublishedProperties() {
    return {prop("Caption", &TInterimCaptionControl::Caption, &TInterimCaptionControl::SetCaption)};
  }
  const std::string& Caption() const { return Text(); }
  void SetCaption(const std::string& Value) { SetText(Value); }
};

// The panel the controls lie on.
class TInterimPanel : public TCustomControl {
  SIB_CLASS(TInterimPanel, TCustomControl)
 public:
  explicit TInterimPanel(TComponent* AOwner) : TCustomControl(AOwner) {}
};

// What the readout shows.
class TInterimLedCaption : public TPersistent {
  SIB_CLASS(TInterimLedCaption, TPersistent)
 public:
  static TPropertyList PublishedProperties() {
    return {prop("Value", &TInterimLedCaption::Value, &TInterimLedCaption::SetValue),
            prop("Format", &TInterimLedCaption::Format, &TInterimLedCaption::SetFormat)};
  }
  double Value() const { return FValue; }
  void SetValue(double Value) { FValue = Value; }
  const std::string& Format() const { return FFormat; }
  void SetFormat(const std::string& Value) { FFormat = Value; }

 private:
  double FValue = 0;
  std::string FFormat = "000.00";
};

class TInterimLedLabel : public TGraphicControl {
  SIB_CLASS(TInterimLedLabel, TGraphicControl)
 public:
  explicit TInterimLedLabel(TComponent* AOwner) : TGraphicControl(AOwner) {}
  static TPropertyList PublishedProperties() {
    return {prop("Caption", &TInterimLedLabel::Caption, &TInterimLedLabel::SetCaption)};
  }
  TInterimLedCaption* Caption() const { return FCaption.get(); }
  void SetCaption(TInterimLedCaption* Value);

 private:
  std::unique_ptr<TInterimLedCaption> FCaption = std::make_unique<TInterimLedCaption>();
};

enum class TInterimRangeType : std::uint8_t { Number, DateTime, Custom };

using TInterimSelectedValueChangedEvent = TEvent<TObject*, int, int, double, TInterimRangeType>;

// One column of custom items; Select reports a choice as the spinner does, changed or not.
class TInterimSpinner : public TGraphicControl {
  SIB_CLASS(TInterimSpinner, TGraphicControl)
 public:
  explicit TInterimSpinner(TComponent* AOwner) : TGraphicControl(AOwner) {}
  static TPropertyList PublishedProperties() {
    return {prop("OnSelectedValueChanged", &TInterimSpinner::OnSelectedValueChanged)};
  }
  void Select(int CustomIndex);

  TInterimSelectedValueChangedEvent OnSelectedValueChanged;
};

using TInterimPositionEvent = TEvent<TObject*, double>;

// A level from 0 to 100 in steps of 1. A drag reports each new value through OnPositionChanging and
// the end of the drag through OnPositionChanged; a click beside the thumb moves one step and reports
// only OnPositionChanged.
class TInterimTrackBar : public TGraphicControl {
  SIB_CLASS(TInterimTrackBar, TGraphicControl)
 public:
  explicit TInterimTrackBar(TComponent* AOwner) : TGraphicControl(AOwner) {}
  static TPropertyList PublishedProperties() {
    return {prop("Position", &TInterimTrackBar::Position, &TInterimTrackBar::SetPosition),
            prop("OnPositionChanging", &TInterimTrackBar::OnPositionChanging),
            prop("OnPositionChanged", &TInterimTrackBar::OnPositionChanged)};
  }
  double Position() const { return FPosition; }
  // From code: stored when within the range and different, reported through OnPositionChanged.
  void SetPosition(double Value);
  void DragTo(double Value);
  void EndDrag();
  // A click beside the thumb: one step towards the click (Direction -1 or +1).
  void ClickBeside(int Direction);

  TInterimPositionEvent OnPositionChanging;
  TInterimPositionEvent OnPositionChanged;

 private:
  static bool InRange(double Value) { return Value >= 0 && Value <= 100; }
  double FPosition = 0;
};

void RegisterInterimControls();

}  // namespace sib
