#include "params/ListofLists.h"

#include <gtest/gtest.h>

#include "support/ErrorText.h"

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "rtl/Exceptions.h"
#include "rtl/Object.h"

namespace {

// An item that counts its own destruction, so that release through the default hook shows.
struct TCounted : TObject {
  TCounted(int V, std::map<int, int>* Released) : Value(V), FReleased(Released) {}
  ~TCounted() override { ++(*FReleased)[Value]; }
  int Value;
  std::map<int, int>* FReleased;
};

int ValueOf(void* Item) {
  return static_cast<TCounted*>(Item)->Value;
}

// Orders TCounted items by value and counts its Compare calls; releases through the
// inherited default (destroy as an object).
class TIntList : public THugeSortedList {
 public:
  explicit TIntList(int32_t SubListSize = 1024) : THugeSortedList(SubListSize) {}
  int32_t Compare(void* A, void* B) override {
    ++Compares;
    return ValueOf(A) < ValueOf(B) ? -1 : ValueOf(A) > ValueOf(B) ? 1 : 0;
  }
  int Compares = 0;
};

// Overrides FreeItem, so it must empty itself in its own destructor.
class TOwnReleaseList : public TIntList {
 public:
  explicit TOwnReleaseList(std::map<int, int>* Freed) : FFreed(Freed) {}
  ~TOwnReleaseList() override { Clear(); }
  void FreeItem(void* Item) override {
    ++(*FFreed)[ValueOf(Item)];
    THugeSortedList::FreeItem(Item);
  }
  std::map<int, int>* FFreed;
};

class TIntSortedList : public TSortedList {
 public:
  int32_t Compare(void* Item, void* Key) override {
    return static_cast<int>(reinterpret_cast<intptr_t>(Item) - reinterpret_cast<intptr_t>(Key));
  }
  void FreeItem(void*) override { ++Freed; }
  ~TIntSortedList() override { DestroyAll(); }
  int Freed = 0;
};

void* P(intptr_t V) {
  return reinterpret_cast<void*>(V);
}

// Every sub-list holds 1 .. size-1 items, items ascend across the whole list, and Get and
// Find agree on every index.
void ExpectSound(TIntList& List) {
  int32_t total = 0;
  for (int32_t i = 0; i < List.SubListCount(); ++i) {
    EXPECT_GE(List.SubListItemCount(i), 1) << "sub-list " << i;
    EXPECT_LE(List.SubListItemCount(i), List.SubListSize() - 1) << "sub-list " << i;
    total += List.SubListItemCount(i);
  }
  EXPECT_EQ(total, List.Count());
  for (int32_t i = 0; i < List.Count(); ++i) {
    if (i > 0) ASSERT_LT(ValueOf(List.Get(i - 1)), ValueOf(List.Get(i))) << "at " << i;
    int32_t index = -1;
    ASSERT_TRUE(List.Find(List.Get(i), index));
    ASSERT_EQ(index, i);
  }
}

}  // namespace

