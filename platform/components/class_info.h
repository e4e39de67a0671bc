// Classes that know themselves at run time: TObject (the root of every such class), TClassInfo (the
// class's name, parent, factory and published tables) and the class registry that the description
// loader finds classes in by name.
//
// Every class that takes part declares itself with SIB_CLASS at the top of its body, and may declare
// three short tables as static functions (public or protected): its published properties, its
// published methods (event handlers a description may bind by name) and its published fields (members
// that the owner's loaded components are stored in by name). A class lists only what it adds; the
// tables of its ancestors come first.
//
//   class TLPTimer : public TComponent {
//     SIB_CLASS(TLPTimer, TComponent)
//    public:
//     explicit TLPTimer(TComponent* AOwner);
//     static TPropertyList PublishedProperties() {
//       return {
//           prop("Enabled", &TLPTimer::FEnabled, &TLPTimer::SetEnabled).defaultValue(true),
//           prop("Interval", &TLPTimer::FInterval, &TLPTimer::SetInterval).defaultValue(1000),
//           prop("OnTimer", &TLPTimer::FOnTimer, &TLPTimer::SetOnTimer),
//       };
//     }
//     ...
//   };
//
//   class TForm1 : public TForm {
//     SIB_CLASS(TForm1, TForm)
//    public:
//     TALAmplifier* amp1 = nullptr;
//     void FormCreate(TObject* Sender);
//     static TFieldList PublishedFields() { return {field("amp1", &TForm1::amp1)}; }
//     static TMethodList PublishedMethods() { return {method("FormCreate", &TForm1::FormCreate)}; }
//   };
//
// A class that a description creates by name must also be registered once: RegisterClass<TLPTimer>().
// Component classes need a public constructor taking the owner (TComponent*), collection items one
// taking the collection (TCollection*); the registry's factory calls them.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <variant>
#include <vector>

#include "platform/components/type_info.h"

namespace sib {

class TComponent;
class TCollection;
class TPropDecl;
class TMethodInfo;
class TFieldInfo;

using TPropertyList = std::vector<TPropDecl>;
using TMethodList = std::vector<TMethodInfo>;
using TFieldList = std::vector<TFieldInfo>;

// The root of every class that has a class info. Not copyable: objects are owned and referred to.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo& StaticClass();
  // The class info of the object's own class (every class overrides this through SIB_CLASS).
  virtual const TClassInfo& ClassType() const;
  const std::string& ClassName() const;
  bool InheritsFrom(const TClassInfo& ancestor) const;

  static TPropertyList PublishedProperties();
  static TMethodList PublishedMethods();
  static TFieldList PublishedFields();
};

// One published property: name, type, how to read and write it, its default and stored-ness.
// The accessors of the property's kind work on any object of the declaring class (or a descendant);
// the other accessors, or an object of another class, raise EInvalidOperation.
class TPropInfo {
 public:
  virtual ~TPropInfo() = default;

  const std::string& Name() const { return name_; }
  const TTypeInfo& PropType() const { return *type_; }
  TTypeKind Kind() const { return type_->Kind; }
  bool IsWritable() const { return writable_; }
  // Evaluates the stored clause (a constant or a member function) for the instance.
  bool IsStored(TObject* instance) const;
  bool HasDefault() const { return !std::holds_alternative<std::monostate>(default_); }
  // True when the writer leaves the value out: ordinals equal to their declared default (ordinals
  // without a default are always written); floats and strings equal to their declared default, or
  // without one, equal to 0 or empty; events that are not assigned. Objects are never "default".
  bool IsDefaultValue(TObject* instance) const;
  std::int64_t OrdDefault() const;

  // tkInteger, tkEnumeration and tkSet (the set as its bit mask). SetOrd raises ERangeError for a
  // value outside the type's range (or an unknown set element).
  std::int64_t GetOrd(TObject* instance) const;
  void SetOrd(TObject* instance, std::int64_t value) const;
  // tkFloat.
  double GetFloat(TObject* instance) const;
  void SetFloat(TObject* instance, double value) const;
  // tkString.
  std::string GetString(TObject* instance) const;
  void SetString(TObject* instance, const std::string& value) const;
  // tkClass. SetObject raises EConvertError when the object is not of the property's class.
  TObject* GetObject(TObject* instance) const;
  void SetObject(TObject* instance, TObject* value) const;
  // tkMethod. SetMethod binds a published method of `data`'s class (nullptr clears the event) and
  // raises EConvertError when the method's parameters differ from the event's.
  bool IsMethodAssigned(TObject* instance) const;
  std::string GetMethodName(TObject* instance) const;
  TObject* GetMethodData(TObject* instance) const;
  void SetMethod(TObject* instance, const TMethodInfo* method, TObject* data) const;

