#include "framework/pin_persistence.h"

#include <algorithm>
#include <mutex>

#include "framework/state_pin.h"
#include "platform/components/filer.h"

namespace sib {
namespace {

std::string withoutFirstPart(const std::string& AName) {
  const auto dot = AName.find('.');
  return dot == std::string::npos ? AName : AName.substr(dot + 1);
}

std::string lastPart(const std::string& AName) {
  const auto dot = AName.rfind('.');
  return dot == std::string::npos ? AName : AName.substr(dot + 1);
}

// The placeholder list. It owns its placeholders and is emptied, destroying them, at shutdown.
struct PlaceholderList {
  // The registry is made first, so that it outlives the list at shutdown.
  PlaceholderList() { TOWPinRegistry::Count(); }
  ~PlaceholderList() { OWFreePlaceholders(); }
  std::vector<TOWPinRef<TOWUnloadedPin>> Pins;
};

PlaceholderList& placeholders() {
  static PlaceholderList list;
  return list;
}

void addPlaceholder(TOWUnloadedPin* APin) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  placeholders().Pins.emplace_back(APin);
}

// Takes the placeholder out of the list, which destroys it.
void freePlaceholder(TOWUnloadedPin* APin) {
  TOWPinRef<TOWUnloadedPin> taken;
  std::lock_guard guard(TOWPinRegistry::Lock());
  auto& pins = placeholders().Pins;
  auto found = std::find_if(pins.begin(), pins.end(), [&](const auto& p) { return p.get() == APin; });
  if (found == pins.end()) return;
  taken = std::move(*found);
  pins.erase(found);
}

std::vector<TOWBasicPin*> placeholderPins() {
  std::vector<TOWBasicPin*> pins;
  for (TOWUnloadedPin* pin : OWPlaceholders()) pins.push_back(pin);
  return pins;
}

std::vector<TOWBasicPin*> registeredPins() {
  std::vector<TOWBasicPin*> pins;
  TOWPinRegistry::ForEach([&](TOWBasicPin* pin) { pins.push_back(pin); });
  return pins;
}

}  // namespace

std::vector<TOWUnloadedPin*> OWPlaceholders() {
  std::lock_guard guard(TOWPinRegistry::Lock());
  std::vector<TOWUnloadedPin*> pins;
  for (const auto& pin : placeholders().Pins) pins.push_back(pin.get());
  return pins;
}

void OWFreePlaceholders() {
  for (;;) {
    TOWPinRef<TOWUnloadedPin> taken;
    {
      std::lock_guard guard(TOWPinRegistry::Lock());
      auto& pins = placeholders().Pins;
      if (pins.empty()) return;
      taken = std::move(pins.back());
      pins.pop_back();
    }
  }
}

// ---- Lookup ---------------------------------------------------------------------------------------

TOWBasicPin* OWGetByIdentName(const std::vector<TOWBasicPin*>& AList, TComponent* ARoot, const std::string& APinName) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  const std::string shortName = withoutFirstPart(APinName);
  const std::string rootName = OWComponentName(ARoot);
  for (TOWBasicPin* pin : AList) {
    if (!TOWPinRegistry::Contains(pin)) continue;
    TComponent* pinRoot = pin->GetRoot();
    const std::string full = pin->GetFullIdentName(true);
    if (pinRoot && ARoot && pinRoot != ARoot) {
      if (pin->GetRootName() != rootName && full == APinName) return pin;
      continue;
    }
    if ((!ARoot || pin->GetRootName() == rootName) && pin->GetFullIdentName(false) == APinName) return pin;
    if (full == APinName || full == shortName) return pin;
  }
  return nullptr;
}

