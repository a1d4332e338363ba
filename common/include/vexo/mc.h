// Component objects: reference-counted objects with a non-delegating unknown
// and exposed interfaces whose first three operations are QueryInterface,
// AddRef and Release.
//
// Every object consists of its non-delegating unknown (the object's identity),
// a reserved word, the reference count (starting at 1), the owner pointer (the
// unknown the exposed interfaces forward to; always the object's own
// non-delegating unknown, objects are never aggregated), then the exposed
// interfaces and the object's own fields.
//
// Rules:
//  - A factory returns one reference owned by the caller.
//  - QueryInterface: null out gives E_POINTER; a known identifier gives the
//    interface with a reference added; IUnknown gives the identity; anything
//    else E_NOINTERFACE.
//  - Release destroys the object when the count drops below 1.
// This header is shared by the common library, the engine libraries and the
// plug-ins, so everything here is inline.
#pragma once
#include <atomic>
#include <cstdint>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "plat/guid.h"
#include "plat/status.h"

using plat::Guid;
using plat::Status;

// {00000000-0000-0000-C000-000000000046}
inline constexpr Guid IID_IUnknown = plat::guidLiteral("{00000000-0000-0000-C000-000000000046}");

// The three operations every interface starts with.
class IMcUnknown {
 public:
  virtual Status QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IMcUnknown() = default;  // objects die through Release only
};

// The object's identity. Seen as an IMcUnknown its QueryInterface, AddRef and
// Release are the non-delegating ones, so a pointer obtained for IUnknown can
// be released like any other interface.
class IMcNonDelegatingUnknown : public IMcUnknown {
 public:
  virtual Status NonDelegatingQueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t NonDelegatingAddRef() = 0;
  virtual uint32_t NonDelegatingRelease() = 0;
  virtual ~IMcNonDelegatingUnknown() = default;
  // Adds a reference to itf and stores it in *out.
  virtual Status GetInterface(IMcUnknown* itf, void** out) = 0;
};

// Interfaces name their identifier as a static member `iid`; interfaces with
// no identifier of their own (answered only as IUnknown) leave it out.
template <class I>
concept HasInterfaceId = requires { { I::iid } -> std::convertible_to<const Guid&>; };

// Base of every component object: the non-delegating unknown, the reserved
// word, the count and the owner.
class CMcUnknown : public IMcNonDelegatingUnknown {
 public:
  CMcUnknown() : owner_(this) {}
  CMcUnknown(const CMcUnknown&) = delete;
  CMcUnknown& operator=(const CMcUnknown&) = delete;

  Status QueryInterface(const Guid& iid, void** out) final { return NonDelegatingQueryInterface(iid, out); }
  uint32_t AddRef() final { return NonDelegatingAddRef(); }
  uint32_t Release() final { return NonDelegatingRelease(); }

  Status NonDelegatingQueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) return exposeIdentity(out);
    return plat::E_NOINTERFACE;
  }
  uint32_t NonDelegatingAddRef() override {
    return static_cast<uint32_t>(refs_.fetch_add(1, std::memory_order_relaxed) + 1);
  }
  uint32_t NonDelegatingRelease() override {
    int32_t now = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (now < 1) {
      delete this;
      return 0;
    }
    return static_cast<uint32_t>(now);
  }
  Status GetInterface(IMcUnknown* itf, void** out) override {
    if (out == nullptr) return plat::E_POINTER;
    itf->AddRef();
    *out = itf;
    return plat::S_OK;
  }

  // Unambiguous spellings for code that holds the concrete object (whose
  // interfaces each have their own AddRef and Release).
  uint32_t addRef() { return NonDelegatingAddRef(); }
  uint32_t release() { return NonDelegatingRelease(); }
  Status query(const Guid& iid, void** out) { return NonDelegatingQueryInterface(iid, out); }

  // The identity pointer: the non-delegating unknown seen as an IMcUnknown.
  IMcUnknown* identity() { return static_cast<IMcUnknown*>(static_cast<IMcNonDelegatingUnknown*>(this)); }
  IMcNonDelegatingUnknown* owner() const { return owner_; }
  // The current count, for diagnostics and tests only.
  int32_t refCount() const { return refs_.load(std::memory_order_relaxed); }

 protected:
  ~CMcUnknown() override = default;

  // Stores the identity with a reference. (A direct call rather than through
  // the virtual GetInterface: GCC 12 at -O2 miscompiles that virtual call
  // for classes in an anonymous namespace and drops the IUnknown answer.)
  Status exposeIdentity(void** out) {
    NonDelegatingAddRef();
    *out = identity();
    return plat::S_OK;
  }

  // Stores an exposed interface pointer of the right type with a reference.
  template <class I>
  Status exposeInterface(I* itf, void** out) {
    itf->AddRef();
    *out = static_cast<void*>(itf);
    return plat::S_OK;
  }

 private:
  [[maybe_unused]] uint32_t reserved_ = 0;  // the reserved word of the object layout
  std::atomic<int32_t> refs_{1};
  IMcNonDelegatingUnknown* owner_;
};

