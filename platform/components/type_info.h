// What the property table knows about a value type: its kind (integer, enumeration, set, float,
// string, object, event), its name ("Integer", "TDateTime", "Boolean", ...), and per kind the range,
// the value names of an enumeration, the element type of a set, the float precision or the class of
// an object. Also the two value types the table adds to C++: TSet<E>, a set of enumeration values,
// and TEvent<Args...>, a callback bound to an object that can be stored by method name.
//
// An enumeration becomes usable in published properties and sets once its value names are declared,
// next to the enumeration, in the same namespace:
//   enum TSLClockSource : std::uint8_t { csInternal, csExternal };
//   SIB_ENUM_NAMES(TSLClockSource, csInternal, csExternal)
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace sib {

class TObject;
class TClassInfo;

enum TTypeKind : std::uint8_t { tkInteger, tkEnumeration, tkSet, tkFloat, tkString, tkClass, tkMethod };

enum TFloatType : std::uint8_t { ftSingle, ftDouble, ftExtended };

// A value name of an integer type, such as a colour constant ("clSilver" = 0xC0C0C0).
struct TIdentMapEntry {
  std::string Name;
  std::int64_t Value;
};

class TTypeInfo {
 public:
  std::string Name;
  TTypeKind Kind = tkInteger;
  // tkInteger (and the ordinal range of an enumeration).
  std::int64_t MinValue = 0;
  std::int64_t MaxValue = 0;
  // tkInteger: optional names for some values; written as identifiers, accepted when read.
  std::vector<TIdentMapEntry> Idents;
  // tkEnumeration: the value names in ordinal order.
  std::vector<std::string> EnumNames;
  // tkSet: the enumeration the elements come from.
  const TTypeInfo* ElementType = nullptr;
  // tkFloat.
  TFloatType FloatType = ftDouble;
  // tkClass: the declared class of the property.
  const TClassInfo* ClassType = nullptr;

  static TTypeInfo Integer(std::string name, std::int64_t minValue, std::int64_t maxValue,
                           std::vector<TIdentMapEntry> idents = {});
  static TTypeInfo Enumeration(std::string name, std::vector<std::string> names);
  // Builds the names from the text of the declaration macro, "csInternal, csExternal".
  static TTypeInfo EnumerationFromList(std::string name, std::string_view commaSeparatedNames);
  static TTypeInfo Set(std::string name, const TTypeInfo& elementType);
  static TTypeInfo Float(std::string name, TFloatType floatType);
  static TTypeInfo String(std::string name);
  static TTypeInfo Class(const TClassInfo& classType);
  static TTypeInfo Method(std::string name);

  // Case-insensitive lookups; -1 / false when there is no such name.
  int EnumValue(std::string_view name) const;
  bool IdentToInt(std::string_view name, std::int64_t& value) const;
  const std::string* IntToIdent(std::int64_t value) const;

  // TDateTime, TDate and TTime are floats that mean days; "_Floats" and editors tell them apart.
  bool IsDateTimeType() const;
};

// The predefined type infos. Floats that mean a date or a time are declared with these
// (`.type(dateTimeType())`), because in C++ TDateTime is only another name for double.
const TTypeInfo& dateTimeType();
const TTypeInfo& dateType();
const TTypeInfo& timeType();

// A set of values of enumeration E (at most 64 values), stored as a bit mask.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  static constexpr TSet FromBits(std::uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Contains(E v) const { return (bits_ & bit(v)) != 0; }
  constexpr TSet& Include(E v) {
    bits_ |= bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    bits_ &= ~bit(v);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint64_t Bits() const { return bits_; }

  friend constexpr bool operator==(TSet, TSet) = default;
  friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.bits_ & b.bits_); }

 private:
  static constexpr std::uint64_t bit(E v) { return std::uint64_t{1} << static_cast<unsigned>(v); }
  std::uint64_t bits_ = 0;
};

// A callback bound to an object, like a method pointer: `Code` is what runs, `Data` the object it
// runs on. `MethodName` is set when the event was bound by name from a stored description (or by
// the caller); the writer stores an event only when it has a name and its object is the root.
template <class... Args>
class TEvent {
 public:
  TEvent() = default;
  template <class C>
  TEvent(C* object, void (C::*method)(Args...), std::string methodName = {})
      : Code([object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); }),
        MethodName(std::move(methodName)) {
    if constexpr (std::is_convertible_v<C*, TObject*>) Data = object;
  }
  TEvent(std::function<void(Args...)> code, TObject* data = nullptr, std::string methodName = {})
      : Code(std::move(code)), Data(data), MethodName(std::move(methodName)) {}

  explicit operator bool() const { return static_cast<bool>(Code); }
  // Calls the event when it is assigned.
  void operator()(Args... args) const {
    if (Code) Code(std::forward<Args>(args)...);
  }

  std::function<void(Args...)> Code;
  TObject* Data = nullptr;
  std::string MethodName;
};

