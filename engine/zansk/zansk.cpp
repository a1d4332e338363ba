// libZansk.so: the event scheduler and the channel database.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "plat/clock.h"
#include "plat/sync.h"
#include "plat/text.h"
#include "plat/thread.h"
#include "record_store.h"
#include "sink_set.h"

namespace zansk {
namespace {

template <class I>
class StoreObj : public McObject<I> {
 public:
  explicit StoreObj(const char* fileName) : db_(fileName) {}

  Status GetVersion(uint32_t* version) override {
    if (version == nullptr) return plat::E_POINTER;
    *version = 1;
    return plat::S_OK;
  }
  Status GetFolder(char16_t* buffer, uint32_t capacity) override {
    if (buffer == nullptr) return plat::E_POINTER;
    if (capacity == 0) return plat::E_INVALIDARG;
    plat::copyBounded(buffer, capacity, db_.folder());
    return plat::S_OK;
  }
  Status Open(const char16_t* folder) override { return db_.open(folder); }
  Status Save(const char16_t* folder) override { return db_.save(folder); }
  Status BeginUpdate() override { return db_.begin(); }
  Status EndUpdate() override { return db_.end(); }
  Status Close() override { return db_.close(); }
  Status GetCount(uint32_t kind, uint32_t* count) override {
    if (count == nullptr) return plat::E_POINTER;
    return db_.count(kind, count);
  }
  Status GetIds(uint32_t kind, uint32_t* count, uint32_t* ids) override {
    if (count == nullptr || ids == nullptr) return plat::E_POINTER;
    std::vector<uint32_t> all;
    if (Status s = db_.ids(kind, &all); plat::failed(s)) return s;
    uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(all.size()));
    std::copy_n(all.begin(), n, ids);
    *count = n;
    return n == all.size() ? plat::S_OK : plat::S_FALSE;
  }
  Status GetRecord(uint32_t id, uint32_t, IZanskRecord** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    RecordObj* r = nullptr;
    if (Status s = db_.load(id, &r); plat::failed(s)) return s;
    *out = r->exposed();
    return plat::S_OK;
  }
  Status NewRecord(uint32_t kind, IZanskRecord** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    if (kind != kKindChannel && kind != kKindReservation) return plat::E_INVALIDARG;
    return mcCreate<RecordObj>(out, kind);
  }
  Status DeleteRecord(IZanskRecord* record, uint32_t) override {
    RecordObj* r = recordOf(record);
    if (r == nullptr) return plat::E_INVALIDARG;
    if (r->id() == 0) return plat::E_INVALIDARG;
    return DeleteById(r->id());
  }
  Status DeleteById(uint32_t id) override { return db_.remove(id); }
  Status AddRecord(IZanskRecord* record) override {
    RecordObj* r = recordOf(record);
    if (r == nullptr) return plat::E_INVALIDARG;
    if (r->id() != 0) return plat::E_INVALIDARG;  // already stored
    Status s = db_.insert(r);
    if (plat::succeeded(s)) added(r);
    return s;
  }
  Status IsReserved(IZanskRecord* record, uint32_t* answer) override { return plat::E_NOTIMPL; }

 protected:
  ~StoreObj() override = default;
  virtual void added(RecordObj*) {}
  Database db_;
};

class ChannelDatabaseObj final : public StoreObj<IZanskChannelDatabase> {
 public:
  ChannelDatabaseObj() : StoreObj("Channels.db") {}

 private:
  ~ChannelDatabaseObj() override = default;
};

class EventSchedulerObj final : public StoreObj<IZanskEventScheduler> {
 public:
  EventSchedulerObj() : StoreObj("Events.db") {}

  // Answers whether a reservation for the same programme exists, or another
  // one overlaps it in time.
  Status IsReserved(IZanskRecord* record, uint32_t* answer) override {
    if (answer == nullptr) return plat::E_POINTER;
    RecordObj* r = recordOf(record);
    if (r == nullptr || r->kind() != kKindReservation) return plat::E_INVALIDARG;
    std::string programme, start, end;
    plat::FileTime s = 0, e = 0;
    if (!r->field(kFieldProgrammeId, &programme) || !r->field(kFieldStart, &start) || !r->field(kFieldEnd, &end) ||
        !timeValueToUtc(start, &s) || !timeValueToUtc(end, &e))
      return plat::E_INVALIDARG;
    std::vector<uint32_t> ids;
    if (Status st = db_.ids(kKindReservation, &ids); plat::failed(st)) return st;
    *answer = kFree;
    for (uint32_t id : ids) {
      if (id == r->id()) continue;
      RecordObj* other = nullptr;
      if (plat::failed(db_.load(id, &other))) continue;
      McPtr<RecordObj> hold = McPtr<RecordObj>::adopt(other);
      std::string p2, s2, e2;
      plat::FileTime os = 0, oe = 0;
      if (other->field(kFieldProgrammeId, &p2) && p2 == programme) {
        *answer = kAlreadyReserved;
        return plat::S_OK;
      }
      if (other->field(kFieldStart, &s2) && other->field(kFieldEnd, &e2) && timeValueToUtc(s2, &os) &&
          timeValueToUtc(e2, &oe) && os < e && s < oe)
        *answer = kTimeConflict;
    }
    return plat::S_OK;
  }

