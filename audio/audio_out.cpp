#include "audio/audio_out.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/components/filer.h"
#include "platform/core/errors.h"
#include "platform/core/format.h"

namespace sib {

namespace {

constexpr TGUID kSubFormatFloat = "{00000003-0000-0010-8000-00AA00389B71}"_guid;
constexpr std::uint16_t kFormatTagFloat = 3;

std::string upperCase(std::string AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(), [](unsigned char c) { return std::toupper(c); });
  return AText;
}

bool isDefaultName(const std::string& AName) { return upperCase(AName) == "DEFAULT"; }

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

// ---- TALWaveThread ----------------------------------------------------------------------------------

TALWaveThread::TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess)
    : TLPThread(ComponentName(AOwner) + ".TALWaveThread"), FOnProcess(std::move(AOnProcess)) {}

TALWaveThread::~TALWaveThread() { Stop(); }

void TALWaveThread::Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr) {
  std::lock_guard guard(FSection);
  if (FStopping) return;
  FItems.push_back({hwo, uMsg, AWaveHdr});
  FSemaphore.notify_one();
}

void TALWaveThread::DiscardPending() {
  std::lock_guard guard(FSection);
  FItems.clear();
  FIdle.notify_all();
}

void TALWaveThread::Stop() {
  {
    std::lock_guard guard(FSection);
    FStopping = true;
    Terminate();
    FSemaphore.notify_all();
  }
  WaitFor();
}

void TALWaveThread::WaitUntilIdle() {
  std::unique_lock guard(FSection);
  FIdle.wait(guard, [this] { return FStopping || (FItems.empty() && !FBusy); });
}

void TALWaveThread::Execute() {
  AnnounceThreadName();
  std::unique_lock guard(FSection);
  while (true) {
    FSemaphore.wait(guard, [this] { return FStopping || !FItems.empty(); });
    if (FStopping) break;
    const TALWaveItemNode node = FItems.front();
    FItems.pop_front();
    FBusy = true;
    guard.unlock();
    FOnProcess(node.uMsg, node.hwo, node.AWaveHdr);
    guard.lock();
    FBusy = false;
    if (FItems.empty()) FIdle.notify_all();
  }
  FItems.clear();
  FBusy = false;
  FIdle.notify_all();
}

// ---- Device settings --------------------------------------------------------------------------------

TALAudioOutDeviceItem::TALAudioOutDeviceItem(TCollection* Collection) : TLPCollectionItem(Collection) {}

TALAudioOutDeviceItems::TALAudioOutDeviceItems(TALAudioOutDevice* AOwnerProperty)
    : TLPCollection(AOwnerProperty, TALAudioOutDeviceItem::StaticClass()), FOwnerProperty(AOwnerProperty) {}

TALAudioOutDeviceItem* TALAudioOutDeviceItems::Add() {
  std::vector<std::string> devices;
  FOwnerProperty->GetDeviceList(devices);
  std::string name = "Default";
  if (!devices.empty()) {
    std::map<std::string, int> uses;
    for (int i = 0; i < Count(); ++i) ++uses[Items(i)->DeviceName()];
    name = *std::min_element(devices.begin(), devices.end(),
                             [&uses](const std::string& a, const std::string& b) { return uses[a] < uses[b]; });
  }
  auto* item = static_cast<TALAudioOutDeviceItem*>(TCollection::Add());
  item->SetDeviceName(name);
  return item;
}

TALAudioOutDevice::TALAudioOutDevice(TALAudioOut* AOwner)
    : TLPPersistent(AOwner),
      FAlternativeDevices(std::make_unique<TALAudioOutDeviceItems>(this)),
      FOwner(AOwner) {}

TALAudioOutDevice::~TALAudioOutDevice() = default;

void TALAudioOutDevice::GetDeviceList(std::vector<std::string>& Values) {
  const std::uint32_t count = waveOutGetNumDevs();
  for (std::uint32_t id = 0; id < count; ++id) {
    WaveOutCaps caps;
    if (const MMResult result = waveOutGetDevCaps(id, caps); result != kMMNoError) {
      if (FOwner) FOwner->Warning("Can't get device capabilities.", result);
      return;
    }
    Values.push_back(caps.productName);
  }
}

int TALAudioOutDevice::LookUp(const std::string& AName) {
  const std::uint32_t count = waveOutGetNumDevs();
  for (std::uint32_t id = 0; id < count; ++id) {
    WaveOutCaps caps;
    if (const MMResult result = waveOutGetDevCaps(id, caps); result != kMMNoError) {
      if (FOwner) FOwner->Warning("Can't get device capabilities.", result);
      return 0;
    }
    if (caps.productName == AName.substr(0, kMaxProductNameLength)) return static_cast<int>(id);
  }
  return kWaveMapper;
}

