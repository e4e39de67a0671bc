// TALAudioOut: the audio output, the sink of the pipeline. It plays what reaches its input pin on a
// sound device, opened paused in the format of the last start-wave, and lets the device run once more
// than PrefillInterval milliseconds have been written. Its parts live beside it: the pins and
// settings it shares with every output (audio/basic_audio_out.h), the device choice
// (audio/audio_out_device.h), its phase from one opening to the next (audio/audio_out_state.h), the
// queue of notifications waiting for the device (audio/output_queue.h), what it shares with its
// device thread (audio/audio_params.h) and that thread (audio/wave_thread.h).
//
// Notifications wait in the queue while the device already holds more than one buffer; every
// finished buffer is released on the device thread, which then moves the queue on. The device thread
// also steers the device's playback rate (within +-1000 ppm) from the depth of queued audio, so that
// the latency between the producer and the speaker stays bounded however far the sound card's clock
// is off. A device that goes away while playing is reported through OnWarning, once; while the output
// stays enabled it then opens the default device as soon as there is one again (trying twice a
// second), and the stream plays on by itself. Disabling the output ends the tries.
//
// Locks, in this order: the component's lock (the queue and the state), the parameter lock
// (FParams: the open flag, the pump flag, the buffers on the device), the device thread's own lock.
// The parameter lock is never held while the output calls upstream.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "audio/audio_buffer.h"
#include "audio/audio_out_device.h"
#include "audio/audio_out_state.h"
#include "audio/audio_params.h"
#include "audio/basic_audio_out.h"
#include "audio/error_events.h"
#include "audio/output_queue.h"
#include "audio/wave_thread.h"
#include "framework/timer.h"
#include "platform/audio/wave_out.h"
#include "signal/main_thread_notify.h"
#include "signal/notify_thread.h"

