#include "rtl/PointerList.h"

#include <algorithm>

#include "rtl/Exceptions.h"

namespace {
constexpr const char* SListIndexError = "List index out of bounds (%d)";
constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
constexpr const char* SListCountError = "List count out of bounds (%d)";
}  // namespace

TList::~TList() = default;

void TList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= FCount) const_cast<TList*>(this)->Error(SListIndexError, Index);
}

void TList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < FCount || NewCapacity > MaxListSize) Error(SListCapacityError, NewCapacity);
  FList.resize(static_cast<size_t>(NewCapacity));
  FList.shrink_to_fit();
}

void TList::SetCount(int32_t NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error(SListCountError, NewCount);
  if (NewCount > Capacity()) SetCapacity(NewCount);
  if (NewCount > FCount) {
    std::fill(FList.begin() + FCount, FList.begin() + NewCount, nullptr);
    FCount = NewCount;
  } else {
    while (FCount > NewCount) Delete(FCount - 1);
  }
}

void* TList::Items(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)];
}

void TList::SetItems(int32_t Index, void* Item) {
  CheckIndex(Index);
  void* old = FList[static_cast<size_t>(Index)];
  if (Item == old) return;
  FList[static_cast<size_t>(Index)] = Item;
  if (old) Notify(old, TListNotification::lnDeleted);
  if (Item) Notify(Item, TListNotification::lnAdded);
}

int32_t TList::Add(void* Item) {
  const int32_t index = FCount;
  Insert(index, Item);
  return index;
}

void TList::Insert(int32_t Index, void* Item) {
  if (Index < 0 || Index > FCount) Error(SListIndexError, Index);
  if (FCount == Capacity()) Grow();
  // A Grow that adds nothing would otherwise write past the array.
  if (FCount == Capacity()) SetCapacity(FCount + 1);
  std::copy_backward(FList.begin() + Index, FList.begin() + FCount, FList.begin() + FCount + 1);
  FList[static_cast<size_t>(Index)] = Item;
  ++FCount;
  if (Item) Notify(Item, TListNotification::lnAdded);
}

void TList::Delete(int32_t Index) {
  CheckIndex(Index);
  void* item = FList[static_cast<size_t>(Index)];
  std::copy(FList.begin() + Index + 1, FList.begin() + FCount, FList.begin() + Index);
  --FCount;
  FList[static_cast<size_t>(FCount)] = nullptr;
  if (item) Notify(item, TListNotification::lnDeleted);
}

int32_t TList::IndexOf(void* Item) const {
  const auto end = FList.begin() + FCount;
  const auto it = std::find(FList.begin(), end, Item);
  return it == end ? -1 : static_cast<int32_t>(it - FList.begin());
}

int32_t TList::Remove(void* Item) {
  const int32_t index = IndexOf(Item);
  if (index >= 0) Delete(index);
  return index;
}

void TList::Pack() {
  const auto end = FList.begin() + FCount;
  FCount = static_cast<int32_t>(std::remove(FList.begin(), end, nullptr) - FList.begin());
  std::fill(FList.begin() + FCount, end, nullptr);
}

void TList::Grow() {
  const int32_t cap = Capacity();
  const int32_t delta = cap > 64 ? cap / 4 : cap > 8 ? 16 : 4;
  SetCapacity(cap + delta);
}

void TList::Notify(void*, TListNotification) {}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::Error(const char* Msg, int32_t Data) {
  throw EListError(Format(Msg, Data));
}
