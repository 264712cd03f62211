// The growable array of untyped pointers that the sorted lists build on: count, capacity,
// indexed access, append, insert, delete, pack and the Grow/Notify/Clear/Error hooks.
// It never owns what it holds; subclasses decide how items are released.
#pragma once

#include <cstdint>
#include <vector>

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

class TList {
 public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  virtual ~TList();

  int32_t Count() const { return FCount; }
  void SetCount(int32_t NewCount);
  int32_t Capacity() const { return static_cast<int32_t>(FList.size()); }
  void SetCapacity(int32_t NewCapacity);
  void* Items(int32_t Index) const;
  void SetItems(int32_t Index, void* Item);
  void* Get(int32_t Index) const { return Items(Index); }
  void Put(int32_t Index, void* Item) { SetItems(Index, Item); }

  int32_t Add(void* Item);  // appends; returns the new index
  void Insert(int32_t Index, void* Item);
  void Delete(int32_t Index);
  int32_t IndexOf(void* Item) const;
  int32_t Remove(void* Item);
  void Pack();
  void* First() const { return Items(0); }
  void* Last() const { return Items(FCount - 1); }

  static constexpr int32_t MaxListSize = 0x7FFFFFFF / 16;

  // Hooks, in this order: growth step, insert/remove notice, emptying, error raising.
  virtual void Grow();
  virtual void Notify(void* Ptr, TListNotification Action);
  virtual void Clear();
  [[noreturn]] virtual void Error(const char* Msg, int32_t Data);

 private:
  void CheckIndex(int32_t Index) const;

  std::vector<void*> FList;  // size() is the capacity
  int32_t FCount = 0;
};
