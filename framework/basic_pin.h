// The trunk of the pin class tree: TOWBasicPin (connections, names, state hubs, storage, the destroy
// protocol), its owner through TOWPinRef, TOWPin (a pin of a component, with the types it offers and
// its owner's lock) and TOWStreamPin (a pin that offers and accepts stream types). Sources and sinks
// grow from here (framework/source_pin.h, framework/sink_pin.h); framework/pin.h tells how a
// component uses them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/destroy_lock.h"
#include "framework/lock.h"
#include "framework/notify.h"
#include "framework/pin_object.h"
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

}  // namespace sib
