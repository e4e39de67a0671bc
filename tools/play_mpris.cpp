#include "tools/play_mpris.h"

#include <algorithm>
#include <vector>

#include "player/start_options.h"

namespace sib {

namespace {

// The level runs from 0 to 100, as on the window's level bar; the bus speaks of 0.0 to 1.0.
constexpr double kLevelsPerVolume = 100;

}  // namespace

PlayMpris::PlayMpris(Application& ALoop, NoiseChain& AChain, Options AOptions)
    : FChain(AChain),
      FFindRecording(std::move(AOptions.FindRecording)),
      FLevel(AOptions.Level),
      FPlaying(AOptions.Playing),
      FPosts(ALoop, [](Message&) {}) {
  const std::vector<std::string> names = NoiseNames();
  FNoise = static_cast<std::size_t>(std::find(names.begin(), names.end(), AOptions.Noise) - names.begin());
  MprisService::Options options = MprisService::Options::ThisProgram();
  options.Address = std::move(AOptions.Address);
  options.OnNotice = std::move(AOptions.OnNotice);
  FService = std::make_unique<MprisService>(
      std::move(options), State(), [this](MprisCommand command, double value, MprisDone done) {
        // The bus's thread: the command waits its turn on the main thread, with its answer.
        FPosts.Post([this, command, value, done = std::move(done)]() mutable {
          const MprisDone answer = std::move(done);  // answered as this ends
          if (const std::optional<std::string> refused = Act(command, value)) answer->Refuse(*refused);
          FService->Publish(State());
        });
      });
}

PlayMpris::~PlayMpris() { FService.reset(); }

MprisState PlayMpris::State() const {
  const std::vector<std::string> names = NoiseNames();
  MprisState state;
  state.Playing = FPlaying;
  state.Volume = FLevel / kLevelsPerVolume;
  state.Track = static_cast<int>(FNoise);
  state.Title = FNoise < names.size() ? NoiseTitle(names[FNoise]) : "";
  state.CanGoNext = FNoise + 1 < names.size();
  state.CanGoPrevious = FNoise > 0;
  return state;
}

std::optional<std::string> PlayMpris::Act(MprisCommand ACommand, double AValue) {
  const bool start = ACommand == MprisCommand::Play || (ACommand == MprisCommand::PlayPause && !FPlaying);
  const bool stop = ACommand == MprisCommand::Pause || ACommand == MprisCommand::Stop ||
                    (ACommand == MprisCommand::PlayPause && FPlaying);
  if (start && !FPlaying) {
    FChain.Start();
    FPlaying = true;
  } else if (stop && FPlaying) {
    FChain.Stop();
    FPlaying = false;
  } else if (ACommand == MprisCommand::SetVolume) {
    FLevel = AValue * kLevelsPerVolume;
    FChain.SetLevel(FLevel);
  } else if (ACommand == MprisCommand::Quit) {
    FQuitAsked = true;
  } else if (ACommand == MprisCommand::Next || ACommand == MprisCommand::Previous) {
    const MprisState now = State();
    if (ACommand == MprisCommand::Next ? !now.CanGoNext : !now.CanGoPrevious) return std::nullopt;
    const std::size_t noise = ACommand == MprisCommand::Next ? FNoise + 1 : FNoise - 1;
    const std::string fileName = NoiseFileName(NoiseNames()[noise]);
    const std::optional<std::filesystem::path> folder = FFindRecording(fileName);
    if (!folder) return "can't find the recording " + fileName;
    FChain.SetFile((*folder / fileName).string());
    FNoise = noise;
  }
  return std::nullopt;
}

}  // namespace sib
