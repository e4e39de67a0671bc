#include "framework/pin_object.h"

namespace sib {

TOWObject::TOWObject() : FIntLock(makeRef<TOWLock>()) {}
TOWObject::~TOWObject() = default;

LockSection TOWObject::ReadLock() { return makeRef<TOWSimpleReadLockSection>(FIntLock.get(), nullptr); }
LockSection TOWObject::WriteLock() { return makeRef<TOWSimpleWriteLockSection>(FIntLock.get(), nullptr); }
LockSection TOWObject::UnlockAll() { return FIntLock->UnlockAll(); }

void TOWPinObject::PinRemoved(TOWBasicPin*) {}
void TOWPinObject::PinReplaced(TOWBasicPin*, TOWBasicPin*) {}

}  // namespace sib
