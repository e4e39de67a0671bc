// The sleep timer of both programs: the level falls to 0 over the last 30 seconds of its time (all of
// a shorter time), through the pipeline's fading amplifier, and the timer runs out once that silence
// has been heard.
//
// The fade is timed as heard. The output holds up to a second between the amplifier and the speaker
// while it drives the pipeline, so a fade begun in the amplifier at its time would be heard that much
// later and would still be sounding at the time. The fade therefore begins as far ahead of its time as
// the output holds, and ends, as heard, by the time; a fade that begins within the first prefill is put
// in place before the sound starts, so that nothing of the prefill goes out unfaded.
//
// Main thread; the times are the main loop's.
#pragma once

#include <chrono>
#include <cstdint>

#include "audio/audio_out.h"
#include "audio/fading_amplifier.h"
#include "audio/wave_player.h"
#include "platform/ui/message_wait.h"

namespace sib {

// The sleep timer's fade: it begins `Start` seconds after the start and lasts `Length` seconds, to
// the end of the time. The last 30 seconds, or all of a shorter time.
struct SleepFade {
  double Start = 0;
  double Length = 0;
};
SleepFade SleepFadeOf(double AMinutes);

class SleepTimer {
 public:
  using Duration = MessageWait::Clock::duration;
  using TimePoint = MessageWait::TimePoint;

  // How long past its time the timer waits for the fade's silence to be heard (a fade that runs late
  // on a busy machine, a device that takes a period at a time), and how often it looks meanwhile.
  static constexpr auto kGrace = std::chrono::seconds(1);
  static constexpr auto kEndLook = std::chrono::milliseconds(20);

  // The pipeline the timer fades: the player, whose format tells the rate, the amplifier that fades
  // and the output whose queue tells how far ahead of the speaker the amplifier runs.
  struct Chain {
    TALWavePlayer& Player;
    TFadingAmplifier& Fader;
    TALAudioOut& Output;
  };

  // Made before the chain starts, whose prefill and blocks are given, so that a fade over the first
  // prefill is in place in time (a chain that plays already: a prefill of 0). `ATimeScale` makes the
  // timer's minutes, its fade included, pass that many times faster: for tests that cannot wait a
  // quarter of an hour; 1 everywhere else.
  SleepTimer(double AMinutes, Chain AChain, std::uint32_t APrefillMs, std::int32_t ABlockFrames,
             double ATimeScale = 1);

  // The moment the sound started: the time counts from there.
  void Start(TimePoint ANow);
  TimePoint Deadline() const { return FDeadline; }

  // Begins the fade once a block made now would be heard at the fade's time; the next moment to call
  // again (never, once the fade has begun).
  TimePoint Update(TimePoint ANow);
  // Whether the timer has run out: at its time once the fade's silence has been heard (what the output
  // still holds is silence), and a grace later in any case. A stopped player has nothing to fade.
  bool Over(TimePoint ANow, bool APlaying) const;
  // When to look again whether it is over.
  TimePoint NextLook(TimePoint ANow) const;

 private:
  // How long after now a block made now is heard, at most: the output takes it after what it holds,
  // within a device period.
  Duration Lead() const;
  bool SilenceHeard() const;

  Chain FChain;
  const SleepFade FFade;
  const std::uint64_t FBlockFrames;
  bool FFading = false;
  TimePoint FDeadline = TimePoint::max();
  TimePoint FFadeAt = TimePoint::max();
};

}  // namespace sib
