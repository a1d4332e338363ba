// Reference counting, QueryInterface and collections.
#include <gtest/gtest.h>

#include <atomic>

#include "vexo/collection.h"
#include "vexo/mc.h"
#include "zant/event_sink.h"

namespace {

class IWidget : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{6D0C51B0-2F16-4C1B-9C1E-6A9E3C1D2B01}");
  virtual int Value() = 0;

 protected:
  ~IWidget() = default;
};

// An interface without an identifier of its own (answered as IUnknown only).
class IAnonymous : public IMcUnknown {
 public:
  virtual int Kind() = 0;

 protected:
  ~IAnonymous() = default;
};

struct Tracker {
  std::atomic<int> destroyed{0};
};

class Widget final : public McObject<IWidget, IZantMediaEventSink> {
 public:
  Widget(Tracker* t, int v) : tracker_(t), value_(v) {}
  int Value() override { return value_; }
  Status OnEvent(IMcUnknown*, uint32_t, uintptr_t, uintptr_t) override { return plat::S_OK; }

 private:
  ~Widget() override { tracker_->destroyed++; }
  Tracker* tracker_;
  int value_;
};

class Anonymous final : public McObject<IAnonymous> {
 public:
  explicit Anonymous(Tracker* t) : tracker_(t) {}
  int Kind() override { return 7; }

 private:
  ~Anonymous() override { tracker_->destroyed++; }
  Tracker* tracker_;
};

TEST(ReferenceCount, FirstReleaseOfAFreshObjectDestroysIt) {
  Tracker t;
  IWidget* w = nullptr;
  ASSERT_EQ(mcCreate<Widget>(&w, &t, 1), plat::S_OK);
  EXPECT_EQ(w->Release(), 0u);
  EXPECT_EQ(t.destroyed, 1);
}

TEST(ReferenceCount, AddRefAndReleaseShareOneCountAcrossInterfaces) {
  Tracker t;
  IWidget* w = nullptr;
  ASSERT_EQ(mcCreate<Widget>(&w, &t, 1), plat::S_OK);
  EXPECT_EQ(w->AddRef(), 2u);
  void* sinkPtr = nullptr;
  ASSERT_EQ(w->QueryInterface(IZantMediaEventSink::iid, &sinkPtr), plat::S_OK);
  auto* sink = static_cast<IZantMediaEventSink*>(sinkPtr);
  EXPECT_EQ(sink->AddRef(), 4u);
  EXPECT_EQ(sink->Release(), 3u);
  EXPECT_EQ(sink->Release(), 2u);
  EXPECT_EQ(w->Release(), 1u);
  EXPECT_EQ(t.destroyed, 0);
  EXPECT_EQ(w->Release(), 0u);
  EXPECT_EQ(t.destroyed, 1);
}

TEST(ReferenceCount, IdentityReleasesTheSameObject) {
  Tracker t;
  IWidget* w = nullptr;
  ASSERT_EQ(mcCreate<Widget>(&w, &t, 1), plat::S_OK);
  void* unk = nullptr;
  ASSERT_EQ(w->QueryInterface(IID_IUnknown, &unk), plat::S_OK);
  w->Release();
  EXPECT_EQ(t.destroyed, 0);
  static_cast<IMcUnknown*>(unk)->Release();
  EXPECT_EQ(t.destroyed, 1);
}

TEST(QueryInterface, Matrix) {
  Tracker t;
  IWidget* w = nullptr;
  ASSERT_EQ(mcCreate<Widget>(&w, &t, 5), plat::S_OK);
  IAnonymous* a = nullptr;
  ASSERT_EQ(mcCreate<Anonymous>(&a, &t), plat::S_OK);

  struct Case {
    IMcUnknown* object;
    Guid iid;
    Status expected;
  };
  const Guid other = plat::guidLiteral("{11111111-2222-3333-4444-555555555555}");
  const Case cases[] = {
      {w, IWidget::iid, plat::S_OK},
      {w, IZantMediaEventSink::iid, plat::S_OK},
      {w, IID_IUnknown, plat::S_OK},
      {w, other, plat::E_NOINTERFACE},
      {a, IID_IUnknown, plat::S_OK},
      {a, IWidget::iid, plat::E_NOINTERFACE},
      {a, other, plat::E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(c.object->QueryInterface(c.iid, &out), c.expected) << plat::formatGuid(c.iid);
    if (c.expected == plat::S_OK) {
      ASSERT_NE(out, nullptr);
      static_cast<IMcUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(c.object->QueryInterface(c.iid, nullptr), plat::E_POINTER);
  }
  // The identity is the same pointer whichever interface it is asked from.
  void* u1 = nullptr;
  void* u2 = nullptr;
  void* s = nullptr;
  ASSERT_EQ(w->QueryInterface(IZantMediaEventSink::iid, &s), plat::S_OK);
  ASSERT_EQ(w->QueryInterface(IID_IUnknown, &u1), plat::S_OK);
  ASSERT_EQ(static_cast<IZantMediaEventSink*>(s)->QueryInterface(IID_IUnknown, &u2), plat::S_OK);
  EXPECT_EQ(u1, u2);
  static_cast<IMcUnknown*>(u1)->Release();
  static_cast<IMcUnknown*>(u2)->Release();
  static_cast<IMcUnknown*>(s)->Release();
  // The interface returned for its identifier is the one that was asked for.
  void* again = nullptr;
  ASSERT_EQ(w->QueryInterface(IWidget::iid, &again), plat::S_OK);
  EXPECT_EQ(static_cast<IWidget*>(again)->Value(), 5);
  static_cast<IMcUnknown*>(again)->Release();

  w->Release();
  a->Release();
  EXPECT_EQ(t.destroyed, 2);
}

class CollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    coll = createChannelCollection();
    ASSERT_NE(coll, nullptr);
    for (int i = 0; i < 3; ++i) {
      IWidget* w = nullptr;
      ASSERT_EQ(mcCreate<Widget>(&w, &tracker, i), plat::S_OK);
      ASSERT_EQ(coll->append(w), plat::S_OK);
      w->Release();  // the collection holds the only reference now
    }
  }
  void TearDown() override {
    if (coll) coll->release();
    EXPECT_EQ(tracker.destroyed, 3);
  }
  int valueOf(IMcUnknown* item) { return static_cast<IWidget*>(static_cast<IMcUnknown*>(item))->Value(); }

  Tracker tracker;
  VexoCmnCollection* coll = nullptr;
};

