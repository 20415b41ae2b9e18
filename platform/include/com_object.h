// com_object.h — the IUnknown plumbing every object of ours shares.
//
// ComInterfaces<Interface, IIDs...> answers QueryInterface for IID_IUnknown
// and the listed interface ids with the object as `Interface*` and a new
// reference; anything else gives E_NOINTERFACE. ComObject adds the count:
// it starts at 1, an extra Release never drives it below zero, and the last
// Release calls FinalRelease (by default `delete this`).
//
// Objects whose counting lives elsewhere (resources sharing their
// container's count) take ComInterfaces alone and define AddRef/Release.
//
// ComRef<T> is the one holder of a reference for code that uses objects:
// it releases what it holds when it goes out of scope, unless handed over
// with Detach.
// Depends on: windows.h.
#pragma once

#include <windows.h>

#include <atomic>

namespace platform {

template <class Interface, const IID&... Ids>
class ComInterfaces : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return NoResultSlot();
    if (riid == IID_IUnknown || ((riid == Ids) || ...)) {
      *object = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    Refused(object);
    return E_NOINTERFACE;
  }

 protected:
  ComInterfaces() = default;
  ComInterfaces(const ComInterfaces&) = delete;
  ComInterfaces& operator=(const ComInterfaces&) = delete;
  virtual ~ComInterfaces() = default;

  // What a null result slot gives.
  virtual HRESULT NoResultSlot() { return E_POINTER; }
  // What happens to the slot on an unknown id: cleared, as COM asks.
  virtual void Refused(void** object) { *object = nullptr; }
};

template <class Interface, const IID&... Ids>
class ComObject : public ComInterfaces<Interface, Ids...> {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }

  ULONG STDMETHODCALLTYPE Release() override {
    ULONG current = refs_.load();
    do {
      if (current == 0) return 0;  // an extra Release never drives the count below zero
    } while (!refs_.compare_exchange_weak(current, current - 1));
    const ULONG left = current - 1;
    if (left == 0) FinalRelease();
    return left;
  }

 protected:
  // The count has reached zero: no reference remains.
  virtual void FinalRelease() { delete this; }

  std::atomic<ULONG> refs_{1};
};

// Holds one reference (adopted, never added) and releases it at scope exit.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : p_(adopted) {}
  ComRef(ComRef&& other) noexcept : p_(other.Detach()) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  // The slot a creating call writes into; what was held is released first.
  T** Slot() {
    Reset();
    return &p_;
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference over: the holder no longer releases it.
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  // Releases what is held and holds `adopted` instead.
  void Reset(T* adopted = nullptr) {
    T* old = p_;
    p_ = adopted;
    if (old != nullptr) old->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace platform
