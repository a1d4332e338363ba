#include "app/startup/app.h"

#include "VexoEvents.h"
#include "app/skin/image_cache.h"
#include "plat/debug.h"
#include "plat/display.h"
#include "plat/file.h"
#include "plat/gfx/font.h"
#include "plat/paths.h"
#include "plat/registry.h"
#include "plat/system.h"
#include "plat/window.h"
#include "vexo/engine_library.h"
#include "windows/splash/splash.h"

namespace tunora {

namespace {

CDTVPlayerApp* g_app = nullptr;

constexpr const char16_t* kStorageProfiles[] = {u"SDMemory", u"MMC", u"SDCARD", u"SDMMC", u"SD"};
constexpr char16_t kStorageProfilesKey[] = u"System\\StorageManager\\Profiles\\";
constexpr uint32_t kDefaultLanguage = 1033;

void logMemoryStatus() {
  const plat::MemoryStatus m = plat::memoryStatus();
  plat::debugPrintf(
      "Memory Load: %d\nTotal Physical Memory: %d, Available Physical Memory: %d\n"
      "Total Virtual Memory: %d, Available Virtual Memory: %d\n",
      // Sizes in KiB so that they fit the 32-bit fields; the host has no
      // separate virtual-memory budget, so physical memory is reported again.
      static_cast<int>(m.loadPercent), static_cast<int>(m.totalPhys >> 10), static_cast<int>(m.availPhys >> 10),
      static_cast<int>(m.totalPhys >> 10), static_cast<int>(m.availPhys >> 10));
}

McPtr<IVexoCmnSetting> createStore() {
  McPtr<IVexoCmnSetting> store;
  CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", store.put());
  return store;
}

}  // namespace

plat::String16 programDirectory() { return plat::programDirectory(); }

plat::String16 storageCardFolder() {
  for (const char16_t* profile : kStorageProfiles) {
    plat::String16 folder;
    const plat::String16 key = plat::String16(kStorageProfilesKey) + profile;
    if (plat::failed(plat::regGetString(plat::RegRoot::LocalMachine, key, u"Folder", &folder)) || folder.empty())
      continue;
    return u"\\" + folder + u"\\";
  }
  // No profile names a card: there is no card folder (the bare root would
  // make every program path look as if it lay on a card).
  return {};
}

bool storageCardPresent() {
  const plat::String16 folder = storageCardFolder();
  if (folder.empty()) return false;
  uint32_t attributes = 0;
  if (plat::failed(plat::getAttributes(folder.substr(0, folder.size() - 1), &attributes))) return false;
  const uint32_t card = plat::kAttrDirectory | plat::kAttrTemporary;
  return (attributes & card) == card;
}

void ensureMediaFolders(IVexoCmnSetting& settings) {
  if (!storageCardPresent()) return;
  const plat::String16 card = storageCardFolder();
  const struct {
    const char* setting;
    const char16_t* folder;
  } folders[] = {{"/Setting/PVR/Path", u"Recorded Media\\"}, {"/Setting/SnapShot/Path", u"SnapShot\\"}};
  for (const auto& f : folders) {
    char16_t value[260] = {};
    if (plat::failed(settings.GetString(f.setting, value, 260))) value[0] = 0;
    const plat::String16 path = value[0] ? plat::String16(value) : card + f.folder;
    if (!plat::directoryExists(path)) SHCreateDirectoryEx({}, path.c_str(), nullptr);
    settings.SetString(f.setting, path.c_str());
  }
  char16_t timeShift[260] = {};
  if (plat::succeeded(settings.GetString("/Setting/TimeShifting/Path", timeShift, 260)))
    settings.SetString("/Setting/TimeShifting/Path", timeShift);
}

McPtr<IVexoCmnSetting> openSettingsStore() {
  const plat::String16 flash = vexo::residentFlashPath();
  const plat::String16 user = flash + kUserSettingSubpath;
  const plat::String16 factory = flash + kFactorySettingSubpath;
  const plat::String16 seed = programDirectory() + u"Setting.xml";
  McPtr<IVexoCmnSetting> store = createStore();
  if (!store) return store;
  if (!store->Exists()) {
    store.reset();
    SHCreateDirectoryEx({}, (flash + u"Norvale\\Ondavue").c_str(), nullptr);
    plat::copyFile(seed, user, false);
    SHCreateDirectoryEx({}, (flash + u"Norvale\\Default").c_str(), nullptr);
    plat::copyFile(seed, factory, false);
    store = createStore();
  }
  // A store that exists but is damaged is replaced from the factory copy by
  // the store itself, which keeps the damaged bytes beside it.
  if (store) store->SetString("/ApplicationVersion", u"1.0.0.2");
  return store;
}

uint32_t selectLanguage(IVexoCmnSetting& settings) {
  uint32_t language = 0;
  if (plat::failed(settings.GetDWORD("/Setting/General/Language", &language))) language = 0;
  if (language == 0 &&
      plat::failed(plat::regGetDword(plat::RegRoot::LocalMachine, u"Software\\Norvale", u"Language", &language)))
    language = kDefaultLanguage;
  if (language == 0) language = kDefaultLanguage;
  return language;
}

CDTVPlayerApp* CDTVPlayerApp::instance() { return g_app; }

CDTVPlayerApp::CDTVPlayerApp(MainWindowFactory mainWindowFactory)
    : mainWindowFactory_(std::move(mainWindowFactory)), skins_(programDirectory()) {
  CoCreateVexoCmnSourceManager(sourceManager_.put());
  if (sourceManager_) {
    sourceTranslator_ = McPtr<VexoSourceManagerEventTranslator>::adopt(new VexoSourceManagerEventTranslator);
    sourceManager_->Advise(sourceTranslator_->identity(), sourceTranslator_->exposed());
  }
  CoCreateVexoCmnScheduler(scheduler_.put());
  if (scheduler_) {
    scheduler_->Start();
    schedulerTranslator_ = McPtr<VexoSchedulerEventTranslator>::adopt(new VexoSchedulerEventTranslator);
    scheduler_->Advise(schedulerTranslator_->identity(), schedulerTranslator_->exposed());
  }
  g_app = this;
}

bool CDTVPlayerApp::initialize() {
  settings_ = openSettingsStore();
  if (!settings_) return false;
  // Language first: the skins configuration starts with it.
  const uint32_t language = selectLanguage(*settings_.get());
  CoCreateVexoCmnStringLoader(strings_.put());
  if (strings_) {
    strings_->Load((programDirectory() + u"String.xml").c_str());
    strings_->SetLCID(static_cast<int32_t>(language));
  }
  settings_->SetDWORD("/Setting/General/Language", language);

  skin::LastSkinSetting lastSkin{
      [this] {
        uint32_t v = 0;
        return plat::failed(settings_->GetDWORD("/Setting/LastSkin", &v)) ? 0u : v;
      },
      [this](uint32_t v) {
        settings_->SetDWORD("/Setting/LastSkin", v);
        settings_->Save();
      }};
  if (skins_.configure(lastSkin) == 0) return false;

  CoCreateVexoCmnPlaylistManager(playlists_.put());
  if (playlists_) {
    const plat::String16 path = vexo::residentFlashPath() + kPlaylistSubpath;
    plat::FindEntry info;
    if (plat::failed(plat::getFileInfo(path, &info)) || info.size == 0) plat::copyFile(programDirectory() + u"Playlist.xml", path, false);
    playlists_->Load(path.c_str());
  }
  addSkinFont();
  // The device task bar stays out of the way while the player runs.
  if (plat::Window taskBar = plat::findWindow(kTaskBarClass, u"")) {
    plat::enableWindow(taskBar, false);
    plat::showWindow(taskBar, false);
  }
  return true;
}

void CDTVPlayerApp::addSkinFont() {
  skin::SkinDocument* comm = skins_.document(skin::SkinDoc::CommConfig);
  if (!comm) return;
  char16_t sourceDir[260] = {};
  if (plat::failed(settings_->GetString("/Setting/SourceFontDir", sourceDir, 260))) sourceDir[0] = 0;
  const plat::String16 fontDir =
      sourceDir[0] ? programDirectory() + sourceDir + u"\\" : programDirectory() + u"FONTS\\";
  uint8_t japanese = 0;
  if (plat::failed(settings_->GetBool("/Setting/UseJapaneseFont", &japanese))) japanese = 0;
  const std::optional<std::string> name = japanese ? comm->getString("JapaneseFontConfig", "JapaneseFontFile")
                                                   : comm->getString("FontConfig", "FontFile");
  if (!name || name->empty()) return;
  const plat::String16 path = fontDir + plat::utf8ToUtf16(*name);
  if (plat::failed(plat::addDeviceFontResource(path))) {
    plat::debugPrintf("skin font %s not added\n", plat::utf16ToUtf8(path).c_str());
    return;
  }
  // Fonts created from now on find the face; windows pick it up as they repaint.
  fontPath_ = path;
}

bool CDTVPlayerApp::waitingWindowConfigured() {
  skin::SkinDocument* comm = skins_.document(skin::SkinDoc::CommConfig);
  return comm && comm->getNumber("WaitingWindow", "Existed").value_or(0) != 0;
}

void CDTVPlayerApp::showStartupWindow() {
  skin::SkinDocument* comm = skins_.document(skin::SkinDoc::CommConfig);
  if (!comm) return;
  splash_ = createStartupWindow(*comm);
  if (!splash_) return;
  if (waitingWindowConfigured()) {
    if (skins_.main())
      if (auto rect = skins_.main()->getRect("ControlPanelWindow", "CPWndRect")) splash_->SetRect(*rect);
  } else if (auto rect = comm->getRect("SplashWindow", "BkRect")) {
    const plat::Size screen = plat::screenSize();
    const int dx = (screen.width - rect->right + rect->left) / 2;
    const int dy = (screen.height - rect->bottom + rect->top) / 2;
    splash_->SetRect(plat::Rect{rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy});
  }
  splash_->Show();
  splashShown_ = true;
}

void CDTVPlayerApp::startDevices() {
  if (sourceManager_) sourceManager_->Start(1, 0);
  showStartupWindow();
}

bool CDTVPlayerApp::Event(VexoEvent* event) {
  if (event->Type() != VexoEventDeviceCollected::kType) return false;
  // A second report (a tuner that came back) must not build a second window.
  if (mainWindow_) return false;
  if (!waitingWindowConfigured() && splashShown_ && splash_) {
    splash_->Hide();
    splashShown_ = false;
  }
  plat::Rect rect{0, 0, 800, 480};
  if (skins_.main())
    if (auto r = skins_.main()->getRect("ControlPanelWindow", "CPWndRect")) rect = *r;
  if (mainWindowFactory_) mainWindow_ = mainWindowFactory_(*this, rect);
  if (mainWindow_) {
    mainWindow_->start();
    // The file of this instance's own command line opens like a handed-over one.
    if (!pendingFile_.empty()) mainWindow_->openFile(std::exchange(pendingFile_, {}));
  }
  logMemoryStatus();
  return false;
}

int CDTVPlayerApp::runMessageLoop() {
  plat::Message msg;
  while (plat::getMessage(&msg)) {
    if (accelerators_.translate(msg)) continue;
    plat::translateMessage(msg);
    plat::dispatchMessage(msg);
  }
  return static_cast<int>(msg.wParam);
}

IVexoCmnPlayerSession* CDTVPlayerApp::createPlayerSession() {
  McPtr<IVexoCmnPlayerSession> session;
  CoCreateVexoCmnPlayerSession(session.put());
  if (!session) return nullptr;
  vexo::EngineLibrary engine;
  McPtr<IZantMediaPlayer> player;
  if (engine.available()) engine.createPlayer(player.put());
  // The session takes over the player's reference.
  session->SetMediaPlayer(player.detach());
  session->SetSetting(settings_.get());
  IVexoCmnPlayerSession* raw = session.get();
  auto translator = McPtr<VexoPlayerSessionEventTranslation>::adopt(new VexoPlayerSessionEventTranslation(
      raw, [raw](const Guid& iid, void** out) { return raw->QueryEngineInterface(iid, out); }));
  session->Advise(translator->exposed());
  sessions_.push_back(std::move(session));
  sessionTranslators_.push_back(std::move(translator));
  return raw;
}

void CDTVPlayerApp::shutdown(int quitCode) {
  if (quitCode == 0) {
    if (IVexoCmnPlayerSession* s = firstSession()) s->ShowVideo(0);
    if (mainWindow_) mainWindow_->hide();
  }
  if (playlists_) playlists_->Save((vexo::residentFlashPath() + kPlaylistSubpath).c_str());
  if (plat::Window taskBar = plat::findWindow(kTaskBarClass, u"")) {
    plat::enableWindow(taskBar, true);
    plat::showWindow(taskBar, true);
  }
  mainWindow_.reset();
  splash_.reset();
  splashShown_ = false;
  skins_.closeAll();
  if (!fontPath_.empty()) {
    plat::removeDeviceFontResource(fontPath_);
    fontPath_.clear();
  }
}

CDTVPlayerApp::~CDTVPlayerApp() {
  mainWindow_.reset();
  splash_.reset();
  for (size_t i = 0; i < sessionTranslators_.size() && i < sessions_.size(); ++i)
    sessions_[i]->Unadvise(sessionTranslators_[i]->exposed());
  sessionTranslators_.clear();
  for (auto& s : sessions_) s->Close();
  sessions_.clear();
  if (sourceManager_) {
    sourceManager_->Stop(1, 0);
    if (sourceTranslator_) sourceManager_->Unadvise(sourceTranslator_->identity(), sourceTranslator_->exposed());
    sourceTranslator_.reset();
    sourceManager_.reset();
  }
  if (settings_) {
    settings_->Save();
    settings_.reset();
  }
  strings_.reset();
  playlists_.reset();
  if (scheduler_) {
    if (schedulerTranslator_) scheduler_->Unadvise(schedulerTranslator_->identity(), schedulerTranslator_->exposed());
    schedulerTranslator_.reset();
    scheduler_->Stop();
    scheduler_.reset();
  }
  if (g_app == this) g_app = nullptr;
}

}  // namespace tunora
