// The application object: creates and owns every service of the common
// library, the skin documents, the start-up window and the main window, and
// releases them in a fixed order at shutdown.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "VexoCore.h"
#include "app/skin/skin_set.h"
#include "app/startup/accelerators.h"
#include "app/translate/event_translation.h"
#include "plat/message.h"
#include "plat/text.h"
#include "vexo/mc.h"
#include "vexo/player_session.h"
#include "vexo/playlist.h"
#include "vexo/scheduler.h"
#include "vexo/setting.h"
#include "vexo/source_manager.h"
#include "vexo/string_loader.h"

namespace tunora {

class VexoSplash;
class CDTVPlayerApp;

// What the application needs of its main window.
class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  virtual plat::Window window() const = 0;
  // Runs after creation: lays the window out and chooses the first source.
  virtual void start() = 0;
  // Opens a file given on this instance's command line.
  virtual void openFile(plat::StringView16 path) = 0;
  virtual void hide() = 0;
};
using MainWindowFactory = std::function<std::unique_ptr<MainWindowHost>(CDTVPlayerApp& app, const plat::Rect& rect)>;

// Paths of the device.
plat::String16 programDirectory();
// "\" + folder + "\" of the first storage profile with a folder, empty when none.
plat::String16 storageCardFolder();
// The card folder exists and carries the storage-card marker.
bool storageCardPresent();
// With a card present: the recording and snapshot folders of the settings
// (the card's "Recorded Media\" and "SnapShot\" when unset) exist and are
// written back.
void ensureMediaFolders(IVexoCmnSetting& settings);

// Texts shown before any skin is loaded.
inline constexpr char kTextSdkMissing[] = "Norvale DTV SDK is not installed. Please install the Norvale SDK";
inline constexpr char kTextFilesCorrupt[] = "Files corrupt, please reinstall the application.";
inline constexpr char16_t kTaskBarClass[] = u"HHTaskBar";
inline constexpr char16_t kUserSettingSubpath[] = u"Norvale\\Ondavue\\Setting.xml";
inline constexpr char16_t kFactorySettingSubpath[] = u"Norvale\\Default\\Setting.xml";
inline constexpr char16_t kPlaylistSubpath[] = u"Norvale\\Playlist.xml";

// Settings bootstrap: restores the user store (and the factory-defaults copy)
// from the program directory when it is missing or empty, or from the
// factory copy when it is damaged; returns the opened store.
McPtr<IVexoCmnSetting> openSettingsStore();
// Language: the stored one, else the registry's, else 1033; written back.
uint32_t selectLanguage(IVexoCmnSetting& settings);

class CDTVPlayerApp final : public VexoObject {
 public:
  explicit CDTVPlayerApp(MainWindowFactory mainWindowFactory);
  ~CDTVPlayerApp() override;

  // Creates the settings store, the skins, the string table and the playlist,
  // and hides the device task bar. False when a required skin document is
  // missing.
  bool initialize();
  // Starts device collection and shows the start-up window.
  void startDevices();
  bool Event(VexoEvent* event) override;
  // Runs until the quit message; returns its code.
  int runMessageLoop();
  // The shutdown steps after the loop: a zero quit code hides the video and
  // the main window first; the playlist is saved and the task bar restored
  // whatever the code.
  void shutdown(int quitCode);

  IVexoCmnPlayerSession* createPlayerSession();
  IVexoCmnPlayerSession* firstSession() const { return sessions_.empty() ? nullptr : sessions_.front().get(); }
  IVexoCmnSetting* settings() const { return settings_.get(); }
  IVexoCmnStringLoader* strings() const { return strings_.get(); }
  IVexoCmnSourceManager* sourceManager() const { return sourceManager_.get(); }
  IVexoCmnScheduler* scheduler() const { return scheduler_.get(); }
  IVexoCmnPlaylistManager* playlists() const { return playlists_.get(); }
  skin::SkinSet& skins() { return skins_; }
  plat::String16 skinsDirectory() const { return skins_.skinsRoot(); }
  AcceleratorRegistry& accelerators() { return accelerators_; }
  MainWindowHost* mainWindow() const { return mainWindow_.get(); }
  VexoSplash* splash() const { return splash_.get(); }
  void setPendingFile(plat::String16 path) { pendingFile_ = std::move(path); }

  static CDTVPlayerApp* instance();

 private:
  bool waitingWindowConfigured();
  // Adds the font file the common configuration names, when there is one.
  void addSkinFont();
  void showStartupWindow();

  MainWindowFactory mainWindowFactory_;
  skin::SkinSet skins_;
  McPtr<IVexoCmnSetting> settings_;
  McPtr<IVexoCmnStringLoader> strings_;
  McPtr<IVexoCmnSourceManager> sourceManager_;
  McPtr<VexoSourceManagerEventTranslator> sourceTranslator_;
  McPtr<IVexoCmnScheduler> scheduler_;
  McPtr<VexoSchedulerEventTranslator> schedulerTranslator_;
  McPtr<IVexoCmnPlaylistManager> playlists_;
  std::vector<McPtr<IVexoCmnPlayerSession>> sessions_;
  std::vector<McPtr<VexoPlayerSessionEventTranslation>> sessionTranslators_;
  std::unique_ptr<MainWindowHost> mainWindow_;
  std::unique_ptr<VexoSplash> splash_;
  bool splashShown_ = false;
  plat::String16 pendingFile_;
  plat::String16 fontPath_;  // the added skin font, empty when none
  AcceleratorRegistry accelerators_;
};

}  // namespace tunora
