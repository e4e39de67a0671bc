#include "framework/value_pins.h"

#include "platform/core/numeric.h"

namespace sib {
namespace {

constexpr double kMillisecondsPerDay = 86'400'000.0;

TOWNotifyResult dispatchTo(IOWBasicStream* AStream, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                           TOWNotifyState State) {
  return AStream ? AStream->DispatchData(DataTypeID, Operation, State) : TOWNotifyResult{};
}

TOWNotifyResult sendDataStream(TOWBasicPin*, IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                               TOWNotifyState State) {
  return dispatchTo(streamAs<IOWDataStream>(Handler), DataTypeID, Operation, State);
}

TOWNotifyResult submitToStream(void*, IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                               TOWNotifyState State) {
  return OWSubmitToStream(Handler, DataTypeID, Operation, State);
}

}  // namespace

void OWRegisterStandardStreamTypes() {
  OWRegisterStreamType(IOWClockStream::IID, "Clock");
  OWRegisterStreamType(IOWIntegerStream::IID, "32 bit Integer single");
  OWRegisterStreamType(IOWInt64Stream::IID, "64 bit Integer single");
  OWRegisterStreamType(IOWFloatStream::IID, "Float single");
  OWRegisterStreamType(IOWRealStream::IID, "Real single");
  OWRegisterStreamType(IID_OWRealComplexStream, "Real Complex single");
  OWRegisterStreamType(IOWBoolStream::IID, "Boolean single");
  OWRegisterStreamType(IID_OWCharacterStream, "Character single");
  OWRegisterStreamType(IOWStringStream::IID, "Sting");
  OWRegisterStreamType(IOWIntRangedStream::IID, "Ranged 32 bit Integer single");
  OWRegisterStreamType(IOWInt64RangedStream::IID, "Ranged 64 bit Integer single");
  OWRegisterStreamType(IOWRealRangedStream::IID, "Ranged Real single");
  OWRegisterStreamType(IOWDateTimeStream::IID, "Date/Time");
  OWRegisterStreamTypeSendFunction(IOWDataStream::IID, &sendDataStream);

  OWRegisterFormatConverter(IOWIntegerStream::IID, IOWFloatStream::IID, &createFormatConverter<TOWIntToFloatFormatConverter>);
  OWRegisterFormatConverter(IOWIntegerStream::IID, IOWRealStream::IID, &createFormatConverter<TOWIntToRealFormatConverter>);
  OWRegisterFormatConverter(IOWInt64Stream::IID, IOWFloatStream::IID, &createFormatConverter<TOWInt64ToFloatFormatConverter>);
  OWRegisterFormatConverter(IOWInt64Stream::IID, IOWRealStream::IID, &createFormatConverter<TOWInt64ToRealFormatConverter>);
  OWRegisterFormatConverter(IOWFloatStream::IID, IOWRealStream::IID, &createFormatConverter<TOWFloatToRealFormatConverter>);
  OWRegisterFormatConverter(IOWIntRangedStream::IID, IOWRealRangedStream::IID,
                            &createFormatConverter<TOWIntToRealRangedFormatConverter>);
  OWRegisterFormatConverter(IOWInt64RangedStream::IID, IOWRealRangedStream::IID,
                            &createFormatConverter<TOWInt64ToRealRangedFormatConverter>);
}

TOWNotifyResult OWSubmitToStream(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                 TOWNotifyState State) {
  if (!Handler || !DataTypeID || *DataTypeID == GUID_NULL || !Handler->QueryInterface(*DataTypeID)) return {};
  return dispatchTo(streamAs<IOWBasicStream>(Handler), DataTypeID, Operation, State);
}

TOWSubmit OWStreamSubmit() { return TOWSubmit(&submitToStream, nullptr); }

// ---- TOWClockSourcePin ----------------------------------------------------------------------------

TOWClockSourcePin::TOWClockSourcePin(TComponent* AOwner, IOWLock* AOwnerLock,
                                     TOWClockPinNotificationEvent APinNotificationEvent)
    : TOWPinStreams(AOwner, AOwnerLock), FPinNotificationEvent(std::move(APinNotificationEvent)) {
  AddStreamType(IOWClockStream::IID, TOWSubmit::Bind<&TOWClockSourcePin::SubmitClock>(this));
}

void TOWClockSourcePin::Clock() { Notify(newOperation<TOWClockOperation>()); }

TOWNotifyResult TOWClockSourcePin::SubmitClock(IOWStream* Handler, const TGUID* DataTypeID,
                                               IOWNotifyOperation* Operation, TOWNotifyState State) {
  dispatchTo(streamAs<IOWClockStream>(Handler), DataTypeID, Operation, State);
  return {};
}

TOWNotifyResult TOWClockSourcePin::DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                                TOWNotifyState State) {
  return FPinNotificationEvent ? FPinNotificationEvent(this, DataTypeID, Operation, State) : TOWNotifyResult{};
}

