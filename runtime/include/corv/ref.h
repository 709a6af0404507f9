// Ref<T>: an owning handle over a counted object, so that code written
// against the runtime never takes or releases references by hand.
#pragma once

#include <cstddef>
#include <utility>

#include "corv_object.h"

namespace corv {

/// Takes a reference (inline: the compiled code does this at every assignment).
inline void Retain(CORVobject obj) {
  if (obj && obj->refCount != 0) ++obj->refCount;
}

/// Releases a reference; the last one destroys the object.
inline void Release(CORVobject obj) {
  if (!obj || obj->refCount <= 0) return;
  if (obj->refCount == 1)
    CORVDestroyObject(obj);
  else
    --obj->refCount;
}

/// The object header of a native object (which begins with it).
template <class T>
inline CORVobject AsObject(T *p) {
  return reinterpret_cast<CORVobject>(p);
}

/// A nullable owning handle. `T` is a native object struct that begins with
/// CORVobjectHeader (or CORVobjectHeader itself).
template <class T = CORVobjectHeader>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  Ref(const Ref &other) : ptr_(other.ptr_) { Retain(AsObject(ptr_)); }
  Ref(Ref &&other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  template <class U>
  Ref(const Ref<U> &other) = delete;
  ~Ref() { Release(AsObject(ptr_)); }

  Ref &operator=(const Ref &other) {
    Ref copy(other);
    std::swap(ptr_, copy.ptr_);
    return *this;
  }
  Ref &operator=(Ref &&other) noexcept {
    Ref moved(std::move(other));
    std::swap(ptr_, moved.ptr_);
    return *this;
  }

  /// Takes over the one reference that `p` carries (a new object, or a
  /// result returned by an entry point).
  static Ref Adopt(T *p) {
    Ref ref;
    ref.ptr_ = p;
    return ref;
  }
  static Ref Adopt(CORVobject p) requires(!std::is_same_v<T, CORVobjectHeader>) {
    return Adopt(reinterpret_cast<T *>(p));
  }
  /// Takes a new reference on a borrowed pointer.
  static Ref Share(T *p) {
    Retain(AsObject(p));
    return Adopt(p);
  }
  static Ref Share(CORVobject p) requires(!std::is_same_v<T, CORVobjectHeader>) {
    return Share(reinterpret_cast<T *>(p));
  }

  T *get() const { return ptr_; }
  T *operator->() const { return ptr_; }
  T &operator*() const { return *ptr_; }
  CORVobject object() const { return AsObject(ptr_); }
  explicit operator bool() const { return ptr_ != nullptr; }
  bool operator==(const Ref &other) const { return ptr_ == other.ptr_; }
  bool operator==(std::nullptr_t) const { return ptr_ == nullptr; }

  /// Gives the reference up to the caller (to return it across C linkage).
  T *Leak() { return std::exchange(ptr_, nullptr); }

 private:
  T *ptr_ = nullptr;
};

/// The language's assignment to an object field of a record: the new value
/// gains a reference, the old one loses its own.
template <class T>
void Assign(T **field, const Ref<T> &value) {
  T *old = *field;
  *field = value.get();
  RuntimeLockUnlockObjects(AsObject(value.get()), AsObject(old));
}

/// A new instance of the class bound to a declaration.
template <class T = CORVobjectHeader>
Ref<T> New(const CORVclassDecl *decl) {
  return Ref<T>::Adopt(reinterpret_cast<T *>(CORVInstantiateDeclaration(decl)));
}

}  // namespace corv
