// The window's handlers on stand-ins: the exact writes and calls of each handler in each state.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/app/window_stand_ins.h"

namespace sib::test {
namespace {

using Action = std::function<void(TStandInWindow&)>;

const Action Create = [](TStandInWindow& w) { w.FormCreate(nullptr); };
const Action Click = [](TStandInWindow& w) { w.btnBeginClick(nullptr); };
const Action Enter = [](TStandInWindow& w) { w.btnBeginMouseEnter(nullptr); };
const Action Leave = [](TStandInWindow& w) { w.btnBeginMouseLeave(nullptr); };
const Action Link = [](TStandInWindow& w) { w.btnZorvexClick(nullptr); };
const Action Exit = [](TStandInWindow& w) { w.btnExitClick(nullptr); };
Action Choose(int index) {
  return [index](TStandInWindow& w) {
    w.spNoiseSelectedValueChanged(nullptr, 0, index, index, TStandInRangeType::rtCustom);
  };
}
Action Level(double position) { return [position](TStandInWindow& w) { w.tbVolPositionChanging(nullptr, position); }; }

// The states the window can be in when a handler runs, as the actions that lead there.
const std::vector<Action> Stopped = {Create};
const std::vector<Action> Playing = {Create, Click};
const std::vector<Action> Hovering = {Create, Enter};
const std::vector<Action> HoveringWhilePlaying = {Create, Enter, Click};
const std::vector<Action> StoppedUnderTheMouse = {Create, Enter, Click, Click};

const CallLog StartSequence = {"wp1.Paused := false", "out1.Enabled := true", "btnBegin.Color := 2258854",
                               "btnBegin.Caption := Stop Noise"};
const CallLog StopSequence = {"out1.Enabled := false", "btnBegin.Caption := Start Noise",
                              "btnBegin.Color := 12632256", "wp1.Pause()"};

CallLog Joined(CallLog a, const CallLog& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct HandlerCase {
  const char* Name;
  std::vector<Action> State;
  std::vector<Action> Actions;
  CallLog Expected;
  bool PlayingAfter;
};

std::ostream& operator<<(std::ostream& os, const HandlerCase& c) { return os << c.Name; }

class Handlers : public ::testing::TestWithParam<HandlerCase> {};

TEST_P(Handlers, WriteAndCallExactlyThisSequence) {
  const HandlerCase& c = GetParam();
  TStandInWindow window;
  for (const Action& step : c.State) step(window);
  window.Log.clear();
  for (const Action& step : c.Actions) step(window);
  EXPECT_EQ(window.Log, c.Expected);
  EXPECT_EQ(window.Playing(), c.PlayingAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Handlers,
    ::testing::Values(
        HandlerCase{"CreationSetsTheGainThenDisablesTheOutput", {}, {Create},
                    {"amp1.Coefficient := 0.1", "out1.Enabled := false"}, false},
        // The start button.
        HandlerCase{"StartWhileStopped", Stopped, {Click}, StartSequence, true},
        HandlerCase{"StopWhilePlaying", Playing, {Click}, StopSequence, false},
        HandlerCase{"TwoClicksStartAndStop", Stopped, {Click, Click}, Joined(StartSequence, StopSequence), false},
        HandlerCase{"StartUnderTheMouse", Hovering, {Click}, StartSequence, true},
        HandlerCase{"StopUnderTheMouseLeavesSilverNotTheHoverColour", HoveringWhilePlaying, {Click}, StopSequence,
                    false},
        // Hovering.
        HandlerCase{"EnterWhileStoppedLightsTheButton", Stopped, {Enter}, {"btnBegin.Color := 11788021"}, false},
        HandlerCase{"LeaveWhileStoppedRestoresSilver", Hovering, {Leave}, {"btnBegin.Color := 12632256"}, false},
        HandlerCase{"EnterWhilePlayingDoesNothing", Playing, {Enter}, {}, true},
        HandlerCase{"LeaveWhilePlayingDoesNothing", HoveringWhilePlaying, {Leave}, {}, true},
        HandlerCase{"HoverColourReturnsOnlyAfterLeavingAndEnteringAgain", StoppedUnderTheMouse, {Leave, Enter},
                    {"btnBegin.Color := 12632256", "btnBegin.Color := 11788021"}, false},
        // The spinner, in both states: never the output, the pause state or the button.
        HandlerCase{"BrownWhileStopped", Stopped, {Choose(0)}, {"wp1.FileName := Brown.wav", "wp1.Enabled := true"},
                    false},
        HandlerCase{"PinkWhileStopped", Stopped, {Choose(1)}, {"wp1.FileName := Pink.wav", "wp1.Enabled := true"},
                    false},
        HandlerCase{"WhiteWhilePlaying", Playing, {Choose(2)}, {"wp1.FileName := White.wav", "wp1.Enabled := true"},
                    true},
        HandlerCase{"SameChoiceAgainWritesAgain", Stopped, {Choose(1), Choose(1)},
                    {"wp1.FileName := Pink.wav", "wp1.Enabled := true", "wp1.FileName := Pink.wav",
                     "wp1.Enabled := true"},
                    false},
        HandlerCase{"ChoiceWhileStoppedOnlyPreparesTheNextStart", Stopped, {Choose(2), Click},
                    Joined({"wp1.FileName := White.wav", "wp1.Enabled := true"}, StartSequence), true},
        HandlerCase{"IndexBelowTheTableDoesNothingWhileStopped", Stopped, {Choose(-1)}, {}, false},
        HandlerCase{"IndexAboveTheTableDoesNothingWhileStopped", Stopped, {Choose(3)}, {}, false},
        HandlerCase{"IndexFarAboveTheTableDoesNothingWhilePlaying", Playing, {Choose(1000)}, {}, true},
        // The track bar: the readout first, then the gain.
        HandlerCase{"LevelWhileStopped", Stopped, {Level(50)}, {"ledVol.Caption.Value := 50", "amp1.Coefficient := 0.1"},
                    false},
        HandlerCase{"LevelZeroIsSilence", Playing, {Level(0)}, {"ledVol.Caption.Value := 0", "amp1.Coefficient := 0"},
                    true},
        HandlerCase{"LevelTopIsAFifth", Playing, {Level(100)},
                    {"ledVol.Caption.Value := 100", "amp1.Coefficient := 0.2"}, true},
        HandlerCase{"LevelWhereDoubleArithmeticWouldDiffer", Hovering, {Level(9)},
                    {"ledVol.Caption.Value := 9", "amp1.Coefficient := 0.018"}, false},
        // The two plain buttons.
        HandlerCase{"LinkOpensTheHomePage", Playing, {Link}, {"shell open " + HomePage()}, true},
        HandlerCase{"ExitTerminatesTheLoopWhileStopped", Stopped, {Exit}, {"Application.Terminate()"}, false},
        HandlerCase{"ExitTerminatesTheLoopWhilePlaying", Playing, {Exit}, {"Application.Terminate()"}, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// The product is formed in extended precision and rounded once: the nearest double to position / 500.
// Plain double arithmetic lands one step off at 13 of the 101 positions.
TEST(LevelGain, IsTheNearestDoubleToTheExactProductAtEveryPosition) {
  TStandInWindow window;
  std::set<int> differFromDouble;
  for (int position = 0; position <= 100; ++position) {
    window.tbVolPositionChanging(nullptr, position);
    const double gain = window.amp1->Coefficient;
    EXPECT_EQ(gain, position / 500.0) << "position " << position;
    if (gain != position * 0.002) differFromDouble.insert(position);
  }
  EXPECT_EQ(differFromDouble, (std::set<int>{9, 13, 18, 26, 36, 43, 51, 52, 59, 71, 72, 86, 87}));
}

TEST(NoiseTable, NamesTheThreeRecordingsAndNothingElse) {
  EXPECT_EQ(NoiseFileName(0), "Brown.wav");
  EXPECT_EQ(NoiseFileName(1), "Pink.wav");
  EXPECT_EQ(NoiseFileName(2), "White.wav");
  for (int index : {-1000, -1, 3, 4, 1000}) EXPECT_EQ(NoiseFileName(index), std::nullopt) << index;
}

}  // namespace
}  // namespace sib::test
