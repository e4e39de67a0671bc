// Pins and their connections: the pin class tree (basic pin, pin, stream pin, source, sink), the
// connection entries a source keeps, format converters, and the process-wide pin registry.
//
// Components talk to each other only through pins. A source pin is connected to any number of sinks, a
// sink to at most one source; every connection is made by the sink. An operation is delivered
// synchronously on the caller's thread: a source hands it to each of its sinks in turn, a sink hands
// one back to its source. While the receiving side runs, the delivering thread holds neither the pin's
// lock nor its owner component's lock, so receivers may call back into the sender.
//
// Lifetime: a component owns its pins and destroys them through TOWPinRef (below), which runs the
// destroy protocol while the pin is still whole: it waits for deliveries through the pin, leaves every
// connection and has every other pin forget it. The owner should hold its stop lock while it destroys
// its pins, so that deliveries into the component in progress on other threads pass its lock.
//
// How a component uses pins:
//
//   class TALAmplifier : public TLPComponent {
//     SIB_CLASS(TALAmplifier, TLPComponent)
//    public:
//     explicit TALAmplifier(TComponent* AOwner)
//         : TLPComponent(AOwner),
//           FInputPin(makePin<TMySinkPin>(this, FLock.get())),      // the owner lock is the component's
//           FOutputPin(makePin<TMySourcePin>(this, FLock.get())) {
//       FOutputPin->FunctionSources().Add(FInputPin.get());       // output computed from input: no loops
//     }
//     TMySinkPin* InputPin() const { return FInputPin.get(); }
//     static TPropertyList PublishedProperties() {                 // published: names and stored links
//       return {prop("InputPin", &TALAmplifier::InputPin), prop("OutputPin", &TALAmplifier::OutputPin)};
//     }
//     void BeforeDestruction() override {
//       { LockSection stop = FLock->StopLock(); FInputPin.reset(); FOutputPin.reset(); }  // inputs first
//       TLPComponent::BeforeDestruction();
//     }
//    private:
//     TOWPinRef<TMySinkPin> FInputPin;
//     TOWPinRef<TMySourcePin> FOutputPin;
//   };
//
// A source pin class declares the types it offers, most preferred last, with AddStreamType(ID, submit);
// OWStreamSubmit() hands the operation to the receiving pin's stream interface for that type. A sink
// pin class implements the stream interfaces it accepts (TOWPinStreams<TOWSinkPin, IMyStream>) and
// overrides DispatchData; it declares types itself only to talk upstream. Sending is
// `FOutputPin->Notify(newOperation<TOWStartOperation>())` downstream or `FInputPin->Notify(op)`
// upstream; the pin gives up the component's lock during the call, so call it with or without the
// lock held. A new operation class derives from TOWNotifyOperation (or a subclass) and carries public
// fields; receivers test it with operationAs<T>(op). Stored links come for free: the pins define their
// extra values ("Form", "SinkPins", "SourcePin", ...) in DefineProperties under their property name.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/destroy_lock.h"
#include "framework/lock.h"
#include "framework/notify.h"
#include "framework/pin_owner.h"
#include "framework/stream_types.h"

namespace sib {

class TOWBasicPin;
class TOWPin;
class TOWSourcePin;
class TOWBasicSinkPin;
class TOWSinkPin;
class TOWStatePin;
class TOWStateDispatcher;
class TOWUnloadedPin;
class TOWFormatConverter;

enum TOWPinType : std::uint8_t { ptSource, ptSink, ptState, ptMultiSink, ptDispatcher };

// One connection of a source pin (or one link recorded by a placeholder).
struct TOWPinEntry {
  TOWBasicPin* ConnectionPin = nullptr;  // the pin that receives: the sink itself or a converter's input
  TOWBasicPin* RealPin = nullptr;        // the connected pin
  TOWBasicPin* NotifyAfterPin = nullptr; // a pin of the same source served before this one, or none
  TGUID ConnectedID{};
  TOWSubmit SubmitFunction;              // the source's handler for ConnectedID
  std::int32_t ModificationLevel = 0;    // rises for connections whose receivers change the data
};
using TOWPinEntryList = std::vector<TOWPinEntry>;

// What a connection type search found: a type, and possibly a converter of the source to reuse or a
// converter class to create.
struct TOWConnectionType {
  TGUID ID{};
  TOWFormatConverter* Converter = nullptr;
  TOWFormatConverterClass ConverterClass = nullptr;
  // With a converter class: the type the new converter delivers.
  TGUID ConverterOutputID{};
  bool Found() const { return ID != GUID_NULL; }
};

// The base of every pin-framework object: a lock of its own.
class TOWObject : public TOWPersistentBase {
  SIB_CLASS(TOWObject, TPersistent)
 public:
  TOWObject();
  ~TOWObject() override;

