#include "audio/common_player.h"

#include <algorithm>

#include "audio/owed_frames.h"
#include "platform/components/filer.h"

namespace sib {

namespace {
constexpr std::int64_t kUnitsPerSecond = 10'000'000;  // 100-nanosecond units
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

// ---- TALAudioPlayerSegment --------------------------------------------------------------------------

TALAudioPlayerSegment::TALAudioPlayerSegment(TALCommonPlayer* AOwner) : TLPPersistent(AOwner) {}

void TALAudioPlayerSegment::SetStartSample(std::int64_t AValue) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  AValue = std::max<std::int64_t>(AValue, 0);
  if (AValue == FStartSample) return;
  FStartSample = AValue;
  if (FStopSample < FStartSample) FStopSample = FStartSample;
}

void TALAudioPlayerSegment::SetStopSample(std::int64_t AValue) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  AValue = std::max<std::int64_t>(AValue, 0);
  if (AValue == FStopSample) return;
  FStopSample = AValue;
  if (FStopSample < FStartSample) FStartSample = FStopSample;
}

void TALAudioPlayerSegment::DefineProperties(TFiler& Filer) {
  TLPPersistent::DefineProperties(Filer);
  Filer.DefineProperty(
      "StartFrame", [this](TReader& Reader) { ReadStartFrame(Reader); },
      [this](TWriter& Writer) { WriteNothing(Writer); }, false);
  Filer.DefineProperty(
      "StopFrame", [this](TReader& Reader) { ReadStopFrame(Reader); },
      [this](TWriter& Writer) { WriteNothing(Writer); }, false);
}

void TALAudioPlayerSegment::ReadStartFrame(TReader& Reader) {
  SetStartSample(static_cast<std::int64_t>(Reader.ReadInteger()));
}

void TALAudioPlayerSegment::ReadStopFrame(TReader& Reader) {
  SetStopSample(static_cast<std::int64_t>(Reader.ReadInteger()));
}

void TALAudioPlayerSegment::WriteNothing(TWriter&) {}

// ---- TALCommonPlayer: construction and destruction --------------------------------------------------

TALCommonPlayer::TALCommonPlayer(TComponent* AOwner) : TLPComponent(AOwner) {
  FRestartOnNewFile = true;
  if (!Designing()) {
    FProcessNotify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent(this, &TALCommonPlayer::ProgressOnMainThread));
    FStopNotify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent(this, &TALCommonPlayer::StopOnMainThread));
    FStoppingNotify =
        std::make_unique<TSLMainThreadNotify>(TNotifyEvent(this, &TALCommonPlayer::EndOfRangeOnMainThread));
  }
  FBufferSize = 1024;
  FEnabled = true;
  FPlaySegment = std::make_unique<TALAudioPlayerSegment>(this);

  FOutputPin = makePin<TALOWAudioSourcePin>(
      this, FLock.get(), [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* Op, TOWNotifyState) {
        return OutputPinNotify(Op);
      });
  FFileNamePin = makePin<TOWStringSinkPin>(
      this, FLock.get(),
      TEvent<TOWPin*, std::string>(std::function<void(TOWPin*, std::string)>(
          [this](TOWPin*, std::string AValue) { SetFileName(std::move(AValue)); })));
  FProgressPin = makePin<TOWInt64TimeRangedStatePin>(
      this, FLock.get(),
      TOWInt64DateTimeValueRangeChangeEvent(
          std::function<void(TOWPin*, std::int64_t, std::int64_t, std::int64_t, TDateTime, TDateTime, bool)>(
              [this](TOWPin*, std::int64_t AValue, std::int64_t, std::int64_t, TDateTime, TDateTime, bool) {
                SetCurrentSample(AValue);
              })));
  FEnablePin = makePin<TOWBoolStatePin>(
      this, FLock.get(),
      TOWBoolChangeEvent(std::function<void(TOWPin*, bool)>([this](TOWPin*, bool AValue) { SetEnabled(AValue); })));
  FPausePin = makePin<TOWBoolStatePin>(
      this, FLock.get(),
      TOWBoolChangeEvent(std::function<void(TOWPin*, bool)>([this](TOWPin*, bool AValue) { SetPaused(AValue); })));
  FClockPin = makePin<TOWClockSinkPin>(
      this, FLock.get(), TOWClockEvent(std::function<void(TOWPin*)>([this](TOWPin*) {
        if (FIsPump && FClockSource == TSLClockSource::csExternal && !FPaused) ProcessBuffer();
      })),
      [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* Op, TOWNotifyState) -> TOWNotifyResult {
        if (!operationIs<TOWClockOperation>(Op) && FClockPin)
          FClockPin->Notify(newOperation<TOWClockNeededOperation>(FEnabled && !FPaused));
        return {};
      });
  FEnablePin->SetValue(true);
  FOutputPin->FunctionSources().Add(FClockPin.get());
}

