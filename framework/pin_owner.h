// What pins need to know about the component that owns them: its design, loading and destruction
// state, its name and root, and where a pin sits among the component's published properties (the
// property path that names the pin in stored descriptions).
#pragma once

#include <functional>
#include <string>

#include "platform/components/component.h"

namespace sib {

class TFiler;
class TReader;
class TWriter;

using TOWPersistentBase = TPersistent;
using TOWConverterBase = TComponent;

inline bool OWIsDesigning(const TComponent* AComponent) {
  return AComponent && AComponent->ComponentState().Contains(csDesigning);
}
inline bool OWIsLoading(const TComponent* AComponent) {
  return AComponent && AComponent->ComponentState().Contains(csLoading);
}
inline bool OWIsDestroying(const TComponent* AComponent) {
  return AComponent && AComponent->ComponentState().Contains(csDestroying);
}
inline std::string OWComponentName(const TComponent* AComponent) { return AComponent ? AComponent->Name() : std::string(); }
inline TComponent* OWComponentOwner(const TComponent* AComponent) { return AComponent ? AComponent->Owner() : nullptr; }
inline TComponent* OWRootOf(TComponent* AComponent) { return AComponent ? AComponent->GetRootComponent() : nullptr; }

// The path of ATarget among AOwner's published object properties, in the order of the owner class's
// property table: the property's name, or for a hit inside a persistent sub-object (not a component)
// the sub-object's property name, "." and the path inside it. Empty when the owner is being destroyed,
// when ATarget is not found, or when walking the properties raises.
std::string OWPropertyPathOf(TComponent* AOwner, const TObject* ATarget);

// Calls AVisit with every object that AOwner's published properties hold (descending into persistent
// sub-objects that are not components) and its path, in the order OWPropertyPathOf walks. Raises
// what the property accessors raise.
void OWForEachPublishedObject(TComponent* AOwner, const std::function<void(TObject*, const std::string&)>& AVisit);

}  // namespace sib