TOWBasicPin* OWGetByDisplayName(const std::vector<TOWBasicPin*>& AList, TComponent* ARoot, const std::string& APinName) {
  std::lock_guard guard(TOWPinRegistry::Lock());
  for (TOWBasicPin* pin : AList) {
    if (!TOWPinRegistry::Contains(pin)) continue;
    TComponent* pinRoot = pin->GetRoot();
    if (ARoot && pinRoot && pinRoot != ARoot) continue;
    if (pin->GetFullName(false) == APinName || pin->GetFullName(true) == APinName) return pin;
  }
  return nullptr;
}

TOWBasicPin* OWGetByNameCreate(TComponent* ARoot, TOWPinType AType, const std::string& APinIdentName,
                               const std::string& APinDisplayName, const std::string& ACreatedFrom) {
  if (APinIdentName.empty()) return nullptr;
  {
    const std::vector<TOWBasicPin*> pins = registeredPins();
    if (TOWBasicPin* pin = OWGetByIdentName(pins, ARoot, APinIdentName)) return pin;
    if (TOWBasicPin* pin = OWGetByDisplayName(pins, ARoot, APinDisplayName)) return pin;
  }
  return TOWUnloadedPin::Create(ARoot, AType, APinIdentName, APinDisplayName, ACreatedFrom);
}

// ---- Resolution -----------------------------------------------------------------------------------

void OWResolvePlaceholders(TOWPin* APin) {
  try {
    for (;;) {
      const std::vector<TOWBasicPin*> waiting = placeholderPins();
      if (waiting.empty()) return;
      TComponent* root = APin->GetRoot();
      TOWBasicPin* found = OWGetByIdentName(waiting, root, APin->GetFullName(true));
      if (!found) found = OWGetByIdentName(waiting, root, APin->GetFullName(false));
      auto* placeholder = dynamic_cast<TOWUnloadedPin*>(found);
      if (!placeholder) return;
      placeholder->PopulatePinAndDestroy(APin);
    }
  } catch (...) {
    // A hand-over that fails ends the resolution; the reader goes on with the pin's own values.
  }
}

TOWBasicPin* OWKeepPlaceholderFor(TOWBasicPin* ASelf, TOWBasicPin* APartner, TOWPinType AType, bool AConnect) {
  TOWUnloadedPin* placeholder = TOWUnloadedPin::Create(nullptr, AType, APartner->GetFullIdentName(true),
                                                       APartner->GetFullName(true), ASelf->GetFullName(true));
  if (AConnect) placeholder->ConnectAfter(ASelf, nullptr);
  return placeholder;
}

// ---- TOWUnloadedPin -------------------------------------------------------------------------------

TOWUnloadedPin::TOWUnloadedPin(TOWPinType AType, std::string AIdentName, std::string ADisplayName,
                               std::string ACreatedFrom)
    : FDisplayName(std::move(ADisplayName)),
      FIdentName(std::move(AIdentName)),
      FType(AType),
      FCreatedFrom(std::move(ACreatedFrom)) {}

TOWUnloadedPin* TOWUnloadedPin::Create(TComponent*, TOWPinType AType, const std::string& APinIdentName,
                                       const std::string& APinDisplayName, const std::string& ACreatedFrom) {
  auto* pin = new TOWUnloadedPin(AType, APinIdentName, APinDisplayName, ACreatedFrom);
  addPlaceholder(pin);  // the list owns it from here
  return pin;
}

TOWUnloadedPin::~TOWUnloadedPin() { BeforeDestruction(); }

TOWPinEntryList TOWUnloadedPin::Records() {
  LockSection read = ReadLock();
  return FConnectedPins;
}

bool TOWUnloadedPin::ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  {
    LockSection write = WriteLock();
    for (const TOWPinEntry& record : FConnectedPins)
      if (record.RealPin == AOtherPin) return true;
    if (AOtherPin) {
      TOWPinEntry record;
      record.RealPin = AOtherPin;
      record.NotifyAfterPin = ANotifyAfterPin;
      FConnectedPins.push_back(record);
    }
  }
  if (auto* source = dynamic_cast<TOWSourcePin*>(AOtherPin)) {
    LockSection sourceWrite = source->WriteLock();
    source->AddConnection(this, ANotifyAfterPin);
  } else if (auto* sink = dynamic_cast<TOWSinkPin*>(AOtherPin)) {
    sink->Disconnect();
    LockSection sinkWrite = sink->WriteLock();
    sink->FRealSourcePin = this;
    sink->FIntRealSourcePin = this;
  }
  return true;
}