// ---- TOWFloatSourcePin ----------------------------------------------------------------------------

TOWFloatSourcePin::TOWFloatSourcePin(TComponent* AOwner, IOWLock* AOwnerLock,
                                     TOWFloatPinNotificationEvent APinNotificationEvent)
    : TOWClockSourcePin(AOwner, AOwnerLock), FFloatNotificationEvent(std::move(APinNotificationEvent)) {
  AddStreamType(IOWFloatStream::IID, TOWSubmit::Bind<&TOWFloatSourcePin::SubmitFloatType>(this));
}

void TOWFloatSourcePin::SetValue(float AValue) {
  if (FValue.exchange(AValue) == AValue) return;
  Notify(newOperation<TOWSuppliedSingleOperation>(AValue));
}

void TOWFloatSourcePin::SubmitFloat(float AValue) {
  FValue.store(AValue);
  Notify(newOperation<TOWSuppliedSingleOperation>(AValue));
}

TOWNotifyResult TOWFloatSourcePin::SubmitFloatType(IOWStream* Handler, const TGUID* DataTypeID,
                                                   IOWNotifyOperation* Operation, TOWNotifyState State) {
  auto* stream = streamAs<IOWFloatStream>(Handler);
  if (!stream) return {};
  if (FFloatNotificationEvent) return FFloatNotificationEvent(Handler, DataTypeID, Operation, State);
  if (State.Contains(nsNewLink)) {
    OperationRef current = newOperation<TOWSuppliedSingleOperation>(FValue.load());
    stream->DispatchData(DataTypeID, current.get(), State);
  } else {
    stream->DispatchData(DataTypeID, Operation, State);
  }
  return {};
}

// ---- TOWRealSourcePin -----------------------------------------------------------------------------

TOWRealSourcePin::TOWRealSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TOWPinNotificationEvent APinNotificationEvent)
    : TOWClockSourcePin(AOwner, AOwnerLock), FValueNotificationEvent(std::move(APinNotificationEvent)) {
  AddStreamType(IOWFloatStream::IID, TOWSubmit::Bind<&TOWRealSourcePin::SubmitValueThunk>(this));
  AddStreamType(IOWRealStream::IID, TOWSubmit::Bind<&TOWRealSourcePin::SubmitValueThunk>(this));
}

void TOWRealSourcePin::SetValue(double AValue) {
  if (FValue.exchange(AValue) == AValue) return;
  Notify(newOperation<TOWSuppliedRealOperation>(AValue));
}

void TOWRealSourcePin::SubmitReal(double AValue) {
  FValue.store(AValue);
  Notify(newOperation<TOWSuppliedRealOperation>(AValue));
}

TOWNotifyResult TOWRealSourcePin::SubmitValue(IOWStream* Handler, const TGUID* DataTypeID,
                                              IOWNotifyOperation* Operation, TOWNotifyState State) {
  const bool newLink = State.Contains(nsNewLink);
  if (auto* real = streamAs<IOWRealStream>(Handler)) {
    if (FValueNotificationEvent) return FValueNotificationEvent(Handler, DataTypeID, Operation, State);
    if (newLink) {
      OperationRef current = newOperation<TOWSuppliedRealOperation>(FValue.load());
      real->DispatchData(DataTypeID, current.get(), State);
    } else {
      real->DispatchData(DataTypeID, Operation, State);
    }
    return {};
  }
  if (auto* single = streamAs<IOWFloatStream>(Handler)) {
    if (FValueNotificationEvent) return FValueNotificationEvent(Handler, DataTypeID, Operation, State);
    OperationRef converted;
    if (newLink) converted = newOperation<TOWSuppliedSingleOperation>(static_cast<float>(FValue.load()));
    else if (auto* supplied = operationAs<TOWSuppliedRealOperation>(Operation))
      converted = newOperation<TOWSuppliedSingleOperation>(static_cast<float>(supplied->Value));
    single->DispatchData(DataTypeID, converted ? converted.get() : Operation, State);
  }
  return {};
}

// ---- TOWRealRangedSourcePin -----------------------------------------------------------------------

