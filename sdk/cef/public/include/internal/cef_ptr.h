// Reference counting of engine objects: CefBaseRefCounted, CefRefCount, IMPLEMENT_REFCOUNTING
// and the counted pointer CefRefPtr.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

class CefBaseRefCounted {
 public:
  virtual void AddRef() const = 0;
  // Returns true when this call deleted the object.
  virtual bool Release() const = 0;
  virtual bool HasOneRef() const = 0;
  virtual bool HasAtLeastOneRef() const = 0;

 protected:
  virtual ~CefBaseRefCounted() {}
};

// The thread-safe count behind IMPLEMENT_REFCOUNTING. A new object starts at zero.
class CefRefCount {
 public:
  CefRefCount() : ref_count_(0) {}
  CefRefCount(const CefRefCount&) = delete;
  CefRefCount& operator=(const CefRefCount&) = delete;
  void AddRef() const { ref_count_.fetch_add(1, std::memory_order_relaxed); }
  bool Release() const { return ref_count_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  bool HasOneRef() const { return ref_count_.load(std::memory_order_acquire) == 1; }
  bool HasAtLeastOneRef() const { return ref_count_.load(std::memory_order_acquire) >= 1; }

 private:
  mutable std::atomic<int> ref_count_;
};

#define IMPLEMENT_REFCOUNTING(ClassName)          \
 public:                                          \
  void AddRef() const override {                  \
    ref_count_.AddRef();                          \
  }                                               \
  bool Release() const override {                 \
    if (ref_count_.Release()) {                   \
      delete static_cast<const ClassName*>(this); \
      return true;                                \
    }                                             \
    return false;                                 \
  }                                               \
  bool HasOneRef() const override {               \
    return ref_count_.HasOneRef();                \
  }                                               \
  bool HasAtLeastOneRef() const override {        \
    return ref_count_.HasAtLeastOneRef();         \
  }                                               \
                                                  \
 private:                                         \
  CefRefCount ref_count_

template <class T>
using CefRawPtr = T*;

// Holds one reference to a counted object; converts to the raw pointer like the engine's own.
template <class T>
class CefRefPtr {
 public:
  CefRefPtr() : ptr_(nullptr) {}
  CefRefPtr(std::nullptr_t) : ptr_(nullptr) {}
  CefRefPtr(T* p) : ptr_(p) {
    if (ptr_)
      ptr_->AddRef();
  }
  CefRefPtr(const CefRefPtr<T>& r) : CefRefPtr(r.ptr_) {}
  template <typename U>
  CefRefPtr(const CefRefPtr<U>& r) : CefRefPtr(r.get()) {}
  CefRefPtr(CefRefPtr<T>&& r) noexcept : ptr_(r.ptr_) { r.ptr_ = nullptr; }
  template <typename U>
  CefRefPtr(CefRefPtr<U>&& r) noexcept : ptr_(r.release_raw()) {}
  ~CefRefPtr() {
    if (ptr_)
      ptr_->Release();
  }

  T* get() const { return ptr_; }
  operator T*() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }

  CefRefPtr<T>& operator=(T* p) {
    if (p)
      p->AddRef();
    T* old = ptr_;
    ptr_ = p;
    if (old)
      old->Release();
    return *this;
  }
  CefRefPtr<T>& operator=(const CefRefPtr<T>& r) { return *this = r.ptr_; }
  template <typename U>
  CefRefPtr<T>& operator=(const CefRefPtr<U>& r) {
    return *this = r.get();
  }
  CefRefPtr<T>& operator=(CefRefPtr<T>&& r) noexcept {
    if (this != &r) {
      T* old = ptr_;
      ptr_ = r.ptr_;
      r.ptr_ = nullptr;
      if (old)
        old->Release();
    }
    return *this;
  }
  CefRefPtr<T>& operator=(std::nullptr_t) { return *this = static_cast<T*>(nullptr); }

  void swap(CefRefPtr<T>& r) { std::swap(ptr_, r.ptr_); }

  // Hands the reference over without releasing it (for the converting move).
  T* release_raw() {
    T* p = ptr_;
    ptr_ = nullptr;
    return p;
  }

 private:
  template <typename U>
  friend class CefRefPtr;
  T* ptr_;
};
