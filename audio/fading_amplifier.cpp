#include "audio/fading_amplifier.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sib {

TFadingAmplifier::TFadingAmplifier(TComponent* AOwner) : TALAmplifier(AOwner) {}

void TFadingAmplifier::FadeOut(double ASeconds, std::function<void()> AOnSilent) {
  LockSection write = FLock->WriteLock();
  if (!write || FFadeSeconds) return;
  FFadeSeconds = ASeconds;
  FOnSilent = std::move(AOnSilent);
}

void TFadingAmplifier::CancelFade() {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  FFadeSeconds.reset();
  FFadeFrames = 0;
  FFadedFrames = 0;
  FSilentFrames = 0;
  FFadedOut = false;
  FOnSilent = nullptr;
}

bool TFadingAmplifier::FadedOut() const {
  LockSection read = FLock->ReadLock();
  return FFadedOut;
}

std::uint64_t TFadingAmplifier::SilentFrames() const {
  LockSection read = FLock->ReadLock();
  return FSilentFrames;
}

std::optional<double> TFadingAmplifier::NextFactorLocked(std::uint32_t AFrames, std::uint32_t ARate) {
  if (!FFadeSeconds) return std::nullopt;
  if (FFadeFrames == 0)
    FFadeFrames = std::max<std::uint64_t>(static_cast<std::uint64_t>(std::llround(*FFadeSeconds * ARate)),
                                          std::max<std::uint32_t>(AFrames, 1));
  const double factor = FFadedFrames >= FFadeFrames ? 0.0
                                                    : static_cast<double>(FFadeFrames - FFadedFrames) /
                                                          static_cast<double>(FFadeFrames);
  FFadedFrames += AFrames;
  if (factor == 0.0) {
    FFadedOut = true;
    FSilentFrames += AFrames;
  }
  return factor;
}

void TFadingAmplifier::ProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool& ASend) {
  std::optional<double> factor;
  std::function<void()> onSilent;
  {
    LockSection write = FLock->WriteLock();
    if (write) factor = NextFactorLocked(AIn->GetSize(), AIn->GetSampleRate());
    if (FFadedOut) onSilent = std::exchange(FOnSilent, nullptr);
  }
  if (!factor) {
    TALAmplifier::ProcessAudio(AIn, AOut, ASend);
    return;
  }
  // The level and the fade in one product, rounded once per sample.
  const double gain = Coefficient() * *factor;
  AOut->Assign(AIn);
  {
    LockSection write = FLock->WriteLock();
    if (write) AOut->MultiplyReal(gain);
  }
  // Told without the lock: the listener may ask anything of the amplifier.
  if (onSilent) onSilent();
}

}  // namespace sib
