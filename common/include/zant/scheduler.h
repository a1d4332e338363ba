// Interfaces of the scheduler libraries: "Zansk.dll" (libZansk.so: the event
// scheduler and the channel database, kept in SQLite in a database folder)
// and "ZanskDlg.dll" (libZanskDlg.so: the reminder dialog).
//
// Both libraries create their objects through
//   CoCreateScheduler(class, outer (null), context (0), iid, out)
//   CoCreateSchedulerDialog(class, outer (null), context (0), iid, out)
// Methods are declared in slot order, as in zant/engine.h.
#pragma once
#include <cstdint>

#include "vexo/mc.h"
#include "zant/event_codes.h"
#include "zant/event_sink.h"

namespace zansk {

inline constexpr Guid kClassEventScheduler = plat::guidLiteral("{BF28D73A-2D21-4CB6-83E6-46D26F939CA4}");
inline constexpr Guid kClassChannelDatabase = plat::guidLiteral("{3BC525DD-848B-4AD0-BC75-DEB383047ACD}");
inline constexpr Guid kClassReminderDialog = plat::guidLiteral("{AFD1B22F-5D03-4ED9-A622-FB7FDDBD1FF4}");

inline constexpr char kSchedulerModuleName[] = "Zansk.dll";
inline constexpr char kDialogModuleName[] = "ZanskDlg.dll";
inline constexpr char kFactoryScheduler[] = "CoCreateScheduler";
inline constexpr char kFactoryDialog[] = "CoCreateSchedulerDialog";

// Record kinds.
inline constexpr uint32_t kKindChannel = 1;
inline constexpr uint32_t kKindReservation = 2;

// Fields of channel records (kind 1).
inline constexpr uint32_t kFieldChannelId = 0;           // 4 bytes
inline constexpr uint32_t kFieldChannelDisplayName = 1;  // 520 bytes, UTF-16
inline constexpr uint32_t kFieldChannelName = 2;         // 520 bytes, UTF-16

// Fields of reservation records (kind 2).
inline constexpr uint32_t kFieldReservationType = 1;     // 4 bytes: 2 watch, 3 record
inline constexpr uint32_t kFieldTitle = 3;               // 520 bytes
inline constexpr uint32_t kFieldRecordedFile = 5;        // 520 bytes, set after a recording
inline constexpr uint32_t kFieldSecondName = 9;          // 520 bytes: the channel's display name
inline constexpr uint32_t kFieldChannelKey = 10;         // 520 bytes: the channel's name
inline constexpr uint32_t kFieldStart = 11;              // 24 bytes, TimeValue, local time
inline constexpr uint32_t kFieldEnd = 12;                // 24 bytes, TimeValue, local time
inline constexpr uint32_t kFieldLeadSeconds = 15;        // 4 bytes: reminder lead time
inline constexpr uint32_t kFieldProgrammeId = 19;        // 4 bytes

inline constexpr uint32_t kReservationWatch = 2;
inline constexpr uint32_t kReservationRecord = 3;

// Largest field accepted (bytes).
inline constexpr uint32_t kMaxFieldSize = 4096;

// The 24-byte time value: year, month, day, hour, minute, second.
struct TimeValue {
  int32_t year, month, day, hour, minute, second;
};
static_assert(sizeof(TimeValue) == 24, "time values are 24 bytes");

// IsReserved answers.
inline constexpr uint32_t kFree = 0;
inline constexpr uint32_t kAlreadyReserved = 1;  // the same programme is reserved
inline constexpr uint32_t kTimeConflict = 2;     // another reservation overlaps in time

}  // namespace zansk

// A record handed out by the scheduler library.
class IZanskRecord : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{6EA9D78B-59FC-430A-AD4F-43C14BE9CA13}");
  // Stores size bytes (at most kMaxFieldSize) as the field's value.
  /*3*/ virtual Status SetField(uint32_t field, const void* data, uint32_t size) = 0;
  // Copies the field into buffer; the value must fit size (E_INVALIDARG
  // otherwise); a shorter value is zero-padded. E_FAIL for a missing field.
  /*4*/ virtual Status GetField(uint32_t field, void* buffer, uint32_t size) = 0;
  // 0 until the record was added.
  /*5*/ virtual Status GetId(uint32_t* id) = 0;
  /*6*/ virtual Status GetKind(uint32_t* kind) = 0;

 protected:
  ~IZanskRecord() = default;
};

