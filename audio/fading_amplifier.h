// TFadingAmplifier: the amplifier of both programs' pipelines. It scales every sample by its Coefficient, the
// level's gain, as TALAmplifier does, and after FadeOut also by a fade that falls from 1 to 0 over a
// stretch of sound and then stays at 0: the sleep timer's way to silence.
//
// The fade moves once per block, by the block's share of the stretch: the factor of a block is the
// part of the stretch still ahead at its first frame. So the level falls in steps no larger than one
// block's share, however late or early the blocks come, and the last blocks are silent.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "audio/amplifier.h"

namespace sib {

class TFadingAmplifier : public TALAmplifier {
  SIB_CLASS(TFadingAmplifier, TALAmplifier)
 public:
  explicit TFadingAmplifier(TComponent* AOwner);

  // Any thread. Starts the fade at the next block, over `ASeconds` of sound (at least one block).
  // `AOnSilent` is called once, on the thread that processes the blocks, when the first silent block
  // has gone out. A fade under way goes on as it was.
  void FadeOut(double ASeconds, std::function<void()> AOnSilent = nullptr);
  // Any thread. Ends the fade, under way or over: the next block goes out at the full Coefficient
  // again, and a later FadeOut starts afresh. An `AOnSilent` not yet called is forgotten.
  void CancelFade();
  // Any thread. Whether a block has gone out silent at the end of the fade.
  bool FadedOut() const;
  // Any thread. The frames the fade has made silent, counted as their blocks are scaled (the last
  // block may still be on its way downstream): of what this amplifier has sent, the last this many
  // frames are silence.
  std::uint64_t SilentFrames() const;

 protected:
  void ProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool& ASend) override;

 private:
  // The fade's factor for a block of `AFrames` frames at `ARate`, and the fade moved past it; none
  // without a fade. Write lock held.
  std::optional<double> NextFactorLocked(std::uint32_t AFrames, std::uint32_t ARate);

  std::optional<double> FFadeSeconds;  // asked for; none: no fade
  std::uint64_t FFadeFrames = 0;       // its length in frames, once its first block has come
  std::uint64_t FFadedFrames = 0;      // how far it has come
  std::uint64_t FSilentFrames = 0;     // sent at a factor of 0
  bool FFadedOut = false;
  std::function<void()> FOnSilent;
};

}  // namespace sib
