// Stream types: the stream interfaces through which pins receive operations, the bound submit
// callbacks that hand an operation to the other side of a connection, the ordered type list a pin
// offers, and the two process-wide registries (stream types with their names and send functions;
// format converters between two types).
//
// The registries are filled at start-up, before pins exist, and only read afterwards; they still
// take a lock, so that a late registration cannot tear a lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/notify.h"
#include "platform/components/component.h"
#include "platform/core/interface.h"

namespace sib {

class TOWBasicPin;
class TOWFormatConverter;

// The empty identifier: no connection type.
inline constexpr TGUID GUID_NULL{};

// Every stream interface extends IOWStream. Pins answer queries for the stream interfaces their class
// implements; a pin "supports" a type when it answers the query for the type's identifier. Pins are
// not reference-counted through these interfaces.
class IOWStream : public IInterface {
 public:
  static constexpr TGUID IID = "{2BFF1BE1-1698-4CFA-A427-9E0801C5B357}"_guid;
};

class IOWBasicStream : public IOWStream {
 public:
  static constexpr TGUID IID = "{561B072C-4191-49C6-9F22-21791EF977D9}"_guid;
  using Parent = IOWStream;
  // The other side of a connection hands this pin an operation. `DataTypeID` is the connection type.
  virtual TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                       TOWNotifyState State) = 0;
};

class IOWDataStream : public IOWBasicStream {
 public:
  static constexpr TGUID IID = "{CFDF94D7-5134-49D9-AC65-902BBC1CD140}"_guid;
  using Parent = IOWBasicStream;
};

// The receiving pin's implementation of stream interface I, or nullptr. No reference is kept: pins
// are owned by their components, not by references.
template <class I>
I* streamAs(IOWStream* Handler) {
  return Handler ? static_cast<I*>(Handler->QueryInterface(I::IID)) : nullptr;
}

// A submit function: code bound to an object. It hands `Operation` to `Handler` (the receiving pin's
// stream interface) for connection type `*DataTypeID`. Trivially copyable, so that a connection list
// is copied with no more than one allocation.
class TOWSubmit {
 public:
  using Code = TOWNotifyResult (*)(void* Self, IOWStream* Handler, const TGUID* DataTypeID,
                                   IOWNotifyOperation* Operation, TOWNotifyState State);

  constexpr TOWSubmit() = default;
  constexpr TOWSubmit(Code ACode, void* AData) : FCode(ACode), FData(AData) {}

  // Binds a member function `TOWNotifyResult T::Method(IOWStream*, const TGUID*, IOWNotifyOperation*,
  // TOWNotifyState)` to `Self`.
  template <auto Method, class T>
  static TOWSubmit Bind(T* Self) {
    return TOWSubmit(
        [](void* self, IOWStream* handler, const TGUID* id, IOWNotifyOperation* op, TOWNotifyState state) {
          return (static_cast<T*>(self)->*Method)(handler, id, op, state);
        },
        Self);
  }

  explicit operator bool() const { return FCode != nullptr; }
  TOWNotifyResult operator()(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                             TOWNotifyState State) const {
    return FCode(FData, Handler, DataTypeID, Operation, State);
  }
  friend bool operator==(const TOWSubmit&, const TOWSubmit&) = default;

 private:
  Code FCode = nullptr;
  void* FData = nullptr;
};

// A registry's send function: a plain function that runs on behalf of the pin `Sender`.
using TOWGlobalSubmit = TOWNotifyResult (*)(TOWBasicPin* Sender, IOWStream* Handler, const TGUID* DataTypeID,
                                            IOWNotifyOperation* Operation, TOWNotifyState State);

struct TOWPinTypeEntry {
  TGUID ID;
  TOWSubmit SubmitFunction;
};

// The ordered list of connection types a pin offers. Later entries are preferred.
class TOWPinStreamType {
 public:
  // Replaces the function of an existing ID in place, else appends.
  void AddType(const TGUID& ID, TOWSubmit SubmitFunction);
  void RemoveType(const TGUID& ID);
  void ClearTypes() { FTypes.clear(); }
  void SwapPosition(std::size_t Index1, std::size_t Index2);
  const TGUID& GetID(std::size_t Index) const { return FTypes.at(Index).ID; }
  TOWSubmit GetSubmitFunc(std::size_t Index) const { return FTypes.at(Index).SubmitFunction; }
  std::size_t GetLength() const { return FTypes.size(); }
  std::size_t Count() const { return FTypes.size(); }
  // The declared entry for ID, or nullptr.
  const TOWPinTypeEntry* Find(const TGUID& ID) const;
  bool Contains(const TGUID& ID) const { return Find(ID) != nullptr; }

 private:
  std::vector<TOWPinTypeEntry> FTypes;
};

// A working copy of a pin's types used while a connection type is searched.
class TOWPinTypeRestricted : public TOWPinStreamType {
 public:
  bool Ordered = false;
};

// A converter class: creates a new converter of that class, without owner.
using TOWFormatConverterClass = TComponentPtr<TOWFormatConverter> (*)();

template <class T>
TComponentPtr<TOWFormatConverter> createFormatConverter() {
  return MakeComponent<T>();
}

struct TOWStreamTypeEntry {
  TGUID ID;
  std::string Name;
  TOWGlobalSubmit SendFunction = nullptr;
};

struct TOWTypeConverterEntry {
  TGUID InputID;
  TGUID OutputID;
  TOWFormatConverterClass ConverterClass;
};

// Registry operations, run at unit start-up. The standard types and converters of the framework are
// registered before the first lookup.
void OWRegisterStreamType(const TGUID& ID, const std::string& Name);
void OWRegisterStreamTypeSendFunction(const TGUID& ID, TOWGlobalSubmit SendFunction);
// Replaces the class of an existing pair.
void OWRegisterFormatConverter(const TGUID& InputID, const TGUID& OutputID, TOWFormatConverterClass ConverterClass);
// The class registered for the pair, or nullptr.
TOWFormatConverterClass OWFindFormatConverter(const TGUID& InputID, const TGUID& OutputID);
// A snapshot of the converter registry in registration order.
std::vector<TOWTypeConverterEntry> OWFormatConverters();
TOWGlobalSubmit OWStreamTypeSendFunction(const TGUID& ID);
// "NIL ID" for the empty identifier, the registered name, or else the identifier in braces.
std::string OWStreamTypeName(const TGUID& ID);

}  // namespace sib
