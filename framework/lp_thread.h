// TLPThread: the named thread base of the pipeline's worker threads (clock generators, notify
// threads, filter workers, the wave output thread). Descendants build their names from their owner
// component with ComponentName and call AnnounceThreadName first in their body. A descendant's
// destructor must Terminate() and WaitFor() before its members go.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/components/component.h"
#include "platform/core/thread.h"

namespace sib {

class TLPThread : public Thread {
 public:
  explicit TLPThread(std::string AName);

  // Constructs a T and starts it once its construction has completed: the way to create these threads.
  template <class T, class... Args>
  static std::unique_ptr<T> Create(Args&&... args) {
    auto thread = std::make_unique<T>(std::forward<Args>(args)...);
    thread->Start();
    return thread;
  }

  // The component's Name, or its class name when the name is empty; empty without a component.
  static std::string ComponentName(const TComponent* AComponent);

  // Names the calling thread FName, so that debuggers and system tools show it. Call it on the thread.
  void AnnounceThreadName() const;

  const std::string& ThreadName() const { return FName; }

 protected:
  std::string FName;
};

}  // namespace sib
