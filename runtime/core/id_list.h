// IdList: the keyed list in which every module keeps its numbered objects. It maps a signed
// 32-bit id to a pointer to the module's record (not owned) and remembers the order of adding:
// new entries always go to the tail, lookups are linear from the head, iteration follows the
// order of adding. The list allows duplicate ids; modules keep ids unique by looking them up
// before adding. Removed nodes are kept on the list's own spare chain and reused by later adds,
// so a list whose size goes up and down (a paste that adds and removes an entry every frame)
// stops allocating once it has reached its largest size; FreeAll frees them for real.
#pragma once

#include <cstdint>

namespace tessark {

struct IdListNode {
  std::int32_t id;
  void* value;
  IdListNode* next;
  IdListNode* previous;
};

class IdList {
 public:
  IdList() = default;
  ~IdList() { FreeAll(); }
  IdList(const IdList&) = delete;
  IdList& operator=(const IdList&) = delete;

  // Forgets every node without freeing (for a list known to be empty).
  void Clear() {
    head_ = tail_ = nullptr;
    count_ = 0;
    Forget();
  }
  // Appends id at the tail; with duplicates not allowed an existing id only gets the new value.
  void Add(std::int32_t id, void* value, bool duplicates_allowed);
  // The value of the first node with id, or null; position receives its index (count if none).
  void* Find(std::int32_t id, std::int32_t* position = nullptr) const;
  // Unlinks the first node with id and keeps it for reuse; the record itself is not freed.
  void Remove(std::int32_t id);
  // Frees every node, the spare ones included.
  void FreeAll();

  std::int32_t Count() const { return count_; }
  IdListNode* Head() const { return head_; }
  IdListNode* Tail() const { return tail_; }

 private:
  IdListNode* tail_ = nullptr;
  IdListNode* head_ = nullptr;
  std::int32_t count_ = 0;
  IdListNode* spare_ = nullptr;  // removed nodes, chained through next, for the next adds

  // Recent lookups, by the low bits of the id: the first node with that id and its index.
  // Adding at the tail keeps them true; a removal forgets them all.
  static constexpr int kRecent = 8;
  struct Recent {
    IdListNode* node;
    std::int32_t index;
  };
  mutable Recent recent_[kRecent] = {};
  void Forget() {
    for (Recent& r : recent_) r.node = nullptr;
  }
};

}  // namespace tessark
