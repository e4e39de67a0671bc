// The window on the desktop's media-player control, on a private session bus, driven as a person's
// script drives it: playerctl and dbus-send. Each command must act through the window's controls, so
// that the button, the spinner, the readout, the gain and the player show the truth; what the window
// does by the mouse must be announced; bad values and unknown calls change nothing.
#include "app/window_mpris.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "tests/app/window_fixture.h"
#include "tests/platform/desktop/session_bus.h"

namespace sib::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "org.mpris.MediaPlayer2.sibilon";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

// What the window shows of the noise and what it has set in the pipeline, in one line.
std::string Shown(TForm1& window) {
  const TAdvSmoothLedLabelCaption& readout = *window.ledVol->Caption();
  const TAdvSmoothSpinnerColumn& column = *window.spNoise->Columns()->Items(0);
  std::ostringstream line;
  line << (window.Playing() ? "playing" : "stopped") << ", \"" << window.btnBegin->Caption() << "\" "
       << window.btnBegin->Color() << ", output " << (window.out1->Enabled() ? "on" : "off") << ", readout "
       << LedText(readout.ValueType(), readout.Format(), readout.TimeFormat(), readout.Value(), readout.TimeValue())
       << ", gain " << window.amp1->Coefficient() << ", "
       << column.CustomItems()->Items(column.SelectedCustomIndex())->Text() << " " << window.wp1->FileName();
  return line.str();
}

class WindowMpris : public WindowFixture {
 protected:
  WindowMpris() {
    FWindow = Create();
    FWindow->Show();
    FControl = std::make_unique<TWindowMpris>(*FWindow, loop_, FBus.Address(), [this](const std::string& line) {
      std::lock_guard lock(FNoticeMutex);
      FNotices.push_back(line);
    });
    EXPECT_EQ(FControl->Service()->WaitWhile(MprisService::Status::Connecting, 10s), MprisService::Status::Serving);
  }

  // Runs a bus client while the window's message loop runs, as the program's loop would.
  ClientResult Run(const std::vector<std::string>& Argv) {
    std::atomic<bool> finished{false};
    ClientResult result;
    std::thread client([&] {
      result = RunBusClient(FBus.Address(), Argv);
      finished = true;
      loop_.Post([] {});
    });
    loop_.RunUntil([&] { return finished.load(); }, 30s);
    client.join();
    return result;
  }
  ClientResult Playerctl(std::vector<std::string> Args) { return Run(PlayerctlCommand(std::move(Args))); }
  // A call of the player with dbus-send: its error's name, or "" when it succeeded.
  std::string Send(const std::string& Member, const std::vector<std::string>& Arguments = {}) {
    const ClientResult result = Run(DbusSendCommand(kName, Member, Arguments));
    if (result.ExitCode == 0) return "";
    const std::size_t start = result.Errors.find("org.");
    return result.Errors.substr(start, result.Errors.find(':', start) - start);
  }
  std::string SetVolume(const std::string& Value) {
    return Send("org.freedesktop.DBus.Properties.Set",
                {std::string("string:") + kPlayer, "string:Volume", "variant:double:" + Value});
  }

  WorkingFolder FFolder{SIB_DATA_DIR};
  SessionBus FBus;
  TForm1* FWindow = nullptr;
  std::mutex FNoticeMutex;
  std::vector<std::string> FNotices;
  std::unique_ptr<TWindowMpris> FControl;
};

TEST_F(WindowMpris, PlayerctlDrivesTheWindowThroughItsControls) {
  const std::string stopped = "stopped, \"Start Noise\" 12632256, output off";
  const std::string playing = "playing, \"Stop Noise\" 2258854, output on";
  struct Row {
    std::vector<std::string> Args;
    int ExitCode;
    const char* Output;
    std::string Shown;
  };
  const Row rows[] = {
      {{"status"}, 0, "Stopped", stopped + ", readout 050, gain 0.1, Pink Noise Pink.wav"},
      {{"metadata", "title"}, 0, "Pink Noise", stopped + ", readout 050, gain 0.1, Pink Noise Pink.wav"},
      {{"play"}, 0, "", playing + ", readout 050, gain 0.1, Pink Noise Pink.wav"},
      {{"status"}, 0, "Playing", playing + ", readout 050, gain 0.1, Pink Noise Pink.wav"},
      {{"volume", "0.8"}, 0, "", playing + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"volume"}, 0, "0.800000", playing + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"next"}, 0, "", playing + ", readout 080, gain 0.16, White Noise White.wav"},
      {{"metadata", "title"}, 0, "White Noise", playing + ", readout 080, gain 0.16, White Noise White.wav"},
      // Past the last noise there is none: playerctl reads CanGoNext and refuses.
      {{"next"}, 1, "", playing + ", readout 080, gain 0.16, White Noise White.wav"},
      {{"previous"}, 0, "", playing + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"pause"}, 0, "", stopped + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"status"}, 0, "Stopped", stopped + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"pause"}, 0, "", stopped + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"play-pause"}, 0, "", playing + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"play"}, 0, "", playing + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"play-pause"}, 0, "", stopped + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"stop"}, 0, "", stopped + ", readout 080, gain 0.16, Pink Noise Pink.wav"},
      {{"previous"}, 0, "", stopped + ", readout 080, gain 0.16, Brown Noise Brown.wav"},
      {{"volume", "0.35"}, 0, "", stopped + ", readout 035, gain 0.07, Brown Noise Brown.wav"},
  };
  for (const Row& row : rows) {
    std::string what;
    for (const std::string& arg : row.Args) what += arg + " ";
    const ClientResult result = Playerctl(row.Args);
    EXPECT_EQ(result.ExitCode, row.ExitCode) << what << result.Errors;
    EXPECT_EQ(result.Output, row.Output) << what;
    EXPECT_EQ(Shown(*FWindow), row.Shown) << what;
  }
  // A stop clicked through the button leaves the player paused, as a click by the mouse does.
  EXPECT_TRUE(FWindow->wp1->Paused());
}

