// TOWSourcePin: connection entries, the type search, delivery to the sinks and the new-link notification.
#include "framework/source_pin.h"

#include <algorithm>

#include "framework/format_converter.h"
#include "framework/pin_persistence.h"
#include "framework/pin_registry.h"
#include "framework/state_pin.h"
#include "platform/core/errors.h"

namespace sib {
namespace {

constexpr std::int32_t kMaxSendDepth = 200;
constexpr std::int32_t kMaxNewLinkDepth = 10;
constexpr std::int32_t kModificationStep = 4;
constexpr std::int32_t kModificationCeiling = 10000;

// The copy of the connection entries a send works on. Up to kInline entries live on the stack, so a
// send to a few sinks allocates nothing; longer lists take one allocation.
class EntrySnapshot {
 public:
  static constexpr std::size_t kInline = 4;

  void Fill(const TOWPinEntryList& entries) {
    FCount = 0;
    if (entries.size() > kInline) {
      FHeap.reserve(entries.size());
      FData = FHeap.data();
    }
    // A shared converter is fed once: of the entries through one converter, only the first stays.
    for (const TOWPinEntry& entry : entries) {
      if (entry.ConnectionPin != entry.RealPin && FedAlready(entry.ConnectionPin)) continue;
      if (FData == FInline) FInline[FCount] = entry;
      else FHeap.push_back(entry);
      FChanged[std::min(FCount, kInline)] = false;
      ++FCount;
    }
  }

  std::size_t Count() const { return FCount; }
  const TOWPinEntry& operator[](std::size_t i) const { return FData[i]; }
  void MarkChanged(std::size_t i) {
    if (i < kInline) FChanged[i] = true;
    else FChangedBeyond.push_back(i);
  }
  bool Changed(std::size_t i) const {
    if (i < kInline) return FChanged[i];
    return std::find(FChangedBeyond.begin(), FChangedBeyond.end(), i) != FChangedBeyond.end();
  }

 private:
  bool FedAlready(const TOWBasicPin* connectionPin) const {
    for (std::size_t i = 0; i < FCount; ++i)
      if (FData[i].ConnectionPin == connectionPin) return true;
    return false;
  }

  TOWPinEntry FInline[kInline];
  bool FChanged[kInline + 1] = {};
  std::vector<TOWPinEntry> FHeap;
  std::vector<std::size_t> FChangedBeyond;
  TOWPinEntry* FData = FInline;
  std::size_t FCount = 0;
};

// A direct connection type from ASource to ASink: the source's most preferred type the sink supports.
TGUID directType(TOWSourcePin* ASource, TOWBasicPin* ASink) {
  TOWPinTypeRestricted offered;
  ASource->CollectOfferedTypes(offered);
  for (std::size_t i = offered.Count(); i-- > 0;)
    if (ASink->SupportsType(offered.GetID(i))) return offered.GetID(i);
  return GUID_NULL;
}

}  // namespace

[[noreturn]] void OWRaiseDependsOnItself() {
  throw EOWException("The pin depends on itself. Please protect with functional dependency.");
}

TOWSourcePin::TOWSourcePin(TComponent* AOwner, IOWLock* AOwnerLock)
    : TOWStreamPin(AOwner, AOwnerLock), FFunctionSources(this) {}

TOWSourcePin::~TOWSourcePin() {
  BeforeDestruction();
  Disconnect();
  for (TOWBasicSinkPin* pin : FFunctionSources.Snapshot()) FFunctionSources.Remove(pin);
  std::vector<TComponentPtr<TOWFormatConverter>> converters;
  {
    LockSection write = WriteLock();
    converters.swap(FFormatConverters);
    FSinkPins.clear();
  }
}

std::size_t TOWSourcePin::SinkCount() {
  LockSection read = ReadLock();
  return FSinkPins.size();
}

TOWBasicPin* TOWSourcePin::GetSink(std::size_t Index) {
  LockSection read = ReadLock();
  return Index < FSinkPins.size() ? FSinkPins[Index].RealPin : nullptr;
}

std::size_t TOWSourcePin::ConverterCount() {
  LockSection read = ReadLock();
  return FFormatConverters.size();
}

TOWPinEntryList TOWSourcePin::Entries() {
  LockSection read = ReadLock();
  return FSinkPins;
}

// ---- Type search and compatibility ----------------------------------------------------------------

bool TOWSourcePin::DirectTypeExists(TOWSourcePin* ASource, TOWBasicPin* ASink) {
  return directType(ASource, ASink) != GUID_NULL;
}

TOWConnectionType TOWSourcePin::FindConnectionType(TOWBasicPin* ASink, bool AUseConverters, bool ACreateNew) {
  TOWConnectionType result;
  if (!ASink) return result;
  TOWPinTypeRestricted offered;
  CollectOfferedTypes(offered);
  for (std::size_t i = offered.Count(); i-- > 0;) {
    if (ASink->SupportsType(offered.GetID(i))) {
      result.ID = offered.GetID(i);
      return result;
    }
  }
  if (!AUseConverters) return result;

  std::vector<TOWFormatConverter*> converters;
  {
    LockSection read = ReadLock();
    for (const auto& converter : FFormatConverters) converters.push_back(converter.get());
  }
  for (auto it = converters.rbegin(); it != converters.rend(); ++it) {
    TOWFormatConverter* converter = *it;
    if (!DirectTypeExists(converter->OutputPin(), ASink)) continue;
    const TGUID toConverter = directType(this, converter->InputPin());
    if (toConverter == GUID_NULL) continue;
    result.ID = toConverter;
    result.Converter = converter;
    return result;
  }
  if (!ACreateNew) return result;
  return OWFindRegisteredConverter(offered, ASink);
}

bool TOWSourcePin::CanSupply(TOWBasicPin* ASink, bool AUseConverters) {
  return FindConnectionType(ASink, AUseConverters, true).Found();
}

bool TOWSourcePin::IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (dynamic_cast<TOWSinkPin*>(AOtherPin)) return AOtherPin->IsCompatible(this, AUseConverters);
  if (dynamic_cast<TOWStatePin*>(AOtherPin)) return FindTypeTo(AOtherPin, AUseConverters).Found();
  return false;
}

