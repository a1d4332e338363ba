// The scheduler service: reservations of programme-guide events for viewing
// or recording, kept by the scheduler libraries "Zansk.dll" (event scheduler
// and channel database) and "ZanskDlg.dll" (reminder dialog), both loaded by
// module name.
//
// The database folder is the application-data folder "\Application Data" +
// "\Norvale\Ondavue\SchedulerDatabase\", created with its parents whenever it
// is used.
//
// A missing library, factory or dialog leaves that piece out: the methods
// that need it return E_FAIL and the rest keep working. Releasing the service
// saves both stores and broadcasts the registered window message
// "ZN_WM_EVENT_DB_CHANGED" (both parameters 0) once to the top-level windows.
#pragma once
#include <cstdint>

#include "vexo/cmn_factories.h"
#include "zant/engine.h"
#include "zant/scheduler.h"

namespace vexo {
inline constexpr char16_t kApplicationDataFolder[] = u"\\Application Data";
inline constexpr char16_t kSchedulerDatabaseSubfolder[] = u"\\Norvale\\Ondavue\\SchedulerDatabase\\";
inline constexpr char kDbChangedMessageName[] = "ZN_WM_EVENT_DB_CHANGED";
// Reminder lead time written into every reservation (seconds).
inline constexpr uint32_t kReservationLeadSeconds = 300;
}  // namespace vexo

class IVexoCmnScheduler : public IMcUnknown {
 public:
  static constexpr Guid iid = IID_IVexoCmnScheduler;
  // Reserves the programme on the channel (type zansk::kReservationWatch or
  // kReservationRecord). E_INVALIDARG for null arguments; E_FAIL when the
  // programme is already reserved or overlaps another reservation, has no
  // schedule entry, or there is no event scheduler.
  /*3*/ virtual Status AddReservation(IZantChannel* channel, IZantProgramme* programme, uint32_t type) = 0;
  /*4*/ virtual Status DeleteRecord(IZanskRecord* record, uint32_t reserved) = 0;
  /*5*/ virtual Status DeleteReservation(IZantProgramme* programme) = 0;
  // The stored reservation of the programme (one reference for the caller);
  // E_FAIL when there is none.
  /*6*/ virtual Status FindReservation(IZantProgramme* programme, IZanskRecord** out) = 0;
  // A record to change and write back with the event scheduler's UpdateRecord.
  /*7*/ virtual Status GetRecord(uint32_t id, IZanskRecord** out) = 0;
  // zansk::kFree, kAlreadyReserved or kTimeConflict for the programme.
  /*8*/ virtual Status IsReserved(IZantProgramme* programme, uint32_t* answer) = 0;
  /*9*/ virtual Status Start() = 0;
  /*10*/ virtual Status Stop() = 0;
  // Registers the sink with the event scheduler and the reminder dialog.
  /*11*/ virtual Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  /*12*/ virtual Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  // The held objects, without a reference added; null when missing.
  /*13*/ virtual IZanskEventScheduler* GetEventScheduler() = 0;
  /*14*/ virtual IZanskChannelDatabase* GetChannelDatabase() = 0;
  /*15*/ virtual IZanskReminderDialog* GetReminderDialog() = 0;
  // Replaces the channel database's channels with those of the enumerator
  // (none when it is null) and saves the database.
  /*16*/ virtual Status ReplaceChannels(IZantEnum* channels) = 0;

 protected:
  ~IVexoCmnScheduler() = default;
};