TOWRealRangedSourcePin::TOWRealRangedSourcePin(TComponent* AOwner, IOWLock* AOwnerLock,
                                               TOWPinNotificationEvent APinNotificationEvent)
    : TOWRealSourcePin(AOwner, AOwnerLock, std::move(APinNotificationEvent)) {
  AddStreamType(IOWRealRangedStream::IID, TOWSubmit::Bind<&TOWRealRangedSourcePin::SubmitValueThunk>(this));
}

void TOWRealRangedSourcePin::SetValue(double AValue) {
  if (FValue.load() == AValue) return;
  SubmitValueRange(AValue, FMin.load(), FMax.load());
}

void TOWRealRangedSourcePin::SetMin(double AValue) {
  if (FMin.load() == AValue) return;
  SubmitRange(AValue, FMax.load());
}

void TOWRealRangedSourcePin::SetMax(double AValue) {
  if (FMax.load() == AValue) return;
  SubmitRange(FMin.load(), AValue);
}

void TOWRealRangedSourcePin::SubmitValueRange(double AValue, double AMin, double AMax) {
  FValue.store(AValue);
  FMin.store(AMin);
  FMax.store(AMax);
  Notify(newOperation<TOWSuppliedRealValueRangeOperation>(AValue, AMin, AMax));
}

void TOWRealRangedSourcePin::SubmitRange(double AMin, double AMax) {
  FMin.store(AMin);
  FMax.store(AMax);
  Notify(newOperation<TOWSuppliedRealRangeOperation>(AMin, AMax));
}

TOWNotifyResult TOWRealRangedSourcePin::SubmitValue(IOWStream* Handler, const TGUID* DataTypeID,
                                                    IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (streamAs<IOWRealStream>(Handler) || streamAs<IOWFloatStream>(Handler))
    return TOWRealSourcePin::SubmitValue(Handler, DataTypeID, Operation, State);
  auto* ranged = streamAs<IOWRealRangedStream>(Handler);
  if (!ranged) return {};
  if (FValueNotificationEvent) return FValueNotificationEvent(Handler, DataTypeID, Operation, State);
  if (State.Contains(nsNewLink)) {
    OperationRef current = newOperation<TOWSuppliedRealValueRangeOperation>(FValue.load(), FMin.load(), FMax.load());
    ranged->DispatchData(DataTypeID, current.get(), State);
  } else {
    ranged->DispatchData(DataTypeID, Operation, State);
  }
  return {};
}

// ---- Sinks ----------------------------------------------------------------------------------------

TOWClockSinkPin::TOWClockSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TOWClockEvent AOnClock,
                                 TOWClockPinNotificationEvent AOnPinNotificationEvent, void* ACustomData)
    : TOWPinStreams(AOwner, AOwnerLock),
      OnClock(std::move(AOnClock)),
      FOnPinNotificationEvent(std::move(AOnPinNotificationEvent)) {
  SetCustomData(ACustomData);
  AddStreamType(IOWClockStream::IID, TOWSubmit::Bind<&TOWClockSinkPin::SubmitClock>(this));
}

TOWNotifyResult TOWClockSinkPin::SubmitClock(IOWStream* Handler, const TGUID* DataTypeID,
                                             IOWNotifyOperation* Operation, TOWNotifyState State) {
  return dispatchTo(streamAs<IOWClockStream>(Handler), DataTypeID, Operation, State);
}

TOWNotifyResult TOWClockSinkPin::DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                              TOWNotifyState State) {
  TOWNotifyResult result;
  if (FOnPinNotificationEvent) result = FOnPinNotificationEvent(this, DataTypeID, Operation, State);
  if (operationIs<TOWClockOperation>(Operation)) OnClock(this);
  return result;
}

TOWNotifyResult TOWRealSinkPin::DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) {
  if (auto* real = operationAs<TOWSuppliedRealOperation>(Operation)) Store(real->Value);
  else if (auto* single = operationAs<TOWSuppliedSingleOperation>(Operation)) Store(static_cast<double>(single->Value));
  return {};
}

// ---- TOWBoolStatePin ------------------------------------------------------------------------------

TOWBoolStatePin::TOWBoolStatePin(TComponent* AOwner, IOWLock* AOwnerLock, TOWBoolChangeEvent AOnDataChange,
                                 void* ACustomData, TOWBoolPinNotificationEvent APinNotificationEvent)
    : TOWPinStreams(AOwner, AOwnerLock),
      OnDataChange(std::move(AOnDataChange)),
      FPinNotificationEvent(std::move(APinNotificationEvent)) {
  SetCustomData(ACustomData);
  AddStreamType(IOWBoolStream::IID, TOWSubmit::Bind<&TOWBoolStatePin::SubmitBool>(this));
}