// The pins and the clock go in BeforeDestruction, while the descendant's part still exists: a
// delivery or tick in progress may still call its operations.
TALCommonPlayer::~TALCommonPlayer() {
  FPlaySegment.reset();
  FProcessNotify.reset();
  FStoppingNotify.reset();
  FStopNotify.reset();
}

void TALCommonPlayer::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    DoStop(true, true, false);
    // A player whose new file failed to open is closed but may still have its clock.
    StopClock();
    if (FOutputPin) FOutputPin->Disconnect();
    FClockPin.reset();
    FPausePin.reset();
    FEnablePin.reset();
    FProgressPin.reset();
    FFileNamePin.reset();
    FOutputPin.reset();
  }
  TLPComponent::BeforeDestruction();
}

void TALCommonPlayer::ComponentReady() {
  TLPComponent::ComponentReady();
  if (FEnabled) StartPump(false);
}

// ---- Properties -------------------------------------------------------------------------------------

void TALCommonPlayer::SetEnabled(bool Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  // Enabling again while enabled retries an open that failed.
  if (Value == FEnabled && !(Value && !FOpened)) return;
  FEnabled = Value;
  if (!Designing() && !Loading() && FEnabled) StartPump(false);
  if (!FEnabled) DoStop(true, true, FRestartOnNewFile);
  if (FEnablePin) FEnablePin->SetValue(FEnabled);
}

void TALCommonPlayer::SetFileName(std::string Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  if (Value == FFileName) return;
  FFileName = std::move(Value);
  if (!FEnabled) return;
  if (FRestartOnNewFile) {
    SetEnabled(false);
    SetEnabled(true);
  } else if (!Designing() && !Loading()) {
    RequestStop(false, false, false);
    StartPump(false);
  }
}

void TALCommonPlayer::SetPaused(bool Value) {
  LockSection write = FLock->WriteLock();
  if (!write || Value == FPaused) return;
  if (Value) Pause();
  else Resume();
}

void TALCommonPlayer::SetPlaySegment(TALAudioPlayerSegment* Value) { FPlaySegment->Assign(Value); }

TALWaveFormatExtensible TALCommonPlayer::WaveFormat() {
  LockSection read = FLock->ReadLock();
  if (!read) return {};
  return FOpened ? FWaveFormat : TALWaveFormatExtensible{};
}

std::int64_t TALCommonPlayer::SamplesCount() {
  LockSection read = FLock->ReadLock();
  if (!read) return 0;
  return FLength;
}

std::int64_t TALCommonPlayer::CurrentSample() {
  LockSection read = FLock->ReadLock();
  if (!read) return 0;
  return FSample;
}

void TALCommonPlayer::SetCurrentSample(std::int64_t Value) {
  {
    LockSection write = FLock->WriteLock();
    if (!write) return;
    FSample = Value;
    ResetPosition();
  }
  if (FOutputPin) FOutputPin->Notify(newOperation<TOWFlushStreamOperation>());
}

std::int64_t TALCommonPlayer::CurrentTime() {
  LockSection read = FLock->ReadLock();
  if (!read) return 0;
  const std::int64_t rate = FWaveFormat.Format.nSamplesPerSec;
  return rate == 0 ? 0 : FSample * kUnitsPerSecond / rate;
}

void TALCommonPlayer::SetCurrentTime(std::int64_t Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  const std::int64_t rate = FWaveFormat.Format.nSamplesPerSec;
  FSample = rate == 0 ? 0 : Value * rate / kUnitsPerSecond;
  ResetPosition();
}

std::int64_t TALCommonPlayer::DurationTime() {
  const std::int64_t count = SamplesCount();
  LockSection read = FLock->ReadLock();
  if (!read) return 0;
  const std::int64_t rate = FWaveFormat.Format.nSamplesPerSec;
  return rate == 0 ? 0 : count * kUnitsPerSecond / rate;
}

// ---- Public operations ------------------------------------------------------------------------------

