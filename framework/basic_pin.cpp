#include "framework/basic_pin.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "framework/format_converter.h"
#include "framework/pin_persistence.h"
#include "framework/pin_registry.h"
#include "framework/state_pin.h"
#include "platform/core/errors.h"

namespace sib {

TOWBasicPin::TOWBasicPin() : FDestroyLock(makeRef<TOWDestroyLock>(FIntLock.get())) { TOWPinRegistry::Add(this); }

TOWBasicPin::~TOWBasicPin() {
  // Uses that began before the destroy protocol closed the lock have ended; none can begin now.
  FDestroyLock->DestroyLock();
  TOWPinRegistry::Remove(this);
}

TOWBasicPin* TOWBasicPin::FromStream(IOWStream* Handler) { return dynamic_cast<TOWBasicPin*>(Handler); }

IInterface* TOWBasicPin::FindInterface(const TGUID& iid) {
  if (iid == IInterface::IID || iid == IOWStream::IID) return static_cast<IOWStream*>(this);
  return nullptr;
}

void TOWPinDeleter::operator()(TOWBasicPin* APin) const {
  if (!APin) return;
  APin->BeforeDestruction();
  delete APin;
}

void TOWBasicPin::BeforeDestruction() {
  if (FBeforeDestructionDone) return;
  FBeforeDestructionDone = true;
  {
    LockSection write = WriteLock();
    // Held until the pin is freed: from now on deliveries through the pin are skipped.
    FDestroySection = FDestroyLock->DestroyLock();
  }
  Disconnect();
  std::lock_guard guard(TOWPinRegistry::Lock());
  TOWPinRegistry::Remove(this);
  std::vector<TOWBasicPin*> others;
  TOWPinRegistry::ForEach([&](TOWBasicPin* pin) { others.push_back(pin); });
  // A pin told may free others (a placeholder left without links), so each is checked before it is told.
  for (TOWBasicPin* pin : others)
    if (TOWPinRegistry::Contains(pin)) pin->PinRemoved(this);
}

bool TOWBasicPin::IsOwnerDestroying() const { return OWIsDestroying(Owner()); }
void TOWBasicPin::RemoveConnection(TOWBasicPin*, bool) {}
void TOWBasicPin::AddConnection(TOWBasicPin*, TOWBasicPin*) {}
void TOWBasicPin::ConnectionRemoved() {}
TOWBasicPin* TOWBasicPin::GetNotifyAfterPin(TOWBasicPin*) { return nullptr; }
bool TOWBasicPin::DirectDependsOn(TOWBasicPin*) { return false; }
TGUID TOWBasicPin::GetConnectionID(TOWBasicPin*) { return GUID_NULL; }

namespace {

// "<first>.<rest>" split at its first dot; both parts empty when the name has none.
struct TDottedName {
  std::string First;
  std::string Rest;
};

TDottedName splitAtFirstDot(const std::string& AName) {
  const auto dot = AName.find('.');
  if (dot == std::string::npos) return {};
  return {AName.substr(0, dot), AName.substr(dot + 1)};
}

}  // namespace

// Full names read "<root>.<owner>.<pin>", where the owner part may itself hold dots.
std::string TOWBasicPin::GetRootName() { return splitAtFirstDot(GetFullIdentName(true)).First; }

std::string TOWBasicPin::GetName() { return splitAtFirstDot(GetFullName(false)).Rest; }

std::string TOWBasicPin::GetSaveName() { return splitAtFirstDot(GetFullIdentName(false)).Rest; }

std::string TOWBasicPin::GetOwnerName() {
  const std::string rest = splitAtFirstDot(GetFullIdentName(true)).Rest;
  const auto last = rest.rfind('.');
  return last == std::string::npos ? rest : rest.substr(0, last);
}

bool TOWBasicPin::IsConnected() { return false; }
bool TOWBasicPin::IsStateConnected() {
  LockSection read = ReadLock();
  return FDispatcher != nullptr;
}
bool TOWBasicPin::IsConnectedTo(TOWBasicPin*) { return false; }
bool TOWBasicPin::IsConnectedToAfter(TOWBasicPin*, TOWBasicPin*) { return false; }
bool TOWBasicPin::IsConnectedToState(TOWStateDispatcher* ADispatcher) {
  LockSection read = ReadLock();
  return ADispatcher && FDispatcher == ADispatcher;
}

bool TOWBasicPin::IsConnectedByStateTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  return FDispatcher && AOtherPin && FDispatcher.load()->IsConnectedTo(AOtherPin);
}

bool TOWBasicPin::IsConnectedByStateToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  LockSection read = ReadLock();
  return FDispatcher && AOtherPin && FDispatcher.load()->IsConnectedToAfter(AOtherPin, ANotifyAfterPin);
}

