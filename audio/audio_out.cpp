#include "audio/audio_out.h"

#include <algorithm>
#include <functional>

#include "audio/owed_frames.h"
#include "platform/core/errors.h"
#include "platform/core/format.h"

namespace sib {

namespace {

constexpr TGUID kSubFormatFloat = "{00000003-0000-0010-8000-00AA00389B71}"_guid;
constexpr std::uint16_t kFormatTagFloat = 3;

WaveOutFormat deviceFormatOf(const TALWaveFormatExtensible& AFormat) {
  WaveOutFormat format;
  const bool extensible = AFormat.Format.wFormatTag == kALWaveFormatExtensible;
  const bool isFloat = AFormat.Format.wFormatTag == kFormatTagFloat || (extensible && AFormat.SubFormat == kSubFormatFloat);
  format.sampleType = isFloat ? WaveSampleType::Float : WaveSampleType::Pcm;
  format.channels = AFormat.Format.nChannels;
  format.samplesPerSec = AFormat.Format.nSamplesPerSec;
  format.bitsPerSample = AFormat.Format.wBitsPerSample;
  format.blockAlign = AFormat.Format.nBlockAlign;
  return format;
}

// The format the device is tried with when the output offers itself as the pipeline's pump.
WaveOutFormat probeFormat() {
  TALWaveFormatExtensible probe;
  probe.Format = {kALWaveFormatExtensible, 1, 11025, 22050, 2, 16, kALExtensibleSize};
  probe.wValidBitsPerSample = 16;
  probe.dwChannelMask = 1;
  probe.SubFormat = kALSubFormatPcm;
  return deviceFormatOf(probe);
}

}  // namespace


TALAudioOut::TALAudioOut(TComponent* AOwner)
    : TALBasicAudioOut(AOwner),
      FParams(makeRef<TALAudioParams>()),
      FDevice(std::make_unique<TALAudioOutDevice>(this)),
      FBufferQueue(RefPtr<IOWLock>(FLock.get())) {
  if (!ComponentState().Contains(csDesigning)) {
    FNotifyThread = TSLNotifyThread::Create(this, TSLNotifyThreadEvent([](TSLNotifyThread*) {}));
    FProcessNotify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([this](TObject*) { ProcessQueue(false); }));
    FRecoverNotify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([this](TObject*) { RecoverDevice(); }));
  }
}

TALAudioOut::~TALAudioOut() {
  FNotifyThread.reset();
  FProcessNotify.reset();
  FRecoverNotify.reset();
  FRetryTimer.reset();
}

void TALAudioOut::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    if (FInputPin) FInputPin->Disconnect();
    StopRecovering();
  }
  try {
    CloseDevice(true);
  } catch (const std::exception&) {
    // Reported through OnError already; destruction goes on.
  }
  TALBasicAudioOut::BeforeDestruction();
}

void TALAudioOut::SetOnError(TSLErrorEvent Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  FOnError = std::move(Value);
}

void TALAudioOut::SetOnWarning(TSLWarningEvent Value) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  FOnWarning = std::move(Value);
}

void TALAudioOut::Error(const std::string& AText, MMResult ACode) {
  bool handled = false;
  if (FOnError) FOnError(this, AText, static_cast<std::int32_t>(ACode), handled);
  if (!handled) throw ESLException(formatText("%s - %u - %x", {AText, ACode, ACode}));
}

void TALAudioOut::Warning(const std::string& AText, MMResult ACode) {
  if (FOnWarning) FOnWarning(this, AText, static_cast<std::int32_t>(ACode));
}

void TALAudioOut::Flush() {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  DoFlush();
}

void TALAudioOut::DoFlush() {
  FBufferQueue.Clear();
  TALParamsSection params(*FParams);
  if (!FParams->GetIsOpen()) return;
  FState.On(TALOutEvent::Restart);
  params.Leave();  // the reset hands every buffer back to the device thread, which needs the lock
  waveOutReset(HOut);
  waveOutPause(HOut);
}