bool TOWSourcePin::TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) {
  if (!AOtherPin) return true;
  if (!SameDesignState(AOtherPin)) return false;
  if (dynamic_cast<TOWUnloadedPin*>(AOtherPin)) return true;
  if (dynamic_cast<TOWStatePin*>(AOtherPin)) return AOtherPin->TestConnection(this, AUseConverters);
  if (dynamic_cast<TOWSinkPin*>(AOtherPin)) return AOtherPin->TestConnection(this, AUseConverters);
  return false;
}

bool TOWSourcePin::CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) {
  bool answer;
  if (!ANotifyAfterPin) {
    answer = CanConnectTo(AOtherPin, AUseConverters);
  } else {
    TOWStateDispatcher* hub = GetDispatcher();
    answer = hub && hub->CanConnectAfter(AOtherPin, ANotifyAfterPin, AUseConverters);
  }
  if (answer || AOtherPin == ANotifyAfterPin) return answer;
  if (OWIsLoading(FOwner) || FInEditor) return true;
  TOWBasicPin* afterOfAfter = nullptr;
  bool afterIsSink = false;
  {
    LockSection read = ReadLock();
    for (const TOWPinEntry& entry : FSinkPins) {
      if (entry.RealPin == ANotifyAfterPin) {
        afterIsSink = true;
        afterOfAfter = entry.NotifyAfterPin;
        break;
      }
    }
  }
  if (!afterIsSink) return false;
  if (!afterOfAfter) return true;
  return CanConnectAfter(AOtherPin, afterOfAfter, AUseConverters);
}

// ---- Connecting -----------------------------------------------------------------------------------

bool TOWSourcePin::ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  if (AOtherPin && !CanConnectAfter(AOtherPin, ANotifyAfterPin, true)) return false;
  return LinkSink(AOtherPin, ANotifyAfterPin);
}

bool TOWSourcePin::LinkSink(TOWBasicPin* APin, TOWBasicPin* ANotifyAfterPin) {
  if (!APin) return false;
  if (dynamic_cast<TOWSinkPin*>(APin) || dynamic_cast<TOWStatePin*>(APin) || dynamic_cast<TOWUnloadedPin*>(APin))
    return APin->ConnectAfter(this, ANotifyAfterPin);
  return false;
}