void TOWUnloadedPin::AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) {
  if (!APin) return;
  LockSection write = WriteLock();
  for (const TOWPinEntry& record : FConnectedPins)
    if (record.RealPin == APin) return;
  TOWPinEntry record;
  record.RealPin = APin;
  record.NotifyAfterPin = AAfterPin;
  FConnectedPins.push_back(record);
}

void TOWUnloadedPin::RemoveConnection(TOWBasicPin* APin, bool) {
  LockSection write = WriteLock();
  std::erase_if(FConnectedPins, [&](const TOWPinEntry& r) { return r.RealPin == APin; });
}

void TOWUnloadedPin::ConnectionRemoved() {
  if (FInRemove) return;
  bool unused;
  {
    LockSection read = ReadLock();
    unused = !FInEditor && FConnectedPins.empty();
  }
  // Destroys this placeholder: nothing may touch it afterwards.
  if (unused) freePlaceholder(this);
}

void TOWUnloadedPin::SetInEditor(bool AValue) {
  FInEditor = AValue;
  if (!AValue) ConnectionRemoved();
}

void TOWUnloadedPin::Disconnect() {
  LockSection write = WriteLock();
  FConnectedPins.clear();
}

void TOWUnloadedPin::DisconnectFrom(TOWBasicPin* AOtherPin) { RemoveConnection(AOtherPin, false); }

void TOWUnloadedPin::PinRemoved(TOWBasicPin* APin) { RemoveConnection(APin, false); }

void TOWUnloadedPin::PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) {
  LockSection write = WriteLock();
  for (TOWPinEntry& record : FConnectedPins) {
    if (record.RealPin == AOldPin) record.RealPin = ANewPin;
    if (record.NotifyAfterPin == AOldPin) record.NotifyAfterPin = ANewPin;
  }
}

bool TOWUnloadedPin::IsConnected() {
  LockSection read = ReadLock();
  return !FConnectedPins.empty();
}

bool TOWUnloadedPin::IsConnectedTo(TOWBasicPin* AOtherPin) {
  LockSection read = ReadLock();
  return std::any_of(FConnectedPins.begin(), FConnectedPins.end(),
                     [&](const TOWPinEntry& r) { return r.RealPin == AOtherPin; });
}

TOWBasicPin* TOWUnloadedPin::GetNotifyAfterPin(TOWBasicPin* APin) {
  LockSection read = ReadLock();
  for (const TOWPinEntry& record : FConnectedPins)
    if (record.RealPin == APin) return record.NotifyAfterPin;
  return nullptr;
}

std::size_t TOWUnloadedPin::GetConnectedPinCount() {
  LockSection read = ReadLock();
  return FConnectedPins.size();
}

TOWBasicPin* TOWUnloadedPin::GetConnectedPin(std::size_t Index) {
  LockSection read = ReadLock();
  return Index < FConnectedPins.size() ? FConnectedPins[Index].RealPin : nullptr;
}

std::string TOWUnloadedPin::GetFullName(bool IncludeRootForm) {
  return IncludeRootForm ? FDisplayName : withoutFirstPart(FIdentName);
}

std::string TOWUnloadedPin::GetFullIdentName(bool IncludeRootForm) {
  return IncludeRootForm ? FIdentName : withoutFirstPart(FIdentName);
}

std::string TOWUnloadedPin::GetName() { return lastPart(FDisplayName); }

