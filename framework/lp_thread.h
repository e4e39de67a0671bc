// TLPThread: the named thread base of the pipeline's worker threads (clock generators, notify
// threads, filter workers, the wave output thread). Each thread has two names: ThreadName, its
// owner's name and its class ("out1.TALWaveThread"), and SystemName, what debuggers and `top -H`
// show, which the system cuts to 15 characters: its owner's name and its role ("out1.device",
// "wp1.clock"). Descendants call AnnounceThreadName first in their body. A descendant's destructor
// must Terminate() and WaitFor() before its members go.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/components/component.h"
#include "platform/core/thread.h"

namespace sib {

class TLPThread : public Thread {
 public:
  // The system shows AName itself, cut to 15 characters.
  explicit TLPThread(std::string AName);
  // Named "<owner>.<AClassName>", shown as "<owner>.<ARole>".
  TLPThread(const TComponent* AOwner, std::string_view AClassName, std::string_view ARole);

  // Constructs a T and starts it once its construction has completed: the way to create these threads.
  template <class T, class... Args>
  static std::unique_ptr<T> Create(Args&&... args) {
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    thread->Start();
    return thread;
  }

  // The component's Name, or its class name when the name is empty; empty without a component.
  static std::string ComponentName(const TComponent* AComponent);
  // "<component>.<role>" in at most 15 characters: a long component name is shortened, the role kept.
  static std::string SystemThreadName(const std::string& AComponentName, std::string_view ARole);

  // Names the calling thread SystemName, so that debuggers and system tools show it. Call it on the thread.
  void AnnounceThreadName() const;

  const std::string& ThreadName() const { return FName; }
  const std::string& SystemName() const { return Name(); }

 protected:
  std::string FName;
};

}  // namespace sib