void TOWSourcePin::AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) {
  if (!APin) return;
  LockSection write = WriteLock();
  TOWPinEntry entry;
  entry.RealPin = APin;
  entry.NotifyAfterPin = AAfterPin;
  const TOWConnectionType found = FindConnectionType(APin, true, true);
  TOWFormatConverter* converter = found.Converter;
  if (found.ConverterClass) {
    FFormatConverters.push_back(found.ConverterClass());
    converter = FFormatConverters.back().get();
    converter->SetConversion(found.ID, found.ConverterOutputID);
  }
  if (converter) {
    entry.ConnectionPin = converter->InputPin();
    TOWSourcePin* output = converter->OutputPin();
    output->AddConnection(APin, nullptr);
    if (auto* sink = dynamic_cast<TOWSinkPin*>(APin)) {
      LockSection sinkWrite = sink->WriteLock();
      sink->FConnectionSourcePin = output;
    }
  } else {
    entry.ConnectionPin = APin;
  }
  entry.ConnectedID = found.ID;
  entry.SubmitFunction = GetSubmitFunction(found.ID);
  FSinkPins.push_back(entry);
}

void TOWSourcePin::RemoveConverterConnectionsLocked(TOWBasicPin* APin) {
  std::vector<TComponentPtr<TOWFormatConverter>> unused;
  for (const auto& converter : FFormatConverters)
    if (converter->OutputPin()->IsConnectedTo(APin)) converter->OutputPin()->RemoveConnection(APin, false);
  for (auto it = FFormatConverters.begin(); it != FFormatConverters.end();) {
    if ((*it)->OutputPin()->SinkCount() == 0) {
      unused.push_back(std::move(*it));
      it = FFormatConverters.erase(it);
    } else {
      ++it;
    }
  }
  // Destroyed here, still under the write section: their pins tell this source PinRemoved.
  unused.clear();
}

void TOWSourcePin::RemoveEntryLocked(TOWBasicPin* APin) {
  for (std::size_t i = FSinkPins.size(); i-- > 0;) {
    if (FSinkPins[i].RealPin != APin) continue;
    const bool throughConverter = FSinkPins[i].ConnectionPin != FSinkPins[i].RealPin;
    FSinkPins.erase(FSinkPins.begin() + static_cast<std::ptrdiff_t>(i));
    if (throughConverter) RemoveConverterConnectionsLocked(APin);
    return;
  }
}

void TOWSourcePin::RemoveAllEntriesLocked(TOWBasicPin* APin) {
  std::erase_if(FSinkPins, [&](const TOWPinEntry& e) { return e.RealPin == APin; });
}

void TOWSourcePin::RemoveConnection(TOWBasicPin* APin, bool AKeep) {
  if (FInDisconnect.load() || !APin) return;
  {
    DestroyLockSection quiet = FDestroyLock->DestroyLock();
    LockSection write = WriteLock();
    if (AKeep && !IsOwnerDestroying()) OWKeepPlaceholderFor(this, APin, ptSink);
    RemoveEntryLocked(APin);
  }
  APin->ConnectionRemoved();
}

void TOWSourcePin::Disconnect() {
  LeaveState();
  // Deliveries through the pin are held off until the sinks are gone. The write section is not held
  // while the sinks are told, so that a delivery still running into a sink may query this pin.
  DestroyLockSection quiet = FDestroyLock->DestroyLock();
  TOWPinEntryList entries;
  {
    LockSection write = WriteLock();
    entries = FSinkPins;
    FInDisconnect = true;
  }
  const bool keep = IsDesigning() && IsOwnerDestroying();
  struct Finish {
    TOWSourcePin* pin;
    const TOWPinEntryList& entries;
    ~Finish() {
      LockSection write = pin->WriteLock();
      pin->FInDisconnect = false;
      for (const TOWPinEntry& entry : entries) {
        if (entry.ConnectionPin != entry.RealPin) pin->RemoveConverterConnectionsLocked(entry.RealPin);
        pin->RemoveAllEntriesLocked(entry.RealPin);
      }
    }
  } finish{this, entries};
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) DetachSinkQuietly(it->RealPin, keep);
}

void TOWSourcePin::DetachSinkQuietly(TOWBasicPin* ASink, bool AKeep) {
  if (!TOWPinRegistry::Contains(ASink)) return;
  ASink->RemoveConnection(this, AKeep);
  if (TOWPinRegistry::Contains(ASink)) ASink->ConnectionRemoved();
}

