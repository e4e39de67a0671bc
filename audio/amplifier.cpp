#include "audio/amplifier.h"

#include "platform/components/filer.h"

namespace sib {

// ---- TALCommonFilter --------------------------------------------------------------------------------

TALCommonFilter::TALCommonFilter(TComponent* AOwner) : TSLBasicCommonFilter(AOwner) {
  FInputPin = makePin<TALOWAudioSinkPin>(
      this, FLock.get(), [this](TOWBasicPin* Sender, const TGUID* ID, IOWNotifyOperation* Op, TOWNotifyState State) {
        return InputNotification(Sender, ID, Op, State);
      });
  FOutputPin = makePin<TALOWAudioSourcePin>(
      this, FLock.get(), [this](TOWBasicPin* Sender, const TGUID* ID, IOWNotifyOperation* Op, TOWNotifyState State) {
        return OutputNotification(Sender, ID, Op, State);
      });
  FOutputPin->FunctionSources().Add(FInputPin.get());
  FWaveFormat = TOWStartWaveOperation::DefaultWaveFormat();
}

void TALCommonFilter::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    if (FInputPin) FInputPin->Disconnect();
  }
  TSLBasicCommonFilter::BeforeDestruction();
}

void TALCommonFilter::DestroyPins() {
  FOutputPin.reset();
  FInputPin.reset();
  TSLBasicCommonFilter::DestroyPins();
}

void TALCommonFilter::StampTime(IALAudioBuffer* ABuffer) {
  TMLTimeStamp* stamp = ABuffer->GetTimeStamp();
  if (stamp->Available()) {
    FCurrentTime = stamp->EndTime();
    return;
  }
  stamp->SetAvailable(true);
  stamp->SetBeginTime(FCurrentTime);
  if (const std::uint32_t rate = ABuffer->GetSampleRate(); rate != 0)
    FCurrentTime += static_cast<std::int64_t>(ABuffer->GetSize()) * 10'000'000 / rate;
  stamp->SetEndTime(FCurrentTime);
}

TOWNotifyResult TALCommonFilter::InputNotification(TOWBasicPin*, const TGUID*, IOWNotifyOperation* Operation,
                                                   TOWNotifyState State) {
  LockSection write = FLock->WriteLock();
  if (!write) return {};
  if (auto* start = operationAs<TOWStartWaveOperation>(Operation)) {
    StartWave(start);
    return {};
  }
  if (operationIs<TOWStopOperation>(Operation)) {
    StopThread();
    return FOutputPin ? FOutputPin->Notify(Operation) : TOWNotifyResult{};
  }
  if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation)) {
    if (!supplied->Buffer) return {};
    RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateUniversal(supplied->Buffer.get());
    const bool hadStamp = buffer->GetTimeStamp()->Available();
    StampTime(buffer.get());
    if (hadStamp) return ProcessSuppliedBuffer(Operation, State);
    OperationRef stamped = newOperation<TOWSuppliedBufferOperation>(buffer->AsDataIntf());
    return ProcessSuppliedBuffer(stamped.get(), State);
  }
  return FOutputPin ? FOutputPin->Notify(Operation) : TOWNotifyResult{};
}

void TALCommonFilter::StartWave(TOWStartWaveOperation* AOperation) {
  LockSection write = FLock->WriteLock();
  if (!write) return;
  FCurrentTime = 0;
  FWaveFormat = AOperation->WaveFormat;
  FRunning = true;
  if (ForwardsStartWave()) {
    FStartSent = true;
    if (FOutputPin) FOutputPin->Notify(AOperation);
  }
  StartThread();
}

TOWNotifyResult TALCommonFilter::ForwardMasterPump(IOWNotifyOperation* AOperation) {
  return FInputPin ? FInputPin->Notify(AOperation) : TOWNotifyResult{};
}

TOWNotifyResult TALCommonFilter::OutputNotification(TOWBasicPin* Sender, const TGUID* DataTypeID,
                                                    IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (operationIs<TOWMasterPumpOperation>(Operation)) return ForwardMasterPump(Operation);
  if (FInputPin && FInputPin->IsConnected()) return FInputPin->Notify(Operation);
  return InputNotification(Sender, DataTypeID, Operation, State);
}

TOWNotifyResult TALCommonFilter::ProcessOperation(IOWNotifyOperation* Operation) {
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation);
  if (!supplied || !supplied->Buffer) return {};
  RefPtr<TALAudioBuffer> buffer = TALAudioBuffer::CreateUniversal(supplied->Buffer.get());
  return ProcessDataBuffer(buffer->AsDataBufferIntf());
}

TOWNotifyResult TALCommonFilter::ProcessData(ISLDataBuffer* AIn, ISLDataBuffer* AOut) {
  RefPtr<IALAudioBuffer> in = queryInterface<IALAudioBuffer>(AIn);
  RefPtr<IALAudioBuffer> out = queryInterface<IALAudioBuffer>(AOut);
  bool send = true;
  if (FEnabled && in && out) {
    const bool active = !SkipWhenUnconnected() || (FOutputPin && FOutputPin->IsConnected());
    DoProcessAudio(in.get(), out, active, send);
  }
  if (!send || !FOutputPin) return {};
  return FOutputPin->SubmitBuffer(out ? static_cast<ISLData*>(out.get()) : static_cast<ISLData*>(AOut));
}

void TALCommonFilter::DoProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool AActive, bool& ASend) {
  if (AActive) ProcessAudio(AIn, AOut, ASend);
}

void TALCommonFilter::StopThread() {
  TSLBasicCommonFilter::StopThread();
  FStartSent = false;
  FCurrentTime = 0;
}

// ---- TALAmplifier -----------------------------------------------------------------------------------

TALAmplifier::TALAmplifier(TComponent* AOwner) : TALCommonFilter(AOwner) {}

void TALAmplifier::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    if (FInputPin) FInputPin->Disconnect();
  }
  TALCommonFilter::BeforeDestruction();
}

void TALAmplifier::DefineProperties(TFiler& Filer) {
  TALCommonFilter::DefineProperties(Filer);
  Filer.DefineProperty(
      "CoefficientValue",
      [this](TReader& Reader) {
        const double value = Reader.ReadFloat();
        LockSection write = FLock->WriteLock();
        if (write) FCoefficient = value;
      },
      {}, false);
}

void TALAmplifier::ProcessAudio(IALAudioBuffer* AIn, RefPtr<IALAudioBuffer>& AOut, bool& ASend) {
  AOut->Assign(AIn);
  LockSection write = FLock->WriteLock();
  // Without the lock the block is dropped rather than sent on unscaled, at the recorded level.
  if (!write) {
    ASend = false;
    return;
  }
  AOut->MultiplyReal(FCoefficient);
}

}  // namespace sib
