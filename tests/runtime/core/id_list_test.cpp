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

// Removed nodes come back for later adds, and lookups remembered from before a removal never
// give a stale value or position: ids sharing low bits, duplicates, and a reused node.
TEST(IdList, ReusedNodesAndRememberedLookupsStayTrue) {
  IdList list;
  list.Add(1, &a, true);
  list.Add(9, &b, true);  // same low bits as 1
  list.Add(17, &c, true);
  std::int32_t at = -1;
  EXPECT_EQ(list.Find(9, &at), &b);
  EXPECT_EQ(at, 1);
  EXPECT_EQ(list.Find(17, &at), &c);
  EXPECT_EQ(at, 2);
  list.Remove(1);
  EXPECT_EQ(list.Find(17, &at), &c);
  EXPECT_EQ(at, 1);
  EXPECT_EQ(list.Find(1), nullptr);
  IdListNode* freed_tail = list.Tail();
  list.Remove(17);
  EXPECT_EQ(list.Tail(), list.Head());
  list.Add(4, &a, true);  // takes the node just removed
  EXPECT_EQ(list.Tail(), freed_tail);
  EXPECT_EQ(list.Find(17), nullptr);
  EXPECT_EQ(list.Find(4, &at), &a);
  EXPECT_EQ(at, 1);
  list.Add(4, &b, true);  // a duplicate after it: the first one is still found
  EXPECT_EQ(list.Find(4), &a);
  list.Add(4, &c, false);  // replaces the first one's value
  EXPECT_EQ(list.Find(4), &c);
  EXPECT_EQ(Ids(list), (std::vector<int>{9, 4, 4}));
  list.FreeAll();
  EXPECT_EQ(list.Find(9), nullptr);
  list.Add(9, &a, true);
  EXPECT_EQ(list.Find(9, &at), &a);
  EXPECT_EQ(at, 0);
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
