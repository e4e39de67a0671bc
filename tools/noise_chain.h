// The program's pipeline built in code: a wave player feeding an amplifier feeding the audio output,
// with the window's start and stop sequences and its level scale. Main thread only.
//
// Failures of the player and the output are collected rather than raised, so that a caller without a
// window can report them; warnings (such as a lost device) are collected the same way.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/amplifier.h"
#include "audio/audio_out.h"
#include "audio/wave_player.h"
#include "audio/fading_amplifier.h"

namespace sib {

// The amplifier's gain for a level of 0..100: level × 0.002, formed in extended precision and
// rounded once to a double, as the window's track bar does.
double LevelGain(double ALevel);

class NoiseChain {
 public:
  struct Options {
    std::string DeviceName = "Default";
    // The output drives the pipeline from the device's completions instead of the player's clock; it
    // is enabled from the start, so that it can claim the pump when the player opens its file.
    bool OutputPumps = false;
    std::uint32_t PrefillMs = 2;  // as the window stores it: the device starts with the first block
    std::int32_t BlockFrames = 1024;  // the player's BufferSize, as the window stores it
    // Called on the reporting thread after an error or a warning has been collected.
    std::function<void()> OnReport;
  };

  NoiseChain();
  explicit NoiseChain(const Options& AOptions);
  ~NoiseChain();
  NoiseChain(const NoiseChain&) = delete;
  NoiseChain& operator=(const NoiseChain&) = delete;

  // Opens the file in the running pipeline (the player switches in place) and enables the player.
  void SetFile(const std::string& AFileName);
  void SetLevel(double ALevel);
  // The player leaves pause before the output is enabled; on stop, the output is disabled first.
  void Start();
  void Stop();

  // Errors and warnings reported since the last call, as "text - code - hex code".
  std::vector<std::string> TakeErrors();
  std::vector<std::string> TakeWarnings();

  TALWavePlayer* Player() const { return FPlayer.get(); }
  TALAmplifier* Amplifier() const { return FAmplifier.get(); }
  // The amplifier's fade: the sleep timer's way to silence.
  TFadingAmplifier* Fader() const { return FAmplifier.get(); }
  TALAudioOut* Output() const { return FOutput.get(); }

 private:
  void Record(std::vector<std::string>& AList, const std::string& AText, std::int32_t ACode);

  std::function<void()> FOnReport;
  std::mutex FReportsMutex;  // the output reports from its device thread
  std::vector<std::string> FErrors;
  std::vector<std::string> FWarnings;
  // Destroyed from the end: the output first, then the amplifier, then the player.
  TComponentPtr<TALWavePlayer> FPlayer;
  TComponentPtr<TFadingAmplifier> FAmplifier;
  TComponentPtr<TALAudioOut> FOutput;
};

}  // namespace sib