 protected:
  TPropInfo(std::string name, const TTypeInfo& type, bool writable)
      : name_(std::move(name)), type_(&type), writable_(writable) {}

  virtual std::int64_t DoGetOrd(TObject* instance) const;
  virtual void DoSetOrd(TObject* instance, std::int64_t value) const;
  virtual double DoGetFloat(TObject* instance) const;
  virtual void DoSetFloat(TObject* instance, double value) const;
  virtual std::string DoGetString(TObject* instance) const;
  virtual void DoSetString(TObject* instance, const std::string& value) const;
  virtual TObject* DoGetObject(TObject* instance) const;
  virtual void DoSetObject(TObject* instance, TObject* value) const;
  virtual bool DoIsMethodAssigned(TObject* instance) const;
  virtual std::string DoGetMethodName(TObject* instance) const;
  virtual TObject* DoGetMethodData(TObject* instance) const;
  virtual void DoSetMethod(TObject* instance, const TMethodInfo* method, TObject* data) const;

  [[noreturn]] void WrongKind(const char* access) const;
  [[noreturn]] void WrongClass(TObject* instance) const;
  [[noreturn]] void ReadOnly() const;

 private:
  friend class TPropDecl;
  friend class TClassInfo;

  std::string name_;
  const TTypeInfo* type_;
  bool writable_;
  std::function<bool(TObject*)> stored_;
  std::variant<std::monostate, std::int64_t, double, std::string> default_;
};

// A published method: an event handler that a description binds by name (`OnClick = btnExitClick`).
class TMethodInfo {
 public:
  template <class C, class... Args>
  TMethodInfo(std::string name, void (C::*method)(Args...))
      : name_(std::move(name)), signature_(typeid(void(Args...))), bind_([method](TObject* data) -> std::any {
          auto* object = dynamic_cast<C*>(data);
          if (!object) return {};
          return std::function<void(Args...)>(
              [object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); });
        }) {}

  const std::string& Name() const { return name_; }
  const std::type_index& Signature() const { return signature_; }
  // A std::function<void(Args...)> running the method on `data`; empty when `data` is of another class.
  std::any Bind(TObject* data) const { return bind_(data); }

 private:
  std::string name_;
  std::type_index signature_;
  std::function<std::any(TObject*)> bind_;
};

// A published field: a member of the owner that holds the owned component of the same name. The
// owner's fields are set when such a component is named or inserted, and cleared when it leaves.
class TFieldInfo {
 public:
  template <class C, class T>
  TFieldInfo(std::string name, T* C::*member)
      : name_(std::move(name)), set_([member](TObject* owner, TObject* value) -> bool {
          auto* self = dynamic_cast<C*>(owner);
          T* typed = dynamic_cast<T*>(value);
          if (!self || (value && !typed)) return false;
          self->*member = typed;
          return true;
        }) {}

  const std::string& Name() const { return name_; }
  // Stores `value` (or clears with nullptr); raises EInvalidOperation when it does not fit the field.
  void Set(TObject* owner, TObject* value) const;

 private:
  std::string name_;
  std::function<bool(TObject*, TObject*)> set_;
};

template <class C, class... Args>
TMethodInfo method(std::string name, void (C::*m)(Args...)) {
  return TMethodInfo(std::move(name), m);
}

template <class C, class T>
TFieldInfo field(std::string name, T* C::*member) {
  return TFieldInfo(std::move(name), member);
}