TOWNotifyResult TALAudioOut::InputNotify(TOWBasicPin*, const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) {
  LockSection write = FLock->WriteLock();
  if (!write) return {};
  if (operationIs<TOWSLResumeOperation>(Operation)) {
    Resume();
  } else if (operationIs<TOWFlushStreamOperation>(Operation)) {
    DoFlush();
  } else if (auto* request = operationAs<TOWPumpRequestOperation>(Operation)) {
    // Answered on arrival: the sender reads the answer as soon as its notification returns. Queued
    // behind buffers, the request would be answered too late and both ends would pump.
    if (FEnabled && FMasterPumping->Enabled()) ProcessPumpRequest(request);
    return {};
  } else if (FEnabled) {
    // A stop ends the prefill: the device starts, so that what is queued plays out.
    if (operationIs<TOWStopOperation>(Operation) && FState.Phase() == TALOutPhase::Prefill) {
      Resume();
      FState.On(TALOutEvent::PrefillOver);
    }
    // With the device gone, nothing would take the buffers off the queue: they are dropped until a
    // device is back, as while disabled. A source on its own clock is not let run further ahead of a
    // device that does not take what it is given (a sound server slow to start a stream, a stalled
    // machine) than kMaxWaitingMs: beyond that the buffer is dropped, since the steering, a few ppm at
    // a time, would take many minutes to play a backlog away.
    if (!operationIs<TOWSuppliedBufferOperation>(Operation) || (!FDeviceLost && !Backlogged()))
      FBufferQueue.Push(OperationRef(Operation));
  } else {
    // Stopped follows the stream even while nothing is queued: a start-wave that arrives once the
    // output is enabled again must wait only for a stop of a stream that is still running, never
    // for one that has come and gone (it would hold the queue, and the sound, for good).
    if (auto* start = operationAs<TOWStartWaveOperation>(Operation)) {
      SetWaveFormat(&start->WaveFormat);
      FState.SetStopped(false);
    } else if (operationIs<TOWStopOperation>(Operation)) {
      SetWaveFormat(nullptr);
      FState.SetStopped(true);
    }
  }
  if (TakesQueueAtOnce()) ProcessQueue(false);
  return {};
}

// Component lock held. Pumping, the device itself asks for what it takes, and nothing is ever behind.
// A device that has played once and then takes nothing for a while is fed by a server that pulls
// seconds at a time: what waits meanwhile is what its next pull plays, and dropping it would make
// the stream jump.
bool TALAudioOut::Backlogged() {
  if (FSampleRate == 0 || FMasterPumping->Enabled() || FDeviceTook) return false;
  return FBufferQueue.Frames() * 1000 > std::uint64_t{kMaxWaitingMs} * FSampleRate;
}

// Until the device has been started after its prefill, while a start-wave or a stop waits, and while
// the device holds at most one buffer. Otherwise the queue waits for the next device completion, which
// keeps about two buffers in the device.
bool TALAudioOut::TakesQueueAtOnce() {
  if (!FState.StartedAfterPrefill() || FBufferQueue.StartsAndStops() > 0) return true;
  TALParamsSection params(*FParams);
  return FParams->GetList().size() <= 1;
}

void TALAudioOut::ProcessQueue(bool FromDevice) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  while (OperationRef operation = FBufferQueue.Pop()) {
    if (!ProcessOperation(operation.get(), FromDevice)) {
      FBufferQueue.PutBack(std::move(operation));
      break;
    }
  }
  if (FromDevice) SteerRate();
}

bool TALAudioOut::ProcessOperation(IOWNotifyOperation* Operation, bool FromDevice) {
  if (auto* start = operationAs<TOWStartWaveOperation>(Operation)) return TakeStartWave(*start, FromDevice);
  if (operationIs<TOWStartPumpOperation>(Operation)) {
    StartPumping();
  } else if (operationIs<TOWStopOperation>(Operation)) {
    FState.SetStopped(true);
    if (!operationIs<TOWEndStopOperation>(Operation) && FNotifyThread) FNotifyThread->Notify();
  } else if (operationIs<TOWSLPauseOperation>(Operation)) {
    Pause();
  } else if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation)) {
    if (supplied->Buffer) PlayBuffer(TALAudioBuffer::CreateUniversal(supplied->Buffer.get()));
    if (FMasterPumping->Enabled() && FState.Prefilling()) MasterPump();
  }
  return true;
}

