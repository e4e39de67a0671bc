// TSLMainThreadNotify: hands a callback over to the main thread. Called on the main thread (the
// thread that runs the application's message loop) it runs the callback at once; called from any
// other thread, or when a post is forced, it posts one message to a hidden window shared by every
// notify object of the process, and the message loop runs the callback later. Posted callbacks run
// in posting order, one per Notify: nothing is merged or counted. A message whose notify object has
// been freed meanwhile runs nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/components/class_info.h"
#include "platform/components/type_info.h"

namespace sib {

class TSLMainWindowNode;

class TSLMainThreadNotify : public TObject {
  SIB_CLASS(TSLMainThreadNotify, TObject)
 public:
  // AOnNotify gets this object as its Sender. The hidden window belongs to the application that is
  // current (Application::Instance()) when the first notify object of the process is made.
  explicit TSLMainThreadNotify(TNotifyEvent AOnNotify);
  // Any thread. Messages still queued for this object are ignored once it is gone. Freed on another
  // thread while the main thread runs its callback, it waits for the callback to return; so the
  // freeing thread must not hold anything that the callback waits for.
  ~TSLMainThreadNotify() override;

  // Any thread. Posting never allocates, so it is safe on the clock and device threads.
  void Notify(bool ForcePost = false);

 private:
  friend class TSLMainWindowNode;

  // Shared with a callback in progress, so that freeing this object from its own callback leaves the
  // running callback intact.
  std::shared_ptr<const TNotifyEvent> FOnNotify;
  std::shared_ptr<TSLMainWindowNode> FNode;
  // Tells this object apart from a later one that gets the same address.
  const std::uint64_t FSerial;
};

}  // namespace sib
