#include "framework/lp_thread.h"

#include <algorithm>

namespace sib {

namespace {
constexpr std::size_t kSystemNameLength = 15;
}

TLPThread::TLPThread(std::string AName) : Thread(AName), FName(std::move(AName)) {}

TLPThread::TLPThread(const TComponent* AOwner, std::string_view AClassName, std::string_view ARole)
    : Thread(SystemThreadName(ComponentName(AOwner), ARole)),
      FName(ComponentName(AOwner) + "." + std::string(AClassName)) {}

std::string TLPThread::ComponentName(const TComponent* AComponent) {
  if (!AComponent) return {};
  return AComponent->Name().empty() ? AComponent->ClassName() : AComponent->Name();
}

std::string TLPThread::SystemThreadName(const std::string& AComponentName, std::string_view ARole) {
  const std::string role = "." + std::string(ARole.substr(0, kSystemNameLength - 2));
  const std::size_t room = kSystemNameLength - role.size();
  return AComponentName.substr(0, std::max<std::size_t>(room, 1)) + role;
}

void TLPThread::AnnounceThreadName() const { Thread::NameCurrentThread(Name()); }

}  // namespace sib