void TOWSourcePin::DisconnectFrom(TOWBasicPin* AOtherPin) {
  if (!AOtherPin) return;
  if (!IsConnectedTo(AOtherPin)) {
    if (FDispatcher && AOtherPin->GetDispatcher() == FDispatcher) LeaveState();
    return;
  }
  DestroyLockSection quiet = FDestroyLock->DestroyLock();
  {
    LockSection write = WriteLock();
    FInDisconnect = true;
  }
  const bool keep = IsDesigning() && IsOwnerDestroying();
  struct Finish {
    TOWSourcePin* pin;
    TOWBasicPin* sink;
    ~Finish() {
      LockSection write = pin->WriteLock();
      pin->FInDisconnect = false;
      pin->RemoveEntryLocked(sink);
    }
  } finish{this, AOtherPin};
  DetachSinkQuietly(AOtherPin, keep);
}

// ---- Queries --------------------------------------------------------------------------------------

bool TOWSourcePin::DependsOn(TOWBasicPin* AOtherPin) {
  if (!AOtherPin) return false;
  {
    LockSection write = WriteLock();
    if (FInDependOn) return false;
    FInDependOn = true;
  }
  bool depends = false;
  for (TOWBasicSinkPin* source : FFunctionSources.Snapshot()) {
    if (source == AOtherPin || source->DependsOn(AOtherPin)) {
      depends = true;
      break;
    }
  }
  LockSection write = WriteLock();
  FInDependOn = false;
  return depends;
}

bool TOWSourcePin::DirectDependsOn(TOWBasicPin* AOtherPin) { return FFunctionSources.Contains(AOtherPin); }

TOWBasicPin* TOWSourcePin::GetNotifyAfterPin(TOWBasicPin* APin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.RealPin == APin) return entry.NotifyAfterPin;
  return nullptr;
}

TGUID TOWSourcePin::GetConnectionID(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.RealPin == AOtherPin) return entry.ConnectedID;
  return GUID_NULL;
}

TGUID TOWSourcePin::GetPrimaryConnectionID() {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.ConnectedID != GUID_NULL) return entry.ConnectedID;
  return FStreamType.Count() ? FStreamType.GetID(FStreamType.Count() - 1) : GUID_NULL;
}

bool TOWSourcePin::IsConnected() {
  LockSection read = ReadLock();
  return !FSinkPins.empty() || FDispatcher;
}

bool TOWSourcePin::IsConnectedTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.RealPin == AOtherPin) return true;
  return false;
}

bool TOWSourcePin::IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.RealPin == AOtherPin && entry.NotifyAfterPin == ANotifyAfterPin) return true;
  return false;
}

bool TOWSourcePin::IsConnectedByConverterTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& entry : FSinkPins)
    if (entry.RealPin == AOtherPin) return entry.ConnectionPin != entry.RealPin;
  return false;
}

std::size_t TOWSourcePin::GetConnectedPinCount() { return SinkCount(); }
TOWBasicPin* TOWSourcePin::GetConnectedPin(std::size_t Index) { return GetSink(Index); }

TOWBasicPin* TOWSourcePin::GetConnectedAfterPin(std::size_t Index) {
  LockSection read = ReadLock();
  return Index < FSinkPins.size() ? FSinkPins[Index].NotifyAfterPin : nullptr;
}

void TOWSourcePin::PinRemoved(TOWBasicPin* APin) {
  if (auto* sink = dynamic_cast<TOWBasicSinkPin*>(APin)) FFunctionSources.Remove(sink);
  LockSection write = WriteLock();
  bool isSink = false;
  for (const TOWPinEntry& entry : FSinkPins) isSink = isSink || entry.RealPin == APin;
  if (isSink) RemoveEntryLocked(APin);
  for (TOWPinEntry& entry : FSinkPins)
    if (entry.NotifyAfterPin == APin) entry.NotifyAfterPin = nullptr;
}

void TOWSourcePin::PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) {
  LockSection write = WriteLock();
  for (TOWPinEntry& entry : FSinkPins)
    if (entry.NotifyAfterPin == AOldPin) entry.NotifyAfterPin = ANewPin;
  PlaceAfterPinsLocked();
}