void TOWBoolStatePin::SetValue(bool AValue) {
  if (FValue.exchange(AValue) == AValue) return;
  Notify(newOperation<TOWSuppliedBoolOperation>(AValue));
}

TOWNotifyResult TOWBoolStatePin::SubmitBool(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                            TOWNotifyState State) {
  if (auto* supplied = operationAs<TOWSuppliedBoolOperation>(Operation)) FValue.store(supplied->Value);
  auto* stream = streamAs<IOWBoolStream>(Handler);
  if (!stream) return {};
  if (FPinNotificationEvent) return FPinNotificationEvent(Handler, DataTypeID, Operation, State);
  if (State.Contains(nsNewLink)) {
    OperationRef current = newOperation<TOWSuppliedBoolOperation>(FValue.load());
    stream->DispatchData(DataTypeID, current.get(), State);
  } else {
    stream->DispatchData(DataTypeID, Operation, State);
  }
  return {};
}

TOWNotifyResult TOWBoolStatePin::DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) {
  if (auto* supplied = operationAs<TOWSuppliedBoolOperation>(Operation)) {
    FValue.store(supplied->Value);
    OnDataChange(this, supplied->Value);
  }
  return {};
}

// ---- TOWInt64TimeRangedStatePin -------------------------------------------------------------------

TOWInt64TimeRangedStatePin::TOWInt64TimeRangedStatePin(TComponent* AOwner, IOWLock* AOwnerLock,
                                                       TOWInt64DateTimeValueRangeChangeEvent AOnDataChange,
                                                       TOWInt64DateTimeRangeChangeEvent AOnRangeChange, void* ACustomData)
    : TOWPinStreams(AOwner, AOwnerLock), OnDataChange(std::move(AOnDataChange)), OnRangeChange(std::move(AOnRangeChange)) {
  SetCustomData(ACustomData);
  const TOWSubmit submit = TOWSubmit::Bind<&TOWInt64TimeRangedStatePin::SubmitState>(this);
  AddStreamType(IOWInt64Stream::IID, submit);
  AddStreamType(IOWInt64RangedStream::IID, submit);
  AddStreamType(IOWDateTimeStream::IID, submit);
  AddStreamType(IOWDateTimeRangedStream::IID, submit);
}

TDateTime TOWInt64TimeRangedStatePin::TimeValue() const {
  double offset = 0;
  if (FMax != FMin) {
    offset = static_cast<double>(roundHalfEven((FMaxTime - FMinTime) * kMillisecondsPerDay *
                                               static_cast<double>(FValue - FMin) / static_cast<double>(FMax - FMin)));
  }
  return (FMinTime * kMillisecondsPerDay + offset) / kMillisecondsPerDay;
}

void TOWInt64TimeRangedStatePin::SetValue(std::int64_t AValue) {
  if (AValue != FValue) SubmitValueRange(AValue, FMin, FMax, FMinTime, FMaxTime);
}
void TOWInt64TimeRangedStatePin::SetMin(std::int64_t AValue) {
  if (AValue != FMin) SubmitValueRange(FValue, AValue, FMax, FMinTime, FMaxTime);
}
void TOWInt64TimeRangedStatePin::SetMax(std::int64_t AValue) {
  if (AValue != FMax) SubmitValueRange(FValue, FMin, AValue, FMinTime, FMaxTime);
}
void TOWInt64TimeRangedStatePin::SetMinTime(TDateTime AValue) {
  if (AValue != FMinTime) SubmitValueRange(FValue, FMin, FMax, AValue, FMaxTime);
}
void TOWInt64TimeRangedStatePin::SetMaxTime(TDateTime AValue) {
  if (AValue != FMaxTime) SubmitValueRange(FValue, FMin, FMax, FMinTime, AValue);
}

void TOWInt64TimeRangedStatePin::SubmitValueRange(std::int64_t AValue, std::int64_t AMin, std::int64_t AMax,
                                                  TDateTime AMinTime, TDateTime AMaxTime) {
  FValue = AValue;
  FMin = AMin;
  FMax = AMax;
  FMinTime = AMinTime;
  FMaxTime = AMaxTime;
  Notify(newOperation<TOWSuppliedInt64ValueRangeOperation>(AValue, AMin, AMax));
  Notify(newOperation<TOWSuppliedDateTimeValueRangeOperation>(TimeValue(), AMinTime, AMaxTime));
}

void TOWInt64TimeRangedStatePin::SubmitRange(std::int64_t AMin, std::int64_t AMax, TDateTime AMinTime,
                                             TDateTime AMaxTime) {
  FMin = AMin;
  FMax = AMax;
  FMinTime = AMinTime;
  FMaxTime = AMaxTime;
  Notify(newOperation<TOWSuppliedInt64RangeOperation>(AMin, AMax));
  Notify(newOperation<TOWSuppliedDateTimeRangeOperation>(AMinTime, AMaxTime));
}

