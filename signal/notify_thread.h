// TSLNotifyThread: a high-priority thread that runs a callback once for every Notify. Up to 2000
// signals may be outstanding; further ones are dropped. The audio output uses one to learn, off its
// device thread, that a stop has drained the device.
#pragma once

#include <memory>

#include "framework/lp_thread.h"
#include "framework/sync.h"
#include "platform/components/type_info.h"

namespace sib {

class TSLNotifyThread;

// Runs on the notify thread, which it gets as Sender; must not throw.
using TSLNotifyThreadEvent = TEvent<TSLNotifyThread*>;

class TSLNotifyThread : public TLPThread {
 public:
  // The way to make one: the thread is named after AOwner, runs at the highest priority the session
  // grants and starts at once.
  static std::unique_ptr<TSLNotifyThread> Create(TComponent* AOwner, TSLNotifyThreadEvent AOnNotify);

  TSLNotifyThread(TComponent* AOwner, TSLNotifyThreadEvent AOnNotify);
  // Terminates the thread and waits for it. Not from the thread's own callback.
  ~TSLNotifyThread() override;

  // Any thread: asks for one more callback.
  void Notify();
  // Ends the thread after the callback in progress, dropping signals not yet handled, and waits for
  // it to end (called from the callback itself it does not wait).
  void Terminate();

 protected:
  void Execute() override;

 private:
  TSLNotifyThreadEvent FOnNotify;
  TOWSemaphore FSemaphore{0, 2000};
};

}  // namespace sib
