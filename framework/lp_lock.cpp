#include "framework/lp_lock.h"

namespace sib {

TLPLock::TLPLock(TLPPropUpdateFunc ANotify) : FLock(makeRef<TOWLock>()), FNotify(ANotify) {}

TLPLock::TLPLock(IOWLock& ALock, TLPPropUpdateFunc ANotify) : FLock(ALock.Instance()), FNotify(ANotify) {}

template <class T>
bool TLPLock::SetClamped(T& PropValue, T AValue, const T* AMinValue, const T* AMaxValue, Func AUpdatedFunc) {
  // Minimum first, then maximum: when the bounds cross, the maximum wins.
  if (AMinValue && AValue < *AMinValue) AValue = *AMinValue;
  if (AMaxValue && AValue > *AMaxValue) AValue = *AMaxValue;
  return ILPLock::Setter<T>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::uint32_t>(PropValue, AValue, AUpdatedFunc);
}

// The flag only tells a 32-bit ARGB colour apart from a TColor in the interface.
bool TLPLock::Setter(std::uint32_t& PropValue, std::uint32_t AValue, Func AUpdatedFunc, bool /*AGPColor*/) {
  return ILPLock::Setter<std::uint32_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::int16_t& PropValue, std::int16_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::int16_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::int32_t& PropValue, std::int32_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::int32_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::int64_t& PropValue, std::int64_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::int64_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::uint16_t& PropValue, std::uint16_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::uint16_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::uint8_t& PropValue, std::uint8_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::uint8_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(float& PropValue, float AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<float>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(double& PropValue, double AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<double>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(bool& PropValue, bool AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<bool>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(std::string& PropValue, const std::string& AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<std::string>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(char16_t& PropValue, char16_t AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<char16_t>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(TSLClockSource& PropValue, TSLClockSource AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<TSLClockSource>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::Setter(TSLSynchronizeType& PropValue, TSLSynchronizeType AValue, Func AUpdatedFunc) {
  return ILPLock::Setter<TSLSynchronizeType>(PropValue, AValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue, Func AUpdatedFunc) {
  return SetClamped<std::int32_t>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::int32_t>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(std::int32_t& PropValue, std::int32_t AValue, std::int32_t AMinValue, std::int32_t AMaxValue,
                           Func AUpdatedFunc) {
  return SetClamped<std::int32_t>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue, Func AUpdatedFunc) {
  return SetClamped<std::int64_t>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::int64_t>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(std::int64_t& PropValue, std::int64_t AValue, std::int64_t AMinValue, std::int64_t AMaxValue,
                           Func AUpdatedFunc) {
  return SetClamped<std::int64_t>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue, Func AUpdatedFunc) {
  return SetClamped<std::uint32_t>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::uint32_t>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(std::uint32_t& PropValue, std::uint32_t AValue, std::uint32_t AMinValue,
                           std::uint32_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::uint32_t>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue, Func AUpdatedFunc) {
  return SetClamped<std::uint16_t>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::uint16_t>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(std::uint16_t& PropValue, std::uint16_t AValue, std::uint16_t AMinValue,
                           std::uint16_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::uint16_t>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue, Func AUpdatedFunc) {
  return SetClamped<std::uint8_t>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMaxValue, Func AUpdatedFunc) {
  return SetClamped<std::uint8_t>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(std::uint8_t& PropValue, std::uint8_t AValue, std::uint8_t AMinValue, std::uint8_t AMaxValue,
                           Func AUpdatedFunc) {
  return SetClamped<std::uint8_t>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(float& PropValue, float AValue, float AMinValue, Func AUpdatedFunc) {
  return SetClamped<float>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(float& PropValue, float AValue, float AMaxValue, Func AUpdatedFunc) {
  return SetClamped<float>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, Func AUpdatedFunc) {
  return SetClamped<float>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

bool TLPLock::SetterMin(double& PropValue, double AValue, double AMinValue, Func AUpdatedFunc) {
  return SetClamped<double>(PropValue, AValue, &AMinValue, nullptr, AUpdatedFunc);
}
bool TLPLock::SetterMax(double& PropValue, double AValue, double AMaxValue, Func AUpdatedFunc) {
  return SetClamped<double>(PropValue, AValue, nullptr, &AMaxValue, AUpdatedFunc);
}
bool TLPLock::SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue, Func AUpdatedFunc) {
  return SetClamped<double>(PropValue, AValue, &AMinValue, &AMaxValue, AUpdatedFunc);
}

}  // namespace sib