namespace prop_detail {

// The value type that a member pointer reads or writes, with references and const removed.
template <class M>
struct Member;
template <class C, class V>
struct Member<V C::*> {
  using Class = C;
  using Value = V;
  static constexpr bool isField = true;
};
template <class C, class R>
struct Member<R (C::*)()> {
  using Class = C;
  using Value = std::remove_cvref_t<R>;
  static constexpr bool isField = false;
  static constexpr bool isGetter = true;
};
template <class C, class R>
struct Member<R (C::*)() const> : Member<R (C::*)()> {};
template <class C, class R>
struct Member<R (C::*)() noexcept> : Member<R (C::*)()> {};
template <class C, class R>
struct Member<R (C::*)() const noexcept> : Member<R (C::*)()> {};
template <class C, class R, class A>
struct Member<R (C::*)(A)> {
  using Class = C;
  using Value = std::remove_cvref_t<A>;
  static constexpr bool isField = false;
  static constexpr bool isGetter = false;
};
template <class C, class R, class A>
struct Member<R (C::*)(A) noexcept> : Member<R (C::*)(A)> {};

template <class V>
constexpr bool isObjectPointer = std::is_pointer_v<V> && std::is_base_of_v<TObject, std::remove_pointer_t<V>>;

template <class V>
const TTypeInfo& valueType() {
  if constexpr (isObjectPointer<V>) {
    static const TTypeInfo info = TTypeInfo::Class(std::remove_pointer_t<V>::StaticClass());
    return info;
  } else {
    return typeInfoOf<V>();
  }
}

template <class V>
TTypeKind valueKind() {
  if constexpr (isObjectPointer<V>) return tkClass;
  else return typeInfoOf<V>().Kind;
}

[[noreturn]] void throwInvalidObject(const TPropInfo& prop, TObject* value);
[[noreturn]] void throwWrongSignature(const TPropInfo& prop, const TMethodInfo& method);

// A property of value type V declared by class C.
template <class C, class V>
class TypedProp final : public TPropInfo {
 public:
  TypedProp(std::string name, std::function<V(C&)> get, std::function<void(C&, V)> set)
      : TPropInfo(std::move(name), valueType<V>(), static_cast<bool>(set)), get_(std::move(get)), set_(std::move(set)) {}

 protected:
  std::int64_t DoGetOrd(TObject* instance) const override {
    if constexpr (isOrdinal()) return toOrd(get_(self(instance)));
    else return TPropInfo::DoGetOrd(instance);
  }
  void DoSetOrd(TObject* instance, std::int64_t value) const override {
    if constexpr (isOrdinal()) set_(self(instance), fromOrd(value));
    else TPropInfo::DoSetOrd(instance, value);
  }
  double DoGetFloat(TObject* instance) const override {
    if constexpr (std::is_floating_point_v<V>) return static_cast<double>(get_(self(instance)));
    else return TPropInfo::DoGetFloat(instance);
  }
  void DoSetFloat(TObject* instance, double value) const override {
    if constexpr (std::is_floating_point_v<V>) set_(self(instance), static_cast<V>(value));
    else TPropInfo::DoSetFloat(instance, value);
  }
  std::string DoGetString(TObject* instance) const override {
    if constexpr (std::is_same_v<V, std::string>) return get_(self(instance));
    else return TPropInfo::DoGetString(instance);
  }
  void DoSetString(TObject* instance, const std::string& value) const override {
    if constexpr (std::is_same_v<V, std::string>) set_(self(instance), value);
    else TPropInfo::DoSetString(instance, value);
  }
  TObject* DoGetObject(TObject* instance) const override {
    if constexpr (isObjectPointer<V>) return get_(self(instance));
    else return TPropInfo::DoGetObject(instance);
  }
  void DoSetObject(TObject* instance, TObject* value) const override {
    if constexpr (isObjectPointer<V>) {
      auto* typed = dynamic_cast<V>(value);
      if (value && !typed) throwInvalidObject(*this, value);
      set_(self(instance), typed);
    } else {
      TPropInfo::DoSetObject(instance, value);
    }
  }
  bool DoIsMethodAssigned(TObject* instance) const override {
    if constexpr (type_detail::IsEvent<V>::value) return static_cast<bool>(get_(self(instance)));
    else return TPropInfo::DoIsMethodAssigned(instance);
  }
  std::string DoGetMethodName(TObject* instance) const override {
    if constexpr (type_detail::IsEvent<V>::value) return get_(self(instance)).MethodName;
    else return TPropInfo::DoGetMethodName(instance);
  }
  TObject* DoGetMethodData(TObject* instance) const override {
    if constexpr (type_detail::IsEvent<V>::value) return get_(self(instance)).Data;
    else return TPropInfo::DoGetMethodData(instance);
  }
  void DoSetMethod(TObject* instance, const TMethodInfo* method, TObject* data) const override {
    if constexpr (type_detail::IsEvent<V>::value) {
      using Code = decltype(V::Code);
      if (!method) {
        set_(self(instance), V());
        return;
      }
      std::any bound = method->Bind(data);
      const Code* code = std::any_cast<Code>(&bound);
      if (!code) throwWrongSignature(*this, *method);
      set_(self(instance), V(*code, data, method->Name()));
    } else {
      TPropInfo::DoSetMethod(instance, method, data);
    }
  }

