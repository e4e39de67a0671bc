// Opening an address in the user's default browser: `xdg-open` is started without a shell, with the
// address as its one argument (never parsed, so no character of it can run a command), in the root
// folder, and the call returns at once. Its exit status is ignored; a background thread reaps it,
// so a slow or hung browser start never holds up the caller and leaves no zombie behind.
#pragma once

#include <chrono>
#include <string>

namespace sib {

// Any thread. False only when the program could not be started at all (not found on PATH, no
// process left); the caller may ignore it, as a shell "open" is fire and forget.
bool OpenUrl(const std::string& address);

// The number of started openers not yet reaped.
int OpenUrlChildrenRunning();
// Waits until every started opener has been reaped or `limit` has passed; true when none is left.
bool WaitForOpenUrlChildren(std::chrono::milliseconds limit);

}  // namespace sib
