// TSLOperationList: a first-in first-out queue of notification operations guarded by a component
// lock. The filter worker and the audio output queue their operations here; a filter passes its own
// component lock, so that the queue and the filter are guarded by one lock.
//
// Every operation takes a section of the lock first. While a stop is pending the lock grants no
// section, and the operation then does nothing and returns 0 or nil.
#pragma once

#include <cstdint>
#include <deque>

#include "framework/lock.h"
#include "framework/notify.h"

namespace sib {

class TSLOperationList {
 public:
  // Without a lock the list makes one of its own.
  explicit TSLOperationList(RefPtr<IOWLock> ALock = nullptr);
  TSLOperationList(const TSLOperationList&) = delete;
  TSLOperationList& operator=(const TSLOperationList&) = delete;

  // Appends AValue at the back. With SingleItem only AValue is kept: everything older is dropped.
  // Returns the number of items afterwards.
  std::int32_t Push(OperationRef AValue, bool SingleItem = false);
  // Puts AValue at the front, so that it is the next one out. Returns the number of items afterwards.
  std::int32_t PushBack(OperationRef AValue);
  // Takes the front item off the list; nil when the list is empty.
  OperationRef Pop();
  // The front item, left on the list; nil when the list is empty.
  OperationRef Peek();
  std::int32_t ItemsCount();
  void Clear();

  IOWLock* Lock() const { return FLock.get(); }

 private:
  std::deque<OperationRef> FList;
  RefPtr<IOWLock> FLock;
};

}  // namespace sib