using TNotifyEvent = TEvent<TObject*>;

namespace type_detail {

template <class T>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<TSet<E>> : std::true_type {
  using Element = E;
};

template <class T>
struct IsEvent : std::false_type {};
template <class... Args>
struct IsEvent<TEvent<Args...>> : std::true_type {};

template <class E>
concept NamedEnum = std::is_enum_v<E> && requires(E* e) {
  { sibEnumTypeInfo(e) } -> std::same_as<const TTypeInfo&>;
};

template <class T>
const TTypeInfo& integerType(const char* name) {
  static const TTypeInfo info = TTypeInfo::Integer(name, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
  return info;
}

const TTypeInfo& booleanType();

}  // namespace type_detail

// The type info of a property value type T (built-in integers, bool, floats, std::string, named
// enumerations, TSet of a named enumeration, TEvent). Object pointers are handled by the table.
template <class T>
const TTypeInfo& typeInfoOf() {
  using type_detail::integerType;
  if constexpr (std::is_same_v<T, bool>) return type_detail::booleanType();
  else if constexpr (std::is_same_v<T, std::int8_t>) return integerType<T>("ShortInt");
  else if constexpr (std::is_same_v<T, std::uint8_t>) return integerType<T>("Byte");
  else if constexpr (std::is_same_v<T, std::int16_t>) return integerType<T>("SmallInt");
  else if constexpr (std::is_same_v<T, std::uint16_t>) return integerType<T>("Word");
  else if constexpr (std::is_same_v<T, std::int32_t>) return integerType<T>("Integer");
  else if constexpr (std::is_same_v<T, std::uint32_t>) return integerType<T>("Cardinal");
  else if constexpr (std::is_same_v<T, std::int64_t>) return integerType<T>("Int64");
  else if constexpr (std::is_same_v<T, float>) {
    static const TTypeInfo info = TTypeInfo::Float("Single", ftSingle);
    return info;
  } else if constexpr (std::is_same_v<T, double>) {
    static const TTypeInfo info = TTypeInfo::Float("Double", ftDouble);
    return info;
  } else if constexpr (std::is_same_v<T, long double>) {
    static const TTypeInfo info = TTypeInfo::Float("Extended", ftExtended);
    return info;
  } else if constexpr (std::is_same_v<T, std::string>) {
    static const TTypeInfo info = TTypeInfo::String("string");
    return info;
  } else if constexpr (type_detail::NamedEnum<T>) {
    return sibEnumTypeInfo(static_cast<T*>(nullptr));
  } else if constexpr (type_detail::IsSet<T>::value) {
    using E = typename type_detail::IsSet<T>::Element;
    static const TTypeInfo info = TTypeInfo::Set("set of " + typeInfoOf<E>().Name, typeInfoOf<E>());
    return info;
  } else if constexpr (type_detail::IsEvent<T>::value) {
    static const TTypeInfo info = TTypeInfo::Method("TMethod");
    return info;
  } else {
    static_assert(sizeof(T) == 0, "this type cannot be a published property; declare enumeration names with SIB_ENUM_NAMES");
  }
}

// The value name of an enumeration value ("csInternal"), or its number when it has none.
template <type_detail::NamedEnum E>
std::string enumName(E value) {
  const auto& names = typeInfoOf<E>().EnumNames;
  const auto index = static_cast<std::size_t>(value);
  return index < names.size() ? names[index] : std::to_string(index);
}

}  // namespace sib

namespace sib::type_detail {

// Throws when the listed values are not 0, 1, 2, ... in order.
[[noreturn]] void throwEnumOrderError(const std::string& enumName);

template <class E>
void checkEnumOrder(const TTypeInfo& info, std::initializer_list<E> values) {
  std::int64_t expected = 0;
  for (E v : values) {
    if (static_cast<std::int64_t>(v) != expected) throwEnumOrderError(info.Name);
    ++expected;
  }
}

}  // namespace sib::type_detail

// Declares the value names of an unscoped or scoped enumeration, in ordinal order. The values must be
// 0, 1, 2, ...; a gap is reported the first time the type info is used.
#define SIB_ENUM_NAMES(E, ...)                                                                   \
  inline const ::sib::TTypeInfo& sibEnumTypeInfo(E*) {                                         \
    static const ::sib::TTypeInfo info = [] {                                                  \
      using enum E;                                                                            \
      ::sib::TTypeInfo t = ::sib::TTypeInfo::EnumerationFromList(#E, #__VA_ARGS__);            \
      ::sib::type_detail::checkEnumOrder<E>(t, {__VA_ARGS__});                                  \
      return t;                                                                                \
    }();                                                                                       \
    return info;                                                                               \
  }
