#include "signal/signal_pins.h"

#include <cmath>
#include <mutex>
#include <vector>

#include "platform/core/format.h"
#include "signal/block_buffer.h"
#include "signal/complex_buffer.h"
#include "signal/integer_buffer.h"
#include "signal/real_buffer.h"
#include "signal/real_matrix_buffer.h"

namespace sib {
namespace {

// ---- Stream entries ---------------------------------------------------------------------------------

struct StreamEntries {
  std::mutex Lock;
  std::vector<TSLOWStreamTypeEntry> Entries;
};

StreamEntries& streamEntries() {
  static StreamEntries entries;
  return entries;
}

template <class Buffer>
RefPtr<ISLData> createBuffer(std::uint32_t AElementCount) {
  RefPtr<Buffer> buffer = Buffer::CreateSize(AElementCount);
  return RefPtr<ISLData>(buffer->AsDataIntf());
}

void releaseBuffer(RefPtr<ISLData>& ABuffer) { ABuffer.reset(); }

TOWNotifyResult dispatchToGeneric(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                  TOWNotifyState State) {
  auto* generic = streamAs<IOWSLGenericStream>(Handler);
  return generic ? generic->DispatchData(DataTypeID, Operation, State) : TOWNotifyResult{};
}

// The divisor of a start's sample rate for a receiver of real (8) or integer (4) data; 0 otherwise.
double sampleRateDivisorFor(IOWStream* Handler) {
  if (Handler->QueryInterface(IOWSLRealStream::IID)) return 8.0;
  if (Handler->QueryInterface(IOWSLIntegerStream::IID)) return 4.0;
  return 0.0;
}

RefPtr<ISLData> asData(ISLData* AData) { return RefPtr<ISLData>(AData); }

void registerOnce() {
  OWRegisterStreamType(IOWSLChannelStream::IID, "SL Generic stream");
  OWRegisterStreamType(IOWSLBinaryStream::IID, "SL binary array");
  OWRegisterStreamType(IOWSLRealStream::IID, "SL real array");
  OWRegisterStreamType(IOWSLIntegerStream::IID, "SL integer array");
  OWRegisterStreamType(IOWSLComplexStream::IID, "SL complex array");
  OWRegisterStreamType(IOWSLStringStream::IID, "SL String");
  OWRegisterStreamType(IOWSLRealMatrixStream::IID, "SL Real Matrix");
  OWRegisterStreamType(IOWSLUniversalStream::IID, "SL Universal stream");
  OWRegisterStreamType(IID_OWSLPairedBuffersStream, "SL Paired Buffers stream");
  OWRegisterStreamType(IID_OWUserControlStream, "User control stream");
  for (const TGUID& id : {IOWSLChannelStream::IID, IOWSLBinaryStream::IID, IOWSLRealStream::IID,
                          IOWSLIntegerStream::IID, IOWSLComplexStream::IID, IOWSLStringStream::IID,
                          IID_OWSLPairedBuffersStream, IOWSLRealMatrixStream::IID})
    OWRegisterStreamTypeSendFunction(id, &SLSendSignal);

  SLRegisterStreamTypeEntry(IOWSLChannelStream::IID, 1, &createBuffer<TSLBlockBuffer>, &releaseBuffer);
  SLRegisterStreamTypeEntry(IOWSLBinaryStream::IID, 1, &createBuffer<TSLBlockBuffer>, &releaseBuffer);
  SLRegisterStreamTypeEntry(IOWSLRealStream::IID, 8, &createBuffer<TSLRealBuffer>, &releaseBuffer);
  SLRegisterStreamTypeEntry(IOWSLIntegerStream::IID, 4, &createBuffer<TSLIntegerBuffer>, &releaseBuffer);
  SLRegisterStreamTypeEntry(IOWSLComplexStream::IID, 16, &createBuffer<TSLComplexBuffer>, &releaseBuffer);

  OWRegisterFormatConverter(IOWSLIntegerStream::IID, IOWSLBinaryStream::IID,
                            &createFormatConverter<TSLOWIntToBinaryFormatConverter>);
  OWRegisterFormatConverter(IOWSLRealStream::IID, IOWSLBinaryStream::IID,
                            &createFormatConverter<TSLOWRealToBinaryFormatConverter>);
  OWRegisterFormatConverter(IOWSLComplexStream::IID, IOWSLBinaryStream::IID,
                            &createFormatConverter<TSLOWComplexToBinaryFormatConverter>);
  OWRegisterFormatConverter(IOWSLIntegerStream::IID, IOWSLRealStream::IID,
                            &createFormatConverter<TSLOWIntToRealFormatConverter>);
  OWRegisterFormatConverter(IOWDateTimeStream::IID, IOWSLStringStream::IID,
                            &createFormatConverter<TSLOWTimeToStringFormatConverter>);
  OWRegisterFormatConverter(IOWIntegerStream::IID, IOWSLStringStream::IID,
                            &createFormatConverter<TSLOWIntegerToStringFormatConverter>);
  OWRegisterFormatConverter(IOWRealStream::IID, IOWSLStringStream::IID,
                            &createFormatConverter<TSLOWRealToStringFormatConverter>);
  OWRegisterFormatConverter(IOWSLRealStream::IID, IOWSLRealMatrixStream::IID,
                            &createFormatConverter<TSLOWRealToRealMatrixFormatConverter>);
}

}  // namespace

// ---- Registries -------------------------------------------------------------------------------------

void SLRegisterSignalStreamTypes() {
  static std::once_flag once;
  std::call_once(once, registerOnce);
}

void SLRegisterStreamTypeEntry(const TGUID& ID, std::uint32_t AElementSize, TSLCreateBufferFunc ACreate,
                               TSLReleaseBufferFunc ARelease) {
  StreamEntries& r = streamEntries();
  std::lock_guard guard(r.Lock);
  for (TSLOWStreamTypeEntry& entry : r.Entries) {
    if (entry.ID != ID) continue;
    entry.CreateBuffer = ACreate;
    entry.ReleaseBuffer = ARelease;
    return;
  }
  r.Entries.push_back({ID, AElementSize, ACreate, ARelease});
}

std::optional<TSLOWStreamTypeEntry> SLFindStreamTypeEntry(const TGUID& ID) {
  StreamEntries& r = streamEntries();
  std::lock_guard guard(r.Lock);
  for (const TSLOWStreamTypeEntry& entry : r.Entries)
    if (entry.ID == ID) return entry;
  return std::nullopt;
}

std::vector<TSLOWStreamTypeEntry> SLStreamTypeEntries() {
  StreamEntries& r = streamEntries();
  std::lock_guard guard(r.Lock);
  return r.Entries;
}

// ---- Send functions ---------------------------------------------------------------------------------

TOWNotifyResult SLSendSignal(TOWBasicPin*, IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                             TOWNotifyState State) {
  if (State.Contains(nsNewLink) || !Handler) return {};
  if (auto* start = operationAs<TOWStartSampleRateOperation>(Operation)) {
    // The receiver decides, whatever the sender offers: a consumer of real or integer data sees the
    // rate of its own elements, and only a plain start (no subclass fields) reaches it.
    if (const double divisor = sampleRateDivisorFor(Handler); divisor != 0.0) {
      OperationRef scaled = newOperation<TOWStartSampleRateOperation>(start->SampleRate / divisor);
      return dispatchToGeneric(Handler, DataTypeID, scaled.get(), State);
    }
  }
  return dispatchToGeneric(Handler, DataTypeID, Operation, State);
}

TOWNotifyResult SLDispatchToSink(TOWBasicPin* Sender, IOWStream* Handler, const TGUID* DataTypeID,
                                 IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (State.Contains(nsNewLink) || !Handler) return {};
  if (DataTypeID) {
    if (TOWGlobalSubmit send = OWStreamTypeSendFunction(*DataTypeID)) return send(Sender, Handler, DataTypeID, Operation, State);
  }
  if (auto* generic = streamAs<IOWSLGenericStream>(Handler)) return generic->DispatchData(DataTypeID, Operation, State);
  if (auto* data = streamAs<IOWDataStream>(Handler)) return data->DispatchData(DataTypeID, Operation, State);
  return {};
}

// ---- TSLOWSourcePin ---------------------------------------------------------------------------------

TSLOWSourcePin::TSLOWSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent,
                               TNotifyEvent AOnConnect)
    : TOWPinStreams(AOwner, AOwnerLock), FOnConnect(std::move(AOnConnect)), FOperationEvent(std::move(AOperationEvent)) {
  SLRegisterSignalStreamTypes();
  AddStreamType(IOWClockStream::IID, TOWSubmit::Bind<&TSLOWSourcePin::ClockDispatch>(this));
  AddStreamType(IOWSLUniversalStream::IID, DataSubmit());
}

