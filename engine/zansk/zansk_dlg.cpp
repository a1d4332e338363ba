// libZanskDlg.so: the reminder dialog. It keeps the reminders it was asked
// to show until the user answers; a confirmed reminder is reported to the
// registered sinks with the reservation id (0x1802).
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plat/text.h"
#include "sink_set.h"
#include "zant/scheduler.h"

namespace zansk {
namespace {

class ReminderDialogObj final : public McObject<IZanskReminderDialog, IZanskDialogEvents> {
 public:
  Status Show(uint32_t reservationId, const char16_t* title, const char16_t* channelName) override {
    if (reservationId == 0) return plat::E_INVALIDARG;
    std::lock_guard lock(mutex_);
    for (const auto& r : pending_)
      if (r.id == reservationId) return plat::S_FALSE;  // already on screen
    pending_.push_back({reservationId, text(title), text(channelName)});
    return plat::S_OK;
  }
  Status Dismiss(uint32_t reservationId) override {
    std::lock_guard lock(mutex_);
    auto before = pending_.size();
    std::erase_if(pending_, [&](const Reminder& r) { return r.id == reservationId; });
    return pending_.size() != before ? plat::S_OK : plat::S_FALSE;
  }
  Status GetPendingCount(uint32_t* count) override {
    if (count == nullptr) return plat::E_POINTER;
    std::lock_guard lock(mutex_);
    *count = static_cast<uint32_t>(pending_.size());
    return plat::S_OK;
  }
  Status Answer(uint32_t reservationId, uint32_t accept) override {
    {
      std::lock_guard lock(mutex_);
      auto before = pending_.size();
      std::erase_if(pending_, [&](const Reminder& r) { return r.id == reservationId; });
      if (pending_.size() == before) return plat::E_INVALIDARG;
    }
    if (accept) sinks_->fire(identity(), zant::kEvSchedulerConfirm, reservationId, 0);
    return plat::S_OK;
  }
  Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override { return sinks_->add(sinkObject, sink); }
  Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (sink == nullptr) return plat::E_POINTER;
    sinks_->remove(sinkObject, sink);
    return plat::S_OK;
  }

 private:
  ~ReminderDialogObj() override = default;
  static std::u16string text(const char16_t* s) {
    return s ? std::u16string(s, plat::boundedLength(s, plat::kMaxPath)) : std::u16string();
  }
  struct Reminder {
    uint32_t id;
    std::u16string title;
    std::u16string channel;
  };
  std::mutex mutex_;
  std::vector<Reminder> pending_;
  std::shared_ptr<zantsim::SinkSet> sinks_ = std::make_shared<zantsim::SinkSet>();
};

}  // namespace
}  // namespace zansk

extern "C" {
Status CoCreateSchedulerDialog(const Guid* classId, IMcUnknown* outer, uint32_t context, const Guid* iid, void** out);

__attribute__((visibility("default"))) Status CoCreateSchedulerDialog(const Guid* classId, IMcUnknown* outer, uint32_t,
                                                                      const Guid* iid, void** out) {
  if (out == nullptr || classId == nullptr || iid == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return plat::E_INVALIDARG;
  if (*classId != zansk::kClassReminderDialog) return plat::E_FAIL;
  auto* obj = new (std::nothrow) zansk::ReminderDialogObj();
  if (obj == nullptr) return plat::E_OUTOFMEMORY;
  Status s = obj->query(*iid, out);
  obj->release();
  return s;
}
}
