// The scheduler service over the scheduler libraries: reservation records
// built from programme-guide events, the channel database copied from the
// engine's channel list, and the program's sink passed on to the event
// scheduler and the reminder dialog.
#include "vexo/scheduler.h"

#include <vector>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/message.h"
#include "sources/module_keeper.h"
#include "vexo/collection.h"

namespace vexo {
namespace {

// Text fields are 260 UTF-16 characters (520 bytes).
constexpr uint32_t kTextChars = 260;
constexpr uint32_t kTextBytes = kTextChars * sizeof(char16_t);
// Most records of one kind read back from a store.
constexpr uint32_t kMaxRecords = 100000;

zansk::TimeValue toTimeValue(const ZantTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

Status setWord(IZanskRecord* record, uint32_t field, uint32_t value) {
  return record->SetField(field, &value, sizeof value);
}

// The ids of every record of a kind in a store (bounded).
Status recordIds(IZanskRecordStore* store, uint32_t kind, std::vector<uint32_t>* ids) {
  ids->clear();
  uint32_t count = 0;
  Status s = store->GetCount(kind, &count);
  if (plat::failed(s)) return s;
  if (count == 0) return plat::S_OK;
  if (count > kMaxRecords) return plat::E_FAIL;
  ids->resize(count);
  s = store->GetIds(kind, &count, ids->data());
  if (plat::failed(s)) return s;
  ids->resize(count < ids->size() ? count : ids->size());
  return plat::S_OK;
}

template <class I>
McPtr<I> createFrom(ZanskCreateFn create, const Guid& classId) {
  McPtr<I> object;
  if (create == nullptr) return object;
  void* p = nullptr;
  if (plat::succeeded(create(&classId, nullptr, 0, &I::iid, &p)) && p != nullptr) {
    object = McPtr<I>::adopt(static_cast<I*>(p));
  }
  return object;
}

ZanskCreateFn factoryOf(std::string_view moduleName, std::string_view exportName) {
  plat::ModuleHandle module = plat::loadModule(moduleName);
  if (!module) return nullptr;
  // Records and objects of the library may outlive this service.
  keepLoaded(module);
  return module->function<ZanskCreateFn>(exportName);
}

class Scheduler final : public McObject<IVexoCmnScheduler> {
 public:
  Scheduler() : folder_(plat::String16(kApplicationDataFolder) + kSchedulerDatabaseSubfolder) {
    ZanskCreateFn createScheduler = factoryOf(zansk::kSchedulerModuleName, zansk::kFactoryScheduler);
    events_ = createFrom<IZanskEventScheduler>(createScheduler, zansk::kClassEventScheduler);
    channels_ = createFrom<IZanskChannelDatabase>(createScheduler, zansk::kClassChannelDatabase);
    ensureFolder();
    if (events_ && plat::failed(events_->Open(folder_.c_str()))) {
      plat::debugOut("scheduler: the event database would not open");
    }
    if (channels_ && plat::failed(channels_->Open(folder_.c_str()))) {
      plat::debugOut("scheduler: the channel database would not open");
    }
    dbChangedMessage_ = plat::registerMessage(kDbChangedMessageName);
    ZanskCreateFn createDialog = factoryOf(zansk::kDialogModuleName, zansk::kFactoryDialog);
    dialog_ = createFrom<IZanskReminderDialog>(createDialog, zansk::kClassReminderDialog);
  }

  Status AddReservation(IZantChannel* channel, IZantProgramme* programme, uint32_t type) override {
    if (channel == nullptr || programme == nullptr) return plat::E_INVALIDARG;
    uint32_t answer = zansk::kFree;
    Status s = IsReserved(programme, &answer);
    if (plat::failed(s)) return s;
    if (answer != zansk::kFree || !events_) return plat::E_FAIL;
    McPtr<IZanskRecord> record = reservationFor(programme);
    if (!record) return plat::E_FAIL;
    char16_t name[kTextChars] = {};
    char16_t displayName[kTextChars] = {};
    channel->GetName(name, kTextChars);
    uint32_t length = kTextChars;
    channel->GetDisplayName(displayName, &length);
    name[kTextChars - 1] = 0;
    displayName[kTextChars - 1] = 0;
    for (Status field : {record->SetField(zansk::kFieldChannelKey, name, kTextBytes),
                         setWord(record.get(), zansk::kFieldReservationType, type),
                         record->SetField(zansk::kFieldSecondName, displayName, kTextBytes),
                         setWord(record.get(), zansk::kFieldLeadSeconds, kReservationLeadSeconds)}) {
      if (plat::failed(field)) return field;
    }
    // A refused add is reported, not taken for a reservation.
    s = events_->AddRecord(record.get());
    return plat::failed(s) ? s : plat::S_OK;
  }

  Status DeleteRecord(IZanskRecord* record, uint32_t reserved) override {
    if (record == nullptr) return plat::E_INVALIDARG;
    if (!events_) return plat::E_FAIL;
    return events_->DeleteRecord(record, reserved);
  }

  Status DeleteReservation(IZantProgramme* programme) override {
    if (programme == nullptr) return plat::E_INVALIDARG;
    McPtr<IZanskRecord> record;
    Status s = FindReservation(programme, record.put());
    if (plat::failed(s)) return s;
    return events_->DeleteRecord(record.get(), 0);
  }

  Status FindReservation(IZantProgramme* programme, IZanskRecord** out) override {
    if (programme == nullptr || out == nullptr) return plat::E_INVALIDARG;
    *out = nullptr;
    if (!events_) return plat::E_FAIL;
    uint32_t programmeId = 0;
    Status s = programme->GetId(&programmeId);
    if (plat::failed(s)) return s;
    std::vector<uint32_t> ids;
    s = recordIds(events_.get(), zansk::kKindReservation, &ids);
    if (plat::failed(s)) return s;
    for (uint32_t id : ids) {
      McPtr<IZanskRecord> record;
      if (plat::failed(events_->GetRecord(id, 0, record.put())) || !record) continue;
      uint32_t value = 0;
      if (plat::succeeded(record->GetField(zansk::kFieldProgrammeId, &value, sizeof value)) && value == programmeId) {
        *out = record.detach();
        return plat::S_OK;
      }
    }
    return plat::E_FAIL;
  }

  Status GetRecord(uint32_t id, IZanskRecord** out) override {
    if (out == nullptr) return plat::E_INVALIDARG;
    *out = nullptr;
    if (!events_) return plat::E_FAIL;
    return events_->GetRecord(id, 1, out);
  }

  Status IsReserved(IZantProgramme* programme, uint32_t* answer) override {
    if (programme == nullptr || answer == nullptr) return plat::E_INVALIDARG;
    if (!events_) return plat::E_FAIL;
    McPtr<IZanskRecord> record = reservationFor(programme);
    if (!record) return plat::E_FAIL;
    return events_->IsReserved(record.get(), answer);
  }

  Status Start() override { return events_ ? events_->Start() : plat::E_FAIL; }
  Status Stop() override { return events_ ? events_->Stop() : plat::E_FAIL; }

  Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (sink == nullptr) return plat::E_POINTER;
    if (!events_) return plat::E_FAIL;
    Status s = events_->Advise(sinkObject, sink);
    if (plat::failed(s)) return s;
    if (McPtr<IZanskDialogEvents> dialogEvents = mcQuery<IZanskDialogEvents>(dialog_.get())) {
      s = dialogEvents->Advise(sinkObject, sink);
      if (plat::failed(s)) {
        // All or nothing: a caller that sees a failure will not unregister.
        events_->Unadvise(sinkObject, sink);
        return s;
      }
    }
    return plat::S_OK;
  }

  Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (sink == nullptr) return plat::E_POINTER;
    if (!events_) return plat::E_FAIL;
    Status s = events_->Unadvise(sinkObject, sink);
    if (McPtr<IZanskDialogEvents> dialogEvents = mcQuery<IZanskDialogEvents>(dialog_.get())) {
      dialogEvents->Unadvise(sinkObject, sink);
    }
    return s;
  }

