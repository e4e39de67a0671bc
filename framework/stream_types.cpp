#include "framework/stream_types.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "framework/value_pins.h"

namespace sib {
namespace {

struct Registries {
  std::shared_mutex Lock;
  std::vector<TOWStreamTypeEntry> StreamTypes;
  std::vector<TOWTypeConverterEntry> Converters;

  TOWStreamTypeEntry& StreamTypeLocked(const TGUID& ID) {
    auto found = std::find_if(StreamTypes.begin(), StreamTypes.end(), [&](const auto& e) { return e.ID == ID; });
    if (found != StreamTypes.end()) return *found;
    return StreamTypes.emplace_back(TOWStreamTypeEntry{ID, {}, nullptr});
  }
};

Registries& rawRegistries() {
  static Registries registries;
  return registries;
}

// The framework's own types and converters come first, whatever unit registers or looks up first.
Registries& registries() {
  static std::once_flag once;
  thread_local bool registeringStandard = false;
  if (!registeringStandard) {
    std::call_once(once, [] {
      registeringStandard = true;
      OWRegisterStandardStreamTypes();
      registeringStandard = false;
    });
  }
  return rawRegistries();
}

}  // namespace

void TOWPinStreamType::AddType(const TGUID& ID, TOWSubmit SubmitFunction) {
  for (auto& entry : FTypes) {
    if (entry.ID == ID) {
      entry.SubmitFunction = SubmitFunction;
      return;
    }
  }
  FTypes.push_back({ID, SubmitFunction});
}

void TOWPinStreamType::RemoveType(const TGUID& ID) {
  std::erase_if(FTypes, [&](const TOWPinTypeEntry& e) { return e.ID == ID; });
}

void TOWPinStreamType::SwapPosition(std::size_t Index1, std::size_t Index2) {
  std::swap(FTypes.at(Index1), FTypes.at(Index2));
}

const TOWPinTypeEntry* TOWPinStreamType::Find(const TGUID& ID) const {
  for (const auto& entry : FTypes)
    if (entry.ID == ID) return &entry;
  return nullptr;
}

void OWRegisterStreamType(const TGUID& ID, const std::string& Name) {
  Registries& r = registries();
  std::unique_lock guard(r.Lock);
  r.StreamTypeLocked(ID).Name = Name;
}

void OWRegisterStreamTypeSendFunction(const TGUID& ID, TOWGlobalSubmit SendFunction) {
  Registries& r = registries();
  std::unique_lock guard(r.Lock);
  r.StreamTypeLocked(ID).SendFunction = SendFunction;
}

void OWRegisterFormatConverter(const TGUID& InputID, const TGUID& OutputID, TOWFormatConverterClass ConverterClass) {
  Registries& r = registries();
  std::unique_lock guard(r.Lock);
  for (auto& entry : r.Converters) {
    if (entry.InputID == InputID && entry.OutputID == OutputID) {
      entry.ConverterClass = ConverterClass;
      return;
    }
  }
  r.Converters.push_back({InputID, OutputID, ConverterClass});
}

TOWFormatConverterClass OWFindFormatConverter(const TGUID& InputID, const TGUID& OutputID) {
  Registries& r = registries();
  std::shared_lock guard(r.Lock);
  for (const auto& entry : r.Converters)
    if (entry.InputID == InputID && entry.OutputID == OutputID) return entry.ConverterClass;
  return nullptr;
}

std::vector<TOWTypeConverterEntry> OWFormatConverters() {
  Registries& r = registries();
  std::shared_lock guard(r.Lock);
  return r.Converters;
}

TOWGlobalSubmit OWStreamTypeSendFunction(const TGUID& ID) {
  Registries& r = registries();
  std::shared_lock guard(r.Lock);
  for (const auto& entry : r.StreamTypes)
    if (entry.ID == ID) return entry.SendFunction;
  return nullptr;
}

std::string OWStreamTypeName(const TGUID& ID) {
  if (ID == GUID_NULL) return "NIL ID";
  Registries& r = registries();
  {
    std::shared_lock guard(r.Lock);
    for (const auto& entry : r.StreamTypes)
      if (entry.ID == ID && !entry.Name.empty()) return entry.Name;
  }
  return GUIDToString(ID);
}

}  // namespace sib
