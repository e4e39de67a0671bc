// The component lock that every pipeline component, its sub-objects, collections and pins share,
// and the setter and getter families through which property fields change.
//
// A component declares a property with a setter through its lock:
//
//   void TALAmplifier::SetCoefficient(double AValue) {
//     FLock->Setter(FCoefficient, AValue, TLPPropUpdateFunc(this, &TALAmplifier::CoefficientChanged));
//   }
//
// Setter takes the write section, compares, and only when the value differs stores it, runs the
// update callback and then the owner's property-changed callback, all under the section. The
// clamping setters clamp first (minimum, then maximum) and then do the same. A Getter waits until no
// other thread holds the lock and gives back the value it was passed.
//
// The operations come in the order of the interface's slots. The system's types map to C++ as
// follows; overloads that become the same C++ signature are one overload here:
//   TColor, Cardinal -> std::uint32_t (one overload)   TGPColor -> std::uint32_t plus an ignored bool
//   TCursor, SmallInt -> std::int16_t (one overload)   Integer -> std::int32_t   Int64 -> std::int64_t
//   Word -> std::uint16_t   Byte -> std::uint8_t   Single -> float   Real, TDateTime -> double (one)
//   Extended -> long double   Boolean -> bool   string, AnsiString -> std::string (UTF-8, one)
//   Char -> char16_t
// Fields of any other equality-comparable type (a Part's own enumerations) go through the generic
// Setter and Getter templates, which behave the same.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "framework/lock.h"
#include "platform/components/type_info.h"

namespace sib {

enum class TSLClockSource : std::uint8_t { csInternal, csExternal };
SIB_ENUM_NAMES(TSLClockSource, csInternal, csExternal)
enum class TSLSynchronizeType : std::uint8_t { stNone, stSingleBuffer, stQueue };
SIB_ENUM_NAMES(TSLSynchronizeType, stNone, stSingleBuffer, stQueue)

// A callback without parameters bound to an object: code plus object, copied freely, never
// allocating. Assigned when its code is set.
class TLPPropUpdateFunc {
 public:
  TLPPropUpdateFunc() = default;

  template <class T>
  TLPPropUpdateFunc(T* object, void (T::*method)()) : FData(object) {
    static_assert(sizeof(method) <= sizeof(FMethod), "member function pointers of this class are too large");
    std::memcpy(FMethod, &method, sizeof(method));
    FCode = [](void* data, const unsigned char* stored) {
      void (T::*bound)();
      std::memcpy(&bound, stored, sizeof(bound));
      (static_cast<T*>(data)->*bound)();
    };
  }

  // A plain function that gets `data` back.
  static TLPPropUpdateFunc FromFunction(void (*function)(void* data), void* data) {
    TLPPropUpdateFunc f;
    f.FData = data;
    std::memcpy(f.FMethod, &function, sizeof(function));
    f.FCode = [](void* d, const unsigned char* stored) {
      void (*plain)(void*);
      std::memcpy(&plain, stored, sizeof(plain));
      plain(d);
    };
    return f;
  }

  bool Assigned() const { return FCode != nullptr; }
  explicit operator bool() const { return Assigned(); }
  void operator()() const { FCode(FData, FMethod); }

  friend bool operator==(const TLPPropUpdateFunc& a, const TLPPropUpdateFunc& b) {
    return a.FCode == b.FCode && a.FData == b.FData && std::memcmp(a.FMethod, b.FMethod, sizeof(a.FMethod)) == 0;
  }

 private:
  void* FData = nullptr;
  void (*FCode)(void* data, const unsigned char* method) = nullptr;
  alignas(void*) unsigned char FMethod[2 * sizeof(void*)] = {};
};

class ILPLock : public IOWLock {
 public:
  static constexpr TGUID IID = "{41898A42-8C0F-4C05-AEE4-C2DE0BAB1869}"_guid;
  using Parent = IOWLock;
  using Func = const TLPPropUpdateFunc&;