  virtual LockSection ReadLock();
  virtual LockSection WriteLock();
  virtual LockSection UnlockAll();
  TOWLock* IntLock() const { return FIntLock.get(); }

 protected:
  RefPtr<TOWLock> FIntLock;
  TOWCriticalSection FIntLockSection;
};

class TOWPinObject : public TOWObject {
  SIB_CLASS(TOWPinObject, TOWObject)
 public:
  // A pin is being destroyed: drop every reference to it.
  virtual void PinRemoved(TOWBasicPin* APin);
  // Replace every reference to AOldPin with ANewPin.
  virtual void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin);
};

// Adds stream interfaces to a pin class. Pins answer the query for each added interface and for the
// interfaces it extends; `Base` answers the rest.
template <class Base, class... Streams>
class TOWPinStreams : public Base, public Streams... {
 public:
  using Base::Base;
  IInterface* QueryInterface(const TGUID& iid) override { return Base::QueryInterface(iid); }
  std::int32_t AddRef() override { return 1; }
  std::int32_t Release() override { return 1; }

 protected:
  IInterface* FindInterface(const TGUID& iid) override {
    IInterface* found = nullptr;
    ((found = found ? found : FindIn<Streams>(static_cast<Streams*>(this), iid)), ...);
    return found ? found : Base::FindInterface(iid);
  }

 private:
  // Walks I and the interfaces it extends, through I's own chain so that interfaces sharing a parent
  // do not make the cast ambiguous.
  template <class I>
  static IInterface* FindIn(I* self, const TGUID& iid) {
    if (iid == I::IID) return self;
    if constexpr (requires { typename I::Parent; }) return FindIn<typename I::Parent>(self, iid);
    return nullptr;
  }
};

class TOWBasicPin : public TOWPinObject, public IOWStream {
  SIB_CLASS(TOWBasicPin, TOWPinObject)
 public:
  TOWBasicPin();
  ~TOWBasicPin() override;
  TOWBasicPin(const TOWBasicPin&) = delete;
  TOWBasicPin& operator=(const TOWBasicPin&) = delete;

  // IInterface: pins are owned by their components; references neither keep them nor free them.
  IInterface* QueryInterface(const TGUID& iid) override { return FindInterface(iid); }
  std::int32_t AddRef() override { return 1; }
  std::int32_t Release() override { return 1; }
  // The pin as the receiving side of a connection.
  IOWStream* StreamIntf() { return static_cast<IOWStream*>(this); }
  // The pin behind a stream interface handed to a submit function.
  static TOWBasicPin* FromStream(IOWStream* Handler);

  // The destroy protocol; run once, by TOWPinDeleter, while the object is still whole.
  void BeforeDestruction();

