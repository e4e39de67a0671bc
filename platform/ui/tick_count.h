// The tick count: milliseconds on the message loop's clock, as a 32-bit count that wraps after
// about 49.7 days. Controls time presses and glides with it; since it reads the application's
// clock, a test that runs the loop on simulated time (message_wait.h) drives it too. Compare two
// counts by their unsigned difference, which stays right across the wrap.
#pragma once

#include <cstdint>

namespace sib {

class Application;

// Any thread.
std::uint32_t TickCount(Application& app);
// The tick count of Application::Instance().
std::uint32_t TickCount();

}  // namespace sib
