#include "platform/components/class_info.h"

#include <cfloat>
#include <cmath>
#include <mutex>

#include "platform/core/errors.h"

namespace sib {

// --- TObject --------------------------------------------------------------------------------------

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info("TObject", nullptr, nullptr, {}, {}, {});
  return info;
}

const TClassInfo& TObject::ClassType() const { return StaticClass(); }

const std::string& TObject::ClassName() const { return ClassType().ClassName(); }

bool TObject::InheritsFrom(const TClassInfo& ancestor) const { return ClassType().InheritsFrom(ancestor); }

TPropertyList TObject::PublishedProperties() { return {}; }
TMethodList TObject::PublishedMethods() { return {}; }
TFieldList TObject::PublishedFields() { return {}; }

// --- TPropInfo ------------------------------------------------------------------------------------

bool TPropInfo::IsStored(TObject* instance) const { return !stored_ || stored_(instance); }

std::int64_t TPropInfo::OrdDefault() const {
  const auto* value = std::get_if<std::int64_t>(&default_);
  return value ? *value : 0;
}

bool TPropInfo::IsDefaultValue(TObject* instance) const {
  switch (Kind()) {
    case tkInteger:
    case tkEnumeration:
    case tkSet:
      return HasDefault() && GetOrd(instance) == OrdDefault();
    case tkFloat: {
      const auto* declared = std::get_if<double>(&default_);
      return GetFloat(instance) == (declared ? *declared : 0.0);
    }
    case tkString: {
      const auto* declared = std::get_if<std::string>(&default_);
      const std::string value = GetString(instance);
      return declared ? value == *declared : value.empty();
    }
    case tkMethod:
      return !IsMethodAssigned(instance);
    case tkClass:
      return false;
  }
  return false;
}

std::int64_t TPropInfo::GetOrd(TObject* instance) const { return DoGetOrd(instance); }

void TPropInfo::SetOrd(TObject* instance, std::int64_t value) const {
  if (!writable_) ReadOnly();
  const TTypeInfo& type = PropType();
  bool inRange = true;
  if (type.Kind == tkInteger || type.Kind == tkEnumeration) {
    inRange = value >= type.MinValue && value <= type.MaxValue;
  } else if (type.Kind == tkSet) {
    const std::size_t count = type.ElementType->EnumNames.size();
    inRange = count >= 64 || (static_cast<std::uint64_t>(value) >> count) == 0;
  }
  if (!inRange) throw ERangeError("Value " + std::to_string(value) + " out of range for property " + name_);
  DoSetOrd(instance, value);
}

double TPropInfo::GetFloat(TObject* instance) const { return DoGetFloat(instance); }

void TPropInfo::SetFloat(TObject* instance, double value) const {
  if (!writable_) ReadOnly();
  if (PropType().FloatType == ftSingle && std::isfinite(value) && std::fabs(value) > FLT_MAX)
    throw ERangeError("Value out of range for property " + name_);
  DoSetFloat(instance, value);
}

std::string TPropInfo::GetString(TObject* instance) const { return DoGetString(instance); }

void TPropInfo::SetString(TObject* instance, const std::string& value) const {
  if (!writable_) ReadOnly();
  DoSetString(instance, value);
}

TObject* TPropInfo::GetObject(TObject* instance) const { return DoGetObject(instance); }

void TPropInfo::SetObject(TObject* instance, TObject* value) const {
  if (!writable_) ReadOnly();
  DoSetObject(instance, value);
}

bool TPropInfo::IsMethodAssigned(TObject* instance) const { return DoIsMethodAssigned(instance); }
std::string TPropInfo::GetMethodName(TObject* instance) const { return DoGetMethodName(instance); }
TObject* TPropInfo::GetMethodData(TObject* instance) const { return DoGetMethodData(instance); }

void TPropInfo::SetMethod(TObject* instance, const TMethodInfo* method, TObject* data) const {
  if (!writable_) ReadOnly();
  DoSetMethod(instance, method, data);
}

