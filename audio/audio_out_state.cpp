#include "audio/audio_out_state.h"

namespace sib {

void TALAudioOutState::On(TALOutEvent AEvent) {
  FPhase = kALOutTransitions[static_cast<int>(AEvent)][static_cast<int>(FPhase)];
  if (AEvent == TALOutEvent::Restart) FStartInterval = 0;
}

bool TALAudioOutState::AddPrefill(std::uint32_t AMilliseconds, std::uint32_t AIntervalMs) {
  FStartInterval += AMilliseconds;
  return FStartInterval > static_cast<std::int64_t>(AIntervalMs);
}

}  // namespace sib
