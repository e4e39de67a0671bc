// TForm1 made from its stored description, with the real pipeline on the simulated device: the state
// after start-up, the creation handler after every component's Loaded, silence until the first Start,
// and the window driven through its controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "framework/pin_persistence.h"
#include "platform/media/wave_file.h"
#include "tests/app/window_fixture.h"

namespace sib::test {
namespace {

int Peak(const std::vector<std::byte>& played) {
  std::vector<std::int16_t> samples(played.size() / 2);
  std::memcpy(samples.data(), played.data(), samples.size() * 2);
  int peak = 0;
  for (std::int16_t s : samples) peak = std::max(peak, std::abs(int{s}));
  return peak;
}

// TForm1 with a look at the moment its creation handler runs: which components have not finished
// loading, and room for what the player's clock does before the handler (a slow start, a busy machine).
// With SkipOwnLoaded the window leaves out its own Loaded step: the fixture of the fault that step mends.
class TForm1Probe : public TForm1 {
  SIB_CLASS(TForm1Probe, TForm1)
 public:
  using TForm1::TForm1;
  static TMethodList PublishedMethods() { return {method("FormCreate", &TForm1Probe::FormCreate)}; }
  void Loaded() override {
    if (SkipOwnLoaded) TForm::Loaded();
    else TForm1::Loaded();
  }
  void FormCreate(TObject* Sender) {
    ++CreateCount;
    for (int i = 0; i < ComponentCount(); ++i)
      if (Components(i)->ComponentState().Contains(csLoading)) StillLoading.push_back(Components(i)->Name());
    PlayerOpened = wp1->Opened();
    if (BeforeCreate) BeforeCreate(*this);
    TForm1::FormCreate(Sender);
  }
  int CreateCount = 0;
  std::vector<std::string> StillLoading;
  bool PlayerOpened = false;

  // Set by a test before it creates the window.
  static inline bool SkipOwnLoaded = false;
  static inline std::function<void(TForm1Probe&)> BeforeCreate;
};

class MainForm : public WindowFixture {
 protected:
  MainForm() {
    RegisterClasses<TForm1Probe>();
    TForm1Probe::SkipOwnLoaded = false;
    TForm1Probe::BeforeCreate = nullptr;
  }
  ~MainForm() override { TForm1Probe::BeforeCreate = nullptr; }
  WorkingFolder folder_{SIB_DATA_DIR};
};

TEST_F(MainForm, StartsStoppedWithPinkAtHalfLevelAndTheOutputDisabled) {
  TForm1* form = Create();
  EXPECT_FALSE(form->Playing());
  EXPECT_EQ(form->wp1->FileName(), "Pink.wav");
  EXPECT_TRUE(form->wp1->Enabled());
  EXPECT_FALSE(form->wp1->Paused());
  EXPECT_TRUE(form->wp1->Loop());
  EXPECT_FALSE(form->wp1->RestartOnNewFile());
  EXPECT_TRUE(form->wp1->Opened());
  EXPECT_EQ(form->amp1->Coefficient(), 0.1);
  EXPECT_FALSE(form->out1->Enabled());
  EXPECT_EQ(form->tbVol->Position(), 50.0);
  EXPECT_EQ(form->ledVol->Caption()->Value(), 50.0);
  EXPECT_EQ(form->btnBegin->Caption(), "Start Noise");
  EXPECT_EQ(form->btnBegin->Color(), 12632256);
  EXPECT_EQ(form->amp1->InputPin()->SourcePin(), form->wp1->OutputPin());
  EXPECT_EQ(form->out1->InputPin()->SourcePin(), form->amp1->OutputPin());
}

TEST_F(MainForm, TheStoredLinksExistOnBothEndsAndNoPlaceholderIsLeft) {
  TForm1* form = Create();
  ASSERT_EQ(form->wp1->OutputPin()->SinkCount(), 1u);
  EXPECT_EQ(form->wp1->OutputPin()->GetSink(0), form->amp1->InputPin());
  EXPECT_EQ(form->amp1->InputPin()->SourcePin(), form->wp1->OutputPin());
  ASSERT_EQ(form->amp1->OutputPin()->SinkCount(), 1u);
  EXPECT_EQ(form->amp1->OutputPin()->GetSink(0), form->out1->InputPin());
  EXPECT_EQ(form->out1->InputPin()->SourcePin(), form->amp1->OutputPin());
  EXPECT_EQ(OWPlaceholders().size(), 0u);
}

TEST_F(MainForm, FocusStartsOnTheStartButtonAndTabVisitsTheControlsInTheirOrder) {
  TForm1* form = Create();
  form->Show();
  ASSERT_NE(form->ActiveControl(), nullptr);
  EXPECT_EQ(form->ActiveControl()->Name(), "btnBegin");
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    form->Events().HostKeyDown(VK_TAB, {}, false);
    form->Events().HostKeyUp(VK_TAB, {});
    visited.push_back(form->ActiveControl() ? form->ActiveControl()->Name() : "(none)");
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"btnExit", "btnZorvex", "spNoise", "tbVol", "btnBegin"}));
}

