// Value pins: the standard stream types (clock, integer, 64-bit integer, float, real, Boolean, string,
// date/time and their ranged forms), the pins that send and receive single values over them, the
// clock pins, the Boolean and time-ranged state pins, and the standard converters between types.
//
// A source pin's submit function hands an operation to the receiving pin by asking it for the stream
// interface of the connection type and calling its DispatchData. A value source answers a new link
// by sending its current value. Sink pins keep the last value received in Value and call their
// change event; they store the value on the sending thread without a lock, so events may run on any
// thread that sends to the pin.
#pragma once

#include <functional>
#include <string>

#include "framework/pin.h"
#include "framework/state_pin.h"
#include "platform/components/type_info.h"

namespace sib {

// ---- Stream interfaces of the standard types --------------------------------------------------------

#define SIB_OW_STREAM(Name, ParentIntf, Guid)                                        \
  class Name : public ParentIntf {                                                   \
   public:                                                                           \
    static constexpr TGUID IID = Guid##_guid;                                        \
    using Parent = ParentIntf;                                                       \
  };

SIB_OW_STREAM(IOWClockStream, IOWBasicStream, "{48CDAF9F-00C7-4B45-999D-4EE25353A952}")
SIB_OW_STREAM(IOWIntegerStream, IOWDataStream, "{92F6B47E-B46E-49BB-9A8E-676D3C2F2E66}")
SIB_OW_STREAM(IOWInt64Stream, IOWDataStream, "{6D054E38-F733-4212-8D5A-0E866802F866}")
SIB_OW_STREAM(IOWFloatStream, IOWDataStream, "{67F6997B-7EB4-4E2F-8320-4A512B5F2BC7}")
SIB_OW_STREAM(IOWRealStream, IOWDataStream, "{208F9564-3C20-4C97-BB77-2FC5AE6E4194}")
SIB_OW_STREAM(IOWBoolStream, IOWDataStream, "{7AA677AE-F983-4714-8E64-EC6F3D17695B}")
SIB_OW_STREAM(IOWStringStream, IOWDataStream, "{25C048B4-89D4-4277-AA98-A835EB29F5C1}")
SIB_OW_STREAM(IOWIntRangedStream, IOWDataStream, "{836EE1EA-B8BD-4E04-8225-6AB547D1A3C4}")
SIB_OW_STREAM(IOWInt64RangedStream, IOWDataStream, "{B201C2F8-CA4D-4CF3-8E6D-E620D2B9D7EF}")
SIB_OW_STREAM(IOWRealRangedStream, IOWDataStream, "{648AC95D-2772-427C-AD9D-2B7F1EDDE1A7}")
SIB_OW_STREAM(IOWDateTimeStream, IOWDataStream, "{475D7D8B-4796-42A5-8F8E-B512B8FD2704}")
SIB_OW_STREAM(IOWDateTimeRangedStream, IOWDataStream, "{92419B6E-F281-455A-852F-8253D761E30B}")

#undef SIB_OW_STREAM

// Types registered by name only: no pin of the framework offers them.
inline constexpr TGUID IID_OWRealComplexStream = "{4CC4ADE6-E5AE-4E27-A9E7-42C14E062F41}"_guid;
inline constexpr TGUID IID_OWCharacterStream = "{3241B885-95E1-495F-ACEC-4A1C98872B63}"_guid;

// Registers the standard stream types, the IOWDataStream send function and the standard converters.
// Runs once, before the first registry lookup.
void OWRegisterStandardStreamTypes();

// The plain submit function: hands Operation to Handler's stream interface for *DataTypeID, if it has
// one; otherwise does nothing and answers [].
TOWNotifyResult OWSubmitToStream(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                 TOWNotifyState State);
TOWSubmit OWStreamSubmit();

// ---- Callback types -----------------------------------------------------------------------------

using TOWClockEvent = TEvent<TOWPin*>;
using TOWBoolChangeEvent = TEvent<TOWPin*, bool>;
using TOWFloatChangeEvent = TEvent<TOWPin*, float>;
using TOWIntegerChangeEvent = TEvent<TOWPin*, std::int32_t>;
using TOWInt64ChangeEvent = TEvent<TOWPin*, std::int64_t>;
using TOWRealChangeEvent = TEvent<TOWPin*, double>;
using TOWStringChangeEvent = TEvent<TOWPin*, std::string>;
using TOWDateTimeChangeEvent = TEvent<TOWPin*, TDateTime>;
using TOWIntValueRangeChangeEvent = TEvent<TOWPin*, std::int32_t, std::int32_t, std::int32_t, bool>;
using TOWIntRangeChangeEvent = TEvent<TOWPin*, std::int32_t, std::int32_t>;
using TOWInt64ValueRangeChangeEvent = TEvent<TOWPin*, std::int64_t, std::int64_t, std::int64_t, bool>;
using TOWInt64RangeChangeEvent = TEvent<TOWPin*, std::int64_t, std::int64_t>;
using TOWInt64DateTimeValueRangeChangeEvent =
    TEvent<TOWPin*, std::int64_t, std::int64_t, std::int64_t, TDateTime, TDateTime, bool>;
using TOWInt64DateTimeRangeChangeEvent = TEvent<TOWPin*, std::int64_t, std::int64_t, TDateTime, TDateTime>;

// Notification events answer for the pin; Sender is the pin itself.
using TOWClockPinNotificationEvent =
    std::function<TOWNotifyResult(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                  TOWNotifyState State)>;
// Handler is the stream interface of the other pin.
using TOWPinNotificationEvent =
    std::function<TOWNotifyResult(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                  TOWNotifyState State)>;
using TOWFloatPinNotificationEvent = TOWPinNotificationEvent;
using TOWBoolPinNotificationEvent = TOWPinNotificationEvent;

// ---- Source pins ----------------------------------------------------------------------------------

// Sends clock ticks; receives what its sinks send back (such as TOWClockNeededOperation) through its
// notification event.
class TOWClockSourcePin : public TOWPinStreams<TOWSourcePin, IOWClockStream> {
 public:
  explicit TOWClockSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr,
                             TOWClockPinNotificationEvent APinNotificationEvent = {});
  // Sends a new TOWClockOperation to every sink (and to the state hub).
  void Clock();
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;

