#include "framework/pin_registry.h"

#include <algorithm>

namespace sib {

std::recursive_mutex& TOWPinRegistry::Lock() {
  static std::recursive_mutex lock;
  return lock;
}

std::vector<TOWBasicPin*>& TOWPinRegistry::Pins() {
  static std::vector<TOWBasicPin*> pins;
  return pins;
}

std::unordered_set<const TOWBasicPin*>& TOWPinRegistry::Members() {
  static std::unordered_set<const TOWBasicPin*> members;
  return members;
}

void TOWPinRegistry::Add(TOWBasicPin* APin) {
  std::lock_guard guard(Lock());
  Pins().push_back(APin);
  Members().insert(APin);
}

void TOWPinRegistry::Remove(TOWBasicPin* APin) {
  std::lock_guard guard(Lock());
  if (Members().erase(APin) == 0) return;
  std::erase(Pins(), APin);
}

bool TOWPinRegistry::Contains(const TOWBasicPin* APin) {
  std::lock_guard guard(Lock());
  return Members().contains(APin);
}

std::size_t TOWPinRegistry::Count() {
  std::lock_guard guard(Lock());
  return Pins().size();
}

}  // namespace sib