// Both take the write lock themselves, as callers may come straight from the window: the clock
// thread reads FPaused under that lock.
void TALCommonPlayer::Pause() {
  LockSection write = FLock->WriteLock();
  if (!write || FPaused) return;
  FPaused = true;
  if (FPausePin) FPausePin->SetValue(true);
  if (!Designing() && FEnabled && FOutputPin) FOutputPin->Notify(newOperation<TOWSLPauseOperation>());
  StopClock();
}

void TALCommonPlayer::Resume() {
  LockSection write = FLock->WriteLock();
  if (!write || !FPaused) return;
  FPaused = false;
  if (FPausePin) FPausePin->SetValue(false);
  if (Designing() || !FEnabled) return;
  if (FOutputPin) FOutputPin->Notify(newOperation<TOWSLResumeOperation>());
  ProcessBuffer();
  StartClock();
  while (FPumpCounter > 0) {
    --FPumpCounter;
    ProcessBuffer();
  }
}

void TALCommonPlayer::Open() {
  if (!FOpened) OpenFile();
}

void TALCommonPlayer::Close() {
  LockSection write = FLock->WriteLock();
  if (!write || !FOpened) return;
  if (FOutputPin) FOutputPin->EndStop();
  FRunning = false;
  CloseFile();
  FOpened = false;
}

void TALCommonPlayer::Pump() {
  if (FClockSource == TSLClockSource::csExternal) ProcessBuffer();
}

// ---- The pump and the clock -------------------------------------------------------------------------

void TALCommonPlayer::StartPump(bool ARestart) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  if (FClockSource == TSLClockSource::csExternal) {
    FIsPump = true;
    StartPlaying(ARestart);
    return;
  }
  OperationRef request = newOperation<TOWPumpRequestOperation>(this, ptMaster, FPumpPriority, 1.0f);
  if (FOutputPin) FOutputPin->Notify(request);
  auto* answer = operationAs<TOWPumpRequestOperation>(request.get());
  if (answer->Pump == this) {
    TakePumpRole(answer);
    StartPlaying(ARestart);
  } else {
    TakePumpRole(answer);
    FInStartPump = true;
    StartPlaying(ARestart);
    FInStartPump = false;
  }
}

void TALCommonPlayer::TakePumpRole(TOWPumpRequestOperation* ARequest) {
  if (ARequest->Pump == this) {
    FPumpFrameRate = ARequest->DesiredRate;
    FIsPump = true;
  } else {
    FIsPump = false;
    FMasterPump = ARequest->Pump;
  }
}

void TALCommonPlayer::StartClock() {
  if (!FIsPump || FClockSource != TSLClockSource::csInternal || FClockGen) return;
  // The period is one block's exact duration: whole 100-ns units for the generator, the remainder
  // carried by ClockTick. A period rounded to whole milliseconds would make the player produce
  // faster (or slower) than the device plays, and the difference would pile up downstream.
  const std::int64_t rate = FWaveFormat.Format.nSamplesPerSec;
  const std::int64_t duration = static_cast<std::int64_t>(FBufferSize) * kUnitsPerSecond;
  if (rate > 0 && duration / rate > 0) {
    FClockRate = rate;
    FClockWhole = duration / rate;
    FClockRemainder = duration % rate;
  } else {
    FClockRate = 0;
    FClockWhole = static_cast<std::int64_t>(std::max(FFrameDelay, 1)) * 10'000;
    FClockRemainder = 0;
  }
  FClockLead = 0;
  FClockOwedFrames = 0;
  FClockGen = TSLClockGen::Create(this, FClockWhole, [this] { ClockTick(); });
}

void TALCommonPlayer::StopClock() {
  TSLClockGenPtr clock = std::move(FClockGen);
  if (!clock) return;
  // Freeing the generator waits for its thread, which may be waiting for this component's lock in
  // ClockTick: the calling thread's holds are given up meanwhile. During a stop that thread gets no
  // section anyway, and the stopping thread keeps its hold.
  if (FLock->Instance()->StopPending()) {
    clock.reset();
    return;
  }
  LockSection unlock = FLock->UnlockAll();
  clock.reset();
}

std::int64_t TALCommonPlayer::ClockInterval() const { return FClockGen ? FClockGen->Interval() : 0; }

void TALCommonPlayer::ClockTick() {
  LockSection write = FLock->WriteLock();
  if (!write || FPaused) return;
  if (FClockRate > 0) {
    // The generator runs ahead of real time by the truncated remainder each period; once that has
    // added up to a whole period, this tick is left out.
    FClockLead += FClockRemainder;
    if (FClockLead >= FClockWhole * FClockRate) {
      FClockLead -= FClockWhole * FClockRate;
      return;
    }
  }
  // Each tick is worth one full block of frames: a short block (the last of a pass) is followed at
  // once by the next.
  MakeOwedFrames(FClockOwedFrames, FBufferSize, [this] { return ProduceBlock(); });
}

