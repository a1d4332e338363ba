// Collections: a growable array of interface pointers, each holding one
// reference, walked with a cursor. The common library's channel and source
// collections and the engine's enumerators share this shape.
//
//   slot 3 Clone    new collection, same items (one more reference each), cursor 0
//   slot 4 Next     count items from the cursor; all or nothing
//   slot 5 Reset    cursor to 0
//   slot 6 Skip     cursor forward by n
//   slot 7 GetCount number of items
//
// The cursor is kept within [0, size]: a Skip past the end leaves it at the
// end, so a following Next fails instead of reading beyond the array.
#pragma once
#include <cstdint>
#include <vector>

#include "vexo/mc.h"

// The collection interface of the common library (no identifier of its own:
// each collection object answers the identifier of its kind, see below).
class IVexoCmnCollection : public IMcUnknown {
 public:
  virtual Status Clone(IVexoCmnCollection** out) = 0;
  virtual Status Next(uint32_t count, IMcUnknown** items, uint32_t* fetched) = 0;
  virtual Status Reset() = 0;
  virtual Status Skip(uint32_t count) = 0;
  virtual Status GetCount(uint32_t* count) = 0;

 protected:
  ~IVexoCmnCollection() = default;
};

// Channel collection (player session) and source collection (source manager).
inline constexpr Guid IID_IVexoCmnChannelCollection = plat::guidLiteral("{618372BE-432D-4E17-BA8B-7BD5FBCA08FC}");
inline constexpr Guid IID_IVexoCmnSourceCollection = plat::guidLiteral("{73A721FD-2C78-4BF7-84F3-767B5A552908}");

// Implementation shared by every collection-shaped interface I (I declares
// Clone/Next/Reset/Skip/GetCount with I** for Clone). The identifier the
// object answers and the result of GetCount(nullptr) are per kind.
template <class I>
class McCollection final : public McObject<I> {
 public:
  McCollection(const Guid& iid, Status nullCountResult) : iid_(iid), nullCountResult_(nullCountResult) {}

  // Creates an empty collection; one reference for the caller.
  static McCollection* create(const Guid& iid, Status nullCountResult) {
    return new (std::nothrow) McCollection(iid, nullCountResult);
  }

  // Appends an item with a reference of the collection's own.
  Status append(IMcUnknown* item) {
    if (item == nullptr) return plat::E_POINTER;
    try {
      items_.push_back(item);
    } catch (...) {
      return plat::E_OUTOFMEMORY;
    }
    item->AddRef();
    return plat::S_OK;
  }
  size_t size() const { return items_.size(); }
  IMcUnknown* at(size_t i) const { return items_[i]; }

  Status Clone(I** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    McCollection* copy = create(iid_, nullCountResult_);
    if (copy == nullptr) return plat::E_OUTOFMEMORY;
    for (IMcUnknown* item : items_) {
      if (plat::failed(copy->append(item))) {
        copy->release();
        return plat::E_OUTOFMEMORY;
      }
    }
    *out = copy->template exposed<I>();
    return plat::S_OK;
  }

  Status Next(uint32_t count, IMcUnknown** items, uint32_t* fetched) override {
    if (count == 0) return plat::E_INVALIDARG;
    if (items == nullptr) return plat::E_POINTER;
    if (cursor_ >= items_.size() || items_.size() - cursor_ < count) return plat::E_FAIL;
    for (uint32_t i = 0; i < count; ++i) {
      IMcUnknown* item = items_[cursor_ + i];
      item->AddRef();
      items[i] = item;
    }
    cursor_ += count;
    if (fetched != nullptr) *fetched = count;
    return plat::S_OK;
  }

  Status Reset() override {
    cursor_ = 0;
    return plat::S_OK;
  }

  Status Skip(uint32_t count) override {
    size_t room = items_.size() - cursor_;
    cursor_ += (count < room) ? count : room;
    return plat::S_OK;
  }

  Status GetCount(uint32_t* count) override {
    if (count == nullptr) return nullCountResult_;
    *count = static_cast<uint32_t>(items_.size());
    return plat::S_OK;
  }

  size_t cursor() const { return cursor_; }

 protected:
  Status queryExtra(const Guid& iid, void** out) override {
    if (iid == iid_) return this->exposeInterface(this->template exposed<I>(), out);
    return plat::E_NOINTERFACE;
  }

 private:
  ~McCollection() override {
    for (IMcUnknown* item : items_) item->Release();
  }

  const Guid iid_;
  const Status nullCountResult_;
  std::vector<IMcUnknown*> items_;
  size_t cursor_ = 0;
};

// The two collections of the common library.
using VexoCmnCollection = McCollection<IVexoCmnCollection>;
inline VexoCmnCollection* createChannelCollection() {
  return VexoCmnCollection::create(IID_IVexoCmnChannelCollection, plat::E_POINTER);
}
inline VexoCmnCollection* createSourceCollection() {
  return VexoCmnCollection::create(IID_IVexoCmnSourceCollection, plat::E_INVALIDARG);
}

// Walks any collection-shaped enumerator one item at a time, as every walk in
// the system does, until Next stops succeeding. fn receives each item with a
// reference the walker releases afterwards; returning false stops the walk.
template <class E, class Fn>
void forEachItem(E* collection, Fn&& fn) {
  if (collection == nullptr) return;
  for (;;) {
    IMcUnknown* item = nullptr;
    if (collection->Next(1, &item, nullptr) != plat::S_OK || item == nullptr) break;
    bool more = fn(item);
    item->Release();
    if (!more) break;
  }
}