TOWNotifyResult TSLOWSourcePin::DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                             TOWNotifyState State) {
  return FOperationEvent ? FOperationEvent(this, DataTypeID, Operation, State) : TOWNotifyResult{};
}

TOWNotifyResult TSLOWSourcePin::ClockDispatch(IOWStream* Handler, const TGUID* DataTypeID,
                                              IOWNotifyOperation* Operation, TOWNotifyState State) {
  // A clock sink sees every notification as a tick, new links included; its answer stays with it.
  if (auto* clock = streamAs<IOWClockStream>(Handler)) clock->DispatchData(DataTypeID, Operation, State);
  return {};
}

TOWNotifyResult TSLOWSourcePin::Notify(IOWNotifyOperation* Operation) {
  const TOWNotifyResult result = TOWSourcePin::Notify(Operation);
  if (operationIs<TOWStartOperation>(Operation)) {
    LockSection write = WriteLock();
    FStartOperation = OperationRef(Operation);
  } else if (operationIs<TOWStopOperation>(Operation)) {
    LockSection write = WriteLock();
    FStartOperation.reset();
  }
  return result;
}

TOWNotifyResult TSLOWSourcePin::SubmitBuffer(ISLData* ABuffer) {
  try {
    OperationRef operation = newOperation<TOWSuppliedBufferOperation>(ABuffer);
    return Notify(operation.get());
  } catch (...) {
    // The producer goes on whatever a consumer downstream does with the buffer.
    return {};
  }
}