  Status Start() override {
    if (!db_.isOpen()) return plat::E_FAIL;
    if (running_) return plat::S_FALSE;
    stop_ = false;
    if (auto* vc = dynamic_cast<plat::VirtualClock*>(&plat::currentClock())) {
      clock_ = vc;
      listener_ = vc->addListener([this] { wake_.set(); });
    }
    running_ = true;
    thread_ = plat::Thread("zansk-sched", [this] { loop(); });
    return plat::S_OK;
  }

  Status Stop() override {
    if (!running_) return plat::S_FALSE;
    stop_ = true;
    wake_.set();
    thread_.join();
    if (clock_) {
      clock_->removeListener(listener_);
      clock_ = nullptr;
    }
    running_ = false;
    return plat::S_OK;
  }

  Status UpdateRecord(IZanskRecord* record) override {
    RecordObj* r = recordOf(record);
    if (r == nullptr) return plat::E_INVALIDARG;
    return db_.update(r);
  }
  Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override { return sinks_->add(sinkObject, sink); }
  Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (sink == nullptr) return plat::E_POINTER;
    sinks_->remove(sinkObject, sink);
    return plat::S_OK;
  }

  // Raises every event whose time has come: the reminder at start minus the
  // lead time (field 15, seconds), the start, then the stop at the end.
  Status Poll() override {
    std::vector<std::pair<uint32_t, uint32_t>> due;  // (code, id)
    if (Status s = collectDue(&due); plat::failed(s)) return s;
    // Sinks are called with no lock held: a sink may call back into the scheduler.
    for (const auto& [code, id] : due) sinks_->fire(identity(), code, id, 0);
    return plat::S_OK;
  }

 private:
  // Marks and returns the events whose time has come (one poll at a time).
  Status collectDue(std::vector<std::pair<uint32_t, uint32_t>>* dueOut) {
    std::lock_guard pollLock(pollMutex_);
    auto& due = *dueOut;
    std::vector<uint32_t> ids;
    if (Status s = db_.ids(kKindReservation, &ids); plat::failed(s)) return s;
    plat::FileTime now = plat::utcNow();
    for (uint32_t id : ids) {
      RecordObj* r = nullptr;
      if (plat::failed(db_.load(id, &r))) continue;
      McPtr<RecordObj> hold = McPtr<RecordObj>::adopt(r);
      std::string start, end, lead;
      plat::FileTime s = 0, e = 0;
      if (!r->field(kFieldStart, &start) || !r->field(kFieldEnd, &end) || !timeValueToUtc(start, &s) ||
          !timeValueToUtc(end, &e))
        continue;
      uint32_t leadSeconds = 0;
      if (r->field(kFieldLeadSeconds, &lead) && lead.size() == 4) std::memcpy(&leadSeconds, lead.data(), 4);
      uint32_t bits = 0;
      db_.fired(id, &bits);
      uint32_t newBits = bits;
      plat::FileTime remind = s - std::min<plat::FileTime>(s, leadSeconds * plat::kFileTimePerSecond);
      if (!(bits & 1) && now >= remind && now < e) {
        due.push_back({kEvSchedulerReminderCode, id});
        newBits |= 1;
      }
      if (!(bits & 2) && now >= s && now < e) {
        due.push_back({kEvSchedulerStartCode, id});
        newBits |= 3;
      }
      if (!(bits & 4) && now >= e) {
        if (bits & 2) due.push_back({kEvSchedulerStopCode, id});  // only what started stops
        newBits |= 7;
      }
      if (newBits != bits) db_.setFired(id, newBits);
    }
    return plat::S_OK;
  }

 protected:
  void added(RecordObj* r) override {
    if (r->kind() == kKindReservation) sinks_->fire(identity(), zant::kEvSchedulerAdded, r->id(), 0);
  }

 private:
  static constexpr uint32_t kEvSchedulerReminderCode = zant::kEvSchedulerReminder;
  static constexpr uint32_t kEvSchedulerStartCode = zant::kEvSchedulerStart;
  static constexpr uint32_t kEvSchedulerStopCode = zant::kEvSchedulerStop;

  ~EventSchedulerObj() override { Stop(); }

  void loop() {
    while (!stop_) {
      Poll();
      wake_.wait(clock_ ? plat::kInfinite : 1000);
    }
  }

  std::shared_ptr<zantsim::SinkSet> sinks_ = std::make_shared<zantsim::SinkSet>();
  std::mutex pollMutex_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  plat::Event wake_{plat::Event::Reset::Auto};
  plat::VirtualClock* clock_ = nullptr;
  int listener_ = 0;
  plat::Thread thread_;
};

}  // namespace
}  // namespace zansk

extern "C" {
Status CoCreateScheduler(const Guid* classId, IMcUnknown* outer, uint32_t context, const Guid* iid, void** out);

__attribute__((visibility("default"))) Status CoCreateScheduler(const Guid* classId, IMcUnknown* outer, uint32_t,
                                                                const Guid* iid, void** out) {
  if (out == nullptr || classId == nullptr || iid == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return plat::E_INVALIDARG;  // no aggregation
  CMcUnknown* obj = nullptr;
  if (*classId == zansk::kClassEventScheduler) obj = new (std::nothrow) zansk::EventSchedulerObj();
  else if (*classId == zansk::kClassChannelDatabase) obj = new (std::nothrow) zansk::ChannelDatabaseObj();
  else return plat::E_FAIL;
  if (obj == nullptr) return plat::E_OUTOFMEMORY;
  Status s = obj->query(*iid, out);
  obj->release();
  return s;
}
}