  IZanskEventScheduler* GetEventScheduler() override { return events_.get(); }
  IZanskChannelDatabase* GetChannelDatabase() override { return channels_.get(); }
  IZanskReminderDialog* GetReminderDialog() override { return dialog_.get(); }

  Status ReplaceChannels(IZantEnum* list) override {
    if (!channels_) return plat::E_FAIL;
    std::vector<uint32_t> ids;
    Status s = recordIds(channels_.get(), zansk::kKindChannel, &ids);
    if (plat::failed(s)) return s;
    channels_->BeginUpdate();
    for (uint32_t id : ids) channels_->DeleteById(id);
    channels_->EndUpdate();

    Status result = plat::S_OK;
    forEachItem(list, [&](IMcUnknown* item) {
      McPtr<IZantChannel> channel = mcQuery<IZantChannel>(item);
      if (!channel) return true;
      channels_->BeginUpdate();
      Status added = addChannel(channel.get());
      channels_->EndUpdate();
      if (plat::failed(added) && plat::succeeded(result)) result = added;
      return true;
    });
    ensureFolder();
    s = channels_->Save(folder_.c_str());
    if (plat::failed(s)) return s;
    return result;
  }

 private:
  ~Scheduler() override {
    ensureFolder();
    if (events_) events_->Save(folder_.c_str());
    if (channels_) channels_->Save(folder_.c_str());
    // One notice after both stores are written, so readers see both.
    if (events_ && dbChangedMessage_ != 0) plat::broadcastMessage(dbChangedMessage_, 0, 0);
    dialog_.reset();
    events_.reset();
    channels_.reset();
  }