int TALAudioOutDevice::GetDeviceID() {
  const std::string name = DeviceName();
  if (isDefaultName(name)) return kWaveMapper;
  if (const int id = LookUp(name); id != kWaveMapper) return id;
  for (int i = 0; i < FAlternativeDevices->Count(); ++i) {
    const std::string alternative = FAlternativeDevices->Items(i)->DeviceName();
    if (isDefaultName(alternative)) return kWaveMapper;
    if (const int id = LookUp(alternative); id != kWaveMapper) return id;
  }
  return kWaveMapper;
}

// ---- TALBasicAudioOut -------------------------------------------------------------------------------

TALBasicAudioOut::TALBasicAudioOut(TComponent* AOwner)
    : TLPComponent(AOwner), FMasterPumping(std::make_unique<TLPMasterPumping>(this)) {
  FInputPin = makePin<TALOWAudioSinkPin>(
      this, FLock.get(), [this](TOWBasicPin* Sender, const TGUID* ID, IOWNotifyOperation* Op, TOWNotifyState State) {
        return InputNotify(Sender, ID, Op, State);
      });
  FEnablePin = makePin<TOWBoolStatePin>(this, FLock.get(),
                                        TOWBoolChangeEvent([this](TOWPin*, bool AValue) { SetEnabled(AValue); }));
  FClockOutputPin = makePin<TOWClockSourcePin>(this, FLock.get());
}

TALBasicAudioOut::~TALBasicAudioOut() = default;

void TALBasicAudioOut::SetEnabled(bool Value) {
  FLock->Setter(FEnabled, Value, TLPPropUpdateFunc(this, &TALBasicAudioOut::EnabledChanged));
}

void TALBasicAudioOut::SetWaveFormat(const TALWaveFormatExtensible* AFormat) {
  if (AFormat) FWaveFormat = *AFormat;
  else FWaveFormat.reset();
}

void TALBasicAudioOut::DefineProperties(TFiler& Filer) {
  TLPComponent::DefineProperties(Filer);
  Filer.DefineProperty(
      "PumpPriority", [this](TReader& Reader) { FMasterPumping->SetPriority(Reader.ReadInteger()); }, {}, false);
  Filer.DefineProperty(
      "EnableMasterPumping", [this](TReader& Reader) { FMasterPumping->SetEnabled(Reader.ReadBoolean()); }, {}, false);
  Filer.DefineProperty("PreFillEnabled", [](TReader& Reader) { Reader.ReadBoolean(); }, {}, false);
}

void TALBasicAudioOut::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    FInputPin.reset();
    FEnablePin.reset();
    FClockOutputPin.reset();
  }
  TLPComponent::BeforeDestruction();
}

// ---- TALAudioOut ------------------------------------------------------------------------------------

TALAudioOut::TALAudioOut(TComponent* AOwner)
    : TALBasicAudioOut(AOwner),
      FParams(makeRef<TALAudioParams>()),
      FDevice(std::make_unique<TALAudioOutDevice>(this)),
      FBufferQueue(std::make_unique<TSLOperationList>(RefPtr<IOWLock>(FLock.get()))) {
  if (!ComponentState().Contains(csDesigning)) {
    FNotifyThread = TSLNotifyThread::Create(this, TSLNotifyThreadEvent([](TSLNotifyThread*) {}));
    FProcessNotify = std::make_unique<TSLMainThreadNotify>(TNotifyEvent([this](TObject*) { ProcessQueue(false); }));
  }
}

TALAudioOut::~TALAudioOut() {
  FNotifyThread.reset();
  FProcessNotify.reset();
}

void TALAudioOut::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    if (FInputPin) FInputPin->Disconnect();
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
  FOnError = std::move(Value);
}

void TALAudioOut::SetOnWarning(TSLWarningEvent Value) {
  LockSection write = FLock->WriteLock();
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

void TALAudioOut::PushOperation(IOWNotifyOperation* Operation) {
  if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation); supplied && supplied->Buffer)
    if (auto buffer = queryInterface<IALAudioBuffer>(supplied->Buffer.get())) FQueuedBufferFrames += buffer->GetSize();
  FBufferQueue->Push(OperationRef(Operation));
}

