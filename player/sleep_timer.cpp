#include "player/sleep_timer.h"

#include <algorithm>

namespace sib {
namespace {

constexpr double kSleepFadeSeconds = 30;

SleepTimer::Duration Seconds(double ASeconds) {
  return std::chrono::duration_cast<SleepTimer::Duration>(std::chrono::duration<double>(ASeconds));
}

SleepFade Scaled(SleepFade AFade, double AScale) { return {AFade.Start / AScale, AFade.Length / AScale}; }

}  // namespace

SleepFade SleepFadeOf(double AMinutes) {
  const double seconds = AMinutes * 60;
  const double length = std::min(kSleepFadeSeconds, seconds);
  return {seconds - length, length};
}

SleepTimer::SleepTimer(double AMinutes, Chain AChain, std::uint32_t APrefillMs, std::int32_t ABlockFrames,
                       double ATimeScale)
    : FChain(AChain),
      FFade(Scaled(SleepFadeOf(AMinutes), ATimeScale)),
      FBlockFrames(static_cast<std::uint64_t>(ABlockFrames)) {
  if (FFade.Start * 1000 <= APrefillMs) {
    FChain.Fader.FadeOut(FFade.Start + FFade.Length);
    FFading = true;
  }
}

void SleepTimer::Start(TimePoint ANow) {
  FDeadline = ANow + Seconds(FFade.Start + FFade.Length);
  FFadeAt = FDeadline - Seconds(FFade.Length);
}

SleepTimer::TimePoint SleepTimer::Update(TimePoint ANow) {
  if (FFading) return TimePoint::max();
  const Duration lead = Lead();
  if (ANow + lead < FFadeAt) return FFadeAt - lead;
  // Begun late (a timer shorter than the fade and the output's lead): what is left, so that it still
  // ends by the time.
  const double left = std::chrono::duration<double>(FDeadline - ANow - lead).count();
  FChain.Fader.FadeOut(std::clamp(left, 0.0, FFade.Length));
  FFading = true;
  return TimePoint::max();
}

bool SleepTimer::Over(TimePoint ANow, bool APlaying) const {
  if (ANow < FDeadline) return false;
  return !APlaying || SilenceHeard() || ANow >= FDeadline + kGrace;
}

SleepTimer::TimePoint SleepTimer::NextLook(TimePoint ANow) const {
  return ANow < FDeadline ? FDeadline : std::min(ANow + kEndLook, FDeadline + kGrace);
}

SleepTimer::Duration SleepTimer::Lead() const {
  const std::uint32_t rate = FChain.Player.WaveFormat().Format.nSamplesPerSec;
  if (rate == 0) return Duration::zero();
  const TALAudioOut::Position position = FChain.Output.StreamPosition();
  return Seconds(static_cast<double>(position.Queued + position.Period) / rate);
}

// The device has played some of the fade's silence: more silent frames have left the amplifier than
// the output still holds, with a block to spare for one on its way between the two.
bool SleepTimer::SilenceHeard() const {
  const std::uint64_t silent = FChain.Fader.SilentFrames();
  return silent > FChain.Output.QueuedFrames() + FBlockFrames;
}

}  // namespace sib