// Slots shared by the channel database and the event scheduler.
class IZanskRecordStore : public IMcUnknown {
 public:
  /*3*/ virtual Status GetVersion(uint32_t* version) = 0;
  /*4*/ virtual Status GetFolder(char16_t* buffer, uint32_t capacity) = 0;
  // Opens (creating when missing) the database in a folder (device path).
  /*5*/ virtual Status Open(const char16_t* folder) = 0;
  // Writes everything to the database in the folder; the store stays open.
  /*6*/ virtual Status Save(const char16_t* folder) = 0;
  /*7*/ virtual Status BeginUpdate() = 0;
  /*8*/ virtual Status EndUpdate() = 0;
  /*9*/ virtual Status Close() = 0;
  /*10*/ virtual Status GetCount(uint32_t kind, uint32_t* count) = 0;
  // count in: capacity; out: ids written.
  /*11*/ virtual Status GetIds(uint32_t kind, uint32_t* count, uint32_t* ids) = 0;
  // mode 0: to read; 1: to change and write back with UpdateRecord. Both
  // hand out a copy of the stored record.
  /*12*/ virtual Status GetRecord(uint32_t id, uint32_t mode, IZanskRecord** out) = 0;
  /*13*/ virtual Status NewRecord(uint32_t kind, IZanskRecord** out) = 0;
  /*14*/ virtual Status DeleteRecord(IZanskRecord* record, uint32_t reserved) = 0;
  /*15*/ virtual Status DeleteById(uint32_t id) = 0;
  /*16*/ virtual Status AddRecord(IZanskRecord* record) = 0;
  // zansk::kFree, kAlreadyReserved or kTimeConflict for a reservation record.
  /*17*/ virtual Status IsReserved(IZanskRecord* record, uint32_t* answer) = 0;

 protected:
  ~IZanskRecordStore() = default;
};

class IZanskChannelDatabase : public IZanskRecordStore {
 public:
  static constexpr Guid iid = plat::guidLiteral("{438AB76D-89AF-4E95-B244-91933FD7B4BF}");

 protected:
  ~IZanskChannelDatabase() = default;
};

// Raises 0x1801 (lead time), 0x1803 (start), 0x1804 (end) at the times of
// its reservations on the platform clock, and 0x1902 when one is added.
class IZanskEventScheduler : public IZanskRecordStore {
 public:
  static constexpr Guid iid = plat::guidLiteral("{3CB7E7DC-8282-4792-9D09-1A2910E37545}");
  /*18*/ virtual Status Start() = 0;
  /*19*/ virtual Status Stop() = 0;
  // Writes a changed record back (e.g. the recorded file name).
  /*20*/ virtual Status UpdateRecord(IZanskRecord* record) = 0;
  /*21*/ virtual Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  /*22*/ virtual Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  // Runs due reservations now (the scheduler thread does this by itself;
  // tests that advance a virtual clock call it to avoid waiting).
  /*23*/ virtual Status Poll() = 0;

 protected:
  ~IZanskEventScheduler() = default;
};

// The reminder dialog: keeps the reminders it was asked to show until the
// user answers; an accepted reminder raises 0x1802 with the reservation id.
class IZanskReminderDialog : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{1557A34D-5414-4028-AA94-33F8CC81E965}");
  /*3*/ virtual Status Show(uint32_t reservationId, const char16_t* title, const char16_t* channelName) = 0;
  /*4*/ virtual Status Dismiss(uint32_t reservationId) = 0;
  /*5*/ virtual Status GetPendingCount(uint32_t* count) = 0;
  // accept != 0: confirmed (0x1802 to the sinks); the reminder closes either way.
  /*6*/ virtual Status Answer(uint32_t reservationId, uint32_t accept) = 0;

 protected:
  ~IZanskReminderDialog() = default;
};

// The dialog's sink registration, reached by QueryInterface on the dialog.
class IZanskDialogEvents : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{17D8DE66-4C2A-4369-A784-A5ECF88135AC}");
  /*3*/ virtual Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  /*4*/ virtual Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;

 protected:
  ~IZanskDialogEvents() = default;
};

extern "C" {
typedef Status (*ZanskCreateFn)(const Guid* classId, IMcUnknown* outer, uint32_t context, const Guid* iid, void** out);
}
