// The program's start on the forms application and the headless host, with TForm1 and the real
// pipeline: an error while the window is created is shown once, after everything made so far has been
// destroyed and its threads joined, and the exit code is 1; an error from a handler while the loop
// runs is shown and the loop goes on.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "tests/app/window_fixture.h"

namespace sib::test {
namespace {

// TForm1 whose creation handler raises once the window's own steps are done: the player's clock and
// the output's threads are running by then.
class TForm1Failing : public TForm1 {
  SIB_CLASS(TForm1Failing, TForm1)
 public:
  using TForm1::TForm1;
  static TMethodList PublishedMethods() { return {method("FormCreate", &TForm1Failing::FormCreate)}; }
  void FormCreate(TObject* Sender) {
    TForm1::FormCreate(Sender);
    Raise();
  }
  static inline std::function<void()> Raise;
};

struct NoTextError : std::exception {
  const char* what() const noexcept override { return ""; }
};

class FormsStartUp : public WindowFixture {
 protected:
  FormsStartUp() { RegisterClasses<TForm1Failing>(); }
  ~FormsStartUp() override { TForm1Failing::Raise = nullptr; }

  template <class F = TForm1>
  int Start() {
    TFormsStartUp startUp(app_, [this] { app_.CreateForm<F>(Form1Description()); });
    return RunApplication(startUp);
  }
  // Watches what is left of the windows while the error box is open; compared with what ran before.
  void WatchTheBox(const TApplication& application) {
    threadsBefore_ = ThreadCount();
    host_.WhileBoxOpen = [this, &application](const HeadlessHost::Box&) {
      threadsWhileShown_ = ThreadCount();
      formsWhileShown_ = application.Forms().size();
    };
  }
  void ExpectNothingLeftBehindTheBox() const {
    EXPECT_EQ(formsWhileShown_, 0u) << "the window outlived the error";
    EXPECT_EQ(threadsWhileShown_, threadsBefore_) << "threads of the window still ran behind the box";
  }
  // The process's own threads that outlive a window (none is expected, but a first window may start
  // some for good): a window made and destroyed once.
  void WarmUp() {
    WorkingFolder here(SIB_DATA_DIR);
    FreeComponent(app_.CreateForm<TForm1>(Form1Description()));
  }

 private:
  int threadsBefore_ = 0;
  int threadsWhileShown_ = -1;
  std::size_t formsWhileShown_ = 99;
};

// "Can't open file : <name> . - <code> - <code in upper-case hex>".
void ExpectPlayerOpenError(const std::string& text, const std::string& fileName) {
  const std::string prefix = "Can't open file : " + fileName + " . - ";
  ASSERT_EQ(text.substr(0, prefix.size()), prefix) << text;
  const std::string codes = text.substr(prefix.size());
  const std::size_t dash = codes.find(" - ");
  ASSERT_NE(dash, std::string::npos) << text;
  const std::string decimal = codes.substr(0, dash);
  const std::string hex = codes.substr(dash + 3);
  ASSERT_FALSE(decimal.empty() || hex.empty()) << text;
  EXPECT_EQ(decimal.find_first_not_of("0123456789"), std::string::npos) << text;
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  EXPECT_EQ(std::stoul(decimal), std::stoul(hex, nullptr, 16)) << text;
}

struct CreationFailure {
  const char* Name;
  std::function<void()> Raise;  // from the creation handler; none: the player cannot open Pink.wav
  std::string Shown;            // empty: the player's report
};

std::ostream& operator<<(std::ostream& os, const CreationFailure& c) { return os << c.Name; }

class CreationFailures : public FormsStartUp, public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(CreationFailures, ShowTheirTextOnceAfterEverythingIsDestroyedAndExitWithOne) {
  const CreationFailure& c = GetParam();
  WarmUp();
  RecordingsFolder folder = c.Raise ? RecordingsFolder{"Pink.wav"} : RecordingsFolder{};
  WorkingFolder here(folder.Path());
  WatchTheBox(app_);
  TForm1Failing::Raise = c.Raise;

  EXPECT_EQ(c.Raise ? Start<TForm1Failing>() : Start(), kExitStartFailed);