 protected:
  TOWNotifyResult SubmitClock(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State);
  TOWClockPinNotificationEvent FPinNotificationEvent;
};

class TOWFloatSourcePin : public TOWClockSourcePin {
 public:
  explicit TOWFloatSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr,
                             TOWFloatPinNotificationEvent APinNotificationEvent = {});
  float Value() const { return FValue.load(); }
  // Stores and sends a TOWSuppliedSingleOperation when the value differs.
  void SetValue(float AValue);
  // Stores and sends whether or not the value differs.
  void SubmitFloat(float AValue);

 protected:
  TOWNotifyResult SubmitFloatType(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                  TOWNotifyState State);
  TOWFloatPinNotificationEvent FFloatNotificationEvent;
  std::atomic<float> FValue{0};
};

class TOWRealSourcePin : public TOWClockSourcePin {
 public:
  explicit TOWRealSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr,
                            TOWPinNotificationEvent APinNotificationEvent = {});
  double Value() const { return FValue.load(); }
  // Stores and sends a TOWSuppliedRealOperation when the value differs.
  void SetValue(double AValue);
  // Stores and sends whether or not the value differs.
  void SubmitReal(double AValue);

 protected:
  // The submit function of the float and real types (and, in the ranged pin, the ranged real type).
  virtual TOWNotifyResult SubmitValue(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                      TOWNotifyState State);
  TOWNotifyResult SubmitValueThunk(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                   TOWNotifyState State) {
    return SubmitValue(Handler, DataTypeID, Operation, State);
  }
  TOWPinNotificationEvent FValueNotificationEvent;
  std::atomic<double> FValue{0};
};

