#include "tools/noise_chain.h"

#include "platform/core/format.h"

namespace sib {

double LevelGain(double ALevel) {
  return static_cast<double>(static_cast<long double>(ALevel) * 0.002L);
}

NoiseChain::NoiseChain() : NoiseChain(Options{}) {}

NoiseChain::NoiseChain(const Options& AOptions)
    : FOnReport(AOptions.OnReport),
      FPlayer(MakeComponent<TALWavePlayer>()),
      FAmplifier(MakeComponent<TFadingAmplifier>()),
      FOutput(MakeComponent<TALAudioOut>()) {
  FPlayer->SetLoop(true);
  FPlayer->SetBufferSize(AOptions.BlockFrames);
  FPlayer->SetRestartOnNewFile(false);
  const TSLErrorEvent collectError([this](TObject*, const std::string& text, std::int32_t code, bool& handled) {
    Record(FErrors, text, code);
    handled = true;
  });
  FPlayer->SetOnError(collectError);
  FOutput->SetOnError(collectError);
  FOutput->SetOnWarning(
      TSLWarningEvent([this](TObject*, const std::string& text, std::int32_t code) { Record(FWarnings, text, code); }));
  FOutput->Device()->SetDeviceName(AOptions.DeviceName);
  FOutput->SetPrefillInterval(AOptions.PrefillMs);
  FOutput->MasterPumping()->SetEnabled(AOptions.OutputPumps);
  // As the window starts: the output waits for the start button. An output that pumps must be there
  // when the player asks who drives, so it starts enabled.
  FOutput->SetEnabled(AOptions.OutputPumps);
  FAmplifier->SetCoefficient(LevelGain(50));
  FAmplifier->InputPin()->Connect(FPlayer->OutputPin());
  FOutput->InputPin()->Connect(FAmplifier->OutputPin());
}

NoiseChain::~NoiseChain() = default;

void NoiseChain::SetFile(const std::string& AFileName) {
  FPlayer->SetFileName(AFileName);
  FPlayer->SetEnabled(true);
}

void NoiseChain::SetLevel(double ALevel) { FAmplifier->SetCoefficient(LevelGain(ALevel)); }

void NoiseChain::Start() {
  FPlayer->SetPaused(false);
  FOutput->SetEnabled(true);
}

void NoiseChain::Stop() {
  FOutput->SetEnabled(false);
  FPlayer->Pause();
}

std::vector<std::string> NoiseChain::TakeErrors() {
  std::lock_guard guard(FReportsMutex);
  return std::exchange(FErrors, {});
}

std::vector<std::string> NoiseChain::TakeWarnings() {
  std::lock_guard guard(FReportsMutex);
  return std::exchange(FWarnings, {});
}

void NoiseChain::Record(std::vector<std::string>& AList, const std::string& AText, std::int32_t ACode) {
  const auto code = static_cast<std::uint32_t>(ACode);
  {
    std::lock_guard guard(FReportsMutex);
    AList.push_back(formatText("%s - %u - %x", {AText, code, code}));
  }
  if (FOnReport) FOnReport();
}

}  // namespace sib