TEST_F(CollectionTest, NextArgumentsAndAllOrNothing) {
  IMcUnknown* items[4] = {};
  uint32_t fetched = 99;
  EXPECT_EQ(coll->Next(0, items, &fetched), plat::E_INVALIDARG);
  EXPECT_EQ(coll->Next(1, nullptr, &fetched), plat::E_POINTER);
  ASSERT_EQ(coll->Next(2, items, &fetched), plat::S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(valueOf(items[0]), 0);
  EXPECT_EQ(valueOf(items[1]), 1);
  items[0]->Release();
  items[1]->Release();
  // Two asked, one left: fails and leaves the cursor where it was.
  EXPECT_EQ(coll->Next(2, items, nullptr), plat::E_FAIL);
  EXPECT_EQ(coll->cursor(), 2u);
  ASSERT_EQ(coll->Next(1, items, nullptr), plat::S_OK);
  EXPECT_EQ(valueOf(items[0]), 2);
  items[0]->Release();
  EXPECT_EQ(coll->Next(1, items, nullptr), plat::E_FAIL);
}

TEST_F(CollectionTest, SkipPastTheEndNeverReadsBeyondIt) {
  IMcUnknown* item = nullptr;
  EXPECT_EQ(coll->Skip(5), plat::S_OK);
  EXPECT_EQ(coll->Next(1, &item, nullptr), plat::E_FAIL);
  EXPECT_EQ(item, nullptr);
  EXPECT_EQ(coll->Skip(0xFFFFFFFFu), plat::S_OK);
  EXPECT_EQ(coll->Next(1, &item, nullptr), plat::E_FAIL);
  EXPECT_EQ(coll->Reset(), plat::S_OK);
  ASSERT_EQ(coll->Skip(2), plat::S_OK);
  ASSERT_EQ(coll->Next(1, &item, nullptr), plat::S_OK);
  EXPECT_EQ(valueOf(item), 2);
  item->Release();
}

TEST_F(CollectionTest, CloneHasItsOwnReferencesAndCursor) {
  ASSERT_EQ(coll->Skip(2), plat::S_OK);
  IVexoCmnCollection* clone = nullptr;
  EXPECT_EQ(coll->Clone(nullptr), plat::E_POINTER);
  ASSERT_EQ(coll->Clone(&clone), plat::S_OK);
  coll->release();
  coll = nullptr;
  EXPECT_EQ(tracker.destroyed, 0);  // the clone keeps the items alive
  uint32_t n = 0;
  ASSERT_EQ(clone->GetCount(&n), plat::S_OK);
  EXPECT_EQ(n, 3u);
  IMcUnknown* item = nullptr;
  ASSERT_EQ(clone->Next(1, &item, nullptr), plat::S_OK);
  EXPECT_EQ(valueOf(item), 0);
  item->Release();
  void* asChannels = nullptr;
  EXPECT_EQ(clone->QueryInterface(IID_IVexoCmnChannelCollection, &asChannels), plat::S_OK);
  static_cast<IMcUnknown*>(asChannels)->Release();
  clone->Release();
}

TEST(Collection, KindsAnswerTheirIdentifierAndNullCount) {
  VexoCmnCollection* channels = createChannelCollection();
  VexoCmnCollection* sources = createSourceCollection();
  EXPECT_EQ(channels->GetCount(nullptr), plat::E_POINTER);
  EXPECT_EQ(sources->GetCount(nullptr), plat::E_INVALIDARG);
  void* p = nullptr;
  EXPECT_EQ(channels->query(IID_IVexoCmnSourceCollection, &p), plat::E_NOINTERFACE);
  EXPECT_EQ(sources->query(IID_IVexoCmnSourceCollection, &p), plat::S_OK);
  static_cast<IMcUnknown*>(p)->Release();
  IMcUnknown* item = nullptr;
  EXPECT_EQ(channels->Next(1, &item, nullptr), plat::E_FAIL);  // empty
  channels->release();
  sources->release();
}

}  // namespace
