#include "platform/ui/tick_count.h"

#include <chrono>

#include "platform/ui/application.h"

namespace sib {

std::uint32_t TickCount(Application& app) {
  const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(app.Now().time_since_epoch());
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(since.count()));
}

std::uint32_t TickCount() { return TickCount(Application::Instance()); }

}  // namespace sib
