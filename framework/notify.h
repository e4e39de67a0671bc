// Operations: the reference-counted notifications that pins hand to each other (start, stop, pump
// negotiation, clock ticks, supplied values), and the small sets passed with every delivery.
//
// The framework gives these classes no behaviour of their own: the components that send and answer
// them give them their meaning. The same object is handed to every receiver of a send in turn, so a
// receiver may change its fields and the sender reads them back after the send returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/core/interface.h"
#include "platform/core/numeric.h"

namespace sib {

// A set over a small enumeration, stored in one byte: element E is bit (1 << E).
template <class E>
class TOWSet {
 public:
  constexpr TOWSet() = default;
  constexpr TOWSet(std::initializer_list<E> items) {
    for (E item : items) FBits = static_cast<std::uint8_t>(FBits | bit(item));
  }

  constexpr bool Contains(E item) const { return (FBits & bit(item)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr std::uint8_t Bits() const { return FBits; }
  constexpr TOWSet& Include(E item) {
    FBits = static_cast<std::uint8_t>(FBits | bit(item));
    return *this;
  }
  constexpr TOWSet operator+(E item) const { return TOWSet(*this).Include(item); }
  constexpr TOWSet operator+(TOWSet other) const { return FromBits(static_cast<std::uint8_t>(FBits | other.FBits)); }
  static constexpr TOWSet FromBits(std::uint8_t bits) {
    TOWSet set;
    set.FBits = bits;
    return set;
  }
  friend constexpr bool operator==(TOWSet, TOWSet) = default;

 private:
  static constexpr std::uint8_t bit(E item) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(item)); }
  std::uint8_t FBits = 0;
};

// nsNewLink marks the notification sent when a connection is made; nsLastIteration marks the last
// receiver of a send.
enum TOWNotifyStateItem : std::uint8_t { nsNewLink, nsLastIteration };
using TOWNotifyState = TOWSet<TOWNotifyStateItem>;

// nrDataChanged: the receiver changed the data it was given.
enum TOWNotifyResultItem : std::uint8_t { nrDataChanged };
using TOWNotifyResult = TOWSet<TOWNotifyResultItem>;

enum TOWPumpType : std::uint8_t { ptNone, ptSlave, ptMaster, ptHardware };

class TOWNotifyOperation;

class IOWNotifyOperation : public IInterface {
 public:
  static constexpr TGUID IID = "{AC2714E1-1E70-4C60-ABBB-EA27737CEE74}"_guid;
  virtual TOWNotifyOperation* Instance() = 0;
};

using OperationRef = RefPtr<IOWNotifyOperation>;

// The base of every operation. Each operation gets its own OperationID from a process-wide counter;
// the first operation of the process has ID 1.
class TOWNotifyOperation : public Implements<IOWNotifyOperation> {
 public:
  TOWNotifyOperation();
  TOWNotifyOperation* Instance() override { return this; }
  std::uint32_t OperationID() const { return FOperationID; }