// A new format waits at the head of the queue until the running stream has stopped. The device thread
// never closes the device itself, since closing waits for that thread to end: it leaves the start-wave
// to the main thread.
bool TALAudioOut::TakeStartWave(const TOWStartWaveOperation& AStart, bool FromDevice) {
  FState.On(TALOutEvent::Restart);
  bool open;
  {
    TALParamsSection params(*FParams);
    open = FParams->GetIsOpen();
  }
  if (open && (!FState.Stopped() || FromDevice)) {
    if (FState.Stopped() && FromDevice && FProcessNotify) FProcessNotify->Notify();
    return false;
  }
  OpenDevice(AStart.WaveFormat);
  FState.SetStopped(false);
  return true;
}

void TALAudioOut::ProcessPumpRequest(TOWPumpRequestOperation* ARequest) {
  if (ARequest->PumpType == ptHardware && ARequest->PumpPriority >= FMasterPumping->Priority()) return;
  {
    // The device this output has open is known to work; a probe would open the same device twice.
    TALParamsSection params(*FParams);
    if (FParams->GetIsOpen() && HOut != 0 && !FDeviceLost) {
      ClaimPump(ARequest);
      return;
    }
  }
  WaveOutHandle probe = 0;
  const MMResult result =
      waveOutOpen(&probe, FDevice->GetDeviceID(), probeFormat(), [](WaveOutHandle, WaveOutMessage, WaveHeader*) {},
                  WaveOutStart::Paused);
  TALParamsSection params(*FParams);
  if (result != kMMNoError) {
    FParams->SetIsPump(false);
    return;
  }
  ClaimPump(ARequest);
  params.Leave();
  waveOutClose(probe);
}

void TALAudioOut::ClaimPump(TOWPumpRequestOperation* ARequest) {
  ARequest->Pump = this;
  ARequest->PumpPriority = FMasterPumping->Priority();
  ARequest->PumpType = ptHardware;
  FParams->SetIsPump(true);
}

// A source that has said it is ready (start-pump), or a device opened anew, gets its first requests:
// two of them when there is a prefill to fill, and every block delivered during the prefill asks for
// the next.
void TALAudioOut::StartPumping() {
  bool isPump;
  {
    TALParamsSection params(*FParams);
    isPump = FParams->GetIsPump();
  }
  if (!isPump || !FMasterPumping->Enabled()) return;
  MasterPump();
  if (FPrefillInterval != 0) MasterPump();
}

void TALAudioOut::MasterPump() {
  if (FInputPin) FInputPin->MasterPump(this);
}

// The device is kept as full, in frames, as the prefill left it: a finished buffer is replaced by as
// many blocks as it takes to cover its frames. Counting blocks instead would leave the device short by
// the difference after every short block (the last of a pass), and a device that holds two blocks
// would then play silence. Nothing to be had now (paused, stopped, at the end) leaves nothing owed.
void TALAudioOut::PumpFrames(std::uint64_t AFrames) {
  MakeOwedFrames(FPumpOwedFrames, static_cast<std::int64_t>(AFrames), [this] {
    const std::uint64_t before = FBufferQueue.ArrivedFrames();
    MasterPump();
    return static_cast<std::int64_t>(FBufferQueue.ArrivedFrames() - before);
  });
}

void TALAudioOut::OpenDevice(const TALWaveFormatExtensible& AFormat) {
  if (!FEnabled) return;
  // A device that went away is not looked for again: the next start plays on the default device.
  const int deviceId = FDeviceLost ? kWaveMapper : FDevice->GetDeviceID();
  const auto [what, result] = TryOpenDevice(AFormat, deviceId);
  if (result != kMMNoError) Error(what, result);
}