class TOWRealRangedSourcePin : public TOWRealSourcePin {
 public:
  explicit TOWRealRangedSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr,
                                  TOWPinNotificationEvent APinNotificationEvent = {});
  double Min() const { return FMin.load(); }
  double Max() const { return FMax.load(); }
  void SetValue(double AValue);
  void SetMin(double AValue);
  void SetMax(double AValue);
  // Stores all three and sends TOWSuppliedRealValueRangeOperation.
  void SubmitValueRange(double AValue, double AMin, double AMax);
  // Stores both and sends TOWSuppliedRealRangeOperation.
  void SubmitRange(double AMin, double AMax);

 protected:
  TOWNotifyResult SubmitValue(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State) override;
  std::atomic<double> FMin{0};
  std::atomic<double> FMax{0};
};

// ---- Sink pins ------------------------------------------------------------------------------------

class TOWClockSinkPin : public TOWPinStreams<TOWSinkPin, IOWClockStream> {
 public:
  explicit TOWClockSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, TOWClockEvent AOnClock = {},
                           TOWClockPinNotificationEvent AOnPinNotificationEvent = {}, void* ACustomData = nullptr);
  // The notification event first; then OnClock for every TOWClockOperation (supplied values included).
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  TOWClockEvent OnClock;

 protected:
  TOWNotifyResult SubmitClock(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State);
  TOWClockPinNotificationEvent FOnPinNotificationEvent;
};

// A sink that keeps the last value of operation class Op (a TOWSuppliedValue<V>) and reports it.
template <class Stream, class Op, class V, class... Streams>
class TOWValueSinkPin : public TOWPinStreams<TOWSinkPin, Stream, Streams...> {
 public:
  using TEventType = TEvent<TOWPin*, V>;
  explicit TOWValueSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, TEventType AOnDataChange = {},
                           void* ACustomData = nullptr)
      : TOWPinStreams<TOWSinkPin, Stream, Streams...>(AOwner, AOwnerLock), OnDataChange(std::move(AOnDataChange)) {
    this->SetCustomData(ACustomData);
  }
  const V& Value() const { return FValue; }
  TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) override {
    if (auto* supplied = operationAs<Op>(Operation)) Store(static_cast<V>(supplied->Value));
    return {};
  }
  TEventType OnDataChange;

 protected:
  void Store(V AValue) {
    FValue = AValue;
    OnDataChange(this, FValue);
  }
  V FValue{};
};

class TOWFloatSinkPin : public TOWValueSinkPin<IOWFloatStream, TOWSuppliedSingleOperation, float> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};
class TOWBoolSinkPin : public TOWValueSinkPin<IOWBoolStream, TOWSuppliedBoolOperation, bool> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};
class TOWStringSinkPin : public TOWValueSinkPin<IOWStringStream, TOWSuppliedStringOperation, std::string> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};
class TOWIntegerSinkPin : public TOWValueSinkPin<IOWIntegerStream, TOWSuppliedIntegerOperation, std::int32_t> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};
class TOWInt64SinkPin : public TOWValueSinkPin<IOWInt64Stream, TOWSuppliedInt64Operation, std::int64_t> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};
class TOWDateTimeSinkPin : public TOWValueSinkPin<IOWDateTimeStream, TOWSuppliedDateTimeOperation, TDateTime> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
};

// Receives reals, and singles widened to real.
class TOWRealSinkPin : public TOWValueSinkPin<IOWRealStream, TOWSuppliedRealOperation, double, IOWFloatStream> {
 public:
  using TOWValueSinkPin::TOWValueSinkPin;
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
};

