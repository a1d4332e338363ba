// CMainWnd: the player's top-level window. In window mode it is the skinned
// control panel (background with logos and the skin's buttons); in
// full-screen mode the video covers the screen and the panel is hidden. It
// turns button taps and accelerator keys into commands, enables its buttons
// from the button-enabling event, and follows skin and size changes.
//
// Children built elsewhere (video window, indicators, sliders, volume panel,
// channel lists, dialogs) are not created here; the layout, commands and
// events work for what exists.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "VexoCore.h"
#include "app/skin/skin_document.h"
#include "app/skin/skin_set.h"
#include "controls/kit.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"

class IVexoCmnPlayerSession;
class IVexoCmnSetting;
class VexoEventEnableButton;

namespace tunora::mainwnd {

inline constexpr char16_t kMainWindowClass[] = u"CPWINDOW";
inline constexpr char16_t kMainWindowTitle[] = u"Tunora";

// Command ids of the main window.
namespace cmd {
inline constexpr uint16_t kMinimize = 10016, kExit = 10017, kRewind = 10018, kFastForward = 10019,
                          kPreview = 10021, kHelp = 10022;
inline constexpr uint16_t kNextChannel = 40001, kPreviousChannel = 40004, kFullScreenToggle = 40005,
                          kOpen = 40007, kAlwaysTop = 40008, kNextSkin = 40009, kRecord = 40010,
                          kSnapshot = 40011, kChannelList = 40012, kStop = 40013, kTimeShift = 40014,
                          kMute = 40019, kVolumeUpKeepMute = 40020, kVolumeDownKeepMute = 40021,
                          kSetting = 40023, kPlay = 40024, kFullScreenOff = 40026, kDoubleSize = 40028,
                          kSubtitle = 40038, kAudioLanguage = 40039, kTeletext = 40040, kMuteToggle = 40041,
                          kVolumeUp = 40042, kVolumeDown = 40043, kPlaylist = 40044, kShuffle = 40045,
                          kNavigation = 40046, kFullScreenOn = 40047, kMovie = 40048;
}  // namespace cmd

// The IDC_BUTTON name of a skin button -> its command id; 0 for an unknown name.
uint16_t commandForButtonName(std::string_view name);
// Accelerator table 140 of the main window.
plat::AcceleratorTable mainAccelerators();

// Sets engine setting 23 from lParam (the shell's video-output switch).
inline constexpr uint32_t kMsgSetVideoOutput = plat::kMsgUser + 215;

// Timer ids of the main window.
inline constexpr uintptr_t kTimerRefreshChildren = 0xFFFC;

// Engine setting ids the main window switches.
inline constexpr uint32_t kEngineSettingMute = 11;
inline constexpr uint32_t kEngineSettingVideoOutput = 23;

// Session state and source class values the button enabling reads.
inline constexpr int32_t kStateStopped = 1, kStatePaused = 2, kStateRunning = 3, kStateRecording = 4;
inline constexpr uint32_t kSourceClassFile = 1, kSourceClassLive = 4;

// What the main window asks of the player session.
class MainWindowPlayer {
 public:
  virtual ~MainWindowPlayer() = default;
  // False when the state could not be read.
  virtual bool state(int32_t* state) = 0;
  virtual uint32_t sourceClass() = 0;
  virtual void showVideo(bool show) = 0;
  virtual bool engineSetting(uint32_t id, uint32_t* value) = 0;
  virtual void setEngineSetting(uint32_t id, uint32_t value) = 0;
  virtual void nextChannel() = 0;
  virtual void previousChannel() = 0;
};

// The same over the player session.
class SessionPlayer final : public MainWindowPlayer {
 public:
  explicit SessionPlayer(IVexoCmnPlayerSession* session) : session_(session) {}
  bool state(int32_t* state) override;
  uint32_t sourceClass() override;
  void showVideo(bool show) override;
  bool engineSetting(uint32_t id, uint32_t* value) override;
  void setEngineSetting(uint32_t id, uint32_t value) override;
  void nextChannel() override;
  void previousChannel() override;

 private:
  IVexoCmnPlayerSession* session_;
};

// The settings the main window reads and writes ("/Setting/...").
class MainWindowSettings {
 public:
  virtual ~MainWindowSettings() = default;
  virtual std::optional<bool> getBool(const char* path) = 0;
  virtual void setBool(const char* path, bool value) = 0;
  virtual std::optional<uint32_t> getDword(const char* path) = 0;
  virtual void setDword(const char* path, uint32_t value) = 0;
  virtual void save() = 0;
};

// The same over the settings store.
class StoreSettings final : public MainWindowSettings {
 public:
  explicit StoreSettings(IVexoCmnSetting* store) : store_(store) {}
  std::optional<bool> getBool(const char* path) override;
  void setBool(const char* path, bool value) override;
  std::optional<uint32_t> getDword(const char* path) override;
  void setDword(const char* path, uint32_t value) override;
  void save() override;

