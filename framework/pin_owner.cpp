#include "framework/pin_owner.h"

#include <algorithm>
#include <vector>

namespace sib {
namespace {

// Walks AObject's published object properties. Returns true to stop.
bool walk(TObject* AObject, const std::string& APrefix, std::vector<const TObject*>& AVisited,
          const std::function<bool(TObject*, const std::string&)>& AVisit) {
  for (const TPropInfo* prop : AObject->ClassType().Properties()) {
    if (prop->Kind() != tkClass) continue;
    TObject* value = prop->GetObject(AObject);
    if (!value) continue;
    const std::string path = APrefix + prop->Name();
    if (AVisit(value, path)) return true;
    if (dynamic_cast<TComponent*>(value) || !dynamic_cast<TPersistent*>(value)) continue;
    if (std::find(AVisited.begin(), AVisited.end(), value) != AVisited.end()) continue;
    AVisited.push_back(value);
    if (walk(value, path + ".", AVisited, AVisit)) return true;
  }
  return false;
}

}  // namespace

std::string OWPropertyPathOf(TComponent* AOwner, const TObject* ATarget) {
  if (!AOwner || !ATarget || OWIsDestroying(AOwner)) return {};
  std::string found;
  try {
    std::vector<const TObject*> visited;
    walk(AOwner, "", visited, [&](TObject* value, const std::string& path) {
      if (value != ATarget) return false;
      found = path;
      return true;
    });
  } catch (...) {
    return {};
  }
  return found;
}

void OWForEachPublishedObject(TComponent* AOwner, const std::function<void(TObject*, const std::string&)>& AVisit) {
  if (!AOwner) return;
  std::vector<const TObject*> visited;
  walk(AOwner, "", visited, [&](TObject* value, const std::string& path) {
    AVisit(value, path);
    return false;
  });
}

}  // namespace sib
