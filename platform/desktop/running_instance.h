// A later start of the program finds the one that runs on the session bus (the owner of the player's
// own name, org.mpris.MediaPlayer2.<name>, that offers kInstanceInterface, mpris_service.h) and hands
// it its command-line arguments. Like the service, it connects only to the bus that
// DBUS_SESSION_BUS_ADDRESS names and never starts one.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace sib {

struct InstanceAnswer {
  enum Kind {
    Taken,    // the running program has acted on the arguments
    None,     // no bus, or no running program on it that takes arguments
    Refused,  // the running program refused them; Why says why
  };
  Kind Result = None;
  std::string Why;
};

// Calls Open on the running program with `Arguments` and waits for its answer, at most `Limit`. `Address`
// is the bus's (none: DBUS_SESSION_BUS_ADDRESS). Any thread; blocks.
InstanceAnswer OpenInRunningInstance(const std::vector<std::string>& Arguments,
                                     const std::optional<std::string>& Address = std::nullopt,
                                     std::chrono::milliseconds Limit = std::chrono::seconds(5));

}  // namespace sib
