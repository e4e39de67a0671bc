// Where the audio output stands between one opening of its device and the next (TALAudioOutState):
// the device's phase, the prefill count, and whether the stream has stopped. Every change of phase
// goes through the table below; the output only says what happened.
//
//   Phase            the device                                          buffers count toward prefill
//   Prefill          paused, nothing plays                               yes
//   PrefillRunning   plays: a resume notification came during prefill    yes
//   Running          plays, the prefill is over                          no
//   Paused           paused by a pause notification after the prefill    no
//   NoDevice         the prefill is over, but there was no device to start (none open, or its open failed)
//
//   Event        when                                                    Prefill   PrefillRunning  Running  Paused   NoDevice
//   Restart      a start-wave is taken, Enabled turns on, Flush (open)   Prefill   Prefill         Prefill  Prefill  Prefill
//   Pause        a pause notification                                    Prefill   Prefill         Paused   Paused   NoDevice
//   Resume       the device has been restarted                           PrefillRunning  =         =        Running  Running
//   PrefillOver  more than PrefillInterval written, or a stop in Prefill NoDevice  Running         =        =        =
//
// A stop arriving in Prefill restarts the device first, so that what is queued plays out; PrefillOver
// then finds PrefillRunning, or Prefill when there was no device to restart.
//
// Beside the phase, Stopped says that a stop has been taken since the device was opened (or, while
// the output is disabled, that the stream has stopped): a new start-wave waits for it before the
// device is closed and reopened in the new format.
#pragma once

#include <atomic>
#include <cstdint>

namespace sib {

enum class TALOutPhase : std::uint8_t { Prefill, PrefillRunning, Running, Paused, NoDevice };
enum class TALOutEvent : std::uint8_t { Restart, Pause, Resume, PrefillOver };

// The table above, by event and then by phase.
inline constexpr TALOutPhase kALOutTransitions[4][5] = {
    {TALOutPhase::Prefill, TALOutPhase::Prefill, TALOutPhase::Prefill, TALOutPhase::Prefill, TALOutPhase::Prefill},
    {TALOutPhase::Prefill, TALOutPhase::Prefill, TALOutPhase::Paused, TALOutPhase::Paused, TALOutPhase::NoDevice},
    {TALOutPhase::PrefillRunning, TALOutPhase::PrefillRunning, TALOutPhase::Running, TALOutPhase::Running,
     TALOutPhase::Running},
    {TALOutPhase::NoDevice, TALOutPhase::Running, TALOutPhase::Running, TALOutPhase::Paused, TALOutPhase::NoDevice},
};

// The phase and the prefill count are the component lock's; Stopped is also read on the device thread.
class TALAudioOutState {
 public:
  TALOutPhase Phase() const { return FPhase; }
  void On(TALOutEvent AEvent);

  // The prefill is still counting buffers.
  bool Prefilling() const { return FPhase == TALOutPhase::Prefill || FPhase == TALOutPhase::PrefillRunning; }
  // The device is paused, or there is none to play.
  bool DevicePaused() const { return FPhase != TALOutPhase::PrefillRunning && FPhase != TALOutPhase::Running; }
  // The device has been started after its prefill; until then every notification is taken at once.
  bool StartedAfterPrefill() const { return FPhase == TALOutPhase::Running || FPhase == TALOutPhase::Paused; }

  // Adds the milliseconds of a buffer written during the prefill; true once more than AIntervalMs
  // have been written since the last Restart.
  bool AddPrefill(std::uint32_t AMilliseconds, std::uint32_t AIntervalMs);

  bool Stopped() const { return FStopped; }
  void SetStopped(bool AValue) { FStopped = AValue; }

 private:
  TALOutPhase FPhase = TALOutPhase::Prefill;
  std::int64_t FStartInterval = 0;
  std::atomic<bool> FStopped{false};
};

}  // namespace sib
