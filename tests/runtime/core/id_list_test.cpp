#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/id_list.h"

namespace tessark {
namespace {

std::vector<int> Ids(const IdList& list) {
  std::vector<int> ids;
  for (IdListNode* n = list.Head(); n; n = n->next) ids.push_back(n->id);
  return ids;
}

int a, b, c;

TEST(IdList, AddsInOrderOfAddingAndReplacesWithoutDuplicates) {
  IdList list;
  list.Add(5, &a, false);
  list.Add(3, &b, false);
  list.Add(9, &c, false);
  EXPECT_EQ(Ids(list), (std::vector<int>{5, 3, 9}));

  list.Add(3, &c, false);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Find(3), &c);

  list.Add(3, &a, true);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Find(3), &c) << "find returns the first match from the head";
}

TEST(IdList, EarlyStopStillAppendsAtTheTail) {
  IdList list;
  list.Add(1, &a, false);
  list.Add(10, &b, false);
  // 1 < 5 < 10 stops the walk early; the node still goes to the tail.
  list.Add(5, &c, false);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 10, 5}));
  // The early stop can miss an existing id behind the ascending pair: 5 is added again.
  list.Add(5, &a, false);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 10, 5, 5}));
}

TEST(IdList, RemovesHeadMiddleTailAndOnly) {
  IdList list;
  list.Add(1, &a, false);
  list.Add(2, &b, false);
  list.Add(3, &c, false);
  list.Remove(3);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 2}));
  EXPECT_EQ(list.Tail()->id, 2);
  EXPECT_EQ(list.Tail()->next, nullptr);

  list.Add(3, &c, false);
  list.Remove(2);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 3}));
  EXPECT_EQ(list.Tail()->previous->id, 1);

  list.Remove(1);
  EXPECT_EQ(Ids(list), (std::vector<int>{3}));
  EXPECT_EQ(list.Head()->previous, nullptr);

  list.Remove(42);
  EXPECT_EQ(list.Count(), 1);

  list.Remove(3);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Head(), nullptr);
  EXPECT_EQ(list.Tail(), nullptr);
}

TEST(IdList, FindOnEmptyListAndPositions) {
  IdList list;
  std::int32_t position = -1;
  EXPECT_EQ(list.Find(4, &position), nullptr);
  EXPECT_EQ(position, 0);
  list.Add(8, &a, false);
  list.Add(4, &b, false);
  EXPECT_EQ(list.Find(4, &position), &b);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(list.Find(99, &position), nullptr);
  EXPECT_EQ(position, 2);
  list.FreeAll();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace tessark