// ---- Delivering -----------------------------------------------------------------------------------

TOWNotifyResult TOWSourcePin::Notify(IOWNotifyOperation* Operation) { return SendToSinks(nullptr, Operation); }

TOWNotifyResult TOWSourcePin::SendToSinks(TOWBasicPin* APin, IOWNotifyOperation* Operation) {
  // One use for the whole send: neither this pin nor a sink in the copy can be freed while it runs,
  // since removing a sink waits on this pin's destroy lock.
  DestroyLockSection use = FDestroyLock->Lock();
  if (!use) return {};

  EntrySnapshot copy;
  {
    LockSection read = ReadLock();
    if (FInSending.load(std::memory_order_relaxed) > kMaxSendDepth) OWRaiseDependsOnItself();
    copy.Fill(FSinkPins);
    FInSending.fetch_add(1, std::memory_order_relaxed);
  }

  // Restores the counter and reorders the connections however the send ends.
  struct Finish {
    TOWSourcePin* pin;
    const EntrySnapshot& copy;
    ~Finish() {
      bool changed = false;
      for (std::size_t i = 0; i < copy.Count(); ++i) changed = changed || copy.Changed(i);
      // While every level is 0 and none rose, the order stays as it is.
      if (changed || pin->FLevelsRaised.load(std::memory_order_relaxed)) {
        LockSection write = pin->WriteLock();
        for (std::size_t i = 0; i < copy.Count(); ++i) {
          if (!copy.Changed(i)) continue;
          for (TOWPinEntry& entry : pin->FSinkPins) {
            if (entry.RealPin == copy[i].RealPin && entry.ModificationLevel < kModificationCeiling)
              entry.ModificationLevel += kModificationStep;
          }
        }
        if (!pin->FInDisconnect) pin->ReorderSinks();
      }
      pin->FInSending.fetch_sub(1, std::memory_order_relaxed);
    }
  } finish{this, copy};

  const TOWNotifyResult result = NotifyState(nullptr, Operation, {});

  std::size_t last = copy.Count();
  for (std::size_t i = 0; i < copy.Count(); ++i)
    if (!APin || copy[i].RealPin == APin) last = i;

  for (std::size_t i = 0; i < copy.Count(); ++i) {
    const TOWPinEntry& entry = copy[i];
    if (APin && entry.RealPin != APin) continue;
    if (!entry.SubmitFunction || Destroying()) continue;
    const TOWNotifyState state = i == last ? TOWNotifyState{nsLastIteration} : TOWNotifyState{};
    TOWNotifyResult answer;
    {
      LockSection ownerGivenUp = FOwnerLock ? FOwnerLock->UnlockAll() : LockSection();
      answer = entry.SubmitFunction(entry.ConnectionPin->StreamIntf(), &entry.ConnectedID, Operation, state);
    }
    if (answer.Contains(nrDataChanged)) copy.MarkChanged(i);
  }
  return result;
}

void TOWSourcePin::ReorderSinks() {
  bool raised = false;
  for (TOWPinEntry& entry : FSinkPins) {
    if (entry.ModificationLevel > 0) --entry.ModificationLevel;
    raised = raised || entry.ModificationLevel > 0;
  }
  FLevelsRaised.store(raised, std::memory_order_relaxed);
  // An insertion sort: stable, allocation-free, and linear for the usual, already sorted list.
  for (std::size_t i = 1; i < FSinkPins.size(); ++i) {
    std::size_t j = i;
    while (j > 0 && FSinkPins[j - 1].ModificationLevel > FSinkPins[j].ModificationLevel) {
      std::swap(FSinkPins[j - 1], FSinkPins[j]);
      --j;
    }
  }
  PlaceAfterPinsLocked();
}

void TOWSourcePin::PlaceAfterPinsLocked() {
  // An entry that must follow another moves right behind it when that one stands later. Each move
  // only ever pushes an entry towards the end, so a bounded number of passes settles the order even
  // when the constraints contradict each other.
  const std::size_t n = FSinkPins.size();
  for (std::size_t moves = 0, i = 0; i < n && moves < n * n;) {
    TOWBasicPin* after = FSinkPins[i].NotifyAfterPin;
    std::size_t target = i;
    if (after) {
      for (std::size_t j = i + 1; j < n; ++j)
        if (FSinkPins[j].RealPin == after) target = j;
    }
    if (target == i) {
      ++i;
      continue;
    }
    const TOWPinEntry moving = FSinkPins[i];
    FSinkPins.erase(FSinkPins.begin() + static_cast<std::ptrdiff_t>(i));
    FSinkPins.insert(FSinkPins.begin() + static_cast<std::ptrdiff_t>(target), moving);
    ++moves;
  }
}

