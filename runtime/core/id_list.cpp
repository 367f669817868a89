// IdList: a doubly linked chain of id/value nodes in the order of adding.
#include "runtime/core/id_list.h"

#include <new>

namespace tessark {

// Looks for an existing id (stopping early where the ids met so far ascend around the new id),
// then appends at the tail.
void IdList::Add(std::int32_t id, void* value, bool duplicates_allowed) {
  IdListNode* node = spare_;
  if (node) {
    spare_ = node->next;
  } else {
    node = new (std::nothrow) IdListNode{};
    if (!node) return;
  }

  IdListNode* n = head_;
  for (std::int32_t walked = 0; n && walked < count_; ++walked) {
    if (n->id != 0 && n->next && n->id < id && n->next->id > id) break;
    if (!duplicates_allowed && n->id == id) {
      n->value = value;
      node->next = spare_;
      spare_ = node;
      return;
    }
    if (n->next) n = n->next;
  }

  node->id = id;
  node->value = value;
  node->previous = tail_;
  node->next = nullptr;
  if (tail_) tail_->next = node;
  tail_ = node;
  if (!head_) head_ = node;
  ++count_;
}

void* IdList::Find(std::int32_t id, std::int32_t* position) const {
  Recent& recent = recent_[static_cast<std::uint32_t>(id) % kRecent];
  if (recent.node && recent.node->id == id) {
    if (position) *position = recent.index;
    return recent.node->value;
  }
  std::int32_t index = 0;
  for (IdListNode* n = head_; n && index < count_; n = n->next, ++index) {
    if (n->id == id) {
      recent.node = n;
      recent.index = index;
      if (position) *position = index;
      return n->value;
    }
  }
  if (position) *position = count_;
  return nullptr;
}

void IdList::Remove(std::int32_t id) {
  IdListNode* n = head_;
  for (std::int32_t walked = 0; n && walked < count_ && n->id != id; ++walked) n = n->next;
  if (!n || n->id != id) return;
  Forget();

  if (n == head_ && n == tail_) {
    head_ = tail_ = nullptr;
    count_ = 0;
  } else if (n == head_) {
    n->next->previous = nullptr;
    head_ = n->next;
    --count_;
  } else if (n == tail_) {
    n->previous->next = nullptr;
    --count_;
    tail_ = n->previous;
  } else {
    n->previous->next = n->next;
    n->next->previous = n->previous;
    --count_;
  }
  n->next = spare_;
  n->previous = nullptr;
  spare_ = n;
}

void IdList::FreeAll() {
  IdListNode* n = head_;
  while (n) {
    IdListNode* next = n->next;
    delete n;
    n = next;
  }
  Clear();
  while (spare_) {
    IdListNode* next = spare_->next;
    delete spare_;
    spare_ = next;
  }
}

}  // namespace tessark
