#include "framework/state_pin.h"

#include <algorithm>
#include <mutex>

#include "framework/pin_persistence.h"

namespace sib {

// ---- TOWStateDispatcher: the hub lists --------------------------------------------------------------

std::vector<std::unique_ptr<TOWStateDispatcher>>& TOWStateDispatcher::List(bool ADesignTime) {
  static std::vector<std::unique_ptr<TOWStateDispatcher>> designTime;
  static std::vector<std::unique_ptr<TOWStateDispatcher>> runTime;
  return ADesignTime ? designTime : runTime;
}

TOWStateDispatcher::TOWStateDispatcher(std::string AName, bool ADesignTime)
    : FName(std::move(AName)), FDesignTime(ADesignTime), FDestroyLock(makeRef<TOWDestroyLock>(FIntLock.get())) {}

TOWStateDispatcher::~TOWStateDispatcher() = default;

std::size_t TOWStateDispatcher::Count() {
  std::lock_guard guard(TOWPinRegistry::Lock());
  return List(true).size() + List(false).size();
}

TOWStateDispatcher* TOWStateDispatcher::CreateNamed(const std::string& AName, bool ADesignTime) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  // Owned by its list until it has no members left.
  List(ADesignTime).push_back(std::unique_ptr<TOWStateDispatcher>(new TOWStateDispatcher(AName, ADesignTime)));
  return List(ADesignTime).back().get();
}

TOWStateDispatcher* TOWStateDispatcher::Create(TComponent* AOwnerForm, bool ADesignTime) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  return CreateNamed(GetUniqueName(AOwnerForm, ADesignTime), ADesignTime);
}

TOWStateDispatcher* TOWStateDispatcher::GetByName(const std::string& AName, bool ADesignTime) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  for (const auto& hub : List(ADesignTime))
    if (hub->FName == AName) return hub.get();
  return nullptr;
}

TOWStateDispatcher* TOWStateDispatcher::GetByNameCreate(TOWBasicPin* APin, const std::string& AName, bool ADesignTime) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  if (TOWStateDispatcher* hub = GetByName(AName, ADesignTime)) return hub;
  return APin->CreateNamedDispatcher(AName);
}

bool TOWStateDispatcher::IsUniqueName(const std::string& AName, bool ADesignTime) {
  return GetByName(AName, ADesignTime) == nullptr;
}

std::string TOWStateDispatcher::GetUniqueName(TComponent* AOwnerForm, bool ADesignTime) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  const std::string stem = OWComponentName(AOwnerForm) + "Link";
  for (int n = 1;; ++n) {
    std::string name = stem + std::to_string(n);
    if (IsUniqueName(name, ADesignTime)) return name;
  }
}

void TOWStateDispatcher::FreeIfEmpty() {
  {
    LockSection read = ReadLock();
    if (!FPins.empty()) return;
  }
  std::unique_ptr<TOWStateDispatcher> self;
  std::lock_guard guard(TOWPinRegistry::Lock());
  auto& list = List(FDesignTime);
  auto found = std::find_if(list.begin(), list.end(), [&](const auto& hub) { return hub.get() == this; });
  if (found == list.end()) return;
  self = std::move(*found);
  list.erase(found);
}

// ---- Membership -----------------------------------------------------------------------------------

bool TOWStateDispatcher::AddPinAfter(TOWBasicPin* AConnectionPin, TOWBasicPin* ARealPin, TOWBasicPin* ANotifyAfterPin) {
  if (!ARealPin) return false;
  {
    LockSection write = WriteLock();
    for (const auto& member : FPins)
      if (member.RealPin == ARealPin) return true;
    FPins.push_back({AConnectionPin ? AConnectionPin : ARealPin, ARealPin, ANotifyAfterPin});
  }
  {
    LockSection write = ARealPin->WriteLock();
    ARealPin->SetDispatcher(this);
  }
  if (AConnectionPin && AConnectionPin != ARealPin) {
    LockSection write = AConnectionPin->WriteLock();
    AConnectionPin->SetDispatcher(this);
  }
  return true;
}

void TOWStateDispatcher::AddConverter(TComponentPtr<TOWFormatConverter> AConverter) {
  LockSection write = WriteLock();
  FFormatConverters.push_back(std::move(AConverter));
}

