#include "rtl/PointerList.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"

#include <vector>

#include "rtl/Exceptions.h"

namespace {

void* P(intptr_t V) {
  return reinterpret_cast<void*>(V);
}

class TRecordingList : public TList {
 public:
  void Notify(void* Ptr, TListNotification Action) override {
    (Action == TListNotification::lnAdded ? Added : Deleted).push_back(Ptr);
  }
  std::vector<void*> Added, Deleted;
};

}  // namespace

TEST(PointerList, AddInsertDeleteKeepOrder) {
  TList list;
  EXPECT_EQ(list.Add(P(1)), 0);
  EXPECT_EQ(list.Add(P(3)), 1);
  list.Insert(1, P(2));
  list.Insert(0, P(0));
  ASSERT_EQ(list.Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list.Items(i), P(i));
  list.Delete(1);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0), P(0));
  EXPECT_EQ(list.Items(1), P(2));
  EXPECT_EQ(list.IndexOf(P(3)), 2);
  EXPECT_EQ(list.IndexOf(P(1)), -1);
}

TEST(PointerList, OutOfRangeIndexRaisesListErrorWithTheIndex) {
  TList list;
  list.Add(P(1));
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Items(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Items(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Delete(5); }), "List index out of bounds (5)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Insert(2, P(2)); }), "List index out of bounds (2)");
  EXPECT_EQ(list.Count(), 1);
}

TEST(PointerList, GrowsWhenFullAndClearEmptiesCountAndCapacity) {
  TList list;
  EXPECT_EQ(list.Capacity(), 0);
  list.Add(P(1));
  EXPECT_EQ(list.Capacity(), 4);
  for (int i = 0; i < 100; ++i) list.Add(P(i + 2));
  EXPECT_GE(list.Capacity(), list.Count());
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(PointerList, PackRemovesNilSlots) {
  TList list;
  list.Add(P(1));
  list.Add(nullptr);
  list.Add(P(2));
  list.Add(nullptr);
  list.Pack();
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1), P(2));
}

TEST(PointerList, NotifiesInsertedAndRemovedPointers) {
  TRecordingList list;
  list.Add(P(7));
  list.Add(nullptr);
  list.Delete(0);
  EXPECT_EQ(list.Added, std::vector<void*>{P(7)});
  EXPECT_EQ(list.Deleted, std::vector<void*>{P(7)});
}

TEST(PointerList, CapacityBelowCountIsRefused) {
  TList list;
  list.Add(P(1));
  list.Add(P(2));
  EXPECT_EQ(ErrorOf<EListError>([&] { list.SetCapacity(1); }), "List capacity out of bounds (1)");
}
