// sibilon-play as a user runs it, in a process of its own:
// - on SDL's disk driver, pacing by the device: what reaches the "sound card" is the recording's samples
//   times the gain, rounded half to even, frame for frame and looping with no gap, for the noise
//   recordings and for short files of every coded format that sox writes, against sox's own decode;
// - through a real sound server (a private PulseAudio with null sinks, recorded from their monitors):
//   the server killed and started again while playing, after which the noise comes back by itself;
//   and the window's chain (the player's own clock, the steered rate) on short coded files, which
//   loops with no run of silence that the file itself does not hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/numeric.h"
#include "tests/platform/media/wave_fixtures.h"
#include "tests/support/sound_server.h"

namespace sib {
namespace {

using namespace std::chrono_literals;
using test::CodedFile;
using test::CodedRow;

constexpr std::size_t kRate = 44100;
constexpr double kGainAt100 = 0.2;

std::vector<std::int16_t> ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::int16_t Scaled(std::int16_t sample) { return static_cast<std::int16_t>(roundHalfEven(sample * kGainAt100)); }

std::vector<std::int16_t> ScaledAll(const std::vector<std::int16_t>& samples) {
  std::vector<std::int16_t> out(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) out[i] = Scaled(samples[i]);
  return out;
}

const std::vector<CodedRow>& CodedRows() {
  static const std::vector<CodedRow> rows = {
      {"ima", "-e ima-adpcm", 2, 0.6},          {"ima", "-e ima-adpcm", 1, 0.45},
      {"msadpcm", "-e ms-adpcm", 2, 0.6},       {"msadpcm", "-e ms-adpcm", 1, 0.45},
      {"alaw", "-e a-law", 2, 0.5},             {"ulaw", "-e u-law", 1, 0.5},
      {"float", "-e floating-point -b 32", 2, 0.5}, {"float", "-e floating-point -b 32", 1, 0.35},
  };
  return rows;
}

CodedFile MakeCoded(const test::TempDir& dir, const CodedRow& row, std::size_t index) {
  return test::makeSoxCoded(dir.file(std::string(row.name) + std::to_string(index)), row);
}

// What a device wrote, against the source looped and scaled: from the first frame of sound to the
// last, every frame must be the next one of the source. Returns the frames that matched, or fills
// `failure`.
std::size_t MatchLooped(const std::vector<std::int16_t>& written, const std::vector<std::int16_t>& scaledSource,
                        int channels, std::string& failure) {
  const auto width = static_cast<std::size_t>(channels);
  const std::size_t frames = written.size() / width;
  const std::size_t sourceFrames = scaledSource.size() / width;
  const std::size_t first = test::FirstSound(written, channels);
  const std::size_t end = test::LastSound(written, channels) + 1;
  if (first >= frames) {
    failure = "nothing but silence in " + std::to_string(frames) + " frames";
    return 0;
  }
  // The device waits in silence for the prefill and plays silence after the stop; the stream, which
  // starts at the source's first frame, lies between.
  std::size_t source = test::FirstSound(scaledSource, channels);
  for (std::size_t i = first; i < end; ++i, source = (source + 1) % sourceFrames) {
    for (std::size_t c = 0; c < width; ++c) {
      if (written[i * width + c] != scaledSource[source * width + c]) {
        failure = "frame " + std::to_string(i - first) + " of the stream (pass " +
                  std::to_string((i - first) / sourceFrames) + ", frame " + std::to_string(source) + " of " +
                  std::to_string(sourceFrames) + "), channel " + std::to_string(c) + ": " +
                  std::to_string(written[i * width + c]) + " instead of " +
                  std::to_string(scaledSource[source * width + c]);
        return i - first;
      }
    }
  }
  return end - first;
}

std::string Log(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ---- On SDL's disk driver --------------------------------------------------------------------------------

std::vector<std::string> DiskEnvironment(const std::string& raw) {
  return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw,
          test::LeakSuppressions(std::filesystem::path(raw).parent_path() / "lsan.supp")};
}

TEST(PlayOnDisk, WhiteAtLevel100IsTheRecordingTimesAFifthRoundedHalfToEvenWithNoGap) {
  test::TempDir dir;
  const std::string raw = dir.file("white.raw");
  test::ChildProcess play({.Argv = {SIB_PLAY_PROGRAM, "--noise", "white", "--level", "100", "--seconds", "4"},
                          .Environment = DiskEnvironment(raw),
                          .Log = dir.file("play.log")});
  ASSERT_EQ(play.Wait(), 0) << Log(dir.file("play.log"));
  const std::vector<std::int16_t> white = test::readPcm16(std::string(SIB_DATA_DIR) + "/White.wav");
  ASSERT_GT(white.size(), 2 * kRate * 10);
  std::string failure;
  const std::size_t matched = MatchLooped(ReadRaw(raw), ScaledAll(white), 2, failure);
  EXPECT_EQ(failure, "");
  // Four seconds less the prefill the device waits for: the stream is nearly all of it.
  EXPECT_GE(matched, kRate * 2);
}

TEST(PlayOnDisk, ShortFilesOfEveryCodedFormatLoopAsSoxsDecodeTimesAFifthWithNoGap) {
  test::TempDir dir;
  std::vector<CodedFile> files;
  std::vector<std::unique_ptr<test::ChildProcess>> players;
  for (std::size_t i = 0; i < CodedRows().size(); ++i) {
    files.push_back(MakeCoded(dir, CodedRows()[i], i));
    ASSERT_FALSE(files.back().decoded.empty()) << CodedRows()[i] << ": sox is needed (scripts/setup installs it)";
  }
  // All at once: each plays in real time on a disk device of its own.
  for (std::size_t i = 0; i < files.size(); ++i) {
    players.push_back(std::make_unique<test::ChildProcess>(test::ChildProcess::Options{
        .Argv = {SIB_PLAY_PROGRAM, "--file", files[i].path, "--level", "100", "--seconds", "4.5"},
        .Environment = DiskEnvironment(dir.file(std::to_string(i) + ".raw")),
        .Log = dir.file(std::to_string(i) + ".log")}));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CodedRow& row = CodedRows()[i];
    ASSERT_EQ(players[i]->Wait(), 0) << row << Log(dir.file(std::to_string(i) + ".log"));
    std::string failure;
    const std::size_t matched =
        MatchLooped(ReadRaw(dir.file(std::to_string(i) + ".raw")), ScaledAll(files[i].decoded), row.channels, failure);
    EXPECT_EQ(failure, "") << row;
    const std::size_t fileFrames = files[i].decoded.size() / static_cast<std::size_t>(row.channels);
    EXPECT_GE(matched, 5 * fileFrames) << row << ": fewer than five wraps played";
  }
}

// ---- Through a real sound server --------------------------------------------------------------------------

TEST(PlayThroughSoundServer, AfterTheServerIsKilledAndStartedAgainTheNoiseComesBackWithin3SecondsByItself) {
  test::SoundServer server;
  const std::string folder = server.Folder().string();
  auto recording = std::make_unique<test::MonitorRecorder>(server, "out0");
  test::ChildProcess play({.Argv = {SIB_PLAY_PROGRAM, "--noise", "pink", "--level", "50", "--seconds", "9"},
                           .Environment = server.Environment(),
                           .Log = folder + "/play.log"});
  // Any sound at all.
  ASSERT_TRUE(recording->WaitForSound(0, 0, 5s)) << "no sound before the restart" << Log(folder + "/play.log");

  server.Kill();
  recording.reset();
  server.Start();
  const auto back = std::chrono::steady_clock::now();
  recording = std::make_unique<test::MonitorRecorder>(server, "out0");
  const bool heard = recording->WaitForSound(0, 0, 5s).has_value();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - back).count();
  ASSERT_TRUE(heard) << "no sound within 5 s of the server's return" << Log(folder + "/play.log");
  EXPECT_LE(seconds, 3.0) << "seconds from the server's return to the noise on its monitor";
  RecordProperty("SecondsToNoiseAfterServerReturn", std::to_string(seconds));
  EXPECT_TRUE(play.Running()) << "the player gave up" << Log(folder + "/play.log");
  EXPECT_EQ(play.Wait(), 0) << Log(folder + "/play.log");
  EXPECT_NE(Log(folder + "/play.log").find("Audio device lost."), std::string::npos);
}

// The longest run of silent frames (every channel 0) in [from, to), and where it ends.
struct Silence {
  std::size_t frames = 0;
  std::size_t end = 0;
};
Silence LongestSilence(const std::vector<std::int16_t>& samples, int channels, std::size_t from, std::size_t to) {
  Silence longest;
  std::size_t run = 0;
  for (std::size_t i = from; i < to; ++i) {
    run = test::Silent(samples, channels, i) ? run + 1 : 0;
    if (run > longest.frames) longest = {run, i + 1};
  }
  return longest;
}

// Plays the given rows at once through the window's chain, each on a sink of its own, and returns
// for each what was wrong ("" when nothing was).
std::vector<std::string> PlayWindowsChain(test::SoundServer& server, const test::TempDir& dir,
                                          const std::vector<CodedFile>& files, const std::vector<std::size_t>& rows,
                                          int attempt) {
  std::vector<std::unique_ptr<test::MonitorRecorder>> recordings;
  std::vector<std::unique_ptr<test::ChildProcess>> players;
  std::vector<std::string> stems;
  for (const std::size_t i : rows) {
    const std::string sink = "out" + std::to_string(i);
    stems.push_back(dir.file(sink + "-" + std::to_string(attempt)));
    recordings.push_back(std::make_unique<test::MonitorRecorder>(server, sink));
    players.push_back(std::make_unique<test::ChildProcess>(test::ChildProcess::Options{
        .Argv = {SIB_PLAY_PROGRAM, "--paced-by", "player", "--device", sink, "--file", files[i].path, "--level", "100",
                 "--seconds", "6"},
        .Environment = server.Environment(),
        .Log = stems.back() + ".log"}));
  }
  std::vector<std::string> faults(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (const int code = players[k]->Wait(); code != 0) {
      faults[k] = "exit code " + std::to_string(code) + Log(stems[k] + ".log");
    }
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (!faults[k].empty()) continue;
    const std::size_t i = rows[k];
    const CodedRow& row = CodedRows()[i];
    // The monitor is stereo; a mono file plays on both channels.
    const std::vector<std::int16_t> recorded = recordings[k]->Samples();
    const std::size_t frames = recorded.size() / 2;
    const std::size_t first = test::FirstSound(recorded, 2);
    const std::size_t last = test::LastSound(recorded, 2) + 1;
    const std::size_t fileFrames = files[i].decoded.size() / static_cast<std::size_t>(row.channels);
    if (first >= frames || last - first < 5 * fileFrames) {
      faults[k] = "fewer than five wraps heard";
      continue;
    }
    // What the file itself holds, looped (its coded last block may end in near-silence); a few frames
    // more for the resampling's smearing of an edge.
    std::vector<std::int16_t> looped;
    const std::vector<std::int16_t> scaled = ScaledAll(files[i].decoded);
    for (int pass = 0; pass < 3; ++pass) looped.insert(looped.end(), scaled.begin(), scaled.end());
    const std::size_t own =
        LongestSilence(looped, row.channels, 0, looped.size() / static_cast<std::size_t>(row.channels)).frames;
    const Silence heard = LongestSilence(recorded, 2, first, last);
    if (heard.frames > own + 8) {
      faults[k] = "a run of silence of " + std::to_string(heard.frames) + " frames, ending " +
                  std::to_string(heard.end - first) + " frames into the " + std::to_string(last - first) + " heard";
    }
  }
  return faults;
}

// The rows play all at once, each on a sink of its own. On a machine busy enough to stall every
// stream at the same moment, a row may hear an underrun that is the machine's, not the chain's: a row
// that fails is played once more and fails only if it fails again. A fault of the chain at its wraps
// comes back every time.
TEST(PlayThroughSoundServer, TheWindowsChainLoopsShortCodedFilesWithNoRunOfSilenceTheFileDoesNotHold) {
  test::TempDir dir;
  const std::size_t count = CodedRows().size();
  test::SoundServer server(static_cast<int>(count));
  std::vector<CodedFile> files;
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < count; ++i) {
    files.push_back(MakeCoded(dir, CodedRows()[i], i));
    ASSERT_FALSE(files.back().decoded.empty()) << CodedRows()[i] << ": sox is needed (scripts/setup installs it)";
    rows.push_back(i);
  }
  std::vector<std::string> firstFaults(count);
  for (int attempt = 0; attempt < 2 && !rows.empty(); ++attempt) {
    const std::vector<std::string> faults = PlayWindowsChain(server, dir, files, rows, attempt);
    std::vector<std::size_t> failed;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      if (faults[k].empty()) continue;
      if (attempt == 0) {
        firstFaults[rows[k]] = faults[k];
        failed.push_back(rows[k]);
      } else {
        ADD_FAILURE() << CodedRows()[rows[k]] << ": " << firstFaults[rows[k]] << "; again: " << faults[k];
      }
    }
    if (attempt == 0) RecordProperty("RowsPlayedAgain", static_cast<int>(failed.size()));
    rows = failed;
  }
}

}  // namespace
}  // namespace sib