// ---- Producing blocks -------------------------------------------------------------------------------

void TALCommonPlayer::ProcessBuffer() { ProduceBlock(); }

std::int64_t TALCommonPlayer::ProduceBlock() {
  LockSection write = FLock->WriteLock();
  if (!write || !FEnabled) return 0;
  if (FPaused) {
    if (FInStartPump) FPumpCounter = 2;
    return 0;
  }
  std::int64_t frames = 0;
  if (FSample <= FStopSample) {
    ProcessCaptions();
    RefPtr<IALAudioBuffer> buffer;
    if (FOpened) ReadBuffer(static_cast<std::int32_t>(FSample), buffer);
    if (!buffer) return 0;
    frames = buffer->GetSize();
    // A looped range wraps before its last block goes out: a receiver that asks for the next block
    // while this one is being delivered (an output that pumps while it prefills) gets the range's first
    // block. Asked past the end before the wrap, it would get nothing, and the pumping would stop.
    if (FLoop && FSample > FStopSample) {
      FSample = FStartSample;
      ResetPosition();
    }
    if (FOutputPin && FOutputPin->IsConnected()) FOutputPin->SubmitBuffer(buffer.get());
  }
  if (FSample > FStopSample) {
    if (FLoop) {
      FSample = FStartSample;
      ResetPosition();
    } else {
      FSample = FStopSample;
      if (FStoppingNotify) FStoppingNotify->Notify(false);
    }
  }
  return frames;
}

std::int32_t TALCommonPlayer::ReadSamplesInto(IALAudioBuffer* ABuffer, std::int32_t ACount) {
  const std::uint32_t frameBytes = FWaveFormat.Format.nBlockAlign;
  if (frameBytes == 0) return 0;
  // A format whose valid bits make a narrower container than its block alignment must not let the
  // reader write past the block.
  const std::uint64_t capacity = std::uint64_t{ABuffer->GetSize()} * ABuffer->GetDataStep() / frameBytes;
  ACount = static_cast<std::int32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(ACount), capacity));
  if (ACount <= 0) return 0;
  return ReadSamples(ABuffer->Write(), ACount);
}

std::int32_t TALCommonPlayer::TakeInternal(IALAudioBuffer* ABuffer, std::int32_t ATargetOffset, std::int32_t ACount) {
  const std::int32_t n = std::min(FInternalSize - FInternalPosition, ACount);
  if (n <= 0) return 0;
  FInternalBuffer->CopyData(static_cast<std::uint32_t>(FInternalPosition), ABuffer,
                            static_cast<std::uint32_t>(ATargetOffset), static_cast<std::uint32_t>(n));
  FInternalPosition += n;
  if (FInternalPosition >= FInternalSize) FInternalPosition = 0;
  return n;
}

std::int32_t TALCommonPlayer::TopUp(IALAudioBuffer* ABuffer, std::int32_t ADelivered, std::int32_t ATarget,
                                    std::int32_t AReadCount) {
  while (ADelivered < ATarget) {
    FInternalSize = ReadSamplesInto(FInternalBuffer.get(), AReadCount);
    FInternalPosition = 0;
    if (FInternalSize <= 0) {
      FInternalSize = 0;
      break;
    }
    ADelivered += TakeInternal(ABuffer, ADelivered, ATarget - ADelivered);
  }
  return ADelivered;
}

