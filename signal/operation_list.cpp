#include "signal/operation_list.h"

#include <utility>

namespace sib {

TSLOperationList::TSLOperationList(RefPtr<IOWLock> ALock)
    : FLock(ALock ? std::move(ALock) : RefPtr<IOWLock>(makeRef<TOWLock>())) {}

std::int32_t TSLOperationList::Push(OperationRef AValue, bool SingleItem) {
  const LockSection section = FLock->WriteLock();
  if (!section) return 0;
  if (SingleItem) FList.clear();
  FList.push_back(std::move(AValue));
  return static_cast<std::int32_t>(FList.size());
}

std::int32_t TSLOperationList::PushBack(OperationRef AValue) {
  const LockSection section = FLock->WriteLock();
  if (!section) return 0;
  FList.push_front(std::move(AValue));
  return static_cast<std::int32_t>(FList.size());
}

OperationRef TSLOperationList::Pop() {
  const LockSection section = FLock->WriteLock();
  if (!section || FList.empty()) return nullptr;
  OperationRef front = std::move(FList.front());
  FList.pop_front();
  return front;
}

OperationRef TSLOperationList::Peek() {
  const LockSection section = FLock->WriteLock();
  if (!section || FList.empty()) return nullptr;
  return FList.front();
}

std::int32_t TSLOperationList::ItemsCount() {
  const LockSection section = FLock->ReadLock();
  if (!section) return 0;
  return static_cast<std::int32_t>(FList.size());
}

void TSLOperationList::Clear() {
  const LockSection section = FLock->WriteLock();
  if (!section) return;
  FList.clear();
}

}  // namespace sib