// Receives values with or without their ranges, and ranges alone.
template <class V, class ValueOp, class ValueRangeOp, class RangeOp, class RangedStream, class ValueStream>
class TOWRangedSinkPin : public TOWPinStreams<TOWSinkPin, RangedStream, ValueStream> {
 public:
  using TValueEvent = TEvent<TOWPin*, V, V, V, bool>;
  using TRangeEvent = TEvent<TOWPin*, V, V>;
  explicit TOWRangedSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, TValueEvent AOnDataChange = {},
                            TRangeEvent AOnRangeChange = {}, void* ACustomData = nullptr)
      : TOWPinStreams<TOWSinkPin, RangedStream, ValueStream>(AOwner, AOwnerLock),
        OnDataChange(std::move(AOnDataChange)),
        OnRangeChange(std::move(AOnRangeChange)) {
    this->SetCustomData(ACustomData);
  }
  V Value() const { return FValue; }
  V Min() const { return FMin; }
  V Max() const { return FMax; }
  TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) override {
    if (auto* full = operationAs<ValueRangeOp>(Operation)) {
      FMin = full->Min;
      FMax = full->Max;
      FValue = full->Value;
      OnDataChange(this, FValue, FMin, FMax, true);
    } else if (auto* range = operationAs<RangeOp>(Operation)) {
      FMin = range->Min;
      FMax = range->Max;
      OnRangeChange(this, FMin, FMax);
    } else if (auto* value = operationAs<ValueOp>(Operation)) {
      FValue = value->Value;
      OnDataChange(this, FValue, FMin, FMax, false);
    }
    return {};
  }
  TValueEvent OnDataChange;
  TRangeEvent OnRangeChange;

 protected:
  V FMin{};
  V FMax{};
  V FValue{};
};

class TOWIntAndRangedSinkPin
    : public TOWRangedSinkPin<std::int32_t, TOWSuppliedIntegerOperation, TOWSuppliedIntValueRangeOperation,
                              TOWSuppliedIntRangeOperation, IOWIntRangedStream, IOWIntegerStream> {
 public:
  using TOWRangedSinkPin::TOWRangedSinkPin;
};

class TOWInt64AndRangedSinkPin
    : public TOWRangedSinkPin<std::int64_t, TOWSuppliedInt64Operation, TOWSuppliedInt64ValueRangeOperation,
                              TOWSuppliedInt64RangeOperation, IOWInt64RangedStream, IOWInt64Stream> {
 public:
  using TOWRangedSinkPin::TOWRangedSinkPin;
};

// ---- State pins -----------------------------------------------------------------------------------

// A Boolean shared by every pin of its state hub.
class TOWBoolStatePin : public TOWPinStreams<TOWStatePin, IOWBoolStream> {
 public:
  explicit TOWBoolStatePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, TOWBoolChangeEvent AOnDataChange = {},
                           void* ACustomData = nullptr, TOWBoolPinNotificationEvent APinNotificationEvent = {});
  bool Value() const { return FValue.load(); }
  // Stores and sends a TOWSuppliedBoolOperation to the hub when the value differs.
  void SetValue(bool AValue);
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  TOWBoolChangeEvent OnDataChange;

 protected:
  TOWNotifyResult SubmitBool(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                             TOWNotifyState State);
  TOWBoolPinNotificationEvent FPinNotificationEvent;
  std::atomic<bool> FValue{false};
};

