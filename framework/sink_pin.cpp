// TOWBasicSinkPin and TOWSinkPin: connecting to a source, the upstream type, and delivery upstream.
#include "framework/sink_pin.h"

#include <algorithm>

#include "framework/format_converter.h"
#include "framework/pin_persistence.h"
#include "framework/pin_registry.h"
#include "framework/state_pin.h"

namespace sib {

// ---- TOWBasicSinkPin ------------------------------------------------------------------------------

TOWBasicSinkPin::~TOWBasicSinkPin() {
  std::vector<TOWSourcePin*> dependants;
  {
    LockSection read = ReadLock();
    dependants = FFunctionDependants;
  }
  for (TOWSourcePin* source : dependants)
    if (TOWPinRegistry::Contains(source)) source->FunctionSources().Remove(this);
}

bool TOWBasicSinkPin::UpstreamCompatible(TOWSourcePin* ASource, bool) {
  const TGUID found = ASource->FindConnectionType(this, true, false).ID;
  return OWChooseUpstreamType(this, ASource, found) != GUID_NULL;
}

void TOWBasicSinkPin::PinRemoved(TOWBasicPin* APin) {
  LockSection write = WriteLock();
  std::erase(FFunctionDependants, APin);
}

TGUID OWChooseUpstreamType(TOWStreamPin* ASink, TOWBasicPin* ASource, const TGUID& AFoundType) {
  TOWPinTypeRestricted accepted;
  ASink->CollectAcceptedTypes(accepted);
  TGUID first = GUID_NULL;
  for (std::size_t i = accepted.Count(); i-- > 0;) {
    const TGUID& id = accepted.GetID(i);
    if (!ASource->SupportsType(id)) continue;
    if (id == AFoundType) return id;
    if (first == GUID_NULL) first = id;
  }
  return first;
}

// ---- TOWSinkPin -----------------------------------------------------------------------------------

TOWSinkPin::TOWSinkPin(TComponent* AOwner, IOWLock* AOwnerLock) : TOWBasicSinkPin(AOwner, AOwnerLock) {}

TOWSinkPin::~TOWSinkPin() {
  BeforeDestruction();
  Connect(nullptr);
}

void TOWSinkPin::ClearSourceFields() {
  FConnectionSourcePin = nullptr;
  FRealSourcePin = nullptr;
  FIntRealSourcePin = nullptr;
  FSubmitFunction = {};
  FConnectedID = GUID_NULL;
}

TOWBasicPin* TOWSinkPin::SourcePin() {
  LockSection read = ReadLock();
  return FIntRealSourcePin;
}

TOWFormatConverter* TOWSinkPin::FormatConverter() {
  LockSection read = ReadLock();
  if (!FConnectionSourcePin || FConnectionSourcePin == FRealSourcePin) return nullptr;
  auto* pin = dynamic_cast<TOWPin*>(FConnectionSourcePin);
  return pin ? dynamic_cast<TOWFormatConverter*>(pin->Owner()) : nullptr;
}

TGUID TOWSinkPin::UpStreamID() {
  LockSection read = ReadLock();
  return FConnectedID;
}

TGUID TOWSinkPin::DownStreamID() {
  TOWBasicPin* source = SourcePin();
  return source ? source->GetConnectionID(this) : GUID_NULL;
}

bool TOWSinkPin::IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (!AOtherPin) return true;
  if (auto* source = dynamic_cast<TOWSourcePin*>(AOtherPin)) {
    if (!source->CanSupply(this, AUseConverters)) return false;
    if (FIgnoreUpstream || StreamType().Count() == 0) return true;
    return UpstreamCompatible(source, AUseConverters);
  }
  if (dynamic_cast<TOWStatePin*>(AOtherPin)) return AOtherPin->FindTypeTo(this, AUseConverters).Found();
  return dynamic_cast<TOWUnloadedPin*>(AOtherPin) != nullptr;
}

