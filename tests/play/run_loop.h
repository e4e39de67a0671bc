// The main loop run until a condition that other threads change holds: nothing is posted when it
// changes, so a heartbeat timer wakes the loop to look.
#pragma once

#include <chrono>
#include <functional>

#include "platform/ui/application.h"
#include "platform/ui/message_window.h"

namespace sib::test {

inline bool RunUntilSeen(Application& AApp, const std::function<bool()>& ADone, std::chrono::milliseconds ALimit) {
  MessageWindow heartbeat(AApp, [](Message&) {});
  heartbeat.SetTimer(1, kMinimumTimerInterval);
  return AApp.RunUntil(ADone, ALimit);
}

}  // namespace sib::test
