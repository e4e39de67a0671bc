// Stand-ins for the members of the main window: each records every write and call made to it, as
// "member.Property := value" or "member.Operation()", in one list shared by all of them, so that a test
// compares the exact sequence a handler produces.
#pragma once

#include <charconv>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/noise_window.h"

namespace sib::test {

using CallLog = std::vector<std::string>;

// Numbers as the shortest text that reads back as the same double.
inline std::string NumberText(double AValue) {
  char text[32];
  const auto result = std::to_chars(std::begin(text), std::end(text), AValue);
  return std::string(text, result.ptr);
}

class TRecordingMember {
 public:
  TRecordingMember(CallLog& ALog, std::string AName) : FLog(ALog), FName(std::move(AName)) {}

 protected:
  void Write(const std::string& AProperty, const std::string& AValue) {
    FLog.push_back(FName + "." + AProperty + " := " + AValue);
  }
  void Call(const std::string& AOperation) { FLog.push_back(FName + "." + AOperation + "()"); }

 private:
  CallLog& FLog;
  std::string FName;
};

struct TStandInButton : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void SetCaption(const std::string& AValue) { Write("Caption", AValue); }
  void SetColor(std::int32_t AValue) { Write("Color", std::to_string(AValue)); }
};

struct TStandInLedCaption : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void SetValue(double AValue) { Write("Value", NumberText(AValue)); }
};

struct TStandInLedLabel {
  TStandInLedLabel(CallLog& ALog, const std::string& AName) : FCaption(ALog, AName + ".Caption") {}
  TStandInLedCaption* Caption() { return &FCaption; }
  TStandInLedCaption FCaption;
};

struct TStandInPlayer : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void SetFileName(const std::string& AValue) { Write("FileName", AValue); }
  void SetEnabled(bool AValue) { Write("Enabled", AValue ? "true" : "false"); }
  void SetPaused(bool AValue) { Write("Paused", AValue ? "true" : "false"); }
  void Pause() { Call("Pause"); }
};

struct TStandInAmplifier : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void SetCoefficient(double AValue) {
    Coefficient = AValue;
    Write("Coefficient", NumberText(AValue));
  }
  double Coefficient = 1.0;  // the stored value, compared bit for bit
};

struct TStandInOutput : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void SetEnabled(bool AValue) { Write("Enabled", AValue ? "true" : "false"); }
};

struct TStandInApplication : TRecordingMember {
  using TRecordingMember::TRecordingMember;
  void Terminate() { Call("Terminate"); }
};

enum class TStandInRangeType { rtNumber, rtDateTime, rtCustom };

// The members a window holds, all stand-ins writing to Log.
class TStandInParts {
 public:
  using TSpinnerRangeType = TStandInRangeType;

  TStandInApplication& Application() { return FApplication; }
  void OpenAddress(const std::string& AAddress) { Log.push_back("shell open " + AAddress); }

  CallLog Log;

 protected:
  TStandInButton FButton{Log, "btnBegin"};
  TStandInLedLabel FReadout{Log, "ledVol"};
  TStandInPlayer FPlayer{Log, "wp1"};
  TStandInAmplifier FAmplifier{Log, "amp1"};
  TStandInOutput FOutput{Log, "out1"};
  TStandInApplication FApplication{Log, "Application"};

 public:
  TStandInButton* btnBegin = &FButton;
  TStandInLedLabel* ledVol = &FReadout;
  TStandInPlayer* wp1 = &FPlayer;
  TStandInAmplifier* amp1 = &FAmplifier;
  TStandInOutput* out1 = &FOutput;
};

using TStandInWindow = TNoiseWindow<TStandInParts>;

}  // namespace sib::test