  virtual TComponent* Owner() const { return nullptr; }
  virtual bool IsOwnerDestroying() const;
  virtual void RemoveConnection(TOWBasicPin* APin, bool AKeep);
  virtual void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin);
  virtual void ConnectionRemoved();
  // Whether a connection to AOtherPin is possible.
  virtual bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) = 0;
  virtual TOWPinType GetPinType() const = 0;
  virtual TOWBasicPin* GetNotifyAfterPin(TOWBasicPin* APin);
  virtual bool DirectDependsOn(TOWBasicPin* AOtherPin);
  virtual TGUID GetConnectionID(TOWBasicPin* AOtherPin);
  virtual std::string GetRootName();
  virtual TComponent* GetRoot() const { return nullptr; }
  virtual std::string GetName();
  virtual std::string GetSaveName();
  virtual std::string GetOwnerName();
  virtual std::string GetFullName(bool IncludeRootForm) = 0;
  virtual std::string GetFullIdentName(bool IncludeRootForm) = 0;
  virtual bool DependsOn(TOWBasicPin* AOtherPin) = 0;
  virtual bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) = 0;
  virtual bool IsConnected();
  virtual bool IsStateConnected();
  virtual bool IsConnectedTo(TOWBasicPin* AOtherPin);
  virtual bool IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin);
  virtual bool IsConnectedToState(TOWStateDispatcher* ADispatcher);
  virtual bool IsConnectedByStateTo(TOWBasicPin* AOtherPin);
  virtual bool IsConnectedByStateToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin);
  virtual bool IsConnectedByConverterTo(TOWBasicPin* AOtherPin);
  virtual bool ConnectByState(TOWBasicPin* AOtherPin);
  virtual bool ConnectByStateAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin);
  bool Connect(TOWBasicPin* AOtherPin) { return ConnectAfter(AOtherPin, nullptr); }
  virtual bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) = 0;
  virtual bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters);
  bool CanConnectTo(TOWBasicPin* AOtherPin, bool AUseConverters) { return TestConnection(AOtherPin, AUseConverters); }
  virtual void Disconnect() = 0;
  virtual void DisconnectFrom(TOWBasicPin* AOtherPin) = 0;
  virtual TOWNotifyResult Notify(IOWNotifyOperation* Operation);
  TOWNotifyResult Notify(const OperationRef& Operation) { return Notify(Operation.get()); }

  // Storage (the stored description's extra values of a pin).
  virtual void JoinStateByName(const std::string& AName);
  virtual void ResolvePlaceholders() {}
  virtual bool HasStateData();
  virtual bool HasStateConverterData() { return false; }
  virtual bool HasLinkData() { return HasStateData(); }
  virtual void ReadLinks(TReader& Reader);
  virtual void ReadState(TReader& Reader);
  virtual void WriteState(TWriter& Writer);

  virtual std::size_t GetConnectedPinCount();
  virtual TOWBasicPin* GetConnectedPin(std::size_t Index);
  virtual TOWBasicPin* GetConnectedAfterPin(std::size_t Index);
  virtual std::size_t ConnectedDispatcherCount();
  virtual TOWStateDispatcher* GetDispatcher() const { return FDispatcher; }
  virtual void SetInEditor(bool AValue);
  virtual bool CanJoinState(TOWStateDispatcher* ADispatcher);
  virtual void DropSourceLink() {}
  virtual bool IsLinkedTo(TOWBasicPin* AOtherPin) { return IsConnectedTo(AOtherPin); }
  virtual bool ConnectToState(TOWStateDispatcher* ADispatcher);
  virtual bool ConnectToStateAfter(TOWStateDispatcher* ADispatcher, TOWBasicPin* ANotifyAfterPin);
  virtual TOWStateDispatcher* CreateDispatcher();
  virtual TOWStateDispatcher* CreateNamedDispatcher(const std::string& AName);
  virtual bool IsDesigning() const = 0;
  // The connection type from this pin to AOtherPin inside a state hub; empty when there is none.
  virtual TOWConnectionType FindTypeTo(TOWBasicPin* AOtherPin, bool AUseConverters) = 0;
  virtual TOWNotifyResult NotifyState(TOWBasicPin* APin, IOWNotifyOperation* Operation, TOWNotifyState State) = 0;
  virtual void StateJoined() {}
  virtual bool SupportsType(const TGUID& ID);
  // The submit function this pin uses for type ID: none for the empty ID or an undeclared one.
  virtual TOWSubmit GetSubmitFunction(const TGUID& ID);

  bool GetIsRealPin() const;
  void* CustomData() const { return FCustomData; }
  void SetCustomData(void* AData) { FCustomData = AData; }
  IOWDestroyLock* DestroyLockIntf() const { return FDestroyLock.get(); }
  bool Destroying() const { return FDestroyLock->Instance()->Destroying(); }
  const std::string& LoadFormName() const { return FLoadFormName; }
  // Replaces "<stored root>." at the start of a stored name with the current root's name.
  std::string FixFormPrefix(const std::string& AName);

 protected:
  virtual IInterface* FindInterface(const TGUID& iid);
  // Called from TOWStateDispatcher when the pin joins or leaves it.
  friend class TOWStateDispatcher;
  friend class TOWUnloadedPin;
  void SetDispatcher(TOWStateDispatcher* ADispatcher) { FDispatcher = ADispatcher; }
  // Leaves the hub the pin has joined, if any.
  void LeaveState();

  void* FCustomData = nullptr;
  std::string FLoadFormName;
  RefPtr<IOWDestroyLock> FDestroyLock;
  // Held from the start of the destroy protocol until the pin is freed.
  DestroyLockSection FDestroySection;
  // Read without the pin's lock on the delivery path; changed under the pin's write section.
  std::atomic<TOWStateDispatcher*> FDispatcher{nullptr};
  bool FBeforeDestructionDone = false;
  bool FInEditor = false;
};