 private:
  static constexpr bool isOrdinal() {
    return std::is_integral_v<V> || std::is_enum_v<V> || type_detail::IsSet<V>::value;
  }
  static std::int64_t toOrd(const V& v) {
    if constexpr (type_detail::IsSet<V>::value) return static_cast<std::int64_t>(v.Bits());
    else return static_cast<std::int64_t>(v);
  }
  static V fromOrd(std::int64_t v) {
    if constexpr (type_detail::IsSet<V>::value) return V::FromBits(static_cast<std::uint64_t>(v));
    else if constexpr (std::is_same_v<V, bool>) return v != 0;
    else return static_cast<V>(v);
  }
  C& self(TObject* instance) const {
    if (auto* c = dynamic_cast<C*>(instance)) return *c;
    WrongClass(instance);
  }

  std::function<V(C&)> get_;
  std::function<void(C&, V)> set_;
};

template <class C, class V, class M>
std::function<V(C&)> makeGetter(M member) {
  using Info = Member<M>;
  static_assert(std::is_same_v<typename Info::Value, V>, "getter and setter disagree on the value type");
  if constexpr (Info::isField) return [member](C& c) -> V { return c.*member; };
  else {
    static_assert(Info::isGetter, "the first accessor must be a field or a getter without parameters");
    return [member](C& c) -> V { return (c.*member)(); };
  }
}

template <class C, class V, class M>
std::function<void(C&, V)> makeSetter(M member) {
  using Info = Member<M>;
  static_assert(std::is_same_v<typename Info::Value, V>, "getter and setter disagree on the value type");
  if constexpr (Info::isField) return [member](C& c, V v) { c.*member = std::move(v); };
  else {
    static_assert(!Info::isGetter, "the second accessor must be a field or a setter with one parameter");
    return [member](C& c, V v) { (c.*member)(std::move(v)); };
  }
}

// The most derived of the two declaring classes (a getter may come from a base class).
template <class A, class B>
using Derived = std::conditional_t<std::is_base_of_v<A, B>, B, A>;

}  // namespace prop_detail

// One row of a class's property table, as `prop(...)` builds it; the modifiers refine it.
class TPropDecl {
 public:
  explicit TPropDecl(std::shared_ptr<TPropInfo> info) : info_(std::move(info)) {}

  // The value that is not written. For ordinals (integers, enumerations, booleans, sets) a property
  // without a default is always written; floats and strings without one are left out when 0 or empty.
  template <class T>
  TPropDecl defaultValue(const T& value) && {
    if constexpr (std::is_floating_point_v<T>) info_->default_ = static_cast<double>(value);
    else if constexpr (std::is_convertible_v<T, std::string>) info_->default_ = std::string(value);
    else if constexpr (type_detail::IsSet<T>::value) info_->default_ = static_cast<std::int64_t>(value.Bits());
    else info_->default_ = static_cast<std::int64_t>(value);
    return std::move(*this);
  }
  // `stored(false)`: never written, and not copied by Assign-style copies.
  TPropDecl stored(bool value) && {
    info_->stored_ = [value](TObject*) { return value; };
    return std::move(*this);
  }
  // A member function that decides per object.
  template <class C>
  TPropDecl stored(bool (C::*isStored)() const) && {
    info_->stored_ = [isStored](TObject* o) {
      auto* c = dynamic_cast<C*>(o);
      return c && (c->*isStored)();
    };
    return std::move(*this);
  }
  template <class C>
  TPropDecl stored(bool (C::*isStored)()) && {
    info_->stored_ = [isStored](TObject* o) {
      auto* c = dynamic_cast<C*>(o);
      return c && (c->*isStored)();
    };
    return std::move(*this);
  }
  // Replaces the type info deduced from C++ (for TDateTime floats, named colours, ...). The kind and
  // the range must suit the C++ value type.
  TPropDecl type(const TTypeInfo& info) &&;

  const std::shared_ptr<TPropInfo>& Info() const { return info_; }

 private:
  std::shared_ptr<TPropInfo> info_;
};

// A property read and written through the same member: a field (`&T::FEnabled`), or read through a
// getter (`&T::GetCount`) and then read-only.
template <class M>
TPropDecl prop(std::string name, M read) {
  using Info = prop_detail::Member<M>;
  using C = typename Info::Class;
  using V = typename Info::Value;
  std::function<void(C&, V)> set;
  if constexpr (Info::isField) set = prop_detail::makeSetter<C, V>(read);
  return TPropDecl(std::make_shared<prop_detail::TypedProp<C, V>>(std::move(name), prop_detail::makeGetter<C, V>(read),
                                                                  std::move(set)));
}

