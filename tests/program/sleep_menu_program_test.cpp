// The window's context menu and its sleep timer as a person uses them: the menu opened by a right
// click and from the keyboard on the real window under a private X server, moved through and closed
// with real keys and clicks, compared with the same window made in this process; the timer run to its
// end on a clock sped up for the test, its fade recorded from a private sound server. The recording
// the window plays holds one level throughout, so every sample shows the gain it went out with.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <fstream>

#include "app/window_sleep.h"
#include "tests/program/program_fixture.h"

namespace sib::test {
namespace {

// The sleep timer's minutes pass this many times faster: "15 minutes" lasts 30 s, its fade 1 s.
constexpr int kClockScale = 30;
constexpr std::int16_t kRecorded = 20000;
constexpr std::int16_t kPlayed = 2000;  // at the bar's 50: × 0.1

TPoint Middle(const TRect& R) { return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2}; }

class SleepMenu : public Program {
 protected:
  // A recording that holds `kRecorded` throughout, as Pink.wav, beside the other two.
  // A second of 16-bit stereo PCM at 44.1 kHz.
  static void WriteLevelRecording(const std::filesystem::path& Folder) {
    std::string bytes;
    const auto put = [&](std::uint32_t Value, int Bytes) {
      for (int i = 0; i < Bytes; ++i) bytes += static_cast<char>((Value >> (8 * i)) & 0xFF);
    };
    const std::uint32_t rate = MonitorRecorder::kRate;
    const std::uint32_t dataBytes = rate * 4;
    bytes += "RIFF";
    put(36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    put(16, 4), put(1, 2), put(2, 2), put(rate, 4), put(rate * 4, 4), put(4, 2), put(16, 2);
    bytes += "data";
    put(dataBytes, 4);
    for (std::uint32_t i = 0; i < 2 * rate; ++i) put(static_cast<std::uint16_t>(kRecorded), 2);
    std::ofstream(Folder / "Pink.wav", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // The title as the taskbar reads it (_NET_WM_NAME, in UTF-8).
  std::string Title() const {
    const std::string property = RunProgram({"xprop", "-id", FWindow, "_NET_WM_NAME"}).output;
    const std::size_t first = property.find('"');
    const std::size_t last = property.rfind('"');
    return first == std::string::npos || last == first ? property : property.substr(first + 1, last - first - 1);
  }
  // Waits until the window's title is `Expected`; the last title seen.
  std::string WaitForTitle(const std::string& Expected, std::chrono::milliseconds Limit) const {
    const auto until = std::chrono::steady_clock::now() + Limit;
    std::string title = Title();
    while (title != Expected && std::chrono::steady_clock::now() < until) title = Title();
    return title;
  }
  // Waits until a part of the window shows what the same part of `Image` does; the pixels that
  // still differ. The last screenshot is kept as `Name`.
  int WaitUntilShownAs(const std::string& Name, const TImageView& Image, const TControl& Part) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    int different = DifferentPixelsIn(Screenshot(Name), Image, Part);
    while (different != 0 && std::chrono::steady_clock::now() < until)
      different = DifferentPixelsIn(Screenshot(Name), Image, Part);
    return different;
  }
  void RightClickAt(TPoint At) {
    MoveTo(At);
    Xdotool({"click", "3"});
  }
  void Key(const std::string& Name) { Xdotool({"key", "--window", FWindow, Name}); }
};

// Drives the window made in this process as the X server's input drives the real one.
struct ReferenceInput {
  TForm1& Window;
  void RightClick(TPoint At) {
    Window.Events().HostMouseMove({}, At);
    Window.Events().HostMouseDown(mbRight, {ssRight}, At);
    Window.Events().HostMouseUp(mbRight, {}, At);
  }
  void Key(TKey Key, TShiftState Shift = {}) {
    Window.Events().HostKeyDown(Key, Shift, false);
    Window.Events().HostKeyUp(Key, Shift);
  }
};

TEST_F(SleepMenu, TheMenuOpensAtThePointerOrTheFocusMovesWithKeysAndClosesOnEscapeOrAClickOutside) {
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;
  TWindowSleep& sleep = *NewComponent<TWindowSleep>(window, window, 1.0);
  TPopupMenu& menu = sleep.Menu();
  ReferenceInput input{window};

  SoundServer sound;
  MonitorRecorder recorder(sound);
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound);
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();

  // A right click on the panel: the menu's corner at the pointer, nothing chosen, the time in force
  // ("No sleep timer") checked.
  const TPoint pointer{40, 40};
  RightClickAt(pointer);
  input.RightClick(pointer);
  ASSERT_TRUE(menu.IsOpen());
  EXPECT_EQ(menu.Left(), pointer.X);
  EXPECT_EQ(menu.Top(), pointer.Y);
  std::vector<std::string> captions;
  for (const TPopupMenuItem& item : menu.Items()) captions.push_back(item.Caption + (item.Checked ? " [x]" : ""));
  EXPECT_EQ(captions, (std::vector<std::string>{"Stop after 15 minutes", "Stop after 30 minutes", "Stop after 45 minutes",
                                                "Stop after 1 hour", "Stop after 2 hours", "No sleep timer [x]"}));
  EXPECT_EQ(WaitUntilShownAs("program_menu_open.png", reference.Image(), menu), 0) << "the menu is not at the pointer";

  // Down twice highlights the second item; End and Up the fifth; Home the first.
  Key("Down");
  Key("Down");
  input.Key(VK_DOWN);
  input.Key(VK_DOWN);
  EXPECT_EQ(menu.ItemIndex(), 1);
  EXPECT_EQ(WaitUntilShownAs("program_menu_down.png", reference.Image(), menu), 0);
  Key("End");
  Key("Up");
  input.Key(VK_END);
  input.Key(VK_UP);
  EXPECT_EQ(menu.ItemIndex(), 4);
  EXPECT_EQ(WaitUntilShownAs("program_menu_end_up.png", reference.Image(), menu), 0);
  Key("Home");
  input.Key(VK_HOME);
  EXPECT_EQ(menu.ItemIndex(), 0);
  EXPECT_EQ(WaitUntilShownAs("program_menu_home.png", reference.Image(), menu), 0);

  // Escape closes it and chooses nothing: the window under it is whole again.
  const TRect where = menu.BoundsRect();
  Key("Escape");
  input.Key(VK_ESCAPE);
  EXPECT_FALSE(menu.IsOpen());
  EXPECT_EQ(WaitUntilShownAs("program_menu_escaped.png", reference.Image(), window), 0) << "the menu is still shown";

  // A click outside it closes it and goes no further: the start button under the click stays as it
  // was, and nothing plays.
  const TPoint button = ReferenceWindow::Middle(window.btnBegin);
  ASSERT_FALSE(where.Contains(TPoint{button}));
  RightClickAt(pointer);
  input.RightClick(pointer);
  EXPECT_EQ(WaitUntilShownAs("program_menu_again.png", reference.Image(), menu), 0);
  const std::size_t clicked = recorder.Frames();
  ClickAt(button);
  window.Events().HostMouseMove({}, button);
  window.Events().HostMouseDown(mbLeft, {ssLeft}, button);
  window.Events().HostMouseUp(mbLeft, {}, button);
  EXPECT_FALSE(menu.IsOpen());
  EXPECT_FALSE(window.Playing()) << "the click that closed the menu reached the button";
  Xdotool({"mousemove", "--sync", "0", "0"});
  window.Events().HostMouseLeave();
  EXPECT_EQ(WaitUntilShownAs("program_menu_clicked_outside.png", reference.Image(), window), 0);
  ASSERT_TRUE(recorder.WaitForFrames(clicked + MonitorRecorder::FramesOf(1500ms), 10s));
  EXPECT_EQ(Rms(recorder.Samples(clicked, MonitorRecorder::FramesOf(1500ms))), 0) << "the click started the noise";

  // From the keyboard (Shift+F10, and the Menu key) at the focused control, the first item lit.
  Key("shift+F10");
  input.Key(VK_F10, {ssShift});
  ASSERT_TRUE(menu.IsOpen());
  EXPECT_EQ(menu.ItemIndex(), 0);
  EXPECT_EQ(WaitUntilShownAs("program_menu_keyboard.png", reference.Image(), menu), 0);
  Key("Escape");
  input.Key(VK_ESCAPE);
  Key("Menu");
  input.Key(VK_APPS);
  ASSERT_TRUE(menu.IsOpen());
  EXPECT_EQ(WaitUntilShownAs("program_menu_key.png", reference.Image(), menu), 0);
  Key("Escape");
  EXPECT_EQ(WaitForTitle("Sibilon", 5s), "Sibilon");

  ClickAt(ReferenceWindow::Middle(window.btnExit));
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
}

TEST_F(SleepMenu, TheMenuIsDrawnAtTwiceTheSizeOnADisplayOfTwiceTheDensity) {
  XServer dense("Xft.dpi: 192");
  SoundServer sound;
  RecordingsFolder folder{"Brown.wav", "Pink.wav", "White.wav"};
  std::unique_ptr<ChildProcess> program = Start(folder.Path(), sound, kNoBus, {}, {}, dense.Display());
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  // The window once it is drawn: two screenshots alike, not black.
  Png before = Screenshot("program_menu_2x_before.png");
  ASSERT_EQ(before.width, 2 * 471);
  const auto until = std::chrono::steady_clock::now() + 20s;
  for (;;) {
    const Png again = Screenshot("program_menu_2x_before.png");
    const bool settled = again.pixels == before.pixels && (again.At(471, 413) & 0xFFFFFF) != 0;
    before = again;
    if (settled || std::chrono::steady_clock::now() > until) break;
  }
  const TPoint pointer{40, 40};
  RightClickAt({2 * pointer.X, 2 * pointer.Y});
  // The menu in this process, for its size.
  ReferenceWindow reference(SIB_DATA_DIR);
  TWindowSleep& sleep = *NewComponent<TWindowSleep>(*reference.form, *reference.form, 1.0);
  ReferenceInput{*reference.form}.RightClick(pointer);
  const TRect menu = sleep.Menu().BoundsRect();
  const TRect shown{2 * menu.Left, 2 * menu.Top, 2 * menu.Right, 2 * menu.Bottom};
  // Every changed pixel lies in the menu's place at twice its size, and most of that place changed.
  int inside = 0;
  int outside = 0;
  const auto shownBy = std::chrono::steady_clock::now() + 10s;
  while (inside < shown.Width() * shown.Height() / 2 && std::chrono::steady_clock::now() < shownBy) {
    const Png after = Screenshot("program_menu_2x.png");
    inside = outside = 0;
    for (int y = 0; y < after.height; ++y)
      for (int x = 0; x < after.width; ++x)
        if ((after.At(x, y) & 0xFFFFFF) != (before.At(x, y) & 0xFFFFFF)) ++(shown.Contains(TPoint{x, y}) ? inside : outside);
  }
  EXPECT_GT(inside, shown.Width() * shown.Height() / 2) << "no menu at twice the size at the pointer";
  EXPECT_EQ(outside, 0) << "the menu is not where the pointer is";
  Key("Escape");
  program->Kill(SIGTERM);
  program->WaitForExit(30s);
}

TEST_F(SleepMenu, TheSleepTimerStartsTheNoiseFadesItOutAndStopsAndAStopOrNoSleepTimerEndsIt) {
  ReferenceWindow reference(SIB_DATA_DIR);
  TForm1& window = *reference.form;
  TWindowSleep& sleep = *NewComponent<TWindowSleep>(window, window, 1.0);
  ReferenceInput input{window};

  SoundServer sound;
  MonitorRecorder recorder(sound);
  RecordingsFolder folder{"Brown.wav", "White.wav"};
  WriteLevelRecording(folder.Path());
  std::unique_ptr<ChildProcess> program =
      Start(folder.Path(), sound, kNoBus, {}, {"SIB_TEST_SLEEP_CLOCK_SCALE=" + std::to_string(kClockScale)});
  ASSERT_TRUE(WaitForWindow()) << program->ErrorOutput();
  const TPoint pointer{40, 40};
  input.RightClick(pointer);
  const auto itemAt = [&](int Index) { return sleep.Menu().ClientToForm(Middle(sleep.Menu().ItemRect(Index))); };

  // "Stop after 15 minutes", chosen with the mouse while stopped: the noise starts, and the title
  // counts the minutes.
  RightClickAt(pointer);
  const std::size_t chosen = recorder.Frames();
  ClickAt(itemAt(0));
  EXPECT_EQ(WaitForTitle("Sibilon \u2013 stops in 15 min", 5s), "Sibilon \u2013 stops in 15 min");
  const std::optional<std::size_t> onset = recorder.WaitForSound(chosen, 20, 20s);
  ASSERT_TRUE(onset) << "choosing a time did not start the noise";
  EXPECT_EQ(WaitForTitle("Sibilon \u2013 stops in 14 min", 5s), "Sibilon \u2013 stops in 14 min");

  // To its end: the level held, then a fade over the last second (30 s of the timer's time) in steps
  // no larger than one block's share, then silence.
  const std::size_t total = MonitorRecorder::FramesOf(std::chrono::milliseconds(15 * 60 * 1000 / kClockScale));
  ASSERT_TRUE(recorder.WaitForFrames(chosen + total + MonitorRecorder::FramesOf(2500ms), 60s));
  EXPECT_EQ(WaitForTitle("Sibilon", 5s), "Sibilon") << "the title still counts";
  const std::vector<std::int16_t> all = recorder.Samples(*onset, chosen + total + MonitorRecorder::FramesOf(2500ms) - *onset);
  std::vector<std::int16_t> left;
  for (std::size_t i = 0; i < all.size(); i += 2) left.push_back(all[i]);
  // From the end: the silence, then the fade back to the last frame at the level.
  const std::size_t settle = MonitorRecorder::FramesOf(250ms);
  std::size_t silentFrom = left.size();
  while (silentFrom > 0 && left[silentFrom - 1] == 0) --silentFrom;
  std::size_t fadeFrom = silentFrom;
  while (fadeFrom > settle && std::abs(left[fadeFrom - 1] - kPlayed) > 2) --fadeFrom;
  ASSERT_GT(fadeFrom, settle) << "the level never held";
  // Until then the level held: every frame at it, or silent where the sound dropped out on a busy
  // machine, but for a few at the edges of such a gap.
  std::size_t offLevel = 0;
  std::size_t droppedOut = 0;
  for (std::size_t i = settle; i < fadeFrom; ++i) {
    droppedOut += left[i] == 0;
    offLevel += left[i] != 0 && std::abs(left[i] - kPlayed) > 2;
  }
  EXPECT_LT(offLevel, (fadeFrom - settle) / 1000) << "the level did not hold";
  const double fadeStart = static_cast<double>(*onset + fadeFrom - chosen) / MonitorRecorder::kRate;
  const double fadeLength = static_cast<double>(silentFrom - fadeFrom) / MonitorRecorder::kRate;
  const double fadeSeconds = 30.0 / kClockScale;
  const double timerSeconds = 15.0 * 60 / kClockScale;
  // The fade goes into the amplifier ahead of its time by what the output holds before the speaker
  // (real time, so on the sped-up clock up to two seconds here), so that it is heard to end by then.
  EXPECT_GT(fadeStart, timerSeconds - fadeSeconds - 2.0) << "the fade began too early";
  EXPECT_LT(fadeStart + fadeLength, timerSeconds + 0.5) << "the fade ended after the time";
  EXPECT_NEAR(fadeLength, fadeSeconds, 0.15 * fadeSeconds);
  int largestStep = 0;
  for (std::size_t i = fadeFrom - 1; i < silentFrom && i + 1 < left.size(); ++i)
    largestStep = std::max(largestStep, std::abs(left[i + 1] - left[i]));
  const double blockShare = kPlayed * 1024.0 / (fadeSeconds * MonitorRecorder::kRate);
  EXPECT_LE(largestStep, blockShare * 1.1 + 2) << "a step in the fade";
  EXPECT_GT(left.size() - silentFrom, MonitorRecorder::FramesOf(1000ms)) << "sound after the fade's silence";
  std::printf("sleep timer: fade from %.2f s after the choice (%.2f), over %.2f s (%.2f); largest step %d (a block's "
              "share %.1f); before it %zu frames off the level, %zu dropped out\n",
              fadeStart, timerSeconds - fadeSeconds, fadeLength, fadeSeconds, largestStep, blockShare, offLevel,
              droppedOut);

  // Stopped as Stop stops it: the button at Start, the readout and the bar as they were.
  const TImageView image = reference.Image();
  EXPECT_EQ(WaitUntilShownAs("program_sleep_over.png", image, *window.btnBegin), 0) << "the button does not show Start";
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_sleep_over.png"), image, *window.ledVol), 0);
  EXPECT_EQ(DifferentPixelsIn(Screenshot("program_sleep_over.png"), image, *window.tbVol), 0);

  // The next Start plays at the bar's level.
  std::size_t mark = recorder.Frames();
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  std::optional<std::size_t> started = recorder.WaitForSound(mark, 20, 20s);
  ASSERT_TRUE(started) << "Start played nothing";
  ASSERT_TRUE(recorder.WaitForFrames(*started + settle + 4096, 10s));
  EXPECT_NEAR(recorder.Samples(*started + settle, 1)[0], kPlayed, 2) << "not at the bar's level";

  // A Stop ends a timer that runs.
  RightClickAt(pointer);
  ClickAt(itemAt(1));
  EXPECT_EQ(WaitForTitle("Sibilon \u2013 stops in 30 min", 5s), "Sibilon \u2013 stops in 30 min");
  ClickAt(ReferenceWindow::Middle(window.btnBegin));
  EXPECT_EQ(WaitForTitle("Sibilon", 5s), "Sibilon");

  // "No sleep timer" ends it and the noise plays on; the time in force is the one checked.
  RightClickAt(pointer);
  ClickAt(itemAt(2));
  EXPECT_EQ(WaitForTitle("Sibilon \u2013 stops in 45 min", 5s), "Sibilon \u2013 stops in 45 min");
  RightClickAt(pointer);
  Screenshot("program_menu_checked.png");
  ClickAt(itemAt(5));
  EXPECT_EQ(WaitForTitle("Sibilon", 5s), "Sibilon");
  mark = recorder.Frames();
  ASSERT_TRUE(recorder.WaitForFrames(mark + MonitorRecorder::FramesOf(2000ms), 10s));
  const std::vector<std::int16_t> after = recorder.Samples(mark + MonitorRecorder::FramesOf(1000ms), 4096);
  EXPECT_NEAR(after[0], kPlayed, 2) << "the noise did not play on";

  Xdotool({"mousemove", "--sync", "0", "0"});
  ClickAt(ReferenceWindow::Middle(window.btnExit));
  EXPECT_EQ(program->WaitForExit(30s), std::optional<int>(0)) << program->ErrorOutput();
}

}  // namespace
}  // namespace sib::test