std::int64_t TPropInfo::DoGetOrd(TObject*) const { WrongKind("GetOrd"); }
void TPropInfo::DoSetOrd(TObject*, std::int64_t) const { WrongKind("SetOrd"); }
double TPropInfo::DoGetFloat(TObject*) const { WrongKind("GetFloat"); }
void TPropInfo::DoSetFloat(TObject*, double) const { WrongKind("SetFloat"); }
std::string TPropInfo::DoGetString(TObject*) const { WrongKind("GetString"); }
void TPropInfo::DoSetString(TObject*, const std::string&) const { WrongKind("SetString"); }
TObject* TPropInfo::DoGetObject(TObject*) const { WrongKind("GetObject"); }
void TPropInfo::DoSetObject(TObject*, TObject*) const { WrongKind("SetObject"); }
bool TPropInfo::DoIsMethodAssigned(TObject*) const { WrongKind("IsMethodAssigned"); }
std::string TPropInfo::DoGetMethodName(TObject*) const { WrongKind("GetMethodName"); }
TObject* TPropInfo::DoGetMethodData(TObject*) const { WrongKind("GetMethodData"); }
void TPropInfo::DoSetMethod(TObject*, const TMethodInfo*, TObject*) const { WrongKind("SetMethod"); }

void TPropInfo::WrongKind(const char* access) const {
  throw EInvalidOperation(std::string(access) + " does not suit property " + name_ + " of type " + type_->Name);
}

void TPropInfo::WrongClass(TObject* instance) const {
  throw EInvalidOperation("Property " + name_ + " does not belong to class " +
                          (instance ? instance->ClassName() : std::string("nil")));
}

void TPropInfo::ReadOnly() const { throw EInvalidOperation("Property " + name_ + " is read-only"); }

namespace prop_detail {

void throwInvalidObject(const TPropInfo& prop, TObject* value) {
  throw EConvertError("Invalid property value: a " + value->ClassName() + " cannot be stored in " + prop.Name() +
                      " of type " + prop.PropType().Name);
}

void throwWrongSignature(const TPropInfo& prop, const TMethodInfo& method) {
  throw EConvertError("Method " + method.Name() + " does not suit event " + prop.Name());
}

}  // namespace prop_detail

// --- TPropDecl, TFieldInfo ------------------------------------------------------------------------

TPropDecl TPropDecl::type(const TTypeInfo& info) && {
  const TTypeInfo& deduced = info_->PropType();
  const bool widerRange = info.Kind == tkInteger && (info.MinValue < deduced.MinValue || info.MaxValue > deduced.MaxValue);
  if (info.Kind != deduced.Kind || widerRange)
    throw EInvalidOperation("Type " + info.Name + " does not suit property " + info_->Name());
  info_->type_ = &info;
  return std::move(*this);
}

void TFieldInfo::Set(TObject* owner, TObject* value) const {
  if (!set_(owner, value))
    throw EInvalidOperation("Field " + name_ + " of " + (owner ? owner->ClassName() : std::string("nil")) +
                            " cannot hold a " + (value ? value->ClassName() : std::string("nil")));
}

// --- TClassInfo -----------------------------------------------------------------------------------

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, TFactory factory, TPropertyList properties,
                       TMethodList methods, TFieldList fields)
    : name_(std::move(name)), parent_(parent), factory_(factory), methods_(std::move(methods)),
      fields_(std::move(fields)) {
  if (parent_) properties_ = parent_->properties_;
  for (TPropDecl& decl : properties) {
    ownProperties_.push_back(decl.Info());
    const TPropInfo* info = decl.Info().get();
    bool replaced = false;
    for (const TPropInfo*& existing : properties_) {
      if (class_detail::sameText(existing->Name(), info->Name())) {
        existing = info;
        replaced = true;
        break;
      }
    }
    if (!replaced) properties_.push_back(info);
  }
}

bool TClassInfo::InheritsFrom(const TClassInfo& ancestor) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == &ancestor) return true;
  return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const TPropInfo* p : properties_)
    if (class_detail::sameText(p->Name(), name)) return p;
  return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TMethodInfo& m : c->methods_)
      if (class_detail::sameText(m.Name(), name)) return &m;
  return nullptr;
}

const TFieldInfo* TClassInfo::FindField(std::string_view name) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TFieldInfo& f : c->fields_)
      if (class_detail::sameText(f.Name(), name)) return &f;
  return nullptr;
}

// --- Registry -------------------------------------------------------------------------------------

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const TClassInfo*> classes;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

void RegisterClass(const TClassInfo& classInfo) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (const TClassInfo* c : r.classes) {
    if (!class_detail::sameText(c->ClassName(), classInfo.ClassName())) continue;
    if (c == &classInfo) return;
    throw EInvalidOperation("Another class named " + classInfo.ClassName() + " is already registered");
  }
  r.classes.push_back(&classInfo);
}

const TClassInfo* GetClass(std::string_view name) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (const TClassInfo* c : r.classes)
    if (class_detail::sameText(c->ClassName(), name)) return c;
  return nullptr;
}

namespace class_detail {

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace class_detail

}  // namespace sib