  ASSERT_EQ(host_.Boxes().size(), 1u);
  const HeadlessHost::Box& box = host_.Boxes()[0];
  if (c.Shown.empty()) ExpectPlayerOpenError(box.Text, "Pink.wav");
  else EXPECT_EQ(box.Text, c.Shown);
  EXPECT_EQ(box.Caption, "Sibilon");
  EXPECT_EQ(box.Kind, TMessageBoxKind::Error);
  ExpectNothingLeftBehindTheBox();
  EXPECT_FALSE(sim_.isOpen(0));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CreationFailures,
    ::testing::Values(
        CreationFailure{"MissingRecordingWhileTheWindowLoads", nullptr, ""},
        CreationFailure{"FrameworkErrorFromTheCreationHandler", [] { throw EInvalidOperation("Not now"); }, "Not now"},
        CreationFailure{"StandardErrorFromTheCreationHandler", [] { throw std::runtime_error("No sound card"); },
                        "No sound card"},
        CreationFailure{"ErrorWithoutTextFromTheCreationHandler", [] { throw NoTextError(); }, "Unexpected error"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormsStartUp, ErrorsFromHandlersAreShownAndTheLoopGoesOn) {
  RecordingsFolder folder{"Pink.wav", "White.wav"};
  WorkingFolder here(folder.Path());
  std::vector<std::string> ran;
  loop_.Post([&] { ChooseNoise(*Window(), 0); });  // Brown.wav is missing
  loop_.Post([&] { throw std::runtime_error("Out of paper"); });
  loop_.Post([&] { throw NoTextError(); });
  loop_.Post([&] {
    ChooseNoise(*Window(), 2);
    ran.push_back(Window()->wp1->FileName() + (Window()->wp1->Opened() ? " open" : " closed"));
    ClickAt(Middle(Window()->btnExit));
  });

  EXPECT_EQ(Start(), 0);

  ASSERT_EQ(host_.Boxes().size(), 3u);
  ExpectPlayerOpenError(host_.Boxes()[0].Text, "Brown.wav");
  EXPECT_EQ(host_.Boxes()[1].Text, "Out of paper");
  EXPECT_EQ(host_.Boxes()[2].Text, "Unexpected error");
  EXPECT_EQ(ran, std::vector<std::string>{"White.wav open"});
}

TEST_F(FormsStartUp, ExitButtonEndsTheProgramWithZero) {
  WorkingFolder here(SIB_DATA_DIR);
  loop_.Post([&] { ClickAt(Middle(Window()->btnExit)); });
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(host_.Boxes().size(), 0u);
}

// A window system that cannot make windows; its message boxes go to the headless host.
class TNoWindowHost : public IFormHost {
 public:
  explicit TNoWindowHost(HeadlessHost& ABoxes) : FBoxes(ABoxes) {}
  std::unique_ptr<IFormWindow> CreateFormWindow(const TFormWindowParams&, IFormWindowEvents&) override {
    throw EOutOfResources("Couldn't create window");
  }
  void MessageBox(const std::string& Caption, const std::string& Text, TMessageBoxKind Kind) override {
    FBoxes.MessageBox(Caption, Text, Kind);
  }
  void OpenUrl(const std::string& Address) override { FBoxes.OpenUrl(Address); }

 private:
  HeadlessHost& FBoxes;
};

// The window exists, its player running, when showing it fails as the loop starts.
TEST_F(FormsStartUp, WindowThatCannotBeShownIsDestroyedBeforeTheBoxAndTheExitCodeIsOne) {
  WarmUp();
  WorkingFolder here(SIB_DATA_DIR);
  TNoWindowHost noWindows(host_);
  TApplication application(noWindows, loop_);
  WatchTheBox(application);
  TFormsStartUp startUp(application, [&] { application.CreateForm<TForm1>(Form1Description()); });

  EXPECT_EQ(RunApplication(startUp), kExitStartFailed);

  ASSERT_EQ(host_.Boxes().size(), 1u);
  EXPECT_EQ(host_.Boxes()[0].Text, "Couldn't create window");
  ExpectNothingLeftBehindTheBox();
}

}  // namespace
}  // namespace sib::test