// A property read through `read` (a field or a getter) and written through `write` (a field or a
// setter taking the value).
template <class R, class W>
TPropDecl prop(std::string name, R read, W write) {
  using C = prop_detail::Derived<typename prop_detail::Member<R>::Class, typename prop_detail::Member<W>::Class>;
  using V = typename prop_detail::Member<R>::Value;
  return TPropDecl(std::make_shared<prop_detail::TypedProp<C, V>>(std::move(name), prop_detail::makeGetter<C, V>(read),
                                                                  prop_detail::makeSetter<C, V>(write)));
}

// The run-time description of a class.
class TClassInfo {
 public:
  // Creates an instance: components from their owner, collection items from their collection. The
  // caller owns the result at once (component.h and collection.h wrap it in their owners).
  using TFactory = TObject* (*)(TObject* ownerOrCollection);

  TClassInfo(std::string name, const TClassInfo* parent, TFactory factory, TPropertyList properties,
             TMethodList methods, TFieldList fields);
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& ClassName() const { return name_; }
  const TClassInfo* ClassParent() const { return parent_; }
  bool InheritsFrom(const TClassInfo& ancestor) const;

  // Every published property, the ancestors' first, each class's in declaration order. A class that
  // declares a property of an ancestor's name replaces it in the ancestor's place.
  const std::vector<const TPropInfo*>& Properties() const { return properties_; }
  // Case-insensitive, like all names of the description; nullptr when there is none.
  const TPropInfo* FindProperty(std::string_view name) const;
  const TMethodInfo* FindMethod(std::string_view name) const;
  const TFieldInfo* FindField(std::string_view name) const;

  TFactory Factory() const { return factory_; }

 private:
  std::string name_;
  const TClassInfo* parent_;
  TFactory factory_;
  std::vector<std::shared_ptr<TPropInfo>> ownProperties_;
  std::vector<const TPropInfo*> properties_;
  std::vector<TMethodInfo> methods_;
  std::vector<TFieldInfo> fields_;
};

// The class registry: the classes a description may name. Registering a class twice is harmless;
// registering another class under a name already taken raises EInvalidOperation. Thread-safe.
void RegisterClass(const TClassInfo& classInfo);
template <class... T>
void RegisterClasses() {
  (RegisterClass(T::StaticClass()), ...);
}
// nullptr when no class of that name (case-insensitive) is registered.
const TClassInfo* GetClass(std::string_view name);

namespace class_detail {

// Names T only once Self is known, so that the incomplete TComponent and TCollection may appear here.
template <class Self, class T>
struct Dependent {
  using type = T;
};

template <class Self>
TClassInfo::TFactory factoryOf() {
  using Component = typename Dependent<Self, TComponent>::type;
  using Collection = typename Dependent<Self, TCollection>::type;
  if constexpr (std::is_abstract_v<Self>) {
    return nullptr;
  } else if constexpr (std::is_base_of_v<TComponent, Self> && std::is_constructible_v<Self, TComponent*>) {
    return [](TObject* owner) -> TObject* { return new Self(static_cast<Component*>(owner)); };
  } else if constexpr (std::is_constructible_v<Self, TCollection*> && !std::is_base_of_v<TComponent, Self>) {
    return [](TObject* collection) -> TObject* { return new Self(static_cast<Collection*>(collection)); };
  } else {
    return nullptr;
  }
}

// Case-insensitive comparison of ASCII names, as the description compares them.
bool sameText(std::string_view a, std::string_view b);

}  // namespace class_detail

}  // namespace sib

// Declares the class info of Self, whose parent class is Parent. Put it first in the class body; it
// leaves the access at public.
#define SIB_CLASS(Self, Parent)                                                                              \
 public:                                                                                                     \
  using inherited = Parent;                                                                                  \
  static const ::sib::TClassInfo& StaticClass() {                                                            \
    static const ::sib::TClassInfo info(                                                                     \
        #Self, &Parent::StaticClass(), ::sib::class_detail::factoryOf<Self>(),                               \
        &Self::PublishedProperties == &Parent::PublishedProperties ? ::sib::TPropertyList{}                  \
                                                                   : Self::PublishedProperties(),            \
        &Self::PublishedMethods == &Parent::PublishedMethods ? ::sib::TMethodList{} : Self::PublishedMethods(), \
        &Self::PublishedFields == &Parent::PublishedFields ? ::sib::TFieldList{} : Self::PublishedFields());  \
    return info;                                                                                             \
  }                                                                                                          \
  const ::sib::TClassInfo& ClassType() const override { return StaticClass(); }