bool TOWBasicPin::IsConnectedByConverterTo(TOWBasicPin*) { return false; }

bool TOWBasicPin::ConnectByState(TOWBasicPin* AOtherPin) { return ConnectByStateAfter(AOtherPin, nullptr); }

bool TOWBasicPin::ConnectByStateAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  return TOWStateDispatcher::ConnectPins(this, AOtherPin, ANotifyAfterPin);
}

bool TOWBasicPin::CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin*, bool AUseConverters) {
  return CanConnectTo(AOtherPin, AUseConverters);
}

TOWNotifyResult TOWBasicPin::Notify(IOWNotifyOperation*) { return {}; }

void TOWBasicPin::JoinStateByName(const std::string& AName) {
  TOWStateDispatcher* hub = nullptr;
  {
    LockSection write = WriteLock();
    hub = TOWStateDispatcher::GetByNameCreate(this, AName, IsDesigning());
  }
  if (hub) hub->AddPin(this, this);
  StateJoined();
}

bool TOWBasicPin::HasStateData() {
  LockSection read = ReadLock();
  return FDispatcher != nullptr && !HasStateConverterData();
}

void TOWBasicPin::ReadLinks(TReader&) {}

void TOWBasicPin::ReadState(TReader& Reader) {
  LockSection write = WriteLock();
  ResolvePlaceholders();
  const std::string name = OWReadHubPart(Reader);
  JoinStateByName(name);
}

void TOWBasicPin::WriteState(TWriter& Writer) {
  LockSection read = ReadLock();
  if (FDispatcher) FDispatcher.load()->WriteHubPart(Writer, this);
}

std::size_t TOWBasicPin::GetConnectedPinCount() { return 0; }
TOWBasicPin* TOWBasicPin::GetConnectedPin(std::size_t) { return nullptr; }
TOWBasicPin* TOWBasicPin::GetConnectedAfterPin(std::size_t) { return nullptr; }

std::size_t TOWBasicPin::ConnectedDispatcherCount() {
  LockSection read = ReadLock();
  return FDispatcher ? 1 : 0;
}

void TOWBasicPin::SetInEditor(bool AValue) { FInEditor = AValue; }

bool TOWBasicPin::CanJoinState(TOWStateDispatcher* ADispatcher) {
  return ADispatcher && ADispatcher->CanJoin(this);
}

bool TOWBasicPin::ConnectToState(TOWStateDispatcher* ADispatcher) { return ConnectToStateAfter(ADispatcher, nullptr); }

bool TOWBasicPin::ConnectToStateAfter(TOWStateDispatcher* ADispatcher, TOWBasicPin* ANotifyAfterPin) {
  if (!ADispatcher) return false;
  if (FDispatcher == ADispatcher) return true;
  if (!CanJoinState(ADispatcher)) return false;
  LeaveState();
  DropSourceLink();
  if (!ADispatcher->AddPinAfter(this, this, ANotifyAfterPin)) return false;
  StateJoined();
  return true;
}

TOWStateDispatcher* TOWBasicPin::CreateDispatcher() { return TOWStateDispatcher::Create(GetRoot(), IsDesigning()); }

TOWStateDispatcher* TOWBasicPin::CreateNamedDispatcher(const std::string& AName) {
  return TOWStateDispatcher::CreateNamed(AName, IsDesigning());
}

bool TOWBasicPin::SupportsType(const TGUID& ID) { return ID != GUID_NULL && QueryInterface(ID) != nullptr; }

TOWSubmit TOWBasicPin::GetSubmitFunction(const TGUID&) { return {}; }

bool TOWBasicPin::GetIsRealPin() const { return dynamic_cast<const TOWPin*>(this) != nullptr; }

std::string TOWBasicPin::FixFormPrefix(const std::string& AName) {
  if (FLoadFormName.empty()) return AName;
  const std::string prefix = FLoadFormName + ".";
  if (AName.compare(0, prefix.size(), prefix) != 0) return AName;
  TComponent* root = GetRoot();
  if (!root) return AName;
  return OWComponentName(root) + AName.substr(FLoadFormName.size());
}

void TOWBasicPin::LeaveState() {
  TOWStateDispatcher* hub = nullptr;
  {
    LockSection read = ReadLock();
    hub = FDispatcher;
  }
  if (hub) hub->RemovePin(this);
}

// ---- TOWPin ---------------------------------------------------------------------------------------

TOWPin::TOWPin(TComponent* AOwner, IOWLock* AOwnerLock) : FOwner(AOwner), FOwnerLock(AOwnerLock) {}

LockSection TOWPin::ReadLock() { return makeRef<TOWSimpleReadLockSection>(FIntLock.get(), FOwnerLock.get()); }
LockSection TOWPin::WriteLock() { return makeRef<TOWSimpleWriteLockSection>(FIntLock.get(), FOwnerLock.get()); }