void TOWSourcePin::SendNewLinkTo(TOWBasicPin* ASink) {
  TOWPinEntry found;
  {
    LockSection read = ReadLock();
    auto entry = std::find_if(FSinkPins.begin(), FSinkPins.end(), [&](const TOWPinEntry& e) { return e.RealPin == ASink; });
    if (entry == FSinkPins.end()) return;
    found = *entry;
  }
  SendNewLink(found.RealPin, found.ConnectionPin, found.SubmitFunction);
}

void TOWSourcePin::SendNewLink(TOWBasicPin* ASink, TOWBasicPin* AConnectionPin, TOWSubmit ASubmitFunction) {
  if (!ASubmitFunction || !ASink) return;
  TGUID type;
  {
    LockSection write = WriteLock();
    if (FInSending.load(std::memory_order_relaxed) > kMaxNewLinkDepth) OWRaiseDependsOnItself();
    FInSending.fetch_add(1, std::memory_order_relaxed);
  }
  struct Finish {
    TOWSourcePin* pin;
    ~Finish() {
      LockSection write = pin->WriteLock();
      pin->FInSending.fetch_sub(1, std::memory_order_relaxed);
    }
  } finish{this};
  type = FindConnectionType(ASink, true, false).ID;
  // The value goes to the pin that receives on this connection, so that a converter in between
  // passes it on converted.
  TOWBasicPin* receiver = AConnectionPin ? AConnectionPin : ASink;
  LockSection ownGivenUp = UnlockAll();
  DestroyLockSection use = FDestroyLock->Lock();
  if (!use) return;
  LockSection ownerGivenUp = FOwnerLock ? FOwnerLock->UnlockAll() : LockSection();
  OperationRef operation = newOperation<TOWNotifyOperation>();
  ASubmitFunction(receiver->StreamIntf(), &type, operation.get(), TOWNotifyState{nsNewLink, nsLastIteration});
}

bool TOWSourcePin::HasSinks() {
  LockSection read = ReadLock();
  return !FSinkPins.empty();
}

bool TOWSourcePin::HasLinkData() { return HasStateData() || HasSinks(); }

// ---- Function sources -----------------------------------------------------------------------------

void TOWSinkPinList::Add(TOWBasicSinkPin* APin) {
  if (!APin) return;
  {
    LockSection write = FOwner->WriteLock();
    if (std::find(FList.begin(), FList.end(), APin) != FList.end()) return;
    FList.push_back(APin);
  }
  Added(APin);
}

void TOWSinkPinList::Remove(TOWBasicSinkPin* APin) {
  {
    LockSection write = FOwner->WriteLock();
    auto found = std::find(FList.begin(), FList.end(), APin);
    if (found == FList.end()) return;
    FList.erase(found);
  }
  Removed(APin);
}

std::size_t TOWSinkPinList::Count() const {
  LockSection read = FOwner->ReadLock();
  return FList.size();
}

TOWBasicSinkPin* TOWSinkPinList::operator[](std::size_t Index) const {
  LockSection read = FOwner->ReadLock();
  return FList.at(Index);
}

bool TOWSinkPinList::Contains(const TOWBasicPin* APin) const {
  LockSection read = FOwner->ReadLock();
  return std::find(FList.begin(), FList.end(), APin) != FList.end();
}

std::vector<TOWBasicSinkPin*> TOWSinkPinList::Snapshot() const {
  LockSection read = FOwner->ReadLock();
  return FList;
}

void TOWFunctionSinkPinList::Added(TOWBasicSinkPin* APin) {
  LockSection write = APin->WriteLock();
  APin->FFunctionDependants.push_back(FOwner);
}

void TOWFunctionSinkPinList::Removed(TOWBasicSinkPin* APin) {
  LockSection write = APin->WriteLock();
  std::erase(APin->FFunctionDependants, FOwner);
}

}  // namespace sib