OperationRef TALAudioOut::PopOperation() {
  OperationRef operation = FBufferQueue->Pop();
  if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(operation.get()); supplied && supplied->Buffer)
    if (auto buffer = queryInterface<IALAudioBuffer>(supplied->Buffer.get()))
      FQueuedBufferFrames -= std::min<std::uint64_t>(FQueuedBufferFrames, buffer->GetSize());
  return operation;
}

void TALAudioOut::Flush() {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  DoFlush();
}

void TALAudioOut::DoFlush() {
  while (FBufferQueue->ItemsCount() > 0) PopOperation();
  FStopping = 0;
  TALParamsSection params(*FParams);
  if (!FParams->GetIsOpen()) return;
  FStartResumed = false;
  FPaused = true;
  FStartInterval = 0;
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
    if (operationIs<TOWStopOperation>(Operation)) {
      ++FStopping;
      if (!FStartResumed && FPaused) {
        Resume();
        FStartResumed = true;
      }
    } else if (operationIs<TOWStartWaveOperation>(Operation)) {
      ++FStopping;
    }
    PushOperation(Operation);
  } else {
    // FStopped follows the stream even while nothing is queued: a start-wave that arrives once the
    // output is enabled again must wait only for a stop of a stream that is still running, never
    // for one that has come and gone (it would hold the queue, and the sound, for good).
    if (auto* start = operationAs<TOWStartWaveOperation>(Operation)) {
      SetWaveFormat(&start->WaveFormat);
      FStopped = false;
    } else if (operationIs<TOWStopOperation>(Operation)) {
      SetWaveFormat(nullptr);
      FStopped = true;
    }
  }
  if (!FResumed || !FStartResumed) ProcessQueue(false);
  {
    TALParamsSection params(*FParams);
    if (FStopping <= 0 && FParams->GetList().size() > 1) return {};
  }
  ProcessQueue(false);
  return {};
}

void TALAudioOut::ProcessQueue(bool FromDevice) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  while (OperationRef operation = PopOperation()) {
    if (!ProcessOperation(operation, FromDevice)) {
      FBufferQueue->PushBack(operation);
      if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(operation.get()); supplied && supplied->Buffer)
        if (auto buffer = queryInterface<IALAudioBuffer>(supplied->Buffer.get()))
          FQueuedBufferFrames += buffer->GetSize();
      break;
    }
  }
  if (FromDevice) SteerRate();
}

bool TALAudioOut::ProcessOperation(const OperationRef& Operation, bool FromDevice) {
  IOWNotifyOperation* op = Operation.get();
  if (auto* start = operationAs<TOWStartWaveOperation>(op)) {
    --FStopping;
    FStartResumed = false;
    FStartInterval = 0;
    FPaused = true;
    bool open;
    {
      TALParamsSection params(*FParams);
      open = FParams->GetIsOpen();
    }
    if (open && (!FStopped || FromDevice)) {
      ++FStopping;  // still pending
      if (FStopped && FromDevice && FProcessNotify) FProcessNotify->Notify();
      return false;
    }
    FResumed = false;
    OpenDevice(start->WaveFormat);
    FStopped = false;
  } else if (operationIs<TOWStartPumpOperation>(op)) {
    bool isPump;
    {
      TALParamsSection params(*FParams);
      isPump = FParams->GetIsPump();
    }
    if (isPump && FMasterPumping->Enabled()) {
      MasterPump();
      if (FPrefillInterval != 0) MasterPump();
    }
  } else if (operationIs<TOWStopOperation>(op)) {
    --FStopping;
    FStopped = true;
    if (!operationIs<TOWEndStopOperation>(op) && FNotifyThread) FNotifyThread->Notify();
  } else if (operationIs<TOWSLPauseOperation>(op)) {
    Pause();
  } else if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(op)) {
    { TALParamsSection params(*FParams); }
    if (supplied->Buffer) PlayBuffer(TALAudioBuffer::CreateUniversal(supplied->Buffer.get()));
    if (FMasterPumping->Enabled() && !FStartResumed) MasterPump();
  }
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

void TALAudioOut::MasterPump() {
  if (FInputPin) FInputPin->MasterPump(this);
}