TEST_F(WindowMpris, BadValuesAreKeptInRangeOrRefusedAndTheWindowGoesOn) {
  struct Row {
    const char* What;
    std::string Error;  // the error's name; "" when it succeeded
    std::string Readout;
  };
  const std::vector<std::pair<std::function<std::string()>, Row>> rows = {
      {[&] { return SetVolume("7"); }, {"volume 7", "", "100"}},
      {[&] { return Playerctl({"volume", "--", "-1"}).ExitCode == 0 ? "" : "refused"; }, {"volume -1", "", "000"}},
      {[&] { return SetVolume("0.25"); }, {"volume 0.25", "", "025"}},
      {[&] { return SetVolume("nan"); }, {"volume nan", "org.freedesktop.DBus.Error.InvalidArgs", "025"}},
      {[&] { return SetVolume("inf"); }, {"volume inf", "org.freedesktop.DBus.Error.InvalidArgs", "025"}},
      {[&] { return Send(std::string(kPlayer) + ".FastForward"); },
       {"unknown method", "org.freedesktop.DBus.Error.UnknownMethod", "025"}},
      {[&] { return Send(std::string(kPlayer) + ".Play", {"string:now"}); },
       {"Play with an argument", "org.freedesktop.DBus.Error.InvalidArgs", "025"}},
      {[&] { return Send(std::string(kPlayer) + ".Seek", {"int64:5000000"}); }, {"seek", "", "025"}},
      {[&] { return Send(std::string(kPlayer) + ".OpenUri", {"string:file:///etc/passwd"}); },
       {"open an address", "org.freedesktop.DBus.Error.NotSupported", "025"}},
  };
  for (const auto& [call, row] : rows) {
    EXPECT_EQ(call(), row.Error) << row.What;
    const TAdvSmoothLedLabelCaption& readout = *FWindow->ledVol->Caption();
    EXPECT_EQ(LedText(readout.ValueType(), readout.Format(), readout.TimeFormat(), readout.Value(), readout.TimeValue()),
              row.Readout)
        << row.What;
    EXPECT_DOUBLE_EQ(FWindow->amp1->Coefficient(), std::stod(row.Readout) * 0.002) << row.What;
  }
  EXPECT_FALSE(FWindow->Playing());
  EXPECT_EQ(Playerctl({"status"}).Output, "Stopped");
}

TEST_F(WindowMpris, WhatTheMouseDoesInTheWindowIsAnnounced) {
  BusClient client(FBus.Address());
  client.WatchChanges();
  ClickAt(Middle(FWindow->btnBegin));
  EXPECT_EQ(client.NextChange(10s), "PlaybackStatus");
  EXPECT_EQ(client.Get(kName, kPlayer, "PlaybackStatus"), "Playing");
  DragThumbTo(*FWindow, 100);  // to 25
  EXPECT_EQ(client.NextChange(10s), "Volume");
  EXPECT_EQ(client.Get(kName, kPlayer, "Volume"), "0.25");
  ChooseNoise(*FWindow, 2);
  EXPECT_EQ(client.NextChange(10s), "Metadata CanGoNext");
  EXPECT_EQ(client.Get(kName, kPlayer, "Metadata"), "/sibilon/track/2 White Noise");
  EXPECT_EQ(client.Get(kName, kPlayer, "CanGoNext"), "false");
}

TEST_F(WindowMpris, RaiseBringsTheWindowForwardAndQuitEndsTheLoopAsTheExitButtonDoes) {
  EXPECT_EQ(Send("org.mpris.MediaPlayer2.Raise"), "");
  EXPECT_TRUE(static_cast<HeadlessWindow*>(FWindow->Window())->Activated());
  EXPECT_FALSE(loop_.Terminated());
  EXPECT_EQ(Send("org.mpris.MediaPlayer2.Quit"), "");
  EXPECT_TRUE(loop_.Terminated());
}

TEST_F(WindowMpris, AWindowThatGoesFirstTakesTheControlWithIt) {
  app_.DestroyForms();
  EXPECT_EQ(FControl->Service(), nullptr);
  BusClient client(FBus.Address());
  EXPECT_TRUE(client.NamesStartingWith(kName).empty()) << "the name outlived the window";
  FControl.reset();
}

class WindowWithoutABus : public WindowFixture {};

TEST_F(WindowWithoutABus, WorksAsBeforeAndSaysSoOnce) {
  WorkingFolder folder{SIB_DATA_DIR};
  TForm1& window = *Create();
  window.Show();
  std::mutex mutex;
  std::vector<std::string> notices;
  {
    TWindowMpris control(window, loop_, std::string(), [&](const std::string& line) {
      std::lock_guard lock(mutex);
      notices.push_back(line);
    });
    EXPECT_EQ(control.Service()->WaitWhile(MprisService::Status::Connecting, 10s), MprisService::Status::Off);
    ClickAt(Middle(window.btnBegin));
    EXPECT_EQ(Shown(window), "playing, \"Stop Noise\" 2258854, output on, readout 050, gain 0.1, Pink Noise Pink.wav");
  }
  std::lock_guard lock(mutex);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "no session bus (DBUS_SESSION_BUS_ADDRESS is not set); media keys and desktop control are off");
}

}  // namespace
}  // namespace sib::test