void TSLOWSourcePin::Stop() { Notify(newOperation<TOWStopOperation>()); }
void TSLOWSourcePin::EndStop() { Notify(newOperation<TOWEndStopOperation>()); }

OperationRef TSLOWSourcePin::StartOperation() {
  LockSection read = ReadLock();
  return FStartOperation;
}

void TSLOWSourcePin::SendTo(TOWBasicPin* APin, const OperationRef& AOperation) {
  if (!APin || !AOperation) return;
  // The connecting side may hold this pin's write section; receivers must not run under it.
  LockSection ownGivenUp = UnlockAll();
  SendToSinks(APin, AOperation.get());
}

void TSLOWSourcePin::AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) {
  TOWSourcePin::AddConnection(APin, AAfterPin);
  SendTo(APin, StartOperation());
  if (FOnConnect) FOnConnect(this);
}

void TSLOWSourcePin::RemoveConnection(TOWBasicPin* APin, bool AKeep) {
  if (APin && !FInDisconnect.load()) SendStopWhileLeaving(APin);
  TOWSourcePin::RemoveConnection(APin, AKeep);
}

void TSLOWSourcePin::SendStopWhileLeaving(TOWBasicPin* APin) {
  // The leaving sink may already hold this pin's destroy lock, which refuses ordinary sends; the
  // connection entry is used directly, and the caller keeps both pins alive meanwhile.
  TOWPinEntry entry;
  {
    LockSection read = ReadLock();
    bool found = false;
    for (const TOWPinEntry& e : FSinkPins) {
      if (e.RealPin != APin) continue;
      entry = e;
      found = true;
      break;
    }
    if (!found || !entry.SubmitFunction || !entry.ConnectionPin) return;
  }
  OperationRef stop = newOperation<TOWStopOperation>();
  LockSection ownGivenUp = UnlockAll();
  LockSection ownerGivenUp = FOwnerLock ? FOwnerLock->UnlockAll() : LockSection();
  entry.SubmitFunction(entry.ConnectionPin->StreamIntf(), &entry.ConnectedID, stop.get(),
                       TOWNotifyState{nsLastIteration});
}

// ---- TSLOWSinkPin -----------------------------------------------------------------------------------

TSLOWSinkPin::TSLOWSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent)
    : TOWPinStreams(AOwner, AOwnerLock), FOperationEvent(std::move(AOperationEvent)) {
  SLRegisterSignalStreamTypes();
  FIgnoreUpstream = true;
  AddStreamType(IOWSLUniversalStream::IID, DataSubmit());
}

TOWNotifyResult TSLOWSinkPin::DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                           TOWNotifyState State) {
  return FOperationEvent ? FOperationEvent(this, DataTypeID, Operation, State) : TOWNotifyResult{};
}

TOWNotifyResult TSLOWSinkPin::SinkDataDispatch(IOWStream* Handler, const TGUID* DataTypeID,
                                               IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (State.Contains(nsNewLink)) return {};
  return dispatchToGeneric(Handler, DataTypeID, Operation, State);
}

TOWNotifyResult TSLOWSinkPin::MasterPump(const void* ASender) {
  return Notify(newOperation<TOWMasterPumpOperation>(ASender));
}

// ---- Typed source pins ------------------------------------------------------------------------------

TSLOWRealSourcePin::TSLOWRealSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent,
                                       TNotifyEvent AOnConnect, bool AUseFloat)
    : TSLOWTypedPin(AOwner, AOwnerLock, std::move(AOperationEvent), std::move(AOnConnect)) {
  if (AUseFloat) AddStreamType(IOWFloatStream::IID, TOWSubmit::Bind<&TSLOWRealSourcePin::NotificationSingleThunk>(this));
  AddStreamType(IOWSLRealStream::IID, DataSubmit());
}