// Runs the destroy protocol of a pin, then frees it. Components hold their pins through TOWPinRef.
struct TOWPinDeleter {
  void operator()(TOWBasicPin* APin) const;
};
template <class T>
using TOWPinRef = std::unique_ptr<T, TOWPinDeleter>;

template <class T, class... Args>
TOWPinRef<T> makePin(Args&&... args) {
  return TOWPinRef<T>(new T(std::forward<Args>(args)...));
}

// A pin with an owner component, the types it offers and the owner's lock.
class TOWPin : public TOWBasicPin {
  SIB_CLASS(TOWPin, TOWBasicPin)
 public:
  TOWPin(TComponent* AOwner, IOWLock* AOwnerLock);

  TComponent* Owner() const override { return FOwner; }
  // The owner component's lock, or nullptr (converters' pins).
  IOWLock* OwnerLock() const { return FOwnerLock.get(); }
  LockSection ReadLock() override;
  LockSection WriteLock() override;

  std::string GetRootName() override;
  TComponent* GetRoot() const override;
  std::string GetFullName(bool IncludeRootForm) override;
  std::string GetFullIdentName(bool IncludeRootForm) override;
  bool IsDesigning() const override;
  TOWConnectionType FindTypeTo(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  TOWNotifyResult NotifyState(TOWBasicPin* APin, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  // After joining a hub: a source announces itself to the hub; any other pin is brought up to date.
  void StateJoined() override;
  TOWSubmit GetSubmitFunction(const TGUID& ID) override;
  virtual TGUID GetPrimaryConnectionID();
  void ResolvePlaceholders() override;
  // The pin's extra stored values ("Form", "State" and the link keys of the subclasses).
  void DefinePinProperties(TFiler& Filer);
  void ReadForm(TReader& Reader);
  void WriteForm(TWriter& Writer);
  void DefineProperties(TFiler& Filer) override;
  TPersistent* GetOwner() override { return FOwner; }

  const TOWPinStreamType& StreamType() const { return FStreamType; }
  std::int32_t InSending() const { return FInSending.load(std::memory_order_relaxed); }

 protected:
  // Declares a type this pin offers; later declarations are preferred. A null submit function means
  // that the registry's send function for the type is used.
  void AddStreamType(const TGUID& ID, TOWSubmit SubmitFunction = {});
  // Whether both pins may be connected as far as their design state goes: equal, unless one belongs
  // to a format converter.
  bool SameDesignState(TOWBasicPin* AOtherPin);
  bool BelongsToConverter() const;
  // Runs the registry's send function for *DataTypeID on behalf of this pin.
  TOWNotifyResult RegistrySend(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                               TOWNotifyState State);

  TComponent* FOwner;
  std::string FLastRootName;
  TOWPinStreamType FStreamType;
  std::atomic<std::int32_t> FInSending{0};
  bool FIsLoaded = false;
  RefPtr<IOWLock> FOwnerLock;
};

class TOWStreamPin : public TOWPin {
  SIB_CLASS(TOWStreamPin, TOWPin)
 public:
  using TOWPin::TOWPin;
  // The types this pin offers downstream (its declared types, in declaration order).
  virtual void CollectOfferedTypes(TOWPinTypeRestricted& ATypes);
  // The types this pin offers upstream.
  virtual void CollectAcceptedTypes(TOWPinTypeRestricted& ATypes);
  virtual bool CheckDownstreamType(const TGUID& ID);
  virtual bool CheckUpstreamType(const TGUID& ID);
};

// The sinks a source names as its function sources: what leaves the source is computed from what
// arrives at them. Adding or removing a sink keeps the sink's dependant list in step.
class TOWSinkPinList {
 public:
  explicit TOWSinkPinList(TOWSourcePin* AOwner) : FOwner(AOwner) {}
  virtual ~TOWSinkPinList() = default;
  void Add(TOWBasicSinkPin* APin);
  void Remove(TOWBasicSinkPin* APin);
  std::size_t Count() const;
  TOWBasicSinkPin* operator[](std::size_t Index) const;
  bool Contains(const TOWBasicPin* APin) const;
  std::vector<TOWBasicSinkPin*> Snapshot() const;

 protected:
  virtual void Added(TOWBasicSinkPin*) {}
  virtual void Removed(TOWBasicSinkPin*) {}
  std::vector<TOWBasicSinkPin*> FList;
  TOWSourcePin* FOwner;
};

class TOWFunctionSinkPinList : public TOWSinkPinList {
 public:
  using TOWSinkPinList::TOWSinkPinList;

 protected:
  void Added(TOWBasicSinkPin* APin) override;
  void Removed(TOWBasicSinkPin* APin) override;
};

class TOWSourcePin : public TOWStreamPin {
  SIB_CLASS(TOWSourcePin, TOWStreamPin)
 public:
  TOWSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr);
  ~TOWSourcePin() override;

  TOWPinType GetPinType() const override { return ptSource; }
  std::size_t SinkCount();
  // The connected pin of connection Index.
  TOWBasicPin* GetSink(std::size_t Index);
  std::size_t ConverterCount();
  TOWFunctionSinkPinList& FunctionSources() { return FFunctionSources; }

  bool CanSupply(TOWBasicPin* ASink, bool AUseConverters);
  bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) override;
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  virtual bool LinkSink(TOWBasicPin* APin, TOWBasicPin* ANotifyAfterPin);
  void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) override;
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  bool DependsOn(TOWBasicPin* AOtherPin) override;
  bool DirectDependsOn(TOWBasicPin* AOtherPin) override;
  TOWBasicPin* GetNotifyAfterPin(TOWBasicPin* APin) override;
  TGUID GetConnectionID(TOWBasicPin* AOtherPin) override;
  TGUID GetPrimaryConnectionID() override;
  bool IsConnected() override;
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override;
  bool IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  bool IsConnectedByConverterTo(TOWBasicPin* AOtherPin) override;
  std::size_t GetConnectedPinCount() override;
  TOWBasicPin* GetConnectedPin(std::size_t Index) override;
  TOWBasicPin* GetConnectedAfterPin(std::size_t Index) override;
  void PinRemoved(TOWBasicPin* APin) override;
  void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) override;

  // Delivers to every sink; answers [] (the sinks' answers only reorder the connections).
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;
  // Delivers to the connections of APin only, or to every sink when APin is null.
  TOWNotifyResult SendToSinks(TOWBasicPin* APin, IOWNotifyOperation* Operation);
  virtual void SendNewLink(TOWBasicPin* ASink, TOWBasicPin* AConnectionPin, TOWSubmit ASubmitFunction);
  virtual void SendNewLinkTo(TOWBasicPin* ASink);

  // Storage.
  bool HasSinks();
  bool HasLinkData() override;
  void ReadLinks(TReader& Reader) override;
  virtual void WriteSinkPins(TWriter& Writer);

  // Where the first connection type between this source and ASink would come from.
  TOWConnectionType FindConnectionType(TOWBasicPin* ASink, bool AUseConverters, bool ACreateNew);
  // A copy of the connection entries, for tests and diagnostics.
  TOWPinEntryList Entries();

 protected:
  // After a send whose receivers changed the data (or while levels are still raised): lowers the
  // levels, sorts by level and keeps every entry behind its after-pin. Write section held.
  void ReorderSinks();
  // Moves each entry behind its after-pin where it stands earlier. Write section held.
  void PlaceAfterPinsLocked();
  void RemoveEntryLocked(TOWBasicPin* APin);
  void RemoveAllEntriesLocked(TOWBasicPin* APin);
  void RemoveConverterConnectionsLocked(TOWBasicPin* APin);
  // Tells a sink that this source lets it go; skipped for a pin that no longer exists.
  void DetachSinkQuietly(TOWBasicPin* ASink, bool AKeep);
  bool DirectTypeExists(TOWSourcePin* ASource, TOWBasicPin* ASink);

  TOWPinEntryList FSinkPins;
  std::vector<TComponentPtr<TOWFormatConverter>> FFormatConverters;
  TOWFunctionSinkPinList FFunctionSources;
  bool FInDependOn = false;
  std::atomic<bool> FInDisconnect{false};
  // Some connection's ModificationLevel is above 0, so the next send reorders.
  std::atomic<bool> FLevelsRaised{false};
};