TEST(SortedList, GrowsByFourEightSixteenOrTheGivenDeltaAndChecksDestroyAt) {
  TIntSortedList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 40; ++i) {
    list.Add(P(i + 1));
    if (capacities.empty() || capacities.back() != list.Capacity())
      capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 16, 32, 48}));
  TIntSortedList stepped;
  stepped.FDelta = 10;
  stepped.Add(P(1));
  EXPECT_EQ(stepped.Capacity(), 10);
  EXPECT_EQ(ErrorOf<EListError>([&] { list.DestroyAt(40); }), "DestroyAt");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.DestroyAt(-1); }), "DestroyAt");
  list.DestroyAt(0);
  EXPECT_EQ(list.Freed, 1);
  list.DestroyAll();
  EXPECT_EQ(list.Freed, 40);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(SortedList, FindsEqualItemsOrTheirInsertionPlace) {
  TIntSortedList list;
  int32_t index = -1;
  EXPECT_FALSE(list.Find(P(5), index));
  EXPECT_EQ(index, 0);
  for (int v : {50, 10, 30, 20, 40}) list.Add(P(v));
  EXPECT_TRUE(list.Find(P(30), index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find(P(35), index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(list.Add(P(30)), -1);
  EXPECT_EQ(list.Count(), 5);
  list.FDuplicates = true;
  list.Add(P(30));
  list.Add(P(30));
  EXPECT_TRUE(list.Find(P(30), index));
  EXPECT_EQ(index, 2);  // the first of several equal items
}

TEST(HugeSortedList, AscendingItemsTakeTheAppendShortcut) {
  std::map<int, int> released;
  TIntList list;
  for (int i = 0; i < 3000; ++i) {
    list.Compares = 0;
    ASSERT_EQ(list.Add(new TCounted(i, &released)), i);
    ASSERT_LE(list.Compares, 1) << "item " << i << " was searched for";
  }
  EXPECT_EQ(list.Count(), 3000);
  ExpectSound(list);
}

TEST(HugeSortedList, RefusedDuplicateStaysWithTheCaller) {
  std::map<int, int> released;
  TIntList list;
  TCounted duplicate(1, &released);
  int32_t index = -1;
  EXPECT_FALSE(list.Find(&duplicate, index)) << "empty";
  EXPECT_EQ(index, 0);
  list.Add(new TCounted(1, &released));
  list.Add(new TCounted(2, &released));
  EXPECT_EQ(list.Add(&duplicate), -1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(released.empty());
}

TEST(HugeSortedList, SplitsAFullSubListIntoTwoHalves) {
  std::map<int, int> released;
  TIntList list;
  for (int i = 0; i < 1023; ++i) list.Add(new TCounted(i * 2, &released));
  ASSERT_EQ(list.SubListCount(), 1);
  EXPECT_EQ(list.SubListItemCount(0), 1023);
  EXPECT_EQ(list.Add(new TCounted(1, &released)), 1);  // the 1024th item, by search
  ASSERT_EQ(list.SubListCount(), 2);
  EXPECT_EQ(list.SubListItemCount(0), 512);
  EXPECT_EQ(list.SubListItemCount(1), 512);
  ExpectSound(list);
}

TEST(HugeSortedList, RandomOrderKeepsOrderAndBounds) {
  const uint32_t seed = 20240611;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  std::vector<int> values(5000);
  std::iota(values.begin(), values.end(), 0);
  std::shuffle(values.begin(), values.end(), rng);
  std::map<int, int> released;
  TIntList list(64);
  for (int v : values) {
    TCounted probe(v, &released);
    int32_t expected = 0;
    list.Find(&probe, expected);
    ASSERT_EQ(list.Add(new TCounted(v, &released)), expected) << "value " << v;
  }
  ExpectSound(list);
  EXPECT_EQ(released.size(), 5000u);  // only the probes so far
  for (auto& [v, n] : released) n = 0;
  std::shuffle(values.begin(), values.end(), rng);
  for (size_t i = 0; i < values.size() / 2; ++i) {
    TCounted probe(values[i], &released);
    int32_t index = -1;
    ASSERT_TRUE(list.Find(&probe, index));
    list.Delete(index);
    --released[values[i]];  // the probe itself
  }
  ExpectSound(list);
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_EQ(released[values[i]], i < values.size() / 2 ? 1 : 0) << "value " << values[i];
  while (list.Count() > 0) list.Delete(list.Count() - 1);
  EXPECT_EQ(list.SubListCount(), 0);
  EXPECT_EQ(list.Add(new TCounted(1, &released)), 0) << "usable again";
}

TEST(HugeSortedList, OutOfRangeIndexRaisesTheListIndexError) {
  std::map<int, int> released;
  TIntList list;
  for (int i = 0; i < 5; ++i) list.Add(new TCounted(i, &released));
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Get(5); }), "List index out of bounds (5)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf<EListError>([&] { list.Delete(5); }), "List index out of bounds (5)");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_TRUE(released.empty());
}

// Clear, the destructor of a list with its own release hook, and the default release (destroy
// as an object) each release every stored item exactly once.
TEST(HugeSortedList, EveryWayOfEmptyingReleasesEveryItemExactlyOnce) {
  const uint32_t seed = 7;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (const std::string way : {"clear", "destroy", "default release"}) {
    SCOPED_TRACE(way);
    std::map<int, int> released, freed;
    {
      std::unique_ptr<TIntList> list;
      if (way == "default release")
        list = std::make_unique<TIntList>();
      else
        list = std::make_unique<TOwnReleaseList>(&freed);
      for (int i = 0; i < 4000; ++i) {
        const int v = static_cast<int>(rng() % 100000);
        auto* item = new TCounted(v, &released);
        if (list->Add(item) < 0) {
          delete item;
          --released[v];
        }
      }
      EXPECT_GE(list->SubListCount(), 4);
      if (way == "clear") {
        list->Clear();
        EXPECT_EQ(list->Count(), 0);
        EXPECT_EQ(list->SubListCount(), 0);
      }
    }
    size_t stored = 0;
    for (auto& [v, n] : released) {
      if (n == 0) continue;
      ++stored;
      ASSERT_EQ(n, 1) << "value " << v;
      if (way != "default release")
        ASSERT_EQ(freed[v], 1) << "value " << v << " not through FreeItem";
    }
    EXPECT_GT(stored, 3900u);
  }
}
