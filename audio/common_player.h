// The common player (TALCommonPlayer): the base of every component that plays audio from a file into
// the pipeline, with its play range (TALAudioPlayerSegment).
//
// The player owns the output pin and its control pins, the looping, pausing and enabling, the
// negotiation of who drives the pipeline, a clock of its own for when nobody else drives, and the
// production of one audio block per clock tick or pump request. Opening, reading and closing the file
// are supplied by a descendant (TALWavePlayer).
//
// Threads: property writes, Pause/Resume, stops, progress and the end of the range run on the main
// thread; blocks are produced on the clock generator's thread or on whichever thread asks for them
// (a master pump request). Every locked operation returns without effect while a stop is pending.
#pragma once

#include <cstdint>
#include <string>

#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"
#include "framework/lp_component.h"
#include "framework/value_pins.h"
#include "signal/clock_gen.h"
#include "signal/main_thread_notify.h"

namespace sib {

class TALCommonPlayer;

// The play range of a player, in frames. StartSample never exceeds StopSample: each setter moves the
// other bound when needed.
class TALAudioPlayerSegment : public TLPPersistent {
  SIB_CLASS(TALAudioPlayerSegment, TLPPersistent)
 public:
  explicit TALAudioPlayerSegment(TALCommonPlayer* AOwner);

  static TPropertyList PublishedProperties() {
    return {
        prop("StartSample", &TALAudioPlayerSegment::StartSample, &TALAudioPlayerSegment::SetStartSample),
        prop("StopSample", &TALAudioPlayerSegment::StopSample, &TALAudioPlayerSegment::SetStopSample)
            .defaultValue(100),
        prop("Enabled", &TALAudioPlayerSegment::FEnabled).defaultValue(false),
    };
  }

  std::int64_t StartSample() const { return FStartSample; }
  std::int64_t StopSample() const { return FStopSample; }
  bool Enabled() const { return FEnabled; }
  // Negative values become 0.
  void SetStartSample(std::int64_t AValue);
  void SetStopSample(std::int64_t AValue);
  void SetEnabled(bool AValue) { FEnabled = AValue; }

  // Also reads the older 32-bit keys "StartFrame" and "StopFrame", which are never written.
  void DefineProperties(TFiler& Filer) override;

 protected:
  virtual void ReadStartFrame(TReader& Reader);
  virtual void ReadStopFrame(TReader& Reader);
  virtual void WriteNothing(TWriter& Writer);