std::string TOWPin::GetRootName() {
  if (!FOwner) return TOWBasicPin::GetRootName();
  if (OWComponentOwner(FOwner)) {
    LockSection write = WriteLock();
    FLastRootName = OWComponentName(OWRootOf(FOwner));
    return FLastRootName;
  }
  LockSection read = ReadLock();
  return FLastRootName;
}

TComponent* TOWPin::GetRoot() const { return FOwner ? OWRootOf(FOwner) : nullptr; }

std::string TOWPin::GetFullName(bool IncludeRootForm) {
  if (!FOwner) return "(No owner)";
  std::string name = OWComponentName(FOwner) + "." + OWPropertyPathOf(FOwner, this);
  if (IncludeRootForm) name = GetRootName() + "." + name;
  return name;
}

std::string TOWPin::GetFullIdentName(bool IncludeRootForm) { return GetFullName(IncludeRootForm); }

bool TOWPin::IsDesigning() const { return OWIsDesigning(FOwner); }

bool TOWPin::BelongsToConverter() const { return dynamic_cast<TOWFormatConverter*>(FOwner) != nullptr; }

bool TOWPin::SameDesignState(TOWBasicPin* AOtherPin) {
  if (BelongsToConverter()) return true;
  if (auto* other = dynamic_cast<TOWPin*>(AOtherPin); other && other->BelongsToConverter()) return true;
  return IsDesigning() == AOtherPin->IsDesigning();
}

void TOWPin::AddStreamType(const TGUID& ID, TOWSubmit SubmitFunction) {
  LockSection write = WriteLock();
  FStreamType.AddType(ID, SubmitFunction);
}

TOWSubmit TOWPin::GetSubmitFunction(const TGUID& ID) {
  if (ID == GUID_NULL) return {};
  LockSection read = ReadLock();
  const TOWPinTypeEntry* entry = FStreamType.Find(ID);
  if (!entry) return {};
  if (entry->SubmitFunction) return entry->SubmitFunction;
  return TOWSubmit::Bind<&TOWPin::RegistrySend>(this);
}

TOWNotifyResult TOWPin::RegistrySend(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                     TOWNotifyState State) {
  TOWGlobalSubmit send = OWStreamTypeSendFunction(*DataTypeID);
  if (!send) return {};
  return send(this, Handler, DataTypeID, Operation, State);
}

TGUID TOWPin::GetPrimaryConnectionID() { return GUID_NULL; }

TOWConnectionType TOWPin::FindTypeTo(TOWBasicPin* AOtherPin, bool AUseConverters) {
  return TOWStateDispatcher::FindTypeBetween(this, AOtherPin, AUseConverters);
}

TOWNotifyResult TOWPin::NotifyState(TOWBasicPin* APin, IOWNotifyOperation* Operation, TOWNotifyState State) {
  // Most pins are in no hub: that is answered without the lock.
  if (!FDispatcher.load(std::memory_order_acquire)) return {};
  TOWStateDispatcher* hub = nullptr;
  DestroyLockSection hubUse;
  {
    // The hub's use is taken before the section ends: the pin cannot leave the hub, nor the hub be
    // freed, in between.
    LockSection read = ReadLock();
    hub = FDispatcher;
    if (hub) hubUse = hub->Use();
  }
  if (hub && hubUse) hub->Deliver(this, APin, Operation, State);
  return {};
}

void TOWPin::StateJoined() {
  TOWStateDispatcher* hub = GetDispatcher();
  if (!hub) return;
  if (GetPinType() == ptSource) {
    OperationRef operation = newOperation<TOWNotifyOperation>();
    NotifyState(nullptr, operation.get(), TOWNotifyState{nsNewLink});
  } else {
    hub->Resynchronise(this);
  }
}

void TOWPin::ResolvePlaceholders() { OWResolvePlaceholders(this); }

// ---- TOWStreamPin ---------------------------------------------------------------------------------

void TOWStreamPin::CollectOfferedTypes(TOWPinTypeRestricted& ATypes) {
  LockSection read = ReadLock();
  for (std::size_t i = 0; i < FStreamType.Count(); ++i)
    ATypes.AddType(FStreamType.GetID(i), FStreamType.GetSubmitFunc(i));
}

void TOWStreamPin::CollectAcceptedTypes(TOWPinTypeRestricted& ATypes) { CollectOfferedTypes(ATypes); }

bool TOWStreamPin::CheckDownstreamType(const TGUID& ID) { return SupportsType(ID); }
bool TOWStreamPin::CheckUpstreamType(const TGUID& ID) { return SupportsType(ID); }

}  // namespace sib