bool TOWSinkPin::TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (!AOtherPin) return true;
  if (!SameDesignState(AOtherPin)) return false;
  if (dynamic_cast<TOWUnloadedPin*>(AOtherPin)) return true;
  if (dynamic_cast<TOWStatePin*>(AOtherPin)) return AOtherPin->TestConnection(this, AUseConverters);
  return IsCompatible(AOtherPin, AUseConverters) && !AOtherPin->DependsOn(this);
}

bool TOWSinkPin::CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) {
  return AOtherPin ? AOtherPin->CanConnectAfter(this, ANotifyAfterPin, AUseConverters) : true;
}

bool TOWSinkPin::ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  {
    LockSection write = WriteLock();
    if (AOtherPin == FIntRealSourcePin) {
      if (!AOtherPin) {
        FSubmitFunction = {};
        return true;
      }
      if (AOtherPin->GetNotifyAfterPin(this) == ANotifyAfterPin) return true;
    }
    if (AOtherPin && AOtherPin == FConnectionSourcePin) return true;
  }
  if (!AOtherPin) {
    DetachSource();
    return true;
  }
  if (!CanConnectTo(AOtherPin, true)) return false;
  if (GetDispatcher()) LeaveState();
  DetachSource();
  if (auto* source = dynamic_cast<TOWSourcePin*>(AOtherPin)) return AttachSource(source, ANotifyAfterPin);
  if (dynamic_cast<TOWStatePin*>(AOtherPin) || dynamic_cast<TOWUnloadedPin*>(AOtherPin))
    return AOtherPin->ConnectAfter(this, ANotifyAfterPin);
  return false;
}

void TOWSinkPin::DetachSource() {
  TOWBasicPin* oldSource = nullptr;
  {
    LockSection write = WriteLock();
    oldSource = FIntRealSourcePin;
    if (!oldSource) {
      FSubmitFunction = {};
      return;
    }
  }
  const bool keep = IsDesigning() && IsOwnerDestroying();
  {
    LockSection sourceWrite = oldSource->WriteLock();
    oldSource->RemoveConnection(this, keep);
  }
  {
    LockSection write = WriteLock();
    if (FIntRealSourcePin == oldSource) ClearSourceFields();
  }
  if (TOWPinRegistry::Contains(oldSource)) oldSource->ConnectionRemoved();
}

bool TOWSinkPin::AttachSource(TOWSourcePin* ASource, TOWBasicPin* ANotifyAfterPin) {
  {
    LockSection write = WriteLock();
    FConnectionSourcePin = ASource;
    FIntRealSourcePin = ASource;
    FInConnect = true;
  }
  {
    LockSection sourceWrite = ASource->WriteLock();
    ASource->AddConnection(this, ANotifyAfterPin);
  }
  {
    LockSection write = WriteLock();
    FRealSourcePin = ASource;
    FIntRealSourcePin = ASource;
    const TGUID found = ASource->FindConnectionType(this, true, false).ID;
    FConnectedID = OWChooseUpstreamType(this, ASource, found);
    FSubmitFunction = GetSubmitFunction(FConnectedID);
    FInConnect = false;
  }
  LockSection sourceWrite = ASource->WriteLock();
  ASource->SendNewLinkTo(this);
  return true;
}

void TOWSinkPin::RemoveConnection(TOWBasicPin* APin, bool AKeep) {
  TOWBasicPin* placeholder = nullptr;
  {
    DestroyLockSection quiet = FDestroyLock->DestroyLock();
    LockSection write = WriteLock();
    TOWBasicPin* oldSource = FIntRealSourcePin;
    if (APin && oldSource && oldSource != APin) return;
    if (AKeep && oldSource && !IsOwnerDestroying()) {
      placeholder = OWKeepPlaceholderFor(this, oldSource, ptSource, /*connect=*/false);
      oldSource->ConnectionRemoved();
    }
    ClearSourceFields();
  }
  if (placeholder) placeholder->ConnectAfter(this, nullptr);
}

void TOWSinkPin::Disconnect() {
  TOWBasicPin* source = SourcePin();
  DestroyLockSection quiet;
  if (source && !dynamic_cast<TOWUnloadedPin*>(source)) quiet = source->DestroyLockIntf()->DestroyLock();
  LeaveState();
  Connect(nullptr);
}