TEST_F(MainForm, ValuesNothingUsesAreKeptAndReadOnlyVersionsStay) {
  TForm1* form = Create();
  EXPECT_EQ(form->ledVol->Caption()->TimeValue(), 40542.27532230324);
  EXPECT_EQ(form->spNoise->Columns()->Items(0)->DateRangeTo(), 40562.24794212963);
  EXPECT_EQ(form->AdvSmoothLabel1->CaptionShadow()->Text(), "AdvSmoothLabel");
  EXPECT_EQ(form->btnBegin->Status()->Caption(), "0");
  EXPECT_FALSE(form->btnBegin->Status()->Visible()) << "the badge stays hidden";
  EXPECT_EQ(form->wp1->DesignInfo().Left, 56);
  EXPECT_EQ(form->pn1->Version(), "1.0.9.3");
  EXPECT_EQ(form->tbVol->Version(), "1.2.2.0");
}

TEST_F(MainForm, TheWindowIsFixedInSizeCentredAndWithoutMaximizeBox) {
  TForm1* form = Create();
  EXPECT_EQ(form->ClientWidth(), 471);
  EXPECT_EQ(form->ClientHeight(), 413);
  EXPECT_EQ(form->BorderStyle(), bsSingle);
  EXPECT_EQ(form->Position(), poDesktopCenter);
  EXPECT_FALSE(form->BorderIcons().Contains(biMaximize));
  EXPECT_EQ(form->Caption(), "Sibilon");
  EXPECT_EQ(form->btnZorvex->Caption(), "Click here to visit the user guide");
  EXPECT_EQ(form->Icon()->Entries().size(), 9u);
}

// A choice made while playing switches the file without a new start-wave when the formats agree, so
// the three recordings must share one: otherwise the player stops and announces the new format, a
// gap the user would hear.
TEST(Recordings, TheThreeShareOneFormat) {
  std::vector<std::vector<std::uint8_t>> formats;
  for (const char* name : {"Brown.wav", "Pink.wav", "White.wav"}) {
    std::unique_ptr<WaveFile> file;
    ASSERT_EQ(WaveFile::open(std::string(SIB_DATA_DIR) + "/" + name, file), kMediaOk) << name;
    std::unique_ptr<WaveStream> stream;
    ASSERT_EQ(file->getAudioStream(stream), kMediaOk) << name;
    formats.emplace_back(stream->format().begin(), stream->format().end());
  }
  EXPECT_EQ(formats[0], formats[1]);
  EXPECT_EQ(formats[0], formats[2]);
}

TEST_F(MainForm, TheLinkButtonOpensTheUserGuideAsAFileAddress) {
  TForm1* form = Create();
  ClickAt(Middle(form->btnZorvex));
  ASSERT_EQ(host_.OpenedUrls(), std::vector<std::string>{HomePage()});
  const std::string prefix = "file://";
  ASSERT_EQ(HomePage().rfind(prefix, 0), 0u) << HomePage();
  EXPECT_TRUE(std::filesystem::is_regular_file(HomePage().substr(prefix.size()))) << HomePage();
  EXPECT_TRUE(HomePage().ends_with("/README.md")) << HomePage();
}

