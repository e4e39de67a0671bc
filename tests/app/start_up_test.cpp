// The start-up sequence on a host that records each step: the order of the steps, and what an error
// at each of them leaves behind (what was made destroyed, the message shown, exit code 1).
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sib {
namespace {

class TRecordingHost : public IStartUpHost {
 public:
  std::vector<std::string> Log;
  std::string FailingStep;             // the step that raises
  std::function<void()> Raise;         // what it raises

  void Initialize() override { Step("Initialize"); }
  void SetMainFormOnTaskBar(bool Value) override { Step(std::string("MainFormOnTaskBar := ") + (Value ? "true" : "false")); }
  void SetTitle(const std::string& Value) override { Step("Title := " + Value); }
  void CreateMainForm() override { Step("CreateMainForm"); }
  void Run() override { Step("Run"); }
  void DestroyForms() override { Log.push_back("DestroyForms"); }
  void ShowException(const Exception& E) override { Log.push_back("ShowException \"" + E.Message() + "\""); }

 private:
  void Step(const std::string& AName) {
    Log.push_back(AName);
    if (AName == FailingStep) Raise();
  }
};

const std::vector<std::string> kAllSteps = {"Initialize", "MainFormOnTaskBar := true", "Title := Sibilon",
                                            "CreateMainForm", "Run"};

TEST(StartUp, RunsTheStepsInOrderAndExitsWithZero) {
  TRecordingHost host;
  EXPECT_EQ(RunApplication(host), 0);
  EXPECT_EQ(host.Log, kAllSteps);
}

struct NoTextError : std::exception {
  const char* what() const noexcept override { return ""; }
};

struct FailureCase {
  const char* Name;
  std::string Step;
  std::function<void()> Raise;
  std::string Shown;
};

std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << c.Name; }

class StartUpFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StartUpFailure, DestroysWhatWasMadeShowsTheMessageAndExitsWithOne) {
  const FailureCase& c = GetParam();
  TRecordingHost host;
  host.FailingStep = c.Step;
  host.Raise = c.Raise;
  EXPECT_EQ(RunApplication(host), kExitStartFailed);
  std::vector<std::string> expected;
  for (const std::string& step : kAllSteps) {
    expected.push_back(step);
    if (step == c.Step) break;
  }
  expected.push_back("DestroyForms");
  expected.push_back("ShowException \"" + c.Shown + "\"");
  EXPECT_EQ(host.Log, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartUpFailure,
    ::testing::Values(
        FailureCase{"PipelineErrorWhileCreatingTheWindow", "CreateMainForm",
                    [] { throw ESLException("Can't open file : Pink.wav . - 2 - 2"); },
                    "Can't open file : Pink.wav . - 2 - 2"},
        FailureCase{"FrameworkErrorOfTheBaseClass", "Initialize", [] { throw Exception("No display"); }, "No display"},
        FailureCase{"StandardErrorShowsItsOwnText", "CreateMainForm", [] { throw std::runtime_error("disk full"); },
                    "disk full"},
        FailureCase{"AllocationFailureShowsItsOwnText", "CreateMainForm", [] { throw std::bad_alloc(); },
                    std::bad_alloc().what()},
        FailureCase{"ExceptionWithoutTextShowsUnexpectedError", "Title := Sibilon", [] { throw NoTextError(); },
                    "Unexpected error"},
        FailureCase{"ThrownValueOfNoClassShowsUnexpectedError", "CreateMainForm", [] { throw 42; },
                    "Unexpected error"},
        FailureCase{"ErrorLeavingTheLoop", "Run", [] { throw EInvalidOperation("Loop broke"); }, "Loop broke"}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace sib