// Pumping, the device's period is whole blocks and at most half of what the prefill keeps queued, so
// that each of the device's wake-ups takes several blocks while the rest stay queued as the margin;
// the device thread then wakes once per period and pumps as many blocks as the period took. A source on
// its own clock gets the driver's short period, which keeps the steered queue shallow.
std::uint32_t TALAudioOut::DevicePeriodFrames(std::uint32_t ARate) {
  if (!FParams->GetIsPump() || !FMasterPumping->Enabled()) return 0;
  const std::uint64_t half = std::uint64_t{FPrefillInterval} * ARate / 2000;
  std::uint32_t frames = kBlockFrames;
  while (frames * 2 <= half && frames < kMaxPeriodFrames) frames *= 2;
  return frames;
}

std::pair<const char*, MMResult> TALAudioOut::TryOpenDevice(const TALWaveFormatExtensible& AFormat, int ADeviceId) {
  bool open;
  {
    TALParamsSection params(*FParams);
    open = FParams->GetIsOpen();
  }
  if (open) CloseDevice(false);
  TALParamsSection params(*FParams);
  FParams->SetIsOpen(true);
  FWaveThread = TLPThread::Create<TALWaveThread>(
      this, [this](std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* hdr) { DeviceMessage(uMsg, hwo, hdr); });
  // Set from here: the thread's handle is complete only once Create has returned.
  FWaveThread->SetPriority(ThreadPriority::Highest);
  TALWaveThread* thread = FWaveThread.get();
  HOut = 0;
  const MMResult result = waveOutOpen(
      &HOut, ADeviceId, deviceFormatOf(AFormat),
      [thread](WaveOutHandle hwo, WaveOutMessage uMsg, WaveHeader* hdr) { thread->Append(uMsg, hwo, hdr); },
      WaveOutStart::Paused, DevicePeriodFrames(AFormat.Format.nSamplesPerSec));
  SetWaveFormat(&AFormat);
  FSampleRate = AFormat.Format.nSamplesPerSec;
  FBlockAlign = AFormat.Format.nBlockAlign;
  FPumpOwedFrames = 0;
  FAverageDepthMs = -1.0;
  FDeviceTook = false;
  if (result != kMMNoError) return {"Can't open audio device.", result};
  // A lost device counts as replaced only once another one has opened.
  FDeviceLost = false;
  if (const MMResult paused = waveOutPause(HOut); paused != kMMNoError) return {"Can't pause audio device.", paused};
  return {nullptr, kMMNoError};
}

void TALAudioOut::CloseDevice(bool ClearPump) {
  LockSection stop = FLock->StopLock();
  TALParamsSection params(*FParams);
  if (!FParams->GetIsOpen()) return;
  if (FWaveThread) FWaveThread->DiscardPending();
  if (ClearPump) FParams->SetIsPump(false);
  FParams->SetIsOpen(false);
  params.Leave();
  if (HOut != 0) {
    if (const MMResult result = waveOutReset(HOut); result != kMMNoError) {
      Error("Can't restart audio device.", result);
      return;
    }
  }
  if (FWaveThread) FWaveThread->Stop();
  TALParamsSection again(*FParams);
  for (const auto& item : FParams->GetList()) waveOutUnprepareHeader(item->HOut, &item->WaveHdr);
  FParams->GetList().clear();
  if (HOut != 0) waveOutClose(HOut);
  HOut = 0;
  again.Leave();
  FWaveThread.reset();
}