// The exposed side of an interface: QueryInterface, AddRef and Release pass
// the call on to the owner.
template <class I>
class McForward : public I {
 public:
  Status QueryInterface(const Guid& iid, void** out) final { return owner_->NonDelegatingQueryInterface(iid, out); }
  uint32_t AddRef() final { return owner_->NonDelegatingAddRef(); }
  uint32_t Release() final { return owner_->NonDelegatingRelease(); }

 protected:
  explicit McForward(IMcNonDelegatingUnknown* owner) : owner_(owner) {}
  ~McForward() = default;

 private:
  IMcNonDelegatingUnknown* owner_;
};

// A component object exposing the interfaces Is... Its QueryInterface answers
// each interface's `iid` (when it has one), IUnknown, and whatever
// queryExtra() adds (an object that withholds or adds interfaces overrides it).
template <class... Is>
class McObject : public CMcUnknown, public McForward<Is>... {
 public:
  McObject() : McForward<Is>(static_cast<IMcNonDelegatingUnknown*>(this))... {}

  Status NonDelegatingQueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) return exposeIdentity(out);
    Status result = plat::E_NOINTERFACE;
    bool found = (tryExpose<Is>(iid, out, &result) || ...);
    if (found) return result;
    return queryExtra(iid, out);
  }

  // The first exposed interface: the pointer factories hand out.
  template <class I = std::tuple_element_t<0, std::tuple<Is...>>>
  I* exposed() {
    return static_cast<I*>(this);
  }

 protected:
  ~McObject() override = default;
  virtual Status queryExtra(const Guid& iid, void** out) { return plat::E_NOINTERFACE; }
  // Whether an interface of the list is answered at all (tests withhold some).
  virtual bool answers(const Guid& iid) { return true; }

 private:
  template <class I>
  bool tryExpose(const Guid& iid, void** out, Status* result) {
    if constexpr (HasInterfaceId<I>) {
      if (iid == I::iid && answers(iid)) {
        *result = exposeInterface(static_cast<I*>(this), out);
        return true;
      }
    }
    return false;
  }
};

// An owning interface pointer: releases what it holds.
template <class T>
class McPtr {
 public:
  McPtr() = default;
  McPtr(std::nullptr_t) {}
  // Takes over a reference the caller owns.
  static McPtr adopt(T* p) {
    McPtr r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static McPtr share(T* p) {
    if (p) addRefOf(p);
    return adopt(p);
  }
  McPtr(const McPtr& o) : p_(o.p_) {
    if (p_) addRefOf(p_);
  }
  McPtr(McPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  McPtr& operator=(McPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~McPtr() { reset(); }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) releaseOf(p);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out arguments: releases the old pointer first.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }

  friend bool operator==(const McPtr& a, const McPtr& b) { return a.p_ == b.p_; }

 private:
  // Concrete objects (several interfaces, each with its own AddRef) use the
  // object's own spelling; interface pointers use the interface's.
  static void addRefOf(T* p) {
    if constexpr (requires { p->addRef(); }) p->addRef();
    else p->AddRef();
  }
  static void releaseOf(T* p) {
    if constexpr (requires { p->release(); }) p->release();
    else p->Release();
  }
  T* p_ = nullptr;
};

// QueryInterface with the identifier taken from the interface type.
template <class I, class From>
McPtr<I> mcQuery(From* from) {
  McPtr<I> r;
  if (from == nullptr) return r;
  void* p = nullptr;
  if (plat::succeeded(from->QueryInterface(I::iid, &p)) && p != nullptr) r = McPtr<I>::adopt(static_cast<I*>(p));
  return r;
}

// Creates an object with one reference and hands out the interface I.
template <class Obj, class I, class... Args>
Status mcCreate(I** out, Args&&... args) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  Obj* obj = new (std::nothrow) Obj(std::forward<Args>(args)...);
  if (obj == nullptr) return plat::E_OUTOFMEMORY;
  *out = static_cast<I*>(obj);
  return plat::S_OK;
}
