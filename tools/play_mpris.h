// The headless player on the desktop's media-player control (platform/desktop/mpris_service.h): media
// keys, the desktop's sound menu and scripts start and stop its noise, set its level, choose the
// noise and end it, as they do with the window (which it has not, so nothing is raised).
//
//   Play, Pause, Stop, PlayPause  the chain started or stopped when the state is to change (Pause
//                                 stops: the player knows only started and stopped)
//   Volume                        the level, Volume × 100
//   Next, Previous                the neighbouring noise in the window's order (brown, pink, white),
//                                 none past the ends; refused when its recording cannot be found
//   Quit                          QuitAsked() turns true: the player stops and ends with 0
//
// Commands arrive on the bus's thread and are carried out on the main thread, whose loop must run
// for them; everything else runs on the main thread.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop/mpris_service.h"
#include "platform/ui/message_window.h"
#include "tools/noise_chain.h"

namespace sib {

class PlayMpris {
 public:
  struct Options {
    std::string Noise;  // what plays now: brown, pink or white
    double Level = 50;
    bool Playing = true;
    // Where a noise's recording is, by its file name; none when it cannot be found.
    std::function<std::optional<std::filesystem::path>(const std::string&)> FindRecording;
    std::optional<std::string> Address;  // as MprisService's
    std::function<void(const std::string&)> OnNotice;
  };

  PlayMpris(Application& ALoop, NoiseChain& AChain, Options AOptions);
  ~PlayMpris();
  PlayMpris(const PlayMpris&) = delete;
  PlayMpris& operator=(const PlayMpris&) = delete;

  bool QuitAsked() const { return FQuitAsked; }
  bool Playing() const { return FPlaying; }
  MprisService& Service() const { return *FService; }

 private:
  MprisState State() const;
  // Carries the command out; the reason when it cannot be.
  std::optional<std::string> Act(MprisCommand ACommand, double AValue);

  NoiseChain& FChain;
  std::function<std::optional<std::filesystem::path>(const std::string&)> FFindRecording;
  std::size_t FNoise = 0;  // in NoiseNames()
  double FLevel;
  bool FPlaying;
  bool FQuitAsked = false;
  MessageWindow FPosts;  // the commands' way to the main thread; what is queued dies with it
  std::unique_ptr<MprisService> FService;  // first to go: its thread posts no more
};

}  // namespace sib
