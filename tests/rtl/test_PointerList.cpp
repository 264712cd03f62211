#include "rtl/PointerList.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Exceptions.h"
#include "support/ErrorText.h"

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

TEST(PointerList, BadIndexOrCapacityRaisesListErrorWithTheValue) {
  TList list;
  list.Add(P(1));
  list.Add(P(2));
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { list.Items(2); }, "List index out of bounds (2)"},
      {[&] { list.Items(-1); }, "List index out of bounds (-1)"},
      {[&] { list.Delete(5); }, "List index out of bounds (5)"},
      {[&] { list.Insert(3, P(3)); }, "List index out of bounds (3)"},
      {[&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
  };
  for (const auto& [call, text] : cases) EXPECT_EQ(ErrorOf<EListError>(call), text);
  EXPECT_EQ(list.Count(), 2);
}

TEST(PointerList, GrowsWhenFullPacksNilSlotsAndClearFreesEverything) {
  TList list;
  EXPECT_EQ(list.Capacity(), 0);
  list.Add(P(1));
  EXPECT_EQ(list.Capacity(), 4);
  for (int i = 0; i < 100; ++i) list.Add(i % 2 ? nullptr : P(i + 2));
  EXPECT_GE(list.Capacity(), list.Count());
  list.Pack();
  ASSERT_EQ(list.Count(), 51);
  EXPECT_EQ(list.Items(1), P(2));
  EXPECT_EQ(list.Items(50), P(100));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(PointerList, NotifiesInsertedAndRemovedPointers) {
  TRecordingList list;
  list.Add(P(7));
  list.Add(nullptr);
  list.Delete(0);
  EXPECT_EQ(list.Added, std::vector<void*>{P(7)});
  EXPECT_EQ(list.Deleted, std::vector<void*>{P(7)});
}