  virtual bool Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc) = 0;  // TColor, Cardinal
  virtual bool Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc, bool AGPColor) = 0;
  virtual bool Setter(std::int16_t& PropValue, std::int16_t AValue, Func AUpdatedFunc) = 0;  // TCursor, SmallInt
  virtual bool Setter(std::int32_t& PropValue, std::int32_t AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(std::int64_t& PropValue, std::int64_t AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(std::uint16_t& PropValue, std::uint16_t AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(std::uint8_t& PropValue, std::uint8_t AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(float& PropValue, float AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(double& PropValue, double AValue, Func AUpdatedFunc) = 0;  // Real, TDateTime
  virtual bool Setter(bool& PropValue, bool AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(std::string& PropValue, const std::string& AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(char16_t& PropValue, char16_t AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(TSLClockSource& PropValue, TSLClockSource AValue, Func AUpdatedFunc) = 0;
  virtual bool Setter(TSLSynchronizeType& PropValue, TSLSynchronizeType AValue, Func AUpdatedFunc) = 0;

  virtual bool SetterMin(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue,
                            std::int32_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue,
                            std::int64_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue,
                         Func AUpdatedFunc) = 0;
  virtual bool SetterMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMaxValue,
                         Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue,
                            std::uint32_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue,
                         Func AUpdatedFunc) = 0;
  virtual bool SetterMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMaxValue,
                         Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue,
                            std::uint16_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue,
                            std::uint8_t AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(float& PropValue, float AValue, float AMinValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMax(float& PropValue, float AValue, float AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMin(double& PropValue, double AValue, double AMinValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMax(double& PropValue, double AValue, double AMaxValue, Func AUpdatedFunc) = 0;
  virtual bool SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue,
                            Func AUpdatedFunc) = 0;

  virtual std::int32_t Getter(std::int32_t APropValue) = 0;
  virtual std::int64_t Getter(std::int64_t APropValue) = 0;
  virtual std::uint32_t Getter(std::uint32_t APropValue) = 0;
  virtual std::uint8_t Getter(std::uint8_t APropValue) = 0;
  virtual std::uint16_t Getter(std::uint16_t APropValue) = 0;
  virtual long double Getter(long double APropValue) = 0;  // Extended
  virtual float Getter(float APropValue) = 0;
  virtual bool Getter(bool APropValue) = 0;
  virtual std::string Getter(std::string APropValue) = 0;
  virtual char16_t Getter(char16_t APropValue) = 0;
  virtual double Getter(double APropValue) = 0;  // TDateTime

  // Runs the owner's property-changed callback, if one is bound; for the generic Setter.
  virtual void CallNotify() = 0;

  // The setter for fields of any other type; the same steps as the overloads above.
  template <class T>
  requires std::equality_comparable<T> && std::is_copy_assignable_v<T>
  bool Setter(T& PropValue, const T& AValue, Func AUpdatedFunc) {
    LockSection section = WriteLock();
    if (!section) return false;  // another thread is stopping the owner: the write does not happen
    if (PropValue == AValue) return false;
    PropValue = AValue;
    if (AUpdatedFunc) AUpdatedFunc();
    CallNotify();
    return true;
  }

  template <class T>
  T Getter(T APropValue) {
    // Only waits for the lock; during a stop there is nothing to wait for, and the caller has read the value.
    LockSection section = ReadLock();
    return APropValue;
  }

 protected:
  ~ILPLock() = default;
};

class TLPLock : public Implements<ILPLock> {
 public:
  // A new lock of its own.
  explicit TLPLock(TLPPropUpdateFunc ANotify);
  // Shares the lock that `ALock.Instance()` returns; `ANotify` is this object's own callback.
  TLPLock(IOWLock& ALock, TLPPropUpdateFunc ANotify);

  static RefPtr<TLPLock> Create(TLPPropUpdateFunc ANotify) { return makeRef<TLPLock>(ANotify); }
  static RefPtr<TLPLock> CreateCopy(IOWLock& ALock, TLPPropUpdateFunc ANotify) {
    return makeRef<TLPLock>(ALock, ANotify);
  }

  LockSection ReadLock() override { return FLock->ReadLock(); }
  LockSection WriteLock() override { return FLock->WriteLock(); }
  LockSection StopLock() override { return FLock->StopLock(); }
  LockSection UnlockAll() override { return FLock->UnlockAll(); }
  TOWLock* Instance() override { return FLock->Instance(); }

  using ILPLock::Getter;
  using ILPLock::Setter;

  bool Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc) override;
  bool Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc, bool AGPColor) override;
  bool Setter(std::int16_t& PropValue, std::int16_t AValue, Func AUpdatedFunc) override;
  bool Setter(std::int32_t& PropValue, std::int32_t AValue, Func AUpdatedFunc) override;
  bool Setter(std::int64_t& PropValue, std::int64_t AValue, Func AUpdatedFunc) override;
  bool Setter(std::uint16_t& PropValue, std::uint16_t AValue, Func AUpdatedFunc) override;
  bool Setter(std::uint8_t& PropValue, std::uint8_t AValue, Func AUpdatedFunc) override;
  bool Setter(float& PropValue, float AValue, Func AUpdatedFunc) override;
  bool Setter(double& PropValue, double AValue, Func AUpdatedFunc) override;
  bool Setter(bool& PropValue, bool AValue, Func AUpdatedFunc) override;
  bool Setter(std::string& PropValue, const std::string& AValue, Func AUpdatedFunc) override;
  bool Setter(char16_t& PropValue, char16_t AValue, Func AUpdatedFunc) override;
  bool Setter(TSLClockSource& PropValue, TSLClockSource AValue, Func AUpdatedFunc) override;
  bool Setter(TSLSynchronizeType& PropValue, TSLSynchronizeType AValue, Func AUpdatedFunc) override;

  bool SetterMin(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue, std::int32_t AMaxValue,
                    Func AUpdatedFunc) override;
  bool SetterMin(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue, std::int64_t AMaxValue,
                    Func AUpdatedFunc) override;
  bool SetterMin(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue, std::uint32_t AMaxValue,
                    Func AUpdatedFunc) override;
  bool SetterMin(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue, std::uint16_t AMaxValue,
                    Func AUpdatedFunc) override;
  bool SetterMin(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue, std::uint8_t AMaxValue,
                    Func AUpdatedFunc) override;
  bool SetterMin(float& PropValue, float AValue, float AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(float& PropValue, float AValue, float AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, Func AUpdatedFunc) override;
  bool SetterMin(double& PropValue, double AValue, double AMinValue, Func AUpdatedFunc) override;
  bool SetterMax(double& PropValue, double AValue, double AMaxValue, Func AUpdatedFunc) override;
  bool SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue, Func AUpdatedFunc) override;

  std::int32_t Getter(std::int32_t APropValue) override { return ILPLock::Getter<std::int32_t>(APropValue); }
  std::int64_t Getter(std::int64_t APropValue) override { return ILPLock::Getter<std::int64_t>(APropValue); }
  std::uint32_t Getter(std::uint32_t APropValue) override { return ILPLock::Getter<std::uint32_t>(APropValue); }
  std::uint8_t Getter(std::uint8_t APropValue) override { return ILPLock::Getter<std::uint8_t>(APropValue); }
  std::uint16_t Getter(std::uint16_t APropValue) override { return ILPLock::Getter<std::uint16_t>(APropValue); }
  long double Getter(long double APropValue) override { return ILPLock::Getter<long double>(APropValue); }
  float Getter(float APropValue) override { return ILPLock::Getter<float>(APropValue); }
  bool Getter(bool APropValue) override { return ILPLock::Getter<bool>(APropValue); }
  std::string Getter(std::string APropValue) override { return ILPLock::Getter<std::string>(std::move(APropValue)); }
  char16_t Getter(char16_t APropValue) override { return ILPLock::Getter<char16_t>(APropValue); }
  double Getter(double APropValue) override { return ILPLock::Getter<double>(APropValue); }

  void CallNotify() override {
    if (FNotify) FNotify();
  }

 private:
  template <class T>
  bool SetClamped(T& PropValue, T AValue, const T* AMinValue, const T* AMaxValue, Func AUpdatedFunc);

  RefPtr<IOWLock> FLock;
  TLPPropUpdateFunc FNotify;
};

}  // namespace sib