void TOWStateDispatcher::RemovePin(TOWBasicPin* APin) {
  TOWBasicPin* lastMember = nullptr;
  std::vector<TComponentPtr<TOWFormatConverter>> unused;
  {
    // Deliveries through the hub in progress end before the member goes.
    DestroyLockSection quiet = FDestroyLock->DestroyLock();
    LockSection write = WriteLock();
    auto found = std::find_if(FPins.begin(), FPins.end(), [&](const auto& m) { return m.RealPin == APin; });
    if (found == FPins.end()) return;
    TOWBasicPin* connectionPin = found->DConnectionPin;
    FPins.erase(found);
    for (auto& member : FPins)
      if (member.AfterPin == APin) member.AfterPin = nullptr;
    {
      LockSection pinWrite = APin->WriteLock();
      if (APin->GetDispatcher() == this) APin->SetDispatcher(nullptr);
    }
    if (connectionPin != APin) {
      for (auto it = FFormatConverters.begin(); it != FFormatConverters.end(); ++it) {
        if ((*it)->InputPin() != connectionPin) continue;
        (*it)->InputPin()->SetDispatcher(nullptr);
        unused.push_back(std::move(*it));
        FFormatConverters.erase(it);
        break;
      }
    }
    if (FPins.size() == 1) lastMember = FPins.front().RealPin;
  }
  unused.clear();
  if (lastMember) {
    RemovePin(lastMember);
    return;
  }
  FreeIfEmpty();
}

bool TOWStateDispatcher::IsConnectedTo(TOWBasicPin* APin) {
  LockSection read = ReadLock();
  return std::any_of(FPins.begin(), FPins.end(), [&](const auto& m) { return m.RealPin == APin; });
}

bool TOWStateDispatcher::IsConnectedToAfter(TOWBasicPin* APin, TOWBasicPin* ANotifyAfterPin) {
  LockSection read = ReadLock();
  return std::any_of(FPins.begin(), FPins.end(),
                     [&](const auto& m) { return m.RealPin == APin && m.AfterPin == ANotifyAfterPin; });
}

void TOWStateDispatcher::DisconnectAll() {
  // Removing the second-to-last member frees the hub: stop touching it then.
  for (;;) {
    const auto members = Members();
    if (members.empty()) break;
    RemovePin(members.back().RealPin);
    if (members.size() <= 2) return;
  }
  FreeIfEmpty();
}

std::size_t TOWStateDispatcher::PinCount() {
  LockSection read = ReadLock();
  return FPins.size();
}

std::vector<TOWDispatcherPinStorage> TOWStateDispatcher::Members() {
  LockSection read = ReadLock();
  return FPins;
}

bool TOWStateDispatcher::CanJoin(TOWBasicPin* APin) {
  for (const auto& member : Members()) {
    if (member.RealPin == APin) return true;
    if (member.RealPin->IsCompatible(APin, true) || APin->IsCompatible(member.RealPin, true)) return true;
  }
  return false;
}

bool TOWStateDispatcher::CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool) {
  return IsConnectedTo(ANotifyAfterPin) && CanJoin(AOtherPin);
}

bool TOWStateDispatcher::IsCrosForm() {
  const auto members = Members();
  if (members.empty()) return false;
  const std::string first = members.front().RealPin->GetRootName();
  return std::any_of(members.begin(), members.end(), [&](const auto& m) { return m.RealPin->GetRootName() != first; });
}

bool TOWStateDispatcher::ConnectedToForm(TComponent* AOwnerComponent) {
  for (const auto& member : Members())
    if (member.RealPin->GetRoot() == AOwnerComponent) return true;
  return false;
}

void TOWStateDispatcher::PinRemoved(TOWBasicPin* APin) {
  if (IsConnectedTo(APin)) RemovePin(APin);
}

void TOWStateDispatcher::PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) {
  LockSection write = WriteLock();
  for (auto& member : FPins)
    if (member.AfterPin == AOldPin) member.AfterPin = ANewPin;
}

// ---- Types and connecting ---------------------------------------------------------------------------

TOWConnectionType TOWStateDispatcher::FindTypeBetween(TOWBasicPin* AFrom, TOWBasicPin* ATo, bool AUseConverters,
                                                      const TOWStateDispatcher* AHub) {
  TOWConnectionType result;
  auto* from = dynamic_cast<TOWPin*>(AFrom);
  if (!from || !ATo) return result;
  const TOWPinStreamType& types = from->StreamType();
  for (std::size_t i = types.Count(); i-- > 0;) {
    if (ATo->SupportsType(types.GetID(i))) {
      result.ID = types.GetID(i);
      return result;
    }
  }
  const TOWPinType kind = ATo->GetPinType();
  if (!AUseConverters || (kind != ptSink && kind != ptMultiSink)) return result;
  if (AHub) {
    for (const auto& converter : AHub->FFormatConverters) {
      for (std::size_t i = types.Count(); i-- > 0;) {
        if (converter->InputPin()->SupportsType(types.GetID(i)) &&
            FindTypeBetween(converter->OutputPin(), ATo, false).Found()) {
          result.ID = types.GetID(i);
          result.Converter = converter.get();
          return result;
        }
      }
    }
  }
  return OWFindRegisteredConverter(types, ATo);
}