void TALAudioOut::OpenDevice(const TALWaveFormatExtensible& AFormat) {
  if (!FEnabled) return;
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
  // A device that went away is not looked for again: the next start plays on the default device.
  const int deviceId = FDeviceLost ? kWaveMapper : FDevice->GetDeviceID();
  FDeviceLost = false;
  TALWaveThread* thread = FWaveThread.get();
  HOut = 0;
  const MMResult result = waveOutOpen(
      &HOut, deviceId, deviceFormatOf(AFormat),
      [thread](WaveOutHandle hwo, WaveOutMessage uMsg, WaveHeader* hdr) { thread->Append(uMsg, hwo, hdr); },
      WaveOutStart::Paused);
  SetWaveFormat(&AFormat);
  FSampleRate = AFormat.Format.nSamplesPerSec;
  FAverageDepthMs = -1.0;
  if (result != kMMNoError) {
    params.Leave();
    Error("Can't open audio device.", result);
    return;
  }
  if (const MMResult paused = waveOutPause(HOut); paused != kMMNoError) {
    params.Leave();
    Error("Can't pause audio device.", paused);
  }
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
  if (!FStartResumed) {
    const std::uint32_t rate = ABuffer->GetSampleRate();
    if (rate != 0) FStartInterval += static_cast<std::uint32_t>(ABuffer->GetSize() * 1000u) / rate;
    if (FStartInterval > static_cast<std::int64_t>(FPrefillInterval)) {
      if (FPaused) Resume();
      FStartResumed = true;
    }
  }
}

void TALAudioOut::Pause() {
  FPaused = true;
  waveOutPause(HOut);
}

void TALAudioOut::Resume() {
  if (!FEnabled || !FPaused) return;
  // Without a device (none opened yet, or its open failed) there is nothing to restart and no reason
  // to raise: a stop arriving before any start-wave must not fail.
  if (HOut == 0) return;
  FResumed = true;
  FPaused = false;
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
  if (!FEnabled) return;
  FStartResumed = false;
  FStartInterval = 0;
  FPaused = true;
  if (!FWaveFormat) {
    Pause();
    return;
  }
  FResumed = false;
  const TALWaveFormatExtensible format = *FWaveFormat;
  // Reopening in the stored format starts no stream: whether that stream has stopped stays as it was.
  OpenDevice(format);
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
  bool ticks;
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen()) return;
    isPump = FParams->GetIsPump();
    ticks = isPump || (FClockOutputPin && FClockOutputPin->IsConnected());
  }
  // Upstream may deliver the next buffer back into InputNotify on this thread: no parameter lock here.
  if (ticks) {
    {
      LockSection write = FLock->WriteLock();
      if (write && FPaused) ++FMissedPumps;
    }
    if (FClockOutputPin) FClockOutputPin->Clock();
    if (isPump) MasterPump();
  }
  bool drained;
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen()) return;
    waveOutUnprepareHeader(hwo, AWaveHdr);
    auto* item = static_cast<TALWaveBuffer*>(AWaveHdr->user);
    std::erase_if(FParams->GetList(), [item](const auto& entry) { return entry.get() == item; });
    drained = FStopped && FParams->GetList().empty();
  }
  if (drained && FNotifyThread) FNotifyThread->Notify();
  ProcessQueue(true);
}

void TALAudioOut::DeviceLost() {
  {
    TALParamsSection params(*FParams);
    if (!FParams->GetIsOpen()) return;
    FDeviceLost = true;
  }
  Warning("Audio device lost.", kMMNoDriver);
}

void TALAudioOut::SteerRate() {
  TALParamsSection params(*FParams);
  if (!FParams->GetIsOpen() || HOut == 0 || FSampleRate == 0 || FPaused) return;
  // Pumping, the device's clock paces the source itself: there is no second clock to follow, and the
  // samples go to the device untouched.
  if (FParams->GetIsPump()) {
    waveOutSetRateAdjust(HOut, 0.0);
    return;
  }
  WaveOutStatus status;
  if (waveOutGetStatus(HOut, status) != kMMNoError || status.deviceLost) return;
  const double depthMs = static_cast<double>(status.queuedFrames + FQueuedBufferFrames) * 1000.0 / FSampleRate;
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
    thread = FWaveThread.get();
  }
  if (thread) thread->WaitUntilIdle();
}

std::uint64_t TALAudioOut::QueuedFrames() {
  LockSection write = FLock->WriteLock();
  TALParamsSection params(*FParams);
  WaveOutStatus status;
  if (!FParams->GetIsOpen() || HOut == 0 || waveOutGetStatus(HOut, status) != kMMNoError) return FQueuedBufferFrames;
  return status.queuedFrames + FQueuedBufferFrames;
}

bool TALAudioOut::GetDeviceStatus(WaveOutStatus& AStatus) {
  TALParamsSection params(*FParams);
  return FParams->GetIsOpen() && HOut != 0 && waveOutGetStatus(HOut, AStatus) == kMMNoError;
}

}  // namespace sib