void TALAudioOut::PlayBuffer(const RefPtr<TALAudioBuffer>& ABuffer) {
  if (!FEnabled) return;
  TALWaveBuffer* item;
  {
    TALParamsSection params(*FParams);
    auto owned = std::make_unique<TALWaveBuffer>();
    item = owned.get();
    ABuffer->Unique(true);
    item->HOut = HOut;
    item->Data = RefPtr<IALAudioBuffer>(ABuffer.get());
    item->WaveHdr.data = reinterpret_cast<const std::byte*>(ABuffer->Read());
    item->WaveHdr.bufferLength = ABuffer->GetByteSize();
    item->WaveHdr.user = item;
    waveOutPrepareHeader(HOut, &item->WaveHdr);
    FParams->GetList().push_back(std::move(owned));
  }
  if (waveOutWrite(HOut, &item->WaveHdr) != kMMNoError) {
    // Never handed back by the device: release it now rather than hold it until the device closes.
    TALParamsSection params(*FParams);
    auto& list = FParams->GetList();
    waveOutUnprepareHeader(HOut, &item->WaveHdr);
    std::erase_if(list, [item](const auto& entry) { return entry.get() == item; });
  }
  if (FState.Prefilling()) {
    const std::uint32_t rate = ABuffer->GetSampleRate();
    const std::uint32_t milliseconds = rate != 0 ? static_cast<std::uint32_t>(ABuffer->GetSize() * 1000u) / rate : 0;
    if (FState.AddPrefill(milliseconds, FPrefillInterval)) {
      if (FState.DevicePaused()) Resume();
      FState.On(TALOutEvent::PrefillOver);
    }
  }
}

void TALAudioOut::Pause() {
  FState.On(TALOutEvent::Pause);
  waveOutPause(HOut);
}

void TALAudioOut::Resume() {
  if (!FEnabled || !FState.DevicePaused()) return;
  // Without a device (none opened yet, or its open failed) there is nothing to restart and no reason
  // to raise: a stop arriving before any start-wave must not fail.
  if (HOut == 0) return;
  FState.On(TALOutEvent::Resume);
  const MMResult result = waveOutRestart(HOut);
  const auto replayMissedPumps = [this] {
    while (FMissedPumps > 0) {
      --FMissedPumps;
      MasterPump();
    }
  };
  if (result != kMMNoError) {
    struct Replay {
      std::function<void()> f;
      ~Replay() { f(); }
    } replay{replayMissedPumps};
    Error("Can't restart audio device.", result);
    return;
  }
  replayMissedPumps();
}

void TALAudioOut::EnabledChanged() {
  if (!FEnabled) {
    StopRecovering();
    return;
  }
  FState.On(TALOutEvent::Restart);
  if (!FWaveFormat) {
    Pause();
    return;
  }
  const TALWaveFormatExtensible format = *FWaveFormat;
  // Reopening in the stored format starts no stream: whether that stream has stopped stays as it was.
  OpenDevice(format);
  // An output that pumps asks upstream again, as at a start: nothing else would fill the new device's
  // prefill, and it would stay paused and silent for good.
  if (HOut != 0) StartPumping();
}

void TALAudioOut::DeviceMessage(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr) {
  try {
    if (uMsg == kWomDone) BufferDone(hwo, AWaveHdr);
    else if (uMsg == kWomDeviceLost) DeviceLost();
  } catch (const std::exception&) {
    // Already handed to OnError; the device thread must go on releasing buffers.
  }
}

void TALAudioOut::BufferDone(WaveOutHandle hwo, WaveHeader* AWaveHdr) {
  bool isPump;
  bool clocks;
  bool ticks;
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen()) return;
    FDeviceTook = true;
    isPump = FParams->GetIsPump();
    clocks = FClockOutputPin && FClockOutputPin->IsConnected();
    ticks = isPump || clocks;
  }
  // Upstream may deliver the next buffer back into InputNotify on this thread: no parameter lock here.
  if (ticks) {
    {
      LockSection write = FLock->WriteLock();
      if (write && FState.DevicePaused()) ++FMissedPumps;
    }
    // A tick on a pin that nobody listens to reaches nobody: it is not made at all.
    if (clocks) FClockOutputPin->Clock();
    if (isPump) PumpFrames(FBlockAlign != 0 ? AWaveHdr->bufferLength / FBlockAlign : 0);
  }
  bool drained;
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen()) return;
    waveOutUnprepareHeader(hwo, AWaveHdr);
    auto* item = static_cast<TALWaveBuffer*>(AWaveHdr->user);
    std::erase_if(FParams->GetList(), [item](const auto& entry) { return entry.get() == item; });
    drained = FState.Stopped() && FParams->GetList().empty();
  }
  if (drained && FNotifyThread) FNotifyThread->Notify();
  ProcessQueue(true);
}