TOWNotifyResult TOWInt64TimeRangedStatePin::SubmitState(IOWStream* Handler, const TGUID* DataTypeID,
                                                        IOWNotifyOperation* Operation, TOWNotifyState State) {
  if (!Handler || !DataTypeID || !Handler->QueryInterface(*DataTypeID)) return {};
  OperationRef current;
  if (State.Contains(nsNewLink)) {
    if (*DataTypeID == IOWInt64Stream::IID || *DataTypeID == IOWInt64RangedStream::IID)
      current = newOperation<TOWSuppliedInt64ValueRangeOperation>(FValue, FMin, FMax);
    else
      current = newOperation<TOWSuppliedDateTimeValueRangeOperation>(TimeValue(), FMinTime, FMaxTime);
  }
  OWSubmitToStream(Handler, DataTypeID, current ? current.get() : Operation, State);
  return {};
}

TOWNotifyResult TOWInt64TimeRangedStatePin::DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) {
  if (auto* full = operationAs<TOWSuppliedInt64ValueRangeOperation>(Operation)) {
    FMin = full->Min;
    FMax = full->Max;
    FValue = full->Value;
    OnDataChange(this, FValue, FMin, FMax, FMinTime, FMaxTime, true);
  } else if (auto* range = operationAs<TOWSuppliedInt64RangeOperation>(Operation)) {
    FMin = range->Min;
    FMax = range->Max;
    OnRangeChange(this, FMin, FMax, FMinTime, FMaxTime);
  } else if (auto* value = operationAs<TOWSuppliedInt64Operation>(Operation)) {
    FValue = value->Value;
    OnDataChange(this, FValue, FMin, FMax, FMinTime, FMaxTime, false);
  }
  return {};
}

// ---- Converters -----------------------------------------------------------------------------------

TOWIntToFloatFormatConverter::TOWIntToFloatFormatConverter(TComponent* AOwner) : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWIntegerChangeEvent([this](TOWPin*, std::int32_t v) { FOut->SubmitFloat(static_cast<float>(v)); });
}

TOWIntToRealFormatConverter::TOWIntToRealFormatConverter(TComponent* AOwner) : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWIntegerChangeEvent([this](TOWPin*, std::int32_t v) { FOut->SubmitReal(v); });
}

TOWInt64ToFloatFormatConverter::TOWInt64ToFloatFormatConverter(TComponent* AOwner) : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWInt64ChangeEvent([this](TOWPin*, std::int64_t v) { FOut->SubmitFloat(static_cast<float>(v)); });
}

TOWInt64ToRealFormatConverter::TOWInt64ToRealFormatConverter(TComponent* AOwner) : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange =
      TOWInt64ChangeEvent([this](TOWPin*, std::int64_t v) { FOut->SubmitReal(static_cast<double>(v)); });
}

TOWFloatToRealFormatConverter::TOWFloatToRealFormatConverter(TComponent* AOwner) : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWFloatChangeEvent([this](TOWPin*, float v) { FOut->SubmitReal(v); });
}

namespace {

// A value with ranges goes on with them; a value without them goes on as a single; ranges alone stop.
template <class V>
void passRanged(TOWRealRangedSourcePin* AOut, V AValue, V AMin, V AMax, bool ARangesFilled) {
  if (ARangesFilled) {
    AOut->SubmitValueRange(static_cast<double>(AValue), static_cast<double>(AMin), static_cast<double>(AMax));
  } else {
    AOut->Notify(newOperation<TOWSuppliedSingleOperation>(static_cast<float>(AValue)));
  }
}

}  // namespace

TOWIntToRealRangedFormatConverter::TOWIntToRealRangedFormatConverter(TComponent* AOwner)
    : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWIntValueRangeChangeEvent(
      [this](TOWPin*, std::int32_t v, std::int32_t lo, std::int32_t hi, bool filled) { passRanged(FOut, v, lo, hi, filled); });
}

TOWInt64ToRealRangedFormatConverter::TOWInt64ToRealRangedFormatConverter(TComponent* AOwner)
    : TOWValueFormatConverter(AOwner) {
  FIn->OnDataChange = TOWInt64ValueRangeChangeEvent(
      [this](TOWPin*, std::int64_t v, std::int64_t lo, std::int64_t hi, bool filled) { passRanged(FOut, v, lo, hi, filled); });
}

}  // namespace sib
