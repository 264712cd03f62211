// Sorted containers of untyped item pointers: a binary-searched sorted list, and a huge
// sorted list kept as an ordered list of bounded sub-lists so that an insertion moves at
// most one sub-list's pointers. The parameter list builds on THugeSortedList.
//
// Items belong to the list and are released through FreeItem. C++ calls a base class's
// version of a virtual from that base's destructor, so every class that overrides FreeItem
// empties itself in its own destructor (DestroyAll or Clear).
#pragma once

#include <cstdint>
#include <memory>

#include "rtl/PointerList.h"

class THugeSortedList;

class TSortedList : public TList {
 public:
  TSortedList() = default;
  ~TSortedList() override;

  int32_t FDelta = 0;        // growth step; 0 grows by 4, 8 or 16
  bool FDuplicates = false;  // when false, equal items are refused

  void Grow() override;
  // Binary search; Index is the equal item's position or where Key would be inserted.
  virtual bool Find(void* Key, int32_t& Index);
  // Negative when Item sorts before Key, 0 when equal, positive when after.
  virtual int32_t Compare(void* Item, void* Key) = 0;
  virtual void FreeItem(void* Item);  // destroys Item as a TObject
  virtual void DestroyAt(int32_t Index);
  // Sorted insertion; -1 (and nothing stored) for a refused duplicate.
  virtual int32_t Add(void* Item);
  void DestroyAll();
};

class TSubSortedList : public TSortedList {
 public:
  explicit TSubSortedList(THugeSortedList* Owner) : FOwner(Owner) {}
  ~TSubSortedList() override;

  int32_t Compare(void* Item, void* Key) override;
  void FreeItem(void* Item) override;

 protected:
  THugeSortedList* FOwner;  // not owned
};

// The owner's sub-lists, ordered by their first items; it owns and destroys them.
class TListOfLists : public TSubSortedList {
 public:
  explicit TListOfLists(THugeSortedList* Owner) : TSubSortedList(Owner) {}
  ~TListOfLists() override;

  TSubSortedList* Lists(int32_t Index) const { return static_cast<TSubSortedList*>(Items(Index)); }
  int32_t Compare(void* Item, void* Key) override;
  void FreeItem(void* Item) override;
};

class THugeSortedList {
 public:
  explicit THugeSortedList(int32_t SubListSize);
  THugeSortedList(const THugeSortedList&) = delete;
  THugeSortedList& operator=(const THugeSortedList&) = delete;
  virtual ~THugeSortedList();

  // -1, 0 or +1 for Item1 before, equal to or after Item2.
  virtual int32_t Compare(void* Item1, void* Item2) = 0;
  virtual void FreeItem(void* Item);  // destroys Item as a TObject
  virtual void Delete(int32_t Index);

  int32_t Count() const { return FCount; }
  void* Get(int32_t Index);
  bool Find(void* Key, int32_t& Index);
  // The overall index at which Item now stands, or -1 for a refused duplicate (which then
  // stays with the caller).
  int32_t Add(void* Item);
  void Clear();

  int32_t SubListSize() const { return FSubListSize; }
  int32_t SubListCount() const { return FLists->Count(); }
  int32_t SubListItemCount(int32_t ListIndex) const { return FLists->Lists(ListIndex)->Count(); }

 protected:
  void Locate(int32_t Index, int32_t& ListIndex, int32_t& Offset);
  int32_t GlobalIndex(int32_t ListIndex, int32_t Offset) const;
  void Rebalance();

 private:
  std::unique_ptr<TSubSortedList> NewSubList();
  void CheckIndex(int32_t Index) const;

  int32_t FSubListSize;
  int32_t FCount = 0;
  bool FDuplicates = false;
  std::unique_ptr<TListOfLists> FLists;
  int32_t FCurList = 0;
  int32_t FCurIndex = 0;
};