void TOWUnloadedPin::PopulatePinAndDestroy(TOWBasicPin* APin) {
  {
    std::lock_guard guard(TOWPinRegistry::Lock());
    std::vector<TOWBasicPin*> pins = registeredPins();
    for (TOWBasicPin* pin : pins)
      if (pin != this && TOWPinRegistry::Contains(pin)) pin->PinReplaced(this, APin);
  }
  // The hand-over removes the links one by one; the placeholder must not destroy itself meanwhile.
  FInRemove = true;
  struct Finish {
    TOWUnloadedPin* placeholder;
    ~Finish() { freePlaceholder(placeholder); }
  } finish{this};
  const TOWPinEntryList records = Records();
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    if (!TOWPinRegistry::Contains(record->RealPin)) continue;
    APin->ConnectAfter(record->RealPin, record->NotifyAfterPin);
    record->RealPin->DisconnectFrom(this);
  }
}

}  // namespace sib

// ---- Stored values --------------------------------------------------------------------------------

namespace sib {
namespace {

// A pin reference: the ident name alone when it equals the display name, else both.
void writeReference(TWriter& Writer, TOWBasicPin* APin) {
  const std::string ident = APin->GetFullIdentName(true);
  const std::string display = APin->GetFullName(true);
  if (ident == display) {
    Writer.WriteIdent(ident);
    return;
  }
  Writer.WriteListBegin();
  Writer.WriteIdent(ident);
  Writer.WriteString(display);
  Writer.WriteListEnd();
}

struct StoredName {
  std::string Ident;
  std::string Display;
};

// Reads a pin reference: an identifier, or a list of an identifier and a string.
StoredName readReference(TReader& Reader) {
  StoredName name;
  if (Reader.NextValue() == vaList) {
    Reader.ReadListBegin();
    name.Ident = Reader.ReadIdent();
    name.Display = Reader.ReadString();
    Reader.ReadListEnd();
  } else {
    name.Ident = Reader.ReadIdent();
    name.Display = name.Ident;
  }
  return name;
}

bool isStringValue(TReader& Reader) { return !Reader.EndOfList() && Reader.NextValue() == vaString; }
bool isIdentValue(TReader& Reader) { return !Reader.EndOfList() && Reader.NextValue() == vaIdent; }

}  // namespace

std::string OWReadHubPart(TReader& Reader) {
  if (Reader.NextValue() != vaList) return Reader.ReadString();
  Reader.ReadListBegin();
  std::string name = Reader.ReadString();
  // The members on other roots are written for the reader's information only.
  while (!Reader.EndOfList()) Reader.SkipValue();
  Reader.ReadListEnd();
  return name;
}

void TOWPin::DefineProperties(TFiler& Filer) {
  TOWBasicPin::DefineProperties(Filer);
  DefinePinProperties(Filer);
}

void TOWPin::DefinePinProperties(TFiler& Filer) {
  const bool writing = dynamic_cast<TWriter*>(&Filer) != nullptr;
  Filer.DefineProperty(
      "Form", [this](TReader& r) { ReadForm(r); }, [this](TWriter& w) { WriteForm(w); }, writing && HasLinkData());
  Filer.DefineProperty(
      "State", [this](TReader& r) { ReadState(r); }, [this](TWriter& w) { WriteState(w); }, writing && HasStateData());
  if (auto* source = dynamic_cast<TOWSourcePin*>(this)) {
    Filer.DefineProperty(
        "SinkPins", [source](TReader& r) { source->ReadLinks(r); }, [source](TWriter& w) { source->WriteSinkPins(w); },
        writing && source->HasSinks());
  }
  if (auto* sink = dynamic_cast<TOWSinkPin*>(this)) {
    Filer.DefineProperty(
        "SourcePin", [sink](TReader& r) { sink->ReadLinks(r); }, [sink](TWriter& w) { sink->WriteSourcePin(w); },
        writing && sink->HasSourceData());
    Filer.DefineProperty(
        "StateConverter", [sink](TReader& r) { sink->ReadStateConverter(r); },
        [sink](TWriter& w) { sink->WriteStateConverter(w); }, writing && sink->HasStateConverterData());
  }
}

void TOWPin::ReadForm(TReader& Reader) { FLoadFormName = Reader.ReadIdent(); }

void TOWPin::WriteForm(TWriter& Writer) { Writer.WriteIdent(OWComponentName(GetRoot())); }

void TOWSourcePin::ReadLinks(TReader& Reader) {
  LockSection write = WriteLock();
  ResolvePlaceholders();
  TComponent* root = GetRoot();
  const std::string self = GetFullName(true);
  Reader.ReadListBegin();
  while (!Reader.EndOfList()) {
    StoredName name;
    TOWBasicPin* after = nullptr;
    if (Reader.NextValue() == vaList) {
      Reader.ReadListBegin();
      name.Ident = Reader.ReadIdent();
      if (isIdentValue(Reader)) {
        const std::string afterName = FixFormPrefix(Reader.ReadIdent());
        after = OWGetByNameCreate(root, ptSink, afterName, afterName, self);
      }
      name.Display = isStringValue(Reader) ? Reader.ReadString() : name.Ident;
      Reader.ReadListEnd();
    } else {
      name.Ident = Reader.ReadIdent();
      name.Display = name.Ident;
    }
    TOWBasicPin* sink = OWGetByNameCreate(root, ptSink, FixFormPrefix(name.Ident), FixFormPrefix(name.Display), self);
    LinkSink(sink, after);
  }
  Reader.ReadListEnd();
}

void TOWSourcePin::WriteSinkPins(TWriter& Writer) {
  const TOWPinEntryList entries = Entries();
  LockSection read = ReadLock();
  Writer.WriteListBegin();
  for (const TOWPinEntry& entry : entries) {
    const std::string ident = entry.RealPin->GetFullIdentName(true);
    const std::string display = entry.RealPin->GetFullName(true);
    if (ident != display) {
      Writer.WriteListBegin();
      Writer.WriteIdent(ident);
      if (entry.NotifyAfterPin) Writer.WriteIdent(entry.NotifyAfterPin->GetFullIdentName(true));
      Writer.WriteString(display);
      Writer.WriteListEnd();
    } else if (entry.NotifyAfterPin) {
      Writer.WriteListBegin();
      Writer.WriteIdent(ident);
      Writer.WriteIdent(entry.NotifyAfterPin->GetFullIdentName(true));
      Writer.WriteListEnd();
    } else {
      Writer.WriteIdent(ident);
    }
  }
  Writer.WriteListEnd();
}

void TOWSinkPin::ReadLinks(TReader& Reader) {
  LockSection write = WriteLock();
  ResolvePlaceholders();
  TComponent* root = GetRoot();
  const std::string self = GetFullName(true);
  StoredName name;
  TOWBasicPin* after = nullptr;
  if (Reader.NextValue() != vaList) {
    name = readReference(Reader);
  } else {
    Reader.ReadListBegin();
    if (Reader.NextValue() == vaList) {
      Reader.ReadListBegin();
      name = readReference(Reader);
      const std::string afterName = FixFormPrefix(Reader.ReadIdent());
      after = OWGetByNameCreate(root, ptSink, afterName, afterName, self);
      Reader.ReadListEnd();
    } else {
      name.Ident = Reader.ReadIdent();
      name.Display = Reader.ReadString();
    }
    Reader.ReadListEnd();
  }
  TOWBasicPin* source = OWGetByNameCreate(root, ptSource, FixFormPrefix(name.Ident), FixFormPrefix(name.Display), self);
  // A link the connection protocol refuses is dropped; the source's side may make it later.
  ConnectAfter(source, after);
}

void TOWSinkPin::WriteSourcePin(TWriter& Writer) {
  TOWBasicPin* source = nullptr;
  {
    LockSection read = ReadLock();
    source = FRealSourcePin ? FRealSourcePin : FIntRealSourcePin;
  }
  if (!source) return;
  TOWBasicPin* after = source->GetNotifyAfterPin(this);
  if (!after) {
    writeReference(Writer, source);
    return;
  }
  Writer.WriteListBegin();
  Writer.WriteListBegin();
  writeReference(Writer, source);
  Writer.WriteIdent(after->GetFullIdentName(true));
  Writer.WriteListEnd();
  Writer.WriteListEnd();
}

void TOWSinkPin::ReadStateConverter(TReader& Reader) {
  LockSection write = WriteLock();
  ResolvePlaceholders();
  Reader.ReadListBegin();
  const std::string hubName = OWReadHubPart(Reader);
  const TGUID inputID = StringToGUID(Reader.ReadString());
  const TGUID outputID = StringToGUID(Reader.ReadString());
  Reader.ReadListEnd();
  const TOWFormatConverterClass converterClass = OWFindFormatConverter(inputID, outputID);
  // A pair without a registered converter leaves the sink outside the hub.
  if (!converterClass) return;
  TComponentPtr<TOWFormatConverter> converter = converterClass();
  TOWFormatConverter* created = converter.get();
  created->SetConversion(inputID, outputID);
  created->OutputPin()->AddConnection(this, nullptr);
  FConnectionSourcePin = created->OutputPin();
  TOWStateDispatcher* hub = TOWStateDispatcher::GetByNameCreate(this, hubName, IsDesigning());
  hub->AddConverter(std::move(converter));
  hub->AddPin(created->InputPin(), this);
  StateJoined();
}

void TOWSinkPin::WriteStateConverter(TWriter& Writer) {
  LockSection read = ReadLock();
  TOWStateDispatcher* hub = FDispatcher;
  auto* output = dynamic_cast<TOWPin*>(FConnectionSourcePin);
  auto* converter = output ? dynamic_cast<TOWFormatConverter*>(output->Owner()) : nullptr;
  if (!hub || !converter) return;
  Writer.WriteListBegin();
  hub->WriteHubPart(Writer, this);
  Writer.WriteString(GUIDToString(converter->InputID()));
  Writer.WriteString(GUIDToString(converter->OutputID()));
  Writer.WriteListEnd();
}

bool TOWSinkPin::TryLinkTo(TComponent*, const std::string& ASourceIdentName, const std::string& ASourceDisplayName,
                           bool) {
  LockSection write = WriteLock();
  if (ASourceIdentName == "nil") {
    Disconnect();
    return true;
  }
  TOWBasicPin* source = OWGetByNameCreate(GetRoot(), ptSource, FixFormPrefix(ASourceIdentName),
                                          FixFormPrefix(ASourceDisplayName), GetFullName(true));
  return Connect(source);
}

void TOWStateDispatcher::WriteHubPart(TWriter& Writer, TOWBasicPin* APin) {
  TComponent* root = APin->GetRoot();
  const std::string rootName = APin->GetRootName();
  std::vector<TOWDispatcherPinStorage> members;
  bool firstOfRoot;
  {
    LockSection write = WriteLock();
    if (FCountSaved == 0) FSavedForms.clear();
    members = FPins;
    firstOfRoot = !root || std::find(FSavedForms.begin(), FSavedForms.end(), root) == FSavedForms.end();
    // Counted as saved now, and the round ends with the last member, so that the next save of any
    // root starts afresh.
    if (root && firstOfRoot) FSavedForms.push_back(root);
    if (++FCountSaved >= static_cast<std::int32_t>(FPins.size())) {
      FSavedForms.clear();
      FCountSaved = 0;
    }
  }
  if (!firstOfRoot || !IsCrosForm()) {
    Writer.WriteString(FName);
    return;
  }
  Writer.WriteListBegin();
  Writer.WriteString(FName);
  for (const auto& member : members)
    if (member.RealPin->GetRootName() != rootName) writeReference(Writer, member.RealPin);
  Writer.WriteListEnd();
}

}  // namespace sib
