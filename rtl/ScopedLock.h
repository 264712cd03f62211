// Holds an object's Lock() for one scope and calls Unlock() however the scope is left, so a
// failing step never leaves a queue locked.
#pragma once

template <class TLockable>
class TScopedLock {
 public:
  explicit TScopedLock(TLockable& Lockable) : FLockable(Lockable) { FLockable.Lock(); }
  ~TScopedLock() { FLockable.Unlock(); }
  TScopedLock(const TScopedLock&) = delete;
  TScopedLock& operator=(const TScopedLock&) = delete;

 private:
  TLockable& FLockable;
};