class TOWBasicSinkPin : public TOWStreamPin {
  SIB_CLASS(TOWBasicSinkPin, TOWStreamPin)
 public:
  using TOWStreamPin::TOWStreamPin;
  ~TOWBasicSinkPin() override;

  bool IgnoreUpstream() const { return FIgnoreUpstream; }
  void SetIgnoreUpstream(bool AValue) { FIgnoreUpstream = AValue; }
  virtual bool UpstreamCompatible(TOWSourcePin* ASource, bool AUseConverters);
  void PinRemoved(TOWBasicPin* APin) override;
  const std::vector<TOWSourcePin*>& FunctionDependants() const { return FFunctionDependants; }

 protected:
  friend class TOWFunctionSinkPinList;
  std::vector<TOWSourcePin*> FFunctionDependants;
  bool FIgnoreUpstream = false;
};

class TOWSinkPin : public TOWBasicSinkPin {
  SIB_CLASS(TOWSinkPin, TOWBasicSinkPin)
 public:
  TOWSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr);
  ~TOWSinkPin() override;

  TOWPinType GetPinType() const override { return ptSink; }
  // The connected source (which may be a placeholder while loading), or none.
  TOWBasicPin* SourcePin();
  void SetSourcePin(TOWBasicPin* APin) { Connect(APin); }
  // The converter between source and sink, or none.
  TOWFormatConverter* FormatConverter();
  TGUID UpStreamID();
  TGUID DownStreamID();
  std::string UpStreamLinkName() { return OWStreamTypeName(UpStreamID()); }
  std::string DownStreamLinkName() { return OWStreamTypeName(DownStreamID()); }

  bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) override;
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  bool DependsOn(TOWBasicPin* AOtherPin) override;
  bool DirectDependsOn(TOWBasicPin* AOtherPin) override;
  TGUID GetConnectionID(TOWBasicPin* AOtherPin) override;
  TGUID GetPrimaryConnectionID() override;
  bool IsConnected() override;
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override;
  bool IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  bool IsConnectedByConverterTo(TOWBasicPin* AOtherPin) override;
  std::size_t GetConnectedPinCount() override;
  TOWBasicPin* GetConnectedPin(std::size_t Index) override;
  void PinRemoved(TOWBasicPin* APin) override;
  void DropSourceLink() override;

  // Hands Operation to the source; [] when there is none, while the owner is being stopped, or while
  // the pin is being destroyed.
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;

  // Storage.
  bool HasSourceData();
  bool HasStateConverterData() override;
  bool HasLinkData() override;
  void ReadLinks(TReader& Reader) override;
  virtual void WriteSourcePin(TWriter& Writer);
  virtual void ReadStateConverter(TReader& Reader);
  virtual void WriteStateConverter(TWriter& Writer);
  // Links to the source stored under the given names ("nil" disconnects).
  bool TryLinkTo(TComponent* Root, const std::string& ASourceIdentName, const std::string& ASourceDisplayName,
                 bool SaveForm);

 protected:
  friend class TOWSourcePin;
  friend class TOWUnloadedPin;
  friend class TOWStateDispatcher;
  void ClearSourceFields();
  // Removes the current source, if any, telling it first.
  void DetachSource();
  bool AttachSource(TOWSourcePin* ASource, TOWBasicPin* ANotifyAfterPin);

  TOWBasicPin* FConnectionSourcePin = nullptr;
  TOWBasicPin* FRealSourcePin = nullptr;
  TOWBasicPin* FIntRealSourcePin = nullptr;
  TOWSubmit FSubmitFunction;
  TGUID FConnectedID{};
  bool FInConnect = false;
};