// Warned once per loss; the main thread then reopens the default device, and keeps trying quietly.
void TALAudioOut::DeviceLost() {
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen() || FDeviceLost) return;
    FDeviceLost = true;
  }
  Warning("Audio device lost.", kMMNoDriver);
  if (FRecoverNotify) FRecoverNotify->Notify();
}

// Main thread. While the output is enabled, a lost device is replaced by the default device as soon
// as one opens (a restarted sound server, a device plugged in again); until then this runs again
// every kRetryIntervalMs. The stream goes on where it is: the new device starts with a prefill, and an
// output that pumps asks upstream again as at a start.
void TALAudioOut::RecoverDevice() {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  if (!FDeviceLost || !FEnabled || !FWaveFormat) {
    StopRecovering();
    return;
  }
  // The lost device is closed by the open of its replacement.
  const TALWaveFormatExtensible format = *FWaveFormat;
  if (TryOpenDevice(format, kWaveMapper).second != kMMNoError) {
    CloseDevice(false);
    if (!FRetryTimer) {
      FRetryTimer = MakeComponent<TLPTimer>();
      FRetryTimer->SetInterval(kRetryIntervalMs);
      FRetryTimer->SetOnTimer(TNotifyEvent([this](TObject*) { RecoverDevice(); }));
    }
    FRetryTimer->SetEnabled(true);
    return;
  }
  StopRecovering();
  FState.On(TALOutEvent::Restart);
  StartPumping();
}

void TALAudioOut::StopRecovering() {
  if (FRetryTimer) FRetryTimer->SetEnabled(false);
}

void TALAudioOut::SteerRate() {
  TALParamsSection params(*FParams);
  if (!FParams->GetIsOpen() || HOut == 0 || FSampleRate == 0 || FState.DevicePaused()) return;
  // Pumping, the device's clock paces the source itself: there is no second clock to follow, and the
  // samples go to the device untouched.
  if (FParams->GetIsPump()) {
    waveOutSetRateAdjust(HOut, 0.0);
    return;
  }
  WaveOutStatus status;
  if (waveOutGetStatus(HOut, status) != kMMNoError || status.deviceLost) return;
  const double depthMs = static_cast<double>(status.queuedFrames + FBufferQueue.Frames()) * 1000.0 / FSampleRate;
  // The depth saw-tooths by a block as blocks arrive and periods leave; about a second of averaging
  // leaves the drift, which is what the rate has to follow.
  constexpr double kSmoothing = 0.02;
  FAverageDepthMs = FAverageDepthMs < 0 ? depthMs : FAverageDepthMs + kSmoothing * (depthMs - FAverageDepthMs);
  waveOutSetRateAdjust(HOut, kSteeringPpmPerMs * (FAverageDepthMs - kTargetLatencyMs));
}

void TALAudioOut::WaitUntilDeviceIdle() {
  TALWaveThread* thread;
  {
    LockSection write = FLock->WriteLock();
    if (!write) return;
    thread = FWaveThread.get();
  }
  if (thread) thread->WaitUntilIdle();
}

std::uint64_t TALAudioOut::QueuedFrames() { return StreamPosition().Queued; }

TALAudioOut::Position TALAudioOut::StreamPosition() {
  LockSection write = FLock->WriteLock();
  if (!write) return {};
  TALParamsSection params(*FParams);
  WaveOutStatus status;
  if (!FParams->GetIsOpen() || HOut == 0 || waveOutGetStatus(HOut, status) != kMMNoError)
    return {FBufferQueue.Frames(), 0};
  return {status.queuedFrames + FBufferQueue.Frames(), status.periodFrames};
}

bool TALAudioOut::GetDeviceStatus(WaveOutStatus& AStatus) {
  TALParamsSection params(*FParams);
  return FParams->GetIsOpen() && HOut != 0 && waveOutGetStatus(HOut, AStatus) == kMMNoError;
}

}  // namespace sib