 private:
  std::uint32_t FOperationID;
};

// The operation's object when it is of class T (or derives from it), else nullptr.
template <class T>
T* operationAs(IOWNotifyOperation* Operation) {
  return Operation ? dynamic_cast<T*>(Operation->Instance()) : nullptr;
}
template <class T>
bool operationIs(IOWNotifyOperation* Operation) {
  return operationAs<T>(Operation) != nullptr;
}

// Creates an operation and hands back the reference a sender holds while it sends.
template <class T, class... Args>
RefPtr<IOWNotifyOperation> newOperation(Args&&... args) {
  return RefPtr<IOWNotifyOperation>(new T(std::forward<Args>(args)...));
}

// A clock tick.
class TOWClockOperation : public TOWNotifyOperation {};

// A clock sink telling its clock source whether it needs ticks.
class TOWClockNeededOperation : public TOWNotifyOperation {
 public:
  explicit TOWClockNeededOperation(bool AEnabled) : Enabled(AEnabled) {}
  bool Enabled;
};

// `Pump` names the component that drives the pipeline; receivers compare it by identity.
class TOWMasterPumpOperation : public TOWNotifyOperation {
 public:
  explicit TOWMasterPumpOperation(const void* APump) : Pump(APump) {}
  const void* Pump;
};

class TOWPumpRequestOperation : public TOWNotifyOperation {
 public:
  TOWPumpRequestOperation() = default;
  TOWPumpRequestOperation(const void* APump, TOWPumpType APumpType, std::int32_t APumpPriority, float ADesiredRate)
      : Pump(APump), PumpType(APumpType), PumpPriority(APumpPriority), DesiredRate(ADesiredRate) {}
  const void* Pump = nullptr;
  TOWPumpType PumpType = ptNone;
  std::int32_t PumpPriority = 0;
  float DesiredRate = 0;
};

class TOWStartPumpOperation : public TOWNotifyOperation {
 public:
  explicit TOWStartPumpOperation(const void* APump) : Pump(APump) {}
  const void* Pump;
};

class TOWStartOperation : public TOWNotifyOperation {};

class TOWStartRateOperation : public TOWStartOperation {
 public:
  explicit TOWStartRateOperation(float ARate) : Rate(ARate) {}
  float Rate;
};

class TOWStopOperation : public TOWNotifyOperation {};
// A stop because the stream ended.
class TOWEndStopOperation : public TOWStopOperation {};
class TOWQueryStreamOperation : public TOWNotifyOperation {};
class TOWIgnoreStreamOperation : public TOWNotifyOperation {};
class TOWFlushStreamOperation : public TOWNotifyOperation {};

// The base of every supplied value; a supplied value also counts as a clock tick.
class TOWSuppliedOperation : public TOWClockOperation {};

// A supplied value of type V.
template <class V>
class TOWSuppliedValue : public TOWSuppliedOperation {
 public:
  explicit TOWSuppliedValue(V AValue) : Value(std::move(AValue)) {}
  V Value;
};

// A range without a value.
template <class V>
class TOWSuppliedRange : public TOWSuppliedOperation {
 public:
  TOWSuppliedRange(V AMin, V AMax) : Min(AMin), Max(AMax) {}
  V Min;
  V Max;
};

class TOWSuppliedSingleOperation : public TOWSuppliedValue<float> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedBoolOperation : public TOWSuppliedValue<bool> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedStringOperation : public TOWSuppliedValue<std::string> {
  using TOWSuppliedValue::TOWSuppliedValue;
};

class TOWSuppliedRealOperation : public TOWSuppliedValue<double> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedRealValueRangeOperation : public TOWSuppliedRealOperation {
 public:
  TOWSuppliedRealValueRangeOperation(double AValue, double AMin, double AMax)
      : TOWSuppliedRealOperation(AValue), Min(AMin), Max(AMax) {}
  double Min;
  double Max;
};
class TOWSuppliedRealRangeOperation : public TOWSuppliedRange<double> {
  using TOWSuppliedRange::TOWSuppliedRange;
};

class TOWSuppliedIntegerOperation : public TOWSuppliedValue<std::int32_t> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedIntValueRangeOperation : public TOWSuppliedIntegerOperation {
 public:
  TOWSuppliedIntValueRangeOperation(std::int32_t AValue, std::int32_t AMinValue, std::int32_t AMaxValue)
      : TOWSuppliedIntegerOperation(AValue), Min(AMinValue), Max(AMaxValue) {}
  std::int32_t Min;
  std::int32_t Max;
};
class TOWSuppliedIntRangeOperation : public TOWSuppliedRange<std::int32_t> {
  using TOWSuppliedRange::TOWSuppliedRange;
};

class TOWSuppliedInt64Operation : public TOWSuppliedValue<std::int64_t> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedInt64ValueRangeOperation : public TOWSuppliedInt64Operation {
 public:
  TOWSuppliedInt64ValueRangeOperation(std::int64_t AValue, std::int64_t AMinValue, std::int64_t AMaxValue)
      : TOWSuppliedInt64Operation(AValue), Min(AMinValue), Max(AMaxValue) {}
  std::int64_t Min;
  std::int64_t Max;
};
class TOWSuppliedInt64RangeOperation : public TOWSuppliedRange<std::int64_t> {
  using TOWSuppliedRange::TOWSuppliedRange;
};

class TOWSuppliedDateTimeOperation : public TOWSuppliedValue<TDateTime> {
  using TOWSuppliedValue::TOWSuppliedValue;
};
class TOWSuppliedDateTimeValueRangeOperation : public TOWSuppliedDateTimeOperation {
 public:
  TOWSuppliedDateTimeValueRangeOperation(TDateTime AValue, TDateTime AMinValue, TDateTime AMaxValue)
      : TOWSuppliedDateTimeOperation(AValue), Min(AMinValue), Max(AMaxValue) {}
  TDateTime Min;
  TDateTime Max;
};
class TOWSuppliedDateTimeRangeOperation : public TOWSuppliedRange<TDateTime> {
  using TOWSuppliedRange::TOWSuppliedRange;
};

}  // namespace sib