  void ensureFolder() const {
    if (plat::failed(plat::createDirectories(folder_))) {
      plat::debugOut("scheduler: the database folder could not be created");
    }
  }

  // A new reservation record holding the programme's id, title and the two
  // time values of its first schedule entry; null when it has none.
  McPtr<IZanskRecord> reservationFor(IZantProgramme* programme) {
    McPtr<IZanskRecord> none;
    if (!events_) return none;
    char16_t title[kTextChars] = {};
    programme->GetTitle(title, kTextChars);
    title[kTextChars - 1] = 0;
    McPtr<IZantEnum> times;
    if (plat::failed(programme->GetTimes(times.put())) || !times) return none;
    McPtr<IZantEventTime> entry;
    forEachItem(times.get(), [&](IMcUnknown* item) {
      entry = mcQuery<IZantEventTime>(item);
      return false;  // the first entry only
    });
    if (!entry) return none;
    uint32_t programmeId = 0;
    ZantTime first{};
    ZantTime second{};
    if (plat::failed(programme->GetId(&programmeId)) || plat::failed(entry->GetStartTime(1, &first)) ||
        plat::failed(entry->GetEndTime(&second))) {
      return none;
    }
    McPtr<IZanskRecord> record;
    if (plat::failed(events_->NewRecord(zansk::kKindReservation, record.put())) || !record) return none;
    zansk::TimeValue start = toTimeValue(first);
    zansk::TimeValue end = toTimeValue(second);
    if (plat::failed(setWord(record.get(), zansk::kFieldProgrammeId, programmeId)) ||
        plat::failed(record->SetField(zansk::kFieldTitle, title, kTextBytes)) ||
        plat::failed(record->SetField(zansk::kFieldStart, &start, sizeof start)) ||
        plat::failed(record->SetField(zansk::kFieldEnd, &end, sizeof end))) {
      return none;
    }
    return record;
  }

  Status addChannel(IZantChannel* channel) {
    uint32_t id = 0;
    char16_t name[kTextChars] = {};
    char16_t displayName[kTextChars] = {};
    channel->GetId(&id);
    channel->GetName(name, kTextChars);
    uint32_t length = kTextChars;
    channel->GetDisplayName(displayName, &length);
    name[kTextChars - 1] = 0;
    displayName[kTextChars - 1] = 0;
    McPtr<IZanskRecord> record;
    Status s = channels_->NewRecord(zansk::kKindChannel, record.put());
    if (plat::failed(s) || !record) return plat::failed(s) ? s : plat::E_FAIL;
    for (Status field : {setWord(record.get(), zansk::kFieldChannelId, id),
                         record->SetField(zansk::kFieldChannelName, name, kTextBytes),
                         record->SetField(zansk::kFieldChannelDisplayName, displayName, kTextBytes)}) {
      if (plat::failed(field)) return field;
    }
    return channels_->AddRecord(record.get());
  }

  const plat::String16 folder_;
  McPtr<IZanskEventScheduler> events_;
  McPtr<IZanskChannelDatabase> channels_;
  McPtr<IZanskReminderDialog> dialog_;
  uint32_t dbChangedMessage_ = 0;
};

}  // namespace
}  // namespace vexo

extern "C" Status CoCreateVexoCmnScheduler(IVexoCmnScheduler** out) {
  if (out == nullptr) return plat::S_OK;
  *out = nullptr;
  auto* scheduler = new (std::nothrow) vexo::Scheduler();
  if (scheduler != nullptr) *out = scheduler->exposed();
  return plat::S_OK;
}
