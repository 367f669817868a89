// Ref<T>: the owning pointer for the sound device's reference-counted objects. An object starts
// with one reference, which the Ref made from it adopts; copies add references, and dropping
// the last one deletes the object. "Releasing" an object is dropping its Ref.
#pragma once

#include <atomic>
#include <utility>

#include "platform/win32/win_types.h"

namespace dsound {

// The count shared by every reference-counted sound object.
class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  ULONG AddRef() { return ++refs_; }
  // Adds a reference unless the count has already reached 0 (the object is being deleted on
  // another path); false then. For registries that hold objects without owning them.
  bool TryAddRef() {
    ULONG seen = refs_.load();
    while (seen != 0) {
      if (refs_.compare_exchange_weak(seen, seen + 1)) return true;
    }
    return false;
  }
  ULONG Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// Ref lives in this namespace so that other stand-ins may have their own.
template <typename T>
class Ref {
 public:
  Ref() = default;
  // Adopts the reference the caller holds on object.
  explicit Ref(T* object) : object_(object) {}
  Ref(const Ref& other) : object_(other.object_) {
    if (object_) object_->AddRef();
  }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { reset(); }

  // Drops the reference held, if any.
  void reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace dsound