// A 64-bit position within a range, shared with the time span it stands for.
class TOWInt64TimeRangedStatePin
    : public TOWPinStreams<TOWStatePin, IOWInt64Stream, IOWInt64RangedStream, IOWDateTimeStream, IOWDateTimeRangedStream> {
 public:
  explicit TOWInt64TimeRangedStatePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr,
                                      TOWInt64DateTimeValueRangeChangeEvent AOnDataChange = {},
                                      TOWInt64DateTimeRangeChangeEvent AOnRangeChange = {}, void* ACustomData = nullptr);
  std::int64_t Value() const { return FValue; }
  std::int64_t Min() const { return FMin; }
  std::int64_t Max() const { return FMax; }
  TDateTime MinTime() const { return FMinTime; }
  TDateTime MaxTime() const { return FMaxTime; }
  void SetValue(std::int64_t AValue);
  void SetMin(std::int64_t AValue);
  void SetMax(std::int64_t AValue);
  void SetMinTime(TDateTime AValue);
  void SetMaxTime(TDateTime AValue);
  // Stores all five, sends the 64-bit value range and then the date/time value range.
  void SubmitValueRange(std::int64_t AValue, std::int64_t AMin, std::int64_t AMax, TDateTime AMinTime, TDateTime AMaxTime);
  // Stores the four bounds, sends the 64-bit range and then the date/time range.
  void SubmitRange(std::int64_t AMin, std::int64_t AMax, TDateTime AMinTime, TDateTime AMaxTime);
  // The point in time that Value stands for within [MinTime, MaxTime], to the millisecond.
  TDateTime TimeValue() const;
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  TOWInt64DateTimeValueRangeChangeEvent OnDataChange;
  TOWInt64DateTimeRangeChangeEvent OnRangeChange;

 protected:
  TOWNotifyResult SubmitState(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State);
  TDateTime FMinTime = 0;
  TDateTime FMaxTime = 0;
  std::int64_t FMin = 0;
  std::int64_t FMax = 0;
  std::int64_t FValue = 0;
};

// ---- Standard converters --------------------------------------------------------------------------

// A converter whose input pin is a value sink of class In and whose output pin is a value source of
// class Out; Convert turns each value received into what the output sends.
template <class In, class Out>
class TOWValueFormatConverter : public TOWFormatConverter {
 public:
  explicit TOWValueFormatConverter(TComponent* AOwner = nullptr) : TOWFormatConverter(AOwner) {
    auto input = makePin<In>(this, nullptr);
    auto output = makePin<Out>(this, nullptr);
    FIn = input.get();
    FOut = output.get();
    SetPins(std::move(input), std::move(output));
  }

 protected:
  In* FIn;
  Out* FOut;
};

class TOWIntToFloatFormatConverter : public TOWValueFormatConverter<TOWIntegerSinkPin, TOWFloatSourcePin> {
 public:
  explicit TOWIntToFloatFormatConverter(TComponent* AOwner = nullptr);
};
class TOWIntToRealFormatConverter : public TOWValueFormatConverter<TOWIntegerSinkPin, TOWRealSourcePin> {
 public:
  explicit TOWIntToRealFormatConverter(TComponent* AOwner = nullptr);
};
class TOWInt64ToFloatFormatConverter : public TOWValueFormatConverter<TOWInt64SinkPin, TOWFloatSourcePin> {
 public:
  explicit TOWInt64ToFloatFormatConverter(TComponent* AOwner = nullptr);
};
class TOWInt64ToRealFormatConverter : public TOWValueFormatConverter<TOWInt64SinkPin, TOWRealSourcePin> {
 public:
  explicit TOWInt64ToRealFormatConverter(TComponent* AOwner = nullptr);
};
class TOWFloatToRealFormatConverter : public TOWValueFormatConverter<TOWFloatSinkPin, TOWRealSourcePin> {
 public:
  explicit TOWFloatToRealFormatConverter(TComponent* AOwner = nullptr);
};
class TOWIntToRealRangedFormatConverter
    : public TOWValueFormatConverter<TOWIntAndRangedSinkPin, TOWRealRangedSourcePin> {
 public:
  explicit TOWIntToRealRangedFormatConverter(TComponent* AOwner = nullptr);
};
class TOWInt64ToRealRangedFormatConverter
    : public TOWValueFormatConverter<TOWInt64AndRangedSinkPin, TOWRealRangedSourcePin> {
 public:
  explicit TOWInt64ToRealRangedFormatConverter(TComponent* AOwner = nullptr);
};

}  // namespace sib