 private:
  IVexoCmnSetting* store_;
};

// The application's accelerator registry: the main window registers its
// table once created, activates its pair whenever it becomes active and
// unregisters it when destroyed. The table outlives the registration.
struct AcceleratorRegistry {
  std::function<void(plat::Window, const plat::AcceleratorTable*)> registerPair;
  std::function<void(plat::Window)> unregisterPair;
  std::function<void(plat::Window)> activate;
};

// Everything the main window takes from the application.
struct MainWindowContext {
  // The current main skin document (never null while the window lives).
  std::function<skin::SkinDocument*()> mainDocument;
  // The common configuration document; may be null.
  skin::SkinDocument* commConfig = nullptr;
  // Reopens the main document from a skin directory; false keeps the old one.
  std::function<bool(plat::StringView16 directory, plat::StringView16 fileName)> reloadMain;
  // Skin directories by index and their number.
  std::function<plat::String16(int32_t index)> skinDirectory;
  std::function<int32_t()> skinCount;
  MainWindowSettings* settings = nullptr;
  MainWindowPlayer* player = nullptr;
  AcceleratorRegistry acceleratorRegistry;
  // The exit flow (10017, close); the window is destroyed by its owner.
  std::function<void()> exit;
};

class CMainWnd : public VexoObject {
 public:
  explicit CMainWnd(MainWindowContext context);
  ~CMainWnd() override;

  // Creation in the skin's order; false when the window could not be made.
  bool Create();
  bool Event(VexoEvent* event) override;
  void EnableButton(uint16_t command, bool enable);

  plat::Window window() const { return window_; }
  const plat::AcceleratorTable& accelerators() const { return accelerators_; }
  // The button of a command; null when the skin placed none.
  plat::Window button(uint16_t command) const;
  bool fullScreen() const { return fullScreen_; }
  bool doubleSize() const { return doubleSize_; }
  bool alwaysOnTop() const { return alwaysOnTop_; }
  bool playShowsPause() const { return playShowsPause_; }
  bool recordShowsStop() const { return recordShowsStop_; }
  bool timeShiftShowsStop() const { return timeShiftShowsStop_; }
  bool muted() const { return mute_; }
  bool shuffle() const { return shuffle_; }
  bool signalWarning() const { return signalWarning_.load(); }
  bool skinChangePending() const { return pendingSkin_.has_value(); }

 private:
  static plat::LResult windowProc(plat::Window window, uint32_t message, plat::WParam wParam,
                                  plat::LParam lParam);
  plat::LResult handleMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
  void onCommand(uint16_t command);
  void createButtons();
  void layout();
  void buildBackground();
  void paint();
  void loadButtonImages(uint16_t command, const std::string& prefix);
  void setPlayLook(bool showsPause);
  void setMuteLook(bool muted);
  void setShuffleLook(bool on);
  void enableButtons(const VexoEventEnableButton& event);
  void setFullScreen(bool on);
  void toggleDoubleSize();
  void setAlwaysOnTop(bool on);
  void changeSkin(int32_t index);
  void applySkin(int32_t index);
  bool buttonEnabled(uint16_t command) const;
  skin::SkinDocument& main() const { return *context_.mainDocument(); }

  MainWindowContext context_;
  plat::Window window_;
  plat::AcceleratorTable accelerators_;
  struct Button {
    plat::Window window;
    int index = 0;  // the skin's button number
  };
  std::map<uint16_t, Button> buttons_;
  std::vector<Button> unnamed_;  // buttons whose name is no known command
  controls::MemoryBitmap background_;
  plat::Rect windowModeRect_{};
  bool fullScreen_ = false;
  bool doubleSize_ = false;
  bool alwaysOnTop_ = false;
  bool playShowsPause_ = false;
  bool recordShowsStop_ = false;
  bool timeShiftShowsStop_ = false;
  bool mute_ = false;
  bool shuffle_ = true;
  bool signalIconShown_ = true;
  std::atomic<bool> signalWarning_{false};
  bool dimmed_ = false;
  std::optional<int32_t> pendingSkin_;
};

}  // namespace tunora::mainwnd

namespace tunora::mainwnd {
// Fills the skin part of a context from the player's skin set: the current
// main document, the common configuration, reloading and the skin list.
void bindSkinSet(MainWindowContext& context, skin::SkinSet& skins);
}  // namespace tunora::mainwnd