TEST(FileAddress, KeepsPlainBytesAndPercentEncodesTheRest) {
  struct Row {
    const char* path;
    const char* address;
  } rows[] = {
      {"/usr/share/doc/sibilon/README.md", "file:///usr/share/doc/sibilon/README.md"},
      {"/home/a b/Noise & Co/x#1?.md", "file:///home/a%20b/Noise%20%26%20Co/x%231%3F.md"},
      {"/tmp/Gru\xC3\x9F.md", "file:///tmp/Gru%C3%9F.md"},
  };
  for (const Row& row : rows) EXPECT_EQ(FileAddress(row.path), row.address) << row.path;
}

TEST_F(MainForm, CreationHandlerRunsOnceAfterEveryComponentsLoaded) {
  auto* form = Create<TForm1Probe>();
  EXPECT_EQ(form->CreateCount, 1);
  EXPECT_EQ(form->StillLoading, std::vector<std::string>{});
  EXPECT_TRUE(form->PlayerOpened) << "the player opens its file as it finishes loading";
}

TEST_F(MainForm, NothingReachesTheDeviceBeforeTheFirstStart) {
  TForm1Probe::BeforeCreate = [this](TForm1Probe& form) { Blocks(form, 5); };
  TForm1* form = Create<TForm1Probe>();
  Blocks(5);
  ChooseNoise(*form, 2);
  DragThumbTo(*form, 357);
  Blocks(5);
  EXPECT_FALSE(sim_.isOpen(0)) << "the device was opened before the first Start";
  EXPECT_EQ(sim_.playedFrames(0), 0u);

  ClickAt(Middle(form->btnBegin));
  ASSERT_TRUE(form->Playing());
  Blocks(10);
  EXPECT_TRUE(sim_.isOpen(0));
  EXPECT_GT(Peak(sim_.played(0)), 0) << "the first Start plays";
}

TEST_F(MainForm, WithoutTheWindowsOwnLoadedStepTheFirstBlocksReachTheDeviceUnscaled) {
  TForm1Probe::SkipOwnLoaded = true;
  TForm1Probe::BeforeCreate = [this](TForm1Probe& form) { Blocks(form, 5); };
  Create<TForm1Probe>();
  EXPECT_TRUE(sim_.isOpen(0));
  // The stored coefficient 1.0: far above the loudest the window allows, a fifth of full scale.
  EXPECT_GT(Peak(sim_.played(0)), 32768 / 5);
}

TEST_F(MainForm, ReadoutAndGainFollowAClickBesideTheThumb) {
  TForm1* form = Create();
  ClickAt(form->tbVol->ClientToForm({300, 14}));
  EXPECT_EQ(form->tbVol->Position(), 51.0);
  EXPECT_EQ(form->ledVol->Caption()->Value(), 51.0);
  EXPECT_EQ(form->amp1->Coefficient(), 51 / 500.0);
  DragThumbTo(*form, 0);
  EXPECT_EQ(form->tbVol->Position(), 0.0);
  EXPECT_EQ(form->ledVol->Caption()->Value(), 0.0);
  EXPECT_EQ(form->amp1->Coefficient(), 0.0);
}

TEST_F(MainForm, StartButtonUnderThePointerTogglesAndLightsOnlyWhileStopped) {
  TForm1* form = Create();
  const TPoint button = Middle(form->btnBegin);
  form->Events().HostMouseMove({}, button);
  EXPECT_EQ(form->btnBegin->Color(), 11788021);
  ClickAt(button);
  EXPECT_TRUE(form->out1->Enabled());
  EXPECT_FALSE(form->wp1->Paused());
  EXPECT_EQ(form->btnBegin->Caption(), "Stop Noise");
  EXPECT_EQ(form->btnBegin->Color(), 2258854);
  ClickAt(button);
  EXPECT_FALSE(form->out1->Enabled());
  EXPECT_TRUE(form->wp1->Paused());
  EXPECT_EQ(form->btnBegin->Caption(), "Start Noise");
  EXPECT_EQ(form->btnBegin->Color(), 12632256) << "a stop under the pointer leaves silver";
  form->Events().HostMouseMove({}, {5, 5});
  form->Events().HostMouseMove({}, button);
  EXPECT_EQ(form->btnBegin->Color(), 11788021);
}

TEST_F(MainForm, ExitButtonEndsTheLoop) {
  TForm1* form = Create();
  ClickAt(Middle(form->btnExit));
  EXPECT_TRUE(app_.Terminated());
}

}  // namespace
}  // namespace sib::test
