#include "framework/lp_thread.h"

namespace sib {

TLPThread::TLPThread(std::string AName) : Thread(AName), FName(std::move(AName)) {}

std::string TLPThread::ComponentName(const TComponent* AComponent) {
  if (!AComponent) return {};
  return AComponent->Name().empty() ? AComponent->ClassName() : AComponent->Name();
}

void TLPThread::AnnounceThreadName() const { Thread::NameCurrentThread(FName); }

}  // namespace sib
