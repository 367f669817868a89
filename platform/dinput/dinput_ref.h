// Reference counting for the DirectInput stand-in's objects: an object starts with one
// reference, AddRef adds one, Release drops one and deletes the object at zero. Ref<T> holds
// one reference for its lifetime, so "releasing" an object is dropping its Ref.
#pragma once

#include <cstdint>
#include <utility>

namespace dinput {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  // Adds a reference; returns the new count.
  std::uint32_t AddRef() { return ++refs_; }
  // Drops a reference and deletes the object when none is left; returns the new count.
  std::uint32_t Release() {
    std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  std::uint32_t refs_ = 1;
};

// Holds one reference to T (or nothing).
template <typename T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already owns (a freshly made object).
  static Ref Adopt(T* object) {
    Ref r;
    r.p_ = object;
    return r;
  }
  // Adds a reference of its own.
  static Ref Share(T* object) {
    if (object) object->AddRef();
    return Adopt(object);
  }
  Ref(const Ref& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Ref() { Reset(); }

  // Drops the reference held, if any.
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace dinput