// The type a sink uses to talk to its source: among the sink's own types that the source supports,
// AFoundType when it is one of them, else the most preferred; empty when there is none.
TGUID OWChooseUpstreamType(TOWStreamPin* ASink, TOWBasicPin* ASource, const TGUID& AFoundType);

// The most recently registered converter from one of AOffered's types (the most preferred first) to a
// type ASink supports; not found when there is none.
TOWConnectionType OWFindRegisteredConverter(const TOWPinStreamType& AOffered, TOWBasicPin* ASink);

// Raises the framework's error for a send that loops back to its own source.
[[noreturn]] void OWRaiseDependsOnItself();

// Converts between two stream types. It creates its input and output pins (owned by it, with it as
// their owner and no owner lock) and records the input as a function source of the output. A source
// creates the converters it needs and destroys each when no sink is left on its output.
class TOWFormatConverter : public TOWConverterBase {
  SIB_CLASS(TOWFormatConverter, TComponent)
 public:
  explicit TOWFormatConverter(TComponent* AOwner = nullptr);
  // Destroys the pins while the converter is whole.
  void BeforeDestruction() override;
  TOWSinkPin* InputPin() const { return FInputPin.get(); }
  TOWSourcePin* OutputPin() const { return FOutputPin.get(); }
  // The pair of types the converter was created for (from the converter registry).
  void SetConversion(const TGUID& AInputID, const TGUID& AOutputID) {
    FInputID = AInputID;
    FOutputID = AOutputID;
  }
  const TGUID& InputID() const { return FInputID; }
  const TGUID& OutputID() const { return FOutputID; }

 protected:
  // Called once by the derived class's constructor.
  void SetPins(TOWPinRef<TOWSinkPin> AInputPin, TOWPinRef<TOWSourcePin> AOutputPin);

 private:
  TOWPinRef<TOWSinkPin> FInputPin;
  TOWPinRef<TOWSourcePin> FOutputPin;
  TGUID FInputID{};
  TGUID FOutputID{};
};

// The process-wide registry of pins. Every pin adds itself when created and leaves when destroyed.
// Its lock also guards the placeholder list and the state hub lists; it is re-entrant.
class TOWPinRegistry {
 public:
  static void Add(TOWBasicPin* APin);
  static void Remove(TOWBasicPin* APin);
  // Runs f(pin) for every registered pin under the registry lock.
  template <class F>
  static void ForEach(F&& f) {
    std::lock_guard guard(Lock());
    for (std::size_t i = 0; i < Pins().size(); ++i) f(Pins()[i]);
  }
  static bool Contains(const TOWBasicPin* APin);
  static std::size_t Count();
  static std::recursive_mutex& Lock();

 private:
  static std::vector<TOWBasicPin*>& Pins();
};

}  // namespace sib
