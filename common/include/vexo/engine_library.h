// Reaching the media engine and the scheduler libraries by module name, as
// the common services do: "ZANTSDK.dll" with its two factories, "Zansk.dll"
// and "ZanskDlg.dll" with theirs. A module already loaded is reused (the
// platform loader keeps one object per name); a missing module or export
// leaves the matching factory empty and its create call returns E_FAIL.
#pragma once
#include "plat/module.h"
#include "zant/engine.h"
#include "zant/scheduler.h"

namespace vexo {

class EngineLibrary {
 public:
  // Loads "ZANTSDK.dll"; check available() afterwards.
  EngineLibrary();
  bool available() const { return module_ != nullptr; }
  Status createPlayer(IZantMediaPlayer** out) const;
  Status createDeviceManager(IZantSourceDeviceManager** out) const;
  const plat::ModuleHandle& module() const { return module_; }

 private:
  plat::ModuleHandle module_;
  ZantCreateMediaPlayerFn createPlayer_ = nullptr;
  ZantCreateDeviceManagerFn createDeviceManager_ = nullptr;
};

class SchedulerLibraries {
 public:
  // Loads "Zansk.dll" and "ZanskDlg.dll"; either may be missing.
  SchedulerLibraries();
  Status createEventScheduler(IZanskEventScheduler** out) const;
  Status createChannelDatabase(IZanskChannelDatabase** out) const;
  Status createReminderDialog(IZanskReminderDialog** out) const;

 private:
  plat::ModuleHandle scheduler_;
  plat::ModuleHandle dialog_;
  ZanskCreateFn createScheduler_ = nullptr;
  ZanskCreateFn createDialog_ = nullptr;
};

}  // namespace vexo