namespace {

// A member of the hub from which a converter to ASink would be fed, and the type search from it.
TOWConnectionType converterFromMembers(TOWStateDispatcher* AHub, TOWBasicPin* ASink) {
  for (const auto& member : AHub->Members()) {
    if (member.RealPin->GetPinType() == ptSink) continue;
    TOWConnectionType found = TOWStateDispatcher::FindTypeBetween(member.RealPin, ASink, true, AHub);
    if (found.Found()) return found;
  }
  return {};
}

}  // namespace

bool TOWStateDispatcher::ConnectPins(TOWBasicPin* APin, TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  if (!APin || !AOtherPin || APin == AOtherPin) return false;
  if (!APin->TestConnection(AOtherPin, true)) return false;
  TOWStateDispatcher* hub = APin->GetDispatcher();
  TOWBasicPin* joining = AOtherPin;
  if (!hub && AOtherPin->GetDispatcher()) {
    hub = AOtherPin->GetDispatcher();
    joining = APin;
  }
  if (hub && hub->IsConnectedTo(joining)) return true;
  if (!hub) {
    hub = APin->CreateDispatcher();
    AOtherPin->DropSourceLink();
    if (AOtherPin->GetDispatcher()) AOtherPin->LeaveState();
    APin->DropSourceLink();
    hub->AddPin(APin, APin);
    joining = AOtherPin;
  } else {
    joining->DropSourceLink();
    if (joining->GetDispatcher()) joining->LeaveState();
  }
  TOWBasicPin* connectionPin = joining;
  if (joining->GetPinType() == ptSink) {
    bool direct = false;
    for (const auto& member : hub->Members())
      if (FindTypeBetween(member.RealPin, joining, false).Found()) direct = true;
    if (!direct) {
      const TOWConnectionType found = converterFromMembers(hub, joining);
      TOWFormatConverter* converter = found.Converter;
      if (found.ConverterClass) {
        TComponentPtr<TOWFormatConverter> created = found.ConverterClass();
        converter = created.get();
        converter->SetConversion(found.ID, found.ConverterOutputID);
        hub->AddConverter(std::move(created));
      }
      if (converter) {
        connectionPin = converter->InputPin();
        converter->OutputPin()->AddConnection(joining, nullptr);
        if (auto* sink = dynamic_cast<TOWSinkPin*>(joining)) {
          LockSection write = sink->WriteLock();
          sink->FConnectionSourcePin = converter->OutputPin();
        }
      }
    }
  }
  hub->AddPinAfter(connectionPin, joining, ANotifyAfterPin);
  joining->StateJoined();
  return true;
}

// ---- Delivering -----------------------------------------------------------------------------------

void TOWStateDispatcher::Deliver(TOWBasicPin* ASender, TOWBasicPin* ATarget, IOWNotifyOperation* Operation,
                                 TOWNotifyState AState) {
  DestroyLockSection hubUse = FDestroyLock->Lock();
  if (!hubUse) return;
  const std::vector<TOWDispatcherPinStorage> members = Members();
  auto addressed = [&](const TOWDispatcherPinStorage& m) {
    return m.RealPin != ASender && (!ATarget || m.RealPin == ATarget);
  };
  std::size_t last = members.size();
  for (std::size_t i = 0; i < members.size(); ++i)
    if (addressed(members[i])) last = i;
  auto* sender = dynamic_cast<TOWPin*>(ASender);
  if (!sender) return;
  DestroyLockSection senderUse = sender->DestroyLockIntf()->Lock();
  if (!senderUse) return;
  TOWNotifyState state = AState;
  for (std::size_t i = 0; i < members.size(); ++i) {
    const TOWDispatcherPinStorage& member = members[i];
    if (!addressed(member)) continue;
    if (i == last) state.Include(nsLastIteration);
    const TGUID type = FindTypeBetween(sender, member.DConnectionPin, false).ID;
    const TOWSubmit submit = sender->GetSubmitFunction(type);
    if (!submit) continue;
    LockSection ownerGivenUp = sender->OwnerLock() ? sender->OwnerLock()->UnlockAll() : LockSection();
    submit(member.DConnectionPin->StreamIntf(), &type, Operation, state);
  }
}