void TOWSinkPin::DisconnectFrom(TOWBasicPin* AOtherPin) {
  if (!AOtherPin) return;
  if (AOtherPin == SourcePin()) {
    Disconnect();
    return;
  }
  if (FDispatcher && AOtherPin->GetDispatcher() == FDispatcher) LeaveState();
}

void TOWSinkPin::DropSourceLink() {
  if (SourcePin()) Connect(nullptr);
}

bool TOWSinkPin::DependsOn(TOWBasicPin* AOtherPin) {
  TOWBasicPin* source = SourcePin();
  if (!source || !AOtherPin) return false;
  return source == AOtherPin || source->DependsOn(AOtherPin);
}

bool TOWSinkPin::DirectDependsOn(TOWBasicPin* AOtherPin) {
  TOWBasicPin* source = SourcePin();
  return source && source->DirectDependsOn(AOtherPin);
}

TGUID TOWSinkPin::GetConnectionID(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  return AOtherPin && AOtherPin == FIntRealSourcePin ? FConnectedID : GUID_NULL;
}

TGUID TOWSinkPin::GetPrimaryConnectionID() { return DownStreamID(); }

bool TOWSinkPin::IsConnected() {
  LockSection read = ReadLock();
  return FIntRealSourcePin || FDispatcher;
}

bool TOWSinkPin::IsConnectedTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  return AOtherPin && AOtherPin == FIntRealSourcePin;
}

bool TOWSinkPin::IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  return IsConnectedTo(AOtherPin) && AOtherPin->GetNotifyAfterPin(this) == ANotifyAfterPin;
}

bool TOWSinkPin::IsConnectedByConverterTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  return AOtherPin && AOtherPin == FRealSourcePin && FConnectionSourcePin && FConnectionSourcePin != FRealSourcePin;
}

std::size_t TOWSinkPin::GetConnectedPinCount() { return SourcePin() ? 1 : 0; }
TOWBasicPin* TOWSinkPin::GetConnectedPin(std::size_t Index) { return Index == 0 ? SourcePin() : nullptr; }

void TOWSinkPin::PinRemoved(TOWBasicPin* APin) {
  TOWBasicSinkPin::PinRemoved(APin);
  LockSection write = WriteLock();
  // The pin is going away: forget it without calling into it.
  if (APin == FIntRealSourcePin || APin == FRealSourcePin || APin == FConnectionSourcePin) ClearSourceFields();
}

TOWNotifyResult TOWSinkPin::Notify(IOWNotifyOperation* Operation) {
  LockSection owner;
  if (FOwnerLock) {
    owner = FOwnerLock->ReadLock();
    // A stop is in progress in the owner: answer at once rather than wait.
    if (!owner) return {};
  }
  TOWBasicPin* source = nullptr;
  TOWSubmit submit;
  TGUID type;
  DestroyLockSection use;
  {
    LockSection read = ReadLock();
    if (!FRealSourcePin || !FSubmitFunction) return {};
    source = FRealSourcePin;
    submit = FSubmitFunction;
    type = FConnectedID;
    // Taken before the section ends, so that the source cannot leave in between: removing this
    // connection waits on this pin's destroy lock.
    use = FDestroyLock->Lock();
    if (!use) return {};
  }
  LockSection ownerGivenUp = FOwnerLock ? FOwnerLock->UnlockAll() : LockSection();
  return submit(source->StreamIntf(), &type, Operation, TOWNotifyState{nsLastIteration});
}

bool TOWSinkPin::HasSourceData() {
  LockSection read = ReadLock();
  return FIntRealSourcePin && !HasStateData() && !HasStateConverterData();
}

bool TOWSinkPin::HasStateConverterData() {
  LockSection read = ReadLock();
  return FDispatcher && FConnectionSourcePin;
}

bool TOWSinkPin::HasLinkData() { return HasStateData() || HasSourceData(); }

}  // namespace sib