TOWNotifyResult TSLOWRealSourcePin::NotificationSingle(IOWStream* Handler, const TGUID* DataTypeID,
                                                       IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (State.Contains(nsNewLink)) return {};
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation);
  auto* receiver = streamAs<IOWFloatStream>(Handler);
  if (!supplied || !receiver || !supplied->Buffer) return {};
  RefPtr<ISLRealBuffer> real = queryInterface<ISLRealBuffer>(supplied->Buffer.get());
  // An empty buffer has no first element to send.
  if (!real || real->GetSize() == 0) return {};
  OperationRef single = newOperation<TOWSuppliedSingleOperation>(static_cast<float>(real->GetItem(0)));
  return receiver->DispatchData(DataTypeID, single.get(), State);
}

TSLOWStringSourcePin::TSLOWStringSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent,
                                           TNotifyEvent AOnConnect)
    : TSLOWTypedPin(AOwner, AOwnerLock, std::move(AOperationEvent), std::move(AOnConnect)) {
  AddStreamType(IOWStringStream::IID, TOWSubmit::Bind<&TSLOWStringSourcePin::NotificationStringThunk>(this));
  AddStreamType(IOWSLStringStream::IID, DataSubmit());
}

TOWNotifyResult TSLOWStringSourcePin::NotificationString(IOWStream* Handler, const TGUID* DataTypeID,
                                                         IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (State.Contains(nsNewLink) || !operationIs<TOWSuppliedOperation>(Operation)) return {};
  auto* receiver = streamAs<IOWStringStream>(Handler);
  return receiver ? receiver->DispatchData(DataTypeID, Operation, State) : TOWNotifyResult{};
}

// ---- Converters -------------------------------------------------------------------------------------

TSLOperationEvent TSLOWFormatConverter::InputEvent() {
  return [this](TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) {
    return InputOperation(Sender, DataTypeID, Operation, State);
  };
}

TSLOperationEvent TSLOWFormatConverter::OutputEvent() {
  return [this](TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) {
    return OutputOperation(Sender, DataTypeID, Operation, State);
  };
}

TOWNotifyResult TSLOWFormatConverter::InputOperation(TOWBasicPin*, const TGUID*, IOWNotifyOperation* Operation,
                                                     TOWNotifyState) {
  TOWSourcePin* output = OutputPin();
  if (!output) return {};
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation);
  if (!supplied || !supplied->Buffer) return output->Notify(Operation);
  RefPtr<ISLData> converted = ConvertBuffer(supplied->Buffer.get());
  if (!converted) return {};
  OperationRef forward = newOperation<TOWSuppliedBufferOperation>(converted.get());
  return output->Notify(forward.get());
}

TOWNotifyResult TSLOWFormatConverter::OutputOperation(TOWBasicPin*, const TGUID*, IOWNotifyOperation* Operation,
                                                      TOWNotifyState) {
  // What the consumer sends back goes on to the producer.
  TOWSinkPin* input = InputPin();
  return input ? input->Notify(Operation) : TOWNotifyResult{};
}

RefPtr<ISLData> TSLOWIntToBinaryFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  return asData(TSLBlockBuffer::CreateUniversal(ABuffer)->AsDataIntf());
}

RefPtr<ISLData> TSLOWRealToBinaryFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  return asData(TSLBlockBuffer::CreateUniversal(ABuffer)->AsDataIntf());
}

RefPtr<ISLData> TSLOWComplexToBinaryFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  return asData(TSLBlockBuffer::CreateUniversal(ABuffer)->AsDataIntf());
}

RefPtr<ISLData> TSLOWIntToRealFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  RefPtr<ISLIntegerBuffer> integers = queryInterface<ISLIntegerBuffer>(ABuffer);
  if (!integers) return {};
  return asData(TSLRealBuffer::CreateIntegerData(integers->Read(), integers->GetSize())->AsDataIntf());
}

RefPtr<ISLData> TSLOWRealToRealMatrixFormatConverter::ConvertBuffer(ISLData* ABuffer) {
  return asData(TSLRealMatrixBuffer::CreateUniversal(ABuffer)->AsDataIntf());
}

std::string TSLOWTimeToStringFormatConverter::Text(TDateTime AValue) {
  // Days since 1899-12-30 and the fraction of the day, to the second.
  const double totalSeconds = std::floor(AValue * 86400.0 + 0.5);
  const auto days = static_cast<std::int64_t>(std::floor(totalSeconds / 86400.0));
  const auto secondOfDay = static_cast<std::int64_t>(totalSeconds - static_cast<double>(days) * 86400.0);
  // Civil date from a day count (days since 1970-01-01 after shifting the epoch).
  std::int64_t z = days - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return formatText("%.4d-%.2d-%.2d %.2d:%.2d:%.2d",
                    {year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60});
}

std::string TSLOWIntegerToStringFormatConverter::Text(std::int32_t AValue) { return std::to_string(AValue); }

std::string TSLOWRealToStringFormatConverter::Text(double AValue) { return formatText("%g", {AValue}); }

}  // namespace sib
