#include "platform/components/type_info.h"

#include "platform/components/class_info.h"
#include "platform/core/errors.h"

namespace sib {

namespace {

TTypeInfo named(std::string name, TTypeKind kind) {
  TTypeInfo t;
  t.Name = std::move(name);
  t.Kind = kind;
  return t;
}

}  // namespace

TTypeInfo TTypeInfo::Integer(std::string name, std::int64_t minValue, std::int64_t maxValue,
                             std::vector<TIdentMapEntry> idents) {
  TTypeInfo t = named(std::move(name), tkInteger);
  t.MinValue = minValue;
  t.MaxValue = maxValue;
  t.Idents = std::move(idents);
  return t;
}

TTypeInfo TTypeInfo::Enumeration(std::string name, std::vector<std::string> names) {
  TTypeInfo t = named(std::move(name), tkEnumeration);
  t.MinValue = 0;
  t.MaxValue = static_cast<std::int64_t>(names.size()) - 1;
  t.EnumNames = std::move(names);
  return t;
}

TTypeInfo TTypeInfo::EnumerationFromList(std::string name, std::string_view commaSeparatedNames) {
  std::vector<std::string> names;
  std::string current;
  for (char c : commaSeparatedNames) {
    if (c == ',') {
      names.push_back(std::move(current));
      current.clear();
    } else if (c != ' ' && c != '\t' && c != '\n') {
      current += c;
    }
  }
  if (!current.empty()) names.push_back(std::move(current));
  return Enumeration(std::move(name), std::move(names));
}

TTypeInfo TTypeInfo::Set(std::string name, const TTypeInfo& elementType) {
  if (elementType.Kind != tkEnumeration || elementType.EnumNames.size() > 64)
    throw EInvalidOperation("A set needs an enumeration of at most 64 values: " + name);
  TTypeInfo t = named(std::move(name), tkSet);
  t.ElementType = &elementType;
  return t;
}

TTypeInfo TTypeInfo::Float(std::string name, TFloatType floatType) {
  TTypeInfo t = named(std::move(name), tkFloat);
  t.FloatType = floatType;
  return t;
}

TTypeInfo TTypeInfo::String(std::string name) { return named(std::move(name), tkString); }

TTypeInfo TTypeInfo::Class(const TClassInfo& classType) {
  TTypeInfo t = named(classType.ClassName(), tkClass);
  t.ClassType = &classType;
  return t;
}

TTypeInfo TTypeInfo::Method(std::string name) { return named(std::move(name), tkMethod); }

int TTypeInfo::EnumValue(std::string_view name) const {
  for (std::size_t i = 0; i < EnumNames.size(); ++i)
    if (class_detail::sameText(EnumNames[i], name)) return static_cast<int>(i);
  return -1;
}

bool TTypeInfo::IdentToInt(std::string_view name, std::int64_t& value) const {
  for (const auto& entry : Idents) {
    if (class_detail::sameText(entry.Name, name)) {
      value = entry.Value;
      return true;
    }
  }
  return false;
}

const std::string* TTypeInfo::IntToIdent(std::int64_t value) const {
  for (const auto& entry : Idents)
    if (entry.Value == value) return &entry.Name;
  return nullptr;
}

bool TTypeInfo::IsDateTimeType() const {
  return Kind == tkFloat && (Name == "TDateTime" || Name == "TDate" || Name == "TTime");
}

const TTypeInfo& dateTimeType() {
  static const TTypeInfo info = TTypeInfo::Float("TDateTime", ftDouble);
  return info;
}

const TTypeInfo& dateType() {
  static const TTypeInfo info = TTypeInfo::Float("TDate", ftDouble);
  return info;
}

const TTypeInfo& timeType() {
  static const TTypeInfo info = TTypeInfo::Float("TTime", ftDouble);
  return info;
}

namespace type_detail {

const TTypeInfo& booleanType() {
  static const TTypeInfo info = TTypeInfo::Enumeration("Boolean", {"False", "True"});
  return info;
}

void throwEnumOrderError(const std::string& enumName) {
  throw EInvalidOperation("The value names of " + enumName + " are not listed in ordinal order from 0");
}

}  // namespace type_detail

}  // namespace sib
