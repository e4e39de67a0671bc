// Interfaces and their references. An interface is an abstract class with a static IID and, where it
// extends another interface, a `Parent` alias. Objects implement interfaces through Implements<>,
// which counts references atomically (the last release frees the object), or through
// ImplementsUncounted<>, whose add and release do nothing (objects owned elsewhere, such as pins).
// RefPtr<T> is the one smart pointer that holds interface references everywhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/core/guid.h"

namespace sib {

class IInterface {
 public:
  static constexpr TGUID IID = "{00000000-0000-0000-C000-000000000046}"_guid;

  // Returns the object's implementation of `iid` with a reference added, or nullptr.
  virtual IInterface* QueryInterface(const TGUID& iid) = 0;
  virtual std::int32_t AddRef() = 0;
  virtual std::int32_t Release() = 0;

 protected:
  ~IInterface() = default;
};

namespace interface_detail {

template <class I>
concept HasParent = requires { typename I::Parent; };

// Finds `iid` among I and the interfaces it extends.
template <class I, class Self>
IInterface* find(Self* self, const TGUID& iid) {
  if (iid == I::IID) return static_cast<I*>(self);
  if constexpr (HasParent<I>) return find<typename I::Parent>(self, iid);
  return nullptr;
}

template <class Self, class... Is>
IInterface* findAmong(Self* self, const TGUID& iid) {
  IInterface* found = nullptr;
  ((found = found ? found : find<Is>(self, iid)), ...);
  return found;
}

}  // namespace interface_detail

// Base of every reference-counted object. Objects start with a count of 0; the first RefPtr takes it to 1.
template <class... Interfaces>
class Implements : public Interfaces... {
 public:
  Implements() = default;
  Implements(const Implements&) = delete;
  Implements& operator=(const Implements&) = delete;
  virtual ~Implements() = default;

  IInterface* QueryInterface(const TGUID& iid) override {
    IInterface* found = FindInterface(iid);
    if (found) found->AddRef();
    return found;
  }
  std::int32_t AddRef() override { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }
  std::int32_t Release() override {
    const std::int32_t left = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // The exact number of references; 1 means the caller's is the only one.
  std::int32_t RefCount() const { return refCount_.load(std::memory_order_acquire); }

 protected:
  // Derived classes that add interfaces extend this and fall back to the base's.
  virtual IInterface* FindInterface(const TGUID& iid) {
    if (iid == IInterface::IID) return static_cast<IInterface*>(static_cast<FirstInterface*>(this));
    return interface_detail::findAmong<Implements, Interfaces...>(this, iid);
  }

 private:
  using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;
  std::atomic<std::int32_t> refCount_{0};
};

// Adds further interfaces to a class that already implements some through Implements<>.
template <class Base, class... Interfaces>
class ImplementsMore : public Base, public Interfaces... {
 public:
  using Base::Base;

  IInterface* QueryInterface(const TGUID& iid) override { return Base::QueryInterface(iid); }
  std::int32_t AddRef() override { return Base::AddRef(); }
  std::int32_t Release() override { return Base::Release(); }

 protected:
  IInterface* FindInterface(const TGUID& iid) override {
    if (IInterface* found = interface_detail::findAmong<ImplementsMore, Interfaces...>(this, iid)) return found;
    return Base::FindInterface(iid);
  }
};

// For objects whose lifetime is managed by an owner: references neither keep them alive nor free them.
template <class... Interfaces>
class ImplementsUncounted : public Interfaces... {
 public:
  virtual ~ImplementsUncounted() = default;

  IInterface* QueryInterface(const TGUID& iid) override { return FindInterface(iid); }
  std::int32_t AddRef() override { return -1; }
  std::int32_t Release() override { return -1; }

 protected:
  virtual IInterface* FindInterface(const TGUID& iid) {
    if (iid == IInterface::IID) return static_cast<IInterface*>(static_cast<FirstInterface*>(this));
    return interface_detail::findAmong<ImplementsUncounted, Interfaces...>(this, iid);
  }

 private:
  using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;
};

// An intrusive reference: adds a reference on construction from a raw pointer, releases on destruction.
template <class T>
class RefPtr {
 public:
  RefPtr() = default;
  RefPtr(std::nullptr_t) {}  // NOLINT: implicit like a pointer
  explicit RefPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  RefPtr(const RefPtr& other) : RefPtr(other.p_) {}
  RefPtr(RefPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  RefPtr(const RefPtr<U>& other) : RefPtr(static_cast<T*>(other.get())) {}  // NOLINT: implicit upcast
  template <class U>
    requires std::is_convertible_v<U*, T*>
  RefPtr(RefPtr<U>&& other) noexcept : p_(other.detach()) {}  // NOLINT: implicit upcast
  ~RefPtr() { reset(); }

  RefPtr& operator=(RefPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Takes over a reference that was already added (the result of QueryInterface).
  static RefPtr adopt(T* p) {
    RefPtr r;
    r.p_ = p;
    return r;
  }
  T* detach() { return std::exchange(p_, nullptr); }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  friend bool operator==(const RefPtr& a, const RefPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const RefPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
RefPtr<T> makeRef(Args&&... args) {
  return RefPtr<T>(new T(std::forward<Args>(args)...));
}

// The object's implementation of interface I, or an empty reference when it has none.
template <class I, class From>
RefPtr<I> queryInterface(From* object) {
  if (!object) return {};
  return RefPtr<I>::adopt(static_cast<I*>(object->QueryInterface(I::IID)));
}
template <class I, class From>
RefPtr<I> queryInterface(const RefPtr<From>& object) {
  return queryInterface<I>(object.get());
}

template <class I, class From>
bool supports(From* object) {
  return static_cast<bool>(queryInterface<I>(object));
}

}  // namespace sib