namespace sib {

class TALAudioOut : public TALBasicAudioOut {
  SIB_CLASS(TALAudioOut, TALBasicAudioOut)
 public:
  explicit TALAudioOut(TComponent* AOwner);
  ~TALAudioOut() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("PrefillInterval", &TALAudioOut::PrefillInterval, &TALAudioOut::SetPrefillInterval).defaultValue(300),
        prop("Device", &TALAudioOut::Device, &TALAudioOut::SetDevice),
        prop("OnError", &TALAudioOut::FOnError, &TALAudioOut::SetOnError),
        prop("OnWarning", &TALAudioOut::FOnWarning, &TALAudioOut::SetOnWarning),
    };
  }
  std::uint32_t PrefillInterval() const { return FLock->Getter(FPrefillInterval); }
  void SetPrefillInterval(std::uint32_t Value) { FLock->Setter(FPrefillInterval, Value, {}); }
  TALAudioOutDevice* Device() const { return FDevice.get(); }
  void SetDevice(TALAudioOutDevice* Value) { FDevice->Assign(Value); }
  void SetOnError(TSLErrorEvent Value);
  void SetOnWarning(TSLWarningEvent Value);

  // Drops the queued notifications; an open device is reset (its buffers come back) and paused, and
  // the prefill phase begins again.
  void Flush();
  void BeforeDestruction() override;

  // Waits until the device thread has handled every device message received so far (for tools and
  // tests that drive a simulated device).
  void WaitUntilDeviceIdle();
  // The audio waiting between the input pin and the speaker, in stream frames: the device's queue
  // plus the buffers in the notification queue.
  std::uint64_t QueuedFrames();
  // Where the stream stands, read at one moment: the audio waiting as QueuedFrames counts it, and the
  // device's period (0 when its driver does not say). A frame that arrives now is taken by the device
  // within the time of Queued + Period frames.
  struct Position {
    std::uint64_t Queued = 0;
    std::uint32_t Period = 0;
  };
  Position StreamPosition();
  // The open device's status; false while no device is open.
  bool GetDeviceStatus(WaveOutStatus& AStatus);

  // Hands an error to OnError and raises ESLException ("%s - %u - %x") unless the handler marks it
  // handled; a warning only goes to OnWarning.
  void Error(const std::string& AText, MMResult ACode);
  void Warning(const std::string& AText, MMResult ACode);

  // The depth of queued audio the rate steering holds the output at, in milliseconds. Steering is
  // for sources on their own clock; while the output pumps the pipeline, the device plays at its
  // nominal rate.
  static constexpr double kTargetLatencyMs = 80.0;
  // How hard the steering pulls: ppm per millisecond of depth away from the target.
  static constexpr double kSteeringPpmPerMs = 20.0;
  // The most audio, in milliseconds, that waits in the queue for a device that has taken nothing
  // since it was opened; the device itself holds about two blocks more. Once it has taken something,
  // a device that takes nothing for a while is a sound server that pulls in bursts, and every block
  // waits for it.
  static constexpr std::uint32_t kMaxWaitingMs = 70;
  // The blocks a player sends (its default BufferSize), and the longest device period asked for.
  static constexpr std::uint32_t kBlockFrames = 1024;
  static constexpr std::uint32_t kMaxPeriodFrames = 16384;
  // How often the output tries to open the default device again while its device is lost.
  static constexpr std::uint32_t kRetryIntervalMs = 500;

 protected:
  void EnabledChanged() override;
  TOWNotifyResult InputNotify(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State) override;

 private:
  // Component lock held by all of these unless a comment says otherwise.
  // The queue is taken now rather than at the next device completion.
  bool TakesQueueAtOnce();
  // More audio waits for the device than a source on its own clock may keep there.
  bool Backlogged();
  void ProcessQueue(bool FromDevice);
  // False when the operation has to wait at the head of the queue.
  bool ProcessOperation(IOWNotifyOperation* Operation, bool FromDevice);
  bool TakeStartWave(const TOWStartWaveOperation& AStart, bool FromDevice);
  void ProcessPumpRequest(TOWPumpRequestOperation* ARequest);
  void ClaimPump(TOWPumpRequestOperation* ARequest);  // parameter lock held
  void OpenDevice(const TALWaveFormatExtensible& AFormat);
  // The period to ask of the device for a stream of ARate frames per second, 0 for the driver's own
  // (parameter lock held).
  std::uint32_t DevicePeriodFrames(std::uint32_t ARate);
  // Opens ADeviceId paused, closing an open device first; on failure the text to report and the code.
  std::pair<const char*, MMResult> TryOpenDevice(const TALWaveFormatExtensible& AFormat, int ADeviceId);
  // Main thread: reopens after a loss, or arms the retry timer.
  void RecoverDevice();
  void StopRecovering();
  void CloseDevice(bool ClearPump);
  void PlayBuffer(const RefPtr<TALAudioBuffer>& ABuffer);
  void Pause();
  void Resume();
  void DoFlush();
  // The device thread, no lock held.
  void DeviceMessage(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr);
  void BufferDone(WaveOutHandle hwo, WaveHeader* AWaveHdr);
  void DeviceLost();
  void SteerRate();
  void MasterPump();
  // When this output pumps: the first requests of a run.
  void StartPumping();
  // Pumping: asks upstream for blocks until AFrames more frames have arrived (device thread).
  void PumpFrames(std::uint64_t AFrames);

  WaveOutHandle HOut = 0;
  std::uint32_t FPrefillInterval = 300;
  RefPtr<IALAudioParams> FParams;
  std::unique_ptr<TALAudioOutDevice> FDevice;
  std::unique_ptr<TALWaveThread> FWaveThread;
  std::unique_ptr<TSLNotifyThread> FNotifyThread;
  std::unique_ptr<TSLMainThreadNotify> FProcessNotify;
  TALAudioOutState FState;
  // Device completions counted while the device was paused, replayed as pumps when it resumes.
  std::int32_t FMissedPumps = 0;
  TALOutputQueue FBufferQueue;
  TSLErrorEvent FOnError;
  TSLWarningEvent FOnWarning;

  std::uint32_t FSampleRate = 0;
  std::uint32_t FBlockAlign = 0;
  // Frames the device has played that the pumps have not yet replaced (device thread); negative when
  // a block brought more than was owed.
  std::int64_t FPumpOwedFrames = 0;
  // Smoothed depth of queued audio, milliseconds (device thread); negative until the first sample.
  double FAverageDepthMs = -1.0;
  // The device went away: buffers are dropped, and the next open goes to the default device. Any
  // thread reads it; it is set on the device thread and cleared by an open.
  std::atomic<bool> FDeviceLost{false};
  // The device has handed back a buffer since it was opened (set on the device thread, cleared by an
  // open; read by the producer's thread).
  std::atomic<bool> FDeviceTook{false};
  std::unique_ptr<TSLMainThreadNotify> FRecoverNotify;
  // Ticks on the main thread while a lost device could not yet be replaced.
  TComponentPtr<TLPTimer> FRetryTimer;
};

}  // namespace sib
