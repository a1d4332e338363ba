#include "vexo/engine_library.h"

namespace vexo {

EngineLibrary::EngineLibrary() : module_(plat::loadModule(std::string_view(zant::kEngineModuleName))) {
  if (!module_) return;
  createPlayer_ = module_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
  createDeviceManager_ = module_->function<ZantCreateDeviceManagerFn>(zant::kFactoryDeviceManager);
}

Status EngineLibrary::createPlayer(IZantMediaPlayer** out) const {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (createPlayer_ == nullptr) return plat::E_FAIL;
  void* p = nullptr;
  Status s = createPlayer_(&IZantMediaPlayer::iid, &p);
  if (plat::succeeded(s) && p != nullptr) *out = static_cast<IZantMediaPlayer*>(p);
  return *out ? plat::S_OK : (plat::failed(s) ? s : plat::E_FAIL);
}

Status EngineLibrary::createDeviceManager(IZantSourceDeviceManager** out) const {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (createDeviceManager_ == nullptr) return plat::E_FAIL;
  void* p = nullptr;
  Status s = createDeviceManager_(&IZantSourceDeviceManager::iid, &p, 0);
  if (plat::succeeded(s) && p != nullptr) *out = static_cast<IZantSourceDeviceManager*>(p);
  return *out ? plat::S_OK : (plat::failed(s) ? s : plat::E_FAIL);
}

SchedulerLibraries::SchedulerLibraries()
    : scheduler_(plat::loadModule(std::string_view(zansk::kSchedulerModuleName))),
      dialog_(plat::loadModule(std::string_view(zansk::kDialogModuleName))) {
  if (scheduler_) createScheduler_ = scheduler_->function<ZanskCreateFn>(zansk::kFactoryScheduler);
  if (dialog_) createDialog_ = dialog_->function<ZanskCreateFn>(zansk::kFactoryDialog);
}

namespace {
template <class I>
Status create(ZanskCreateFn fn, const Guid& classId, I** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (fn == nullptr) return plat::E_FAIL;
  void* p = nullptr;
  Status s = fn(&classId, nullptr, 0, &I::iid, &p);
  if (plat::succeeded(s) && p != nullptr) *out = static_cast<I*>(p);
  return *out ? plat::S_OK : (plat::failed(s) ? s : plat::E_FAIL);
}
}  // namespace

Status SchedulerLibraries::createEventScheduler(IZanskEventScheduler** out) const {
  return create(createScheduler_, zansk::kClassEventScheduler, out);
}
Status SchedulerLibraries::createChannelDatabase(IZanskChannelDatabase** out) const {
  return create(createScheduler_, zansk::kClassChannelDatabase, out);
}
Status SchedulerLibraries::createReminderDialog(IZanskReminderDialog** out) const {
  return create(createDialog_, zansk::kClassReminderDialog, out);
}

}  // namespace vexo