void TALCommonPlayer::ReadBuffer(std::int32_t, RefPtr<IALAudioBuffer>& ABuffer) {
  LockSection write = FLock->WriteLock();
  if (!write || !FOutputPin || !FOutputPin->IsConnected()) return;
  const std::int64_t end = std::min<std::int64_t>(FSample + FBufferSize, FLength);
  if (end <= FSample) return;
  const auto count = static_cast<std::int32_t>(end - FSample);
  const TALWaveFormat& format = FWaveFormat.Format;
  RefPtr<TALAudioBuffer> block = TALAudioBuffer::CreateSizeEx(format.nSamplesPerSec, FWaveFormat.wValidBitsPerSample,
                                                              format.nChannels, static_cast<std::uint32_t>(FBufferSize),
                                                              FWaveFormat.dwChannelMask);
  if (!FInternalBuffer) {
    FInternalBuffer = TALAudioBuffer::CreateSizeEx(format.nSamplesPerSec, FWaveFormat.wValidBitsPerSample,
                                                   format.nChannels, static_cast<std::uint32_t>(FBufferSize),
                                                   FWaveFormat.dwChannelMask);
    FInternalPosition = 0;
  }
  std::int32_t delivered = 0;
  if (FInternalPosition == 0) {
    delivered = ReadSamplesInto(block.get(), FBufferSize);
    if (delivered <= 0) return;
    // A decoding reader may deliver fewer frames than asked while more remain: top the block up from
    // the spare block, which keeps the surplus for the next block.
    delivered = TopUp(block.get(), delivered, FBufferSize, FBufferSize);
  } else {
    delivered = TopUp(block.get(), TakeInternal(block.get(), 0, count), count, count);
  }
  // A block that ends early (the end of the stream) holds exactly the frames delivered: the rest of
  // its storage was never written.
  if (delivered < FBufferSize) block->Resize(static_cast<std::uint32_t>(delivered), true);
  ABuffer = block;
  FSample += delivered;
  if ((FOnProgress || (FProgressPin && FProgressPin->IsConnected())) && FProcessNotify) FProcessNotify->Notify(false);
}

void TALCommonPlayer::ResetPosition() { FInternalPosition = 0; }

// ---- Notifications from downstream ------------------------------------------------------------------

TOWNotifyResult TALCommonPlayer::OutputPinNotify(IOWNotifyOperation* Operation) {
  LockSection write = FLock->WriteLock();
  if (!write) return {};
  if (operationIs<TOWStartSampleRateOperation>(Operation)) {
    StartPlaying(false);
  } else if (operationIs<TOWStopOperation>(Operation)) {
    RequestStop(true, true, false);
  } else if (auto* master = operationAs<TOWMasterPumpOperation>(Operation)) {
    HandleMasterPump(master->Pump, master->OperationID());
    return {};
  } else if (operationIs<TOWQueryStreamOperation>(Operation)) {
    if ((!FEnabled || FFileName.empty()) && FOutputPin) FOutputPin->Notify(newOperation<TOWIgnoreStreamOperation>());
  }
  return FOutputPin ? FOutputPin->Notify(Operation) : TOWNotifyResult{};
}

void TALCommonPlayer::HandleMasterPump(const void* APump, std::uint32_t AOperationID) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  if (!FIsPump && APump == FMasterPump && (AOperationID != FLastOperationID || FFirstRequest)) ProcessBuffer();
  FFirstRequest = false;
  FLastOperationID = AOperationID;
}

// ---- Stopping ---------------------------------------------------------------------------------------

void TALCommonPlayer::RequestStop(bool ASendStop, bool ADestroyTimer, bool AEndStop) {
  LockSection stop = FLock->StopLock();
  if (!FOpened) return;
  FRequestSendStop = ASendStop;
  FRequestDestroyTimer = ADestroyTimer;
  FIsEndStop = AEndStop;
  if (FStopNotify) FStopNotify->Notify(false);
  else StopOnMainThread(this);
}

void TALCommonPlayer::StopOnMainThread(TObject*) {
  DoStop(FRequestSendStop, FRequestDestroyTimer, FIsEndStop);
  if (FIsEndStop) FEnabled = false;
}

void TALCommonPlayer::DoStop(bool ASendStop, bool ADestroyTimer, bool AEndStop) {
  LockSection stop = FLock->StopLock();
  if (!FOpened) return;
  FFirstRequest = true;
  FOnStop(this);
  if (ADestroyTimer) StopClock();
  if (ASendStop && FOutputPin) {
    if (AEndStop) FOutputPin->EndStop();
    else FOutputPin->Stop();
    FRunning = false;
  }
  CloseFile();
  FOpened = false;
}

void TALCommonPlayer::EndOfRangeOnMainThread(TObject*) { RequestStop(FRestartOnNewFile, true, true); }

void TALCommonPlayer::ProgressOnMainThread(TObject*) {
  std::int64_t start = 0, stop = 0, sample = 0;
  double rate = 0;
  {
    LockSection write = FLock->WriteLock();
    if (!write) return;
    start = FStartSample;
    stop = FStopSample;
    sample = FSample;
    rate = FWaveFormat.Format.nSamplesPerSec;
  }
  FOnProgress(this, start, stop, sample);
  if (!FProgressPin || rate == 0) return;
  FProgressPin->SubmitValueRange(sample, start, stop, static_cast<double>(start) / rate / kSecondsPerDay,
                                 static_cast<double>(stop) / rate / kSecondsPerDay);
}

}  // namespace sib
