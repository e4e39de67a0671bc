#include "signal/notify_thread.h"

#include <utility>

namespace sib {

std::unique_ptr<TSLNotifyThread> TSLNotifyThread::Create(TComponent* AOwner, TSLNotifyThreadEvent AOnNotify) {
  std::unique_ptr<TSLNotifyThread> thread = TLPThread::Create<TSLNotifyThread>(AOwner, std::move(AOnNotify));
  thread->SetPriority(ThreadPriority::Highest);
  return thread;
}

TSLNotifyThread::TSLNotifyThread(TComponent* AOwner, TSLNotifyThreadEvent AOnNotify)
    : TLPThread(AOwner, "TSLNotifyThread", "notify"), FOnNotify(std::move(AOnNotify)) {}

TSLNotifyThread::~TSLNotifyThread() { Terminate(); }

void TSLNotifyThread::Notify() { FSemaphore.Increment(1); }

void TSLNotifyThread::Terminate() {
  Thread::Terminate();
  // When 2000 signals are pending this release fails, but the thread is awake anyway.
  FSemaphore.Increment(1);
  WaitFor();
}

void TSLNotifyThread::Execute() {
  AnnounceThreadName();
  while (!Terminated()) {
    FSemaphore.Decrement(kInfinite);
    if (Terminated()) break;
    FOnNotify(this);
  }
}

}  // namespace sib
