// TOWPinRegistry: the process-wide registry of pins. Every pin adds itself when it is created and
// leaves when it is destroyed, so that a pin named by a stored link or held by a placeholder can be
// checked for life before it is used. Its lock also guards the placeholder list and the state hub
// lists; it is re-entrant.
#pragma once

#include <cstddef>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace sib {

class TOWBasicPin;

class TOWPinRegistry {
 public:
  static void Add(TOWBasicPin* APin);
  static void Remove(TOWBasicPin* APin);
  // Runs f(pin) for every registered pin, in the order they were added, under the registry lock.
  template <class F>
  static void ForEach(F&& f) {
    std::lock_guard guard(Lock());
    for (std::size_t i = 0; i < Pins().size(); ++i) f(Pins()[i]);
  }
  // Whether APin is alive; constant time.
  static bool Contains(const TOWBasicPin* APin);
  static std::size_t Count();
  static std::recursive_mutex& Lock();

 private:
  static std::vector<TOWBasicPin*>& Pins();
  static std::unordered_set<const TOWBasicPin*>& Members();
};

}  // namespace sib