 private:
  std::int64_t FStartSample = 0;
  std::int64_t FStopSample = 100;
  bool FEnabled = false;
};

using TALAudioProgressEvent = TEvent<TObject*, std::int64_t, std::int64_t, std::int64_t>;

class TALCommonPlayer : public TLPComponent {
  SIB_CLASS(TALCommonPlayer, TLPComponent)
 public:
  explicit TALCommonPlayer(TComponent* AOwner);
  ~TALCommonPlayer() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("FileName", &TALCommonPlayer::FileName, &TALCommonPlayer::SetFileName),
        prop("RestartOnNewFile", &TALCommonPlayer::FRestartOnNewFile).defaultValue(true),
        prop("PumpPriority", &TALCommonPlayer::FPumpPriority).defaultValue(0),
        prop("Enabled", &TALCommonPlayer::Enabled, &TALCommonPlayer::SetEnabled).defaultValue(true),
        prop("Paused", &TALCommonPlayer::Paused, &TALCommonPlayer::SetPaused).defaultValue(false),
        prop("Loop", &TALCommonPlayer::FLoop).defaultValue(false),
        prop("ClockSource", &TALCommonPlayer::ClockSource, &TALCommonPlayer::SetClockSource)
            .defaultValue(TSLClockSource::csInternal),
        prop("PlaySegment", &TALCommonPlayer::PlaySegment, &TALCommonPlayer::SetPlaySegment),
        prop("BufferSize", &TALCommonPlayer::BufferSize, &TALCommonPlayer::SetBufferSize).defaultValue(1024),
        prop("OnProgress", &TALCommonPlayer::FOnProgress),
        prop("OnStop", &TALCommonPlayer::FOnStop),
        prop("OutputPin", &TALCommonPlayer::OutputPin),
        prop("FileNamePin", &TALCommonPlayer::FileNamePin),
        prop("ProgressPin", &TALCommonPlayer::ProgressPin),
        prop("EnablePin", &TALCommonPlayer::EnablePin),
        prop("PausePin", &TALCommonPlayer::PausePin),
        prop("ClockPin", &TALCommonPlayer::ClockPin),
    };
  }

  // ---- Published properties ----
  std::string FileName() const { return FFileName; }
  void SetFileName(std::string Value);
  bool RestartOnNewFile() const { return FRestartOnNewFile; }
  void SetRestartOnNewFile(bool Value) { FRestartOnNewFile = Value; }
  std::int32_t PumpPriority() const { return FPumpPriority; }
  void SetPumpPriority(std::int32_t Value) { FPumpPriority = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Paused() const { return FPaused; }
  void SetPaused(bool Value);
  bool Loop() const { return FLoop; }
  void SetLoop(bool Value) { FLoop = Value; }
  TSLClockSource ClockSource() const { return FClockSource; }
  void SetClockSource(TSLClockSource Value) { FLock->Setter(FClockSource, Value, {}); }
  TALAudioPlayerSegment* PlaySegment() const { return FPlaySegment.get(); }
  void SetPlaySegment(TALAudioPlayerSegment* Value);
  std::int32_t BufferSize() const { return FBufferSize; }
  // Values below 1 store 1.
  void SetBufferSize(std::int32_t Value) { FLock->SetterMin(FBufferSize, Value, 1, {}); }
  void SetOnProgress(TALAudioProgressEvent Value) { FOnProgress = std::move(Value); }
  void SetOnStop(TNotifyEvent Value) { FOnStop = std::move(Value); }

  TALOWAudioSourcePin* OutputPin() const { return FOutputPin.get(); }
  TOWStringSinkPin* FileNamePin() const { return FFileNamePin.get(); }
  TOWInt64TimeRangedStatePin* ProgressPin() const { return FProgressPin.get(); }
  TOWBoolStatePin* EnablePin() const { return FEnablePin.get(); }
  TOWBoolStatePin* PausePin() const { return FPausePin.get(); }
  TOWClockSinkPin* ClockPin() const { return FClockPin.get(); }

  // ---- Public, not stored ----
  // The delivered format while a file is open, else all zero.
  TALWaveFormatExtensible WaveFormat();
  std::int64_t SamplesCount();
  std::int64_t CurrentSample();
  // Seeks; sends a flush downstream.
  void SetCurrentSample(std::int64_t Value);
  // In 100-nanosecond units; 0 while the rate is 0.
  std::int64_t CurrentTime();
  void SetCurrentTime(std::int64_t Value);
  std::int64_t DurationTime();
  // Milliseconds per block as the opened file reports it.
  std::int32_t FrameDelay() const { return FFrameDelay; }
  bool Opened() const { return FOpened; }
  bool IsPump() const { return FIsPump; }
  // The period of the player's own clock in 100-nanosecond units (0 while it has none): the exact
  // duration of one block, truncated; the truncated remainder is made up for by ClockTick.
  std::int64_t ClockInterval() const;

  // ---- Public operations ----
  void Start() { SetEnabled(true); }
  void Stop() { SetEnabled(false); }
  void Pause();
  void Resume();
  void Open();
  void Close();
  // One block, when ClockSource is csExternal.
  void Pump();
  // What the clock generator runs once per period, on its own thread; public so that a caller can
  // drive the player by hand.
  void ClockTick();
  // One block now (if enabled, not paused and within the range).
  void ProcessBuffer();

  void ComponentReady() override;
  void BeforeDestruction() override;

 protected:
  // ---- Supplied by a descendant ----
  virtual void OpenFile() = 0;
  // Caller holds the lock.
  virtual void CloseFile() = 0;
  virtual void StartPlaying(bool ARestart) = 0;
  // Fills ABuffer with the next block from FSample, or leaves it empty.
  virtual void ReadBuffer(std::int32_t ASample, RefPtr<IALAudioBuffer>& ABuffer);
  virtual void ResetPosition();
  // Up to ACount frames of the delivered format into ABuffer; 0 at the end, -1 on a read failure.
  virtual std::int32_t ReadSamples(std::uint8_t* ABuffer, std::int32_t ACount) = 0;
  // Caller holds the lock.
  virtual void ProcessCaptions() {}

  void StartPump(bool ARestart);
  void StartClock();
  void StopClock();
  // Reads from the pump request's answer who drives: this player or another component.
  void TakePumpRole(TOWPumpRequestOperation* ARequest);
  void RequestStop(bool ASendStop, bool ADestroyTimer, bool AEndStop);
  void DoStop(bool ASendStop, bool ADestroyTimer, bool AEndStop);
  void HandleMasterPump(const void* APump, std::uint32_t AOperationID);
  TOWNotifyResult OutputPinNotify(IOWNotifyOperation* Operation);
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool Loading() const { return ComponentState().Contains(csLoading); }

  TOWPinRef<TALOWAudioSourcePin> FOutputPin;
  TOWPinRef<TOWBoolStatePin> FEnablePin;
  TOWPinRef<TOWInt64TimeRangedStatePin> FProgressPin;
  TOWPinRef<TOWStringSinkPin> FFileNamePin;
  TOWPinRef<TOWBoolStatePin> FPausePin;
  TOWPinRef<TOWClockSinkPin> FClockPin;
  bool FEnabled = true;
  std::string FFileName;
  TSLClockSource FClockSource = TSLClockSource::csInternal;
  std::int32_t FPumpPriority = 0;
  bool FRestartOnNewFile = true;
  bool FPaused = false;
  bool FLoop = false;
  std::unique_ptr<TALAudioPlayerSegment> FPlaySegment;
  std::int32_t FBufferSize = 1024;
  std::int32_t FFrameDelay = 0;
  TALWaveFormatExtensible FWaveFormat;
  RefPtr<IALAudioBuffer> FInternalBuffer;
  std::int32_t FInternalPosition = 0;
  std::int32_t FInternalSize = 0;
  std::int64_t FStartSample = 0;
  std::int64_t FStopSample = 0;
  std::int64_t FSample = 0;
  std::int64_t FLength = 0;
  TALAudioProgressEvent FOnProgress;
  TNotifyEvent FOnStop;
  TSLClockGenPtr FClockGen;
  std::unique_ptr<TSLMainThreadNotify> FStopNotify;
  std::unique_ptr<TSLMainThreadNotify> FStoppingNotify;
  std::unique_ptr<TSLMainThreadNotify> FProcessNotify;
  bool FOpened = false;
  bool FRequestSendStop = false;
  bool FRequestDestroyTimer = false;
  bool FIsEndStop = false;
  bool FIsPump = false;
  double FPumpFrameRate = 0;
  const void* FMasterPump = nullptr;
  bool FFirstRequest = true;
  bool FFirstBuffer = true;
  bool FRunning = false;
  std::uint32_t FLastOperationID = 0;
  bool FInStartPump = false;
  std::int32_t FPumpCounter = 0;

 private:
  void StopOnMainThread(TObject* Sender);
  void EndOfRangeOnMainThread(TObject* Sender);
  void ProgressOnMainThread(TObject* Sender);
  // Reads into ABuffer no more frames than its storage holds in the delivered format.
  std::int32_t ReadSamplesInto(IALAudioBuffer* ABuffer, std::int32_t ACount);
  // Takes frames from FInternalBuffer into ABuffer at ATargetOffset; returns how many.
  std::int32_t TakeInternal(IALAudioBuffer* ABuffer, std::int32_t ATargetOffset, std::int32_t ACount);
  // Fills ABuffer from frame ADelivered up to ATarget through the spare block, reading AReadCount
  // frames at a time, until the reader has no more; returns the frames ABuffer now holds.
  std::int32_t TopUp(IALAudioBuffer* ABuffer, std::int32_t ADelivered, std::int32_t ATarget, std::int32_t AReadCount);
  // ProcessBuffer's work; returns the frames of the block handed on (0 when none was).
  std::int64_t ProduceBlock();

  // The clock's period split into whole 100-ns units and the remainder in units of 1/rate of them;
  // FClockLead is how far the clock has run ahead of the blocks' real duration, in the same units.
  std::int64_t FClockWhole = 0;
  std::int64_t FClockRemainder = 0;
  std::int64_t FClockRate = 0;
  std::int64_t FClockLead = 0;
  // Frames the clock has asked for and the blocks have not yet delivered; negative when a block gave
  // more than its tick's share. The clock keeps time in frames, not in blocks: the short block at a
  // wrap is followed at once by another, or the stream would fall behind by the difference at every
  // wrap.
  std::int64_t FClockOwedFrames = 0;
};

}  // namespace sib