void TOWStateDispatcher::Resynchronise(TOWBasicPin* APin) {
  const auto members = Members();
  auto sendNewLink = [&](TOWBasicPin* from) {
    OperationRef operation = newOperation<TOWNotifyOperation>();
    Deliver(from, from == APin ? nullptr : APin, operation.get(), TOWNotifyState{nsNewLink});
  };
  for (const auto& member : members) {
    if (member.RealPin->GetPinType() == ptSource) {
      sendNewLink(member.RealPin);
      return;
    }
  }
  for (const auto& member : members)
    if (member.RealPin->GetPinType() != ptSink) sendNewLink(member.RealPin);
}

// ---- TOWStatePin ----------------------------------------------------------------------------------

TOWStatePin::TOWStatePin(TComponent* AOwner, IOWLock* AOwnerLock) : TOWPin(AOwner, AOwnerLock) {}

TOWStatePin::~TOWStatePin() {
  BeforeDestruction();
  Disconnect();
}

bool TOWStatePin::TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (!AOtherPin) return true;
  if (!SameDesignState(AOtherPin)) return false;
  if (dynamic_cast<TOWUnloadedPin*>(AOtherPin)) return true;
  if (AOtherPin->GetPinType() == ptSource) return AOtherPin->FindTypeTo(this, AUseConverters).Found();
  return FindTypeTo(AOtherPin, AUseConverters).Found();
}

bool TOWStatePin::IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (!AOtherPin) return true;
  switch (AOtherPin->GetPinType()) {
    case ptState:
      return FindTypeTo(AOtherPin, AUseConverters).Found() || AOtherPin->FindTypeTo(this, AUseConverters).Found();
    case ptSink:
    case ptMultiSink:
      return FindTypeTo(AOtherPin, AUseConverters).Found();
    case ptSource:
      return AOtherPin->FindTypeTo(this, AUseConverters).Found();
    default:
      return false;
  }
}

bool TOWStatePin::ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  if (!AOtherPin) {
    Disconnect();
    return true;
  }
  if (dynamic_cast<TOWUnloadedPin*>(AOtherPin)) return AOtherPin->ConnectAfter(this, ANotifyAfterPin);
  return TOWStateDispatcher::ConnectPins(this, AOtherPin, ANotifyAfterPin);
}

void TOWStatePin::Disconnect() { LeaveState(); }

void TOWStatePin::DisconnectFrom(TOWBasicPin* AOtherPin) {
  if (AOtherPin && FDispatcher && AOtherPin->GetDispatcher() == FDispatcher) LeaveState();
}

TOWNotifyResult TOWStatePin::Notify(IOWNotifyOperation* Operation) { return NotifyState(nullptr, Operation, {}); }

std::size_t TOWStatePin::PinCount() {
  TOWStateDispatcher* hub = GetDispatcher();
  return hub ? hub->PinCount() : 0;
}

bool TOWStatePin::TryLinkTo(TComponent* ARoot, const std::string& ASinkName) {
  if (ASinkName.empty()) {
    Disconnect();
    return true;
  }
  TComponent* ownRoot = GetRoot();
  const bool useGiven = ARoot && OWRootOf(ARoot) != ownRoot;
  TComponent* root = useGiven ? OWRootOf(ARoot) : ownRoot;
  if (!root) return false;
  struct Candidate {
    TOWBasicPin* pin;
    std::string name;
  };
  std::vector<Candidate> candidates;
  try {
    LockSection write = WriteLock();
    std::vector<TComponent*> pending{root};
    for (std::size_t i = 0; i < pending.size(); ++i) {
      TComponent* component = pending[i];
      for (int c = 0; c < component->ComponentCount(); ++c) pending.push_back(component->Components(c));
      if (component == root) continue;
      OWForEachPublishedObject(component, [&](TObject* object, const std::string& path) {
        auto* pin = dynamic_cast<TOWBasicPin*>(object);
        if (!pin || pin == this || !IsCompatible(pin, true)) return;
        std::string name = component->Name() + "." + path;
        if (useGiven) name = root->Name() + "." + name;
        candidates.push_back({pin, std::move(name)});
      });
    }
  } catch (...) {
    // A walk that fails leaves the pin as it is and reports success, as a refused link would not.
    return true;
  }
  for (const Candidate& candidate : candidates) {
    if (candidate.name == ASinkName || OWComponentName(ownRoot) + "." + candidate.name == ASinkName)
      return Connect(candidate.pin);
  }
  return false;
}

}  // namespace sib
