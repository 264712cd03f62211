#include "params/ListofLists.h"

#include <new>

#include "rtl/Exceptions.h"
#include "rtl/Object.h"

// ---- TSortedList ------------------------------------------------------------------------

TSortedList::~TSortedList() {
  DestroyAll();
}

void TSortedList::Grow() {
  int32_t delta = FDelta;
  if (delta <= 0) delta = Capacity() > 8 ? 16 : Capacity() > 4 ? 8 : 4;
  SetCapacity(Capacity() + delta);
}

bool TSortedList::Find(void* Key, int32_t& Index) {
  bool found = false;
  int32_t low = 0;
  int32_t high = Count() - 1;
  while (low <= high) {
    const int32_t mid = low + (high - low) / 2;
    const int32_t c = Compare(Items(mid), Key);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (!FDuplicates) low = mid;
      }
    }
  }
  Index = low;
  return found;
}

void TSortedList::FreeItem(void* Item) {
  delete static_cast<TObject*>(Item);
}

void TSortedList::DestroyAt(int32_t Index) {
  if (Index < 0 || Index >= Count()) Error("DestroyAt", Index);
  FreeItem(Items(Index));
  TList::Delete(Index);
}

int32_t TSortedList::Add(void* Item) {
  int32_t index = 0;
  if (Find(Item, index) && !FDuplicates) return -1;
  Insert(index, Item);
  return index;
}

void TSortedList::DestroyAll() {
  while (Count() > 0) DestroyAt(Count() - 1);
  Clear();
}

// ---- TSubSortedList ---------------------------------------------------------------------

TSubSortedList::~TSubSortedList() {
  DestroyAll();
}

int32_t TSubSortedList::Compare(void* Item, void* Key) {
  return FOwner->Compare(Item, Key);
}

void TSubSortedList::FreeItem(void* Item) {
  FOwner->FreeItem(Item);
}

// ---- TListOfLists -----------------------------------------------------------------------

TListOfLists::~TListOfLists() {
  DestroyAll();
}

int32_t TListOfLists::Compare(void* Item, void* Key) {
  return FOwner->Compare(static_cast<TSubSortedList*>(Item)->First(), Key);
}

void TListOfLists::FreeItem(void* Item) {
  delete static_cast<TSubSortedList*>(Item);
}

// ---- THugeSortedList --------------------------------------------------------------------

THugeSortedList::THugeSortedList(int32_t SubListSize)
    : FSubListSize(SubListSize < 2 ? 2 : SubListSize),
      FLists(std::make_unique<TListOfLists>(this)) {}

// A subclass with its own FreeItem has already emptied the list in its destructor; what is
// left here is released through the default.
THugeSortedList::~THugeSortedList() {
  Clear();
}

void THugeSortedList::FreeItem(void* Item) {
  delete static_cast<TObject*>(Item);
}

void THugeSortedList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= FCount)
    throw EListError(Format("List index out of bounds (%d)", Index));
}

std::unique_ptr<TSubSortedList> THugeSortedList::NewSubList() {
  auto list = std::make_unique<TSubSortedList>(this);
  list->FDuplicates = FDuplicates;
  list->SetCapacity(FSubListSize);
  list->FDelta = FSubListSize / 4;
  return list;
}

void* THugeSortedList::Get(int32_t Index) {
  CheckIndex(Index);
  Locate(Index, FCurList, FCurIndex);
  return FLists->Lists(FCurList)->Items(FCurIndex);
}

bool THugeSortedList::Find(void* Key, int32_t& Index) {
  FCurList = 0;
  FCurIndex = 0;
  Index = 0;
  if (FCount == 0) return false;
  bool found = FLists->Find(Key, FCurList);
  if (found) {
    FCurIndex = 0;
    if (FDuplicates) FLists->Lists(FCurList)->Find(Key, FCurIndex);
  } else {
    if (FCurList > 0) --FCurList;
    found = FLists->Lists(FCurList)->Find(Key, FCurIndex);
  }
  Index = GlobalIndex(FCurList, FCurIndex);
  return found;
}

int32_t THugeSortedList::Add(void* Item) {
  if (FCount == 0) {
    auto list = NewSubList();
    list->TList::Add(Item);
    FLists->TList::Add(list.get());
    (void)list.release();  // FLists holds it now
    FCurList = 0;
    FCurIndex = 0;
    FCount = 1;
    return 0;
  }
  FCurList = FLists->Count() - 1;
  TSubSortedList* last = FLists->Lists(FCurList);
  FCurIndex = last->Count() - 1;
  int32_t result = -1;
  if (Compare(last->Items(FCurIndex), Item) == -1) {
    // Items that arrive in ascending order need no search.
    last->TList::Add(Item);
    ++FCurIndex;
    result = GlobalIndex(FCurList, FCurIndex);
  } else {
    int32_t index = 0;
    if (Find(Item, index) && !FDuplicates) return -1;
    FLists->Lists(FCurList)->Insert(FCurIndex, Item);
    result = index;
  }
  ++FCount;
  try {
    Rebalance();
  } catch (const std::bad_alloc&) {
    // The item is stored and the order holds; an unsplit sub-list only grows, and the next
    // insertion into it tries the split again. Raising here would leave the caller unsure
    // who owns the item.
  }
  return result;
}

void THugeSortedList::Delete(int32_t Index) {
  CheckIndex(Index);
  Locate(Index, FCurList, FCurIndex);
  FLists->Lists(FCurList)->DestroyAt(FCurIndex);
  --FCount;
  Rebalance();
}

void THugeSortedList::Clear() {
  FLists->DestroyAll();
  FCount = 0;
  FCurList = 0;
  FCurIndex = 0;
}

void THugeSortedList::Locate(int32_t Index, int32_t& ListIndex, int32_t& Offset) {
  int32_t before = 0;
  for (ListIndex = 0; ListIndex < FLists->Count(); ++ListIndex) {
    const int32_t n = FLists->Lists(ListIndex)->Count();
    if (before + n > Index) break;
    before += n;
  }
  Offset = Index - before;
}

int32_t THugeSortedList::GlobalIndex(int32_t ListIndex, int32_t Offset) const {
  int32_t before = 0;
  for (int32_t i = 0; i < ListIndex; ++i) before += FLists->Lists(i)->Count();
  return before + Offset;
}

void THugeSortedList::Rebalance() {
  TSubSortedList* list = FLists->Lists(FCurList);
  if (list->Count() == 0) {
    FLists->DestroyAt(FCurList);
    return;
  }
  if (list->Count() < FSubListSize) return;
  // Both allocations come first: once items move, nothing may fail and lose them.
  auto owned = NewSubList();
  FLists->Insert(FCurList + 1, owned.get());
  TSubSortedList* upper = owned.release();
  const int32_t half = FSubListSize / 2;
  for (int32_t i = half; i < list->Count(); ++i) upper->TList::Add(list->Items(i));
  list->SetCount(half);
  if (FCurIndex >= half) {
    FCurIndex -= half;
    ++FCurList;
  }
}
