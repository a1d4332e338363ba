#include "main_window.h"

#include <algorithm>
#include <array>

#include "VexoEvents.h"
#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "controls/skin_button.h"
#include "plat/display.h"
#include "plat/message.h"
#include "vexo/player_session.h"
#include "vexo/setting.h"

namespace tunora::mainwnd {
namespace {

constexpr char kPanel[] = "ControlPanelWindow";
constexpr uint32_t kVolumeRepeatMs = 75;
constexpr int kMaxButtons = 64;  // a skin's button count is bounded before use
constexpr int32_t kDoubleSizeMinScreenHeight = 600;

struct NamedCommand {
  std::string_view name;
  uint16_t command;
};
constexpr std::array<NamedCommand, 28> kButtonNames{{
    {"IDC_BUTTON_MIN", cmd::kMinimize},          {"IDC_BUTTON_1X2X", cmd::kDoubleSize},
    {"IDC_BUTTON_EXIT", cmd::kExit},             {"IDC_BUTTON_OPEN", cmd::kOpen},
    {"IDC_BUTTON_PLAY", cmd::kPlay},             {"IDC_BUTTON_STOP", cmd::kStop},
    {"IDC_BUTTON_CHDOWN", cmd::kNextChannel},    {"IDC_BUTTON_CHUP", cmd::kPreviousChannel},
    {"IDC_BUTTON_CHLIST", cmd::kChannelList},    {"IDC_BUTTON_SNAP", cmd::kSnapshot},
    {"IDC_BUTTON_RECORD", cmd::kRecord},         {"IDC_BUTTON_TIMESHIFT", cmd::kTimeShift},
    {"IDC_BUTTON_RW", cmd::kRewind},             {"IDC_BUTTON_FF", cmd::kFastForward},
    {"IDC_BUTTON_PREVIEW", cmd::kPreview},       {"IDC_BUTTON_HELP", cmd::kHelp},
    {"IDC_BUTTON_SETTING", cmd::kSetting},       {"IDC_BUTTON_SUBTITLE", cmd::kSubtitle},
    {"IDC_BUTTON_AUDIOLANG", cmd::kAudioLanguage}, {"IDC_BUTTON_TTX", cmd::kTeletext},
    {"IDC_BUTTON_MUTE", cmd::kMuteToggle},       {"IDC_BUTTON_VOLUMEUP", cmd::kVolumeUp},
    {"IDC_BUTTON_VOLUMEDOWN", cmd::kVolumeDown}, {"IDC_BUTTON_PLAYLIST", cmd::kPlaylist},
    {"IDC_BUTTON_SHUFFLE", cmd::kShuffle},       {"IDC_BUTTON_NAVI", cmd::kNavigation},
    {"IDC_BUTTON_MAIN_RETURN", cmd::kFullScreenOn}, {"IDC_BUTTON_MOVIE", cmd::kMovie},
}};

plat::String16 pictureOrEmpty(skin::SkinDocument& doc, const std::string& key) {
  // A missing key leaves the state without an image.
  return doc.getPicturePath(kPanel, key).value_or(plat::String16{});
}

plat::Rect skinRect(skin::SkinDocument& doc, const char* section, const std::string& key) {
  return doc.getRect(section, key).value_or(plat::Rect{});
}

}  // namespace

uint16_t commandForButtonName(std::string_view name) {
  for (const NamedCommand& n : kButtonNames)
    if (n.name == name) return n.command;
  return 0;
}

plat::AcceleratorTable mainAccelerators() {
  using plat::kModControl;
  return plat::AcceleratorTable({
      {plat::keyF(6), 0, cmd::kDoubleSize},
      {'O', kModControl, cmd::kOpen},
      {plat::kKeySpace, 0, cmd::kPlay},
      {'C', kModControl, cmd::kStop},
      {plat::kKeyPageUp, 0, cmd::kNextChannel},
      {plat::kKeyPageDown, 0, cmd::kPreviousChannel},
      {plat::keyF(4), 0, cmd::kChannelList},
      {plat::kKeyReturn, kModControl, cmd::kSnapshot},
      {'R', kModControl, cmd::kRecord},
      {plat::keyF(3), 0, cmd::kTimeShift},
      {plat::kKeyLeft, 0, cmd::kRewind},
      {plat::kKeyRight, 0, cmd::kFastForward},
      {'S', kModControl, cmd::kSetting},
      {plat::kKeyLeft, kModControl, cmd::kVolumeDownKeepMute},
      {plat::kKeyRight, kModControl, cmd::kVolumeUpKeepMute},
      {'M', kModControl, cmd::kMute},
      {plat::keyF(2), 0, cmd::kNextSkin},
      {'T', kModControl, cmd::kAlwaysTop},
      {plat::kKeyEscape, 0, cmd::kFullScreenOff},
      {'F', kModControl, cmd::kFullScreenToggle},
  });
}

void bindSkinSet(MainWindowContext& context, skin::SkinSet& skins) {
  context.mainDocument = [&skins] { return skins.main(); };
  context.commConfig = skins.document(skin::SkinDoc::CommConfig);
  context.reloadMain = [&skins](plat::StringView16 directory, plat::StringView16 fileName) {
    return skins.reloadMain(directory, fileName);
  };
  context.skinDirectory = [&skins](int32_t index) { return skins.skinDirectory(index); };
  context.skinCount = [&skins] { return skins.skinCount(); };
}

// --- session and settings adapters -------------------------------------------

bool SessionPlayer::state(int32_t* state) {
  return session_ && !plat::failed(session_->GetState(state, 0));
}
uint32_t SessionPlayer::sourceClass() { return session_ ? session_->GetSourceType() : 0; }
void SessionPlayer::showVideo(bool show) {
  if (session_) session_->ShowVideo(show ? 1 : 0);
}
bool SessionPlayer::engineSetting(uint32_t id, uint32_t* value) {
  return session_ && !plat::failed(session_->GetSettingDWORD(id, value));
}
void SessionPlayer::setEngineSetting(uint32_t id, uint32_t value) {
  if (session_) session_->SetSettingDWORD(id, value, 0);
}
void SessionPlayer::nextChannel() {
  if (session_) session_->NextChannel();
}
void SessionPlayer::previousChannel() {
  if (session_) session_->PreviousChannel();
}

std::optional<bool> StoreSettings::getBool(const char* path) {
  uint8_t v = 0;
  if (!store_ || plat::failed(store_->GetBool(path, &v))) return std::nullopt;
  return v != 0;
}
void StoreSettings::setBool(const char* path, bool value) {
  if (store_) store_->SetBool(path, value ? 1 : 0);
}
std::optional<uint32_t> StoreSettings::getDword(const char* path) {
  uint32_t v = 0;
  if (!store_ || plat::failed(store_->GetDWORD(path, &v))) return std::nullopt;
  return v;
}
void StoreSettings::setDword(const char* path, uint32_t value) {
  if (store_) store_->SetDWORD(path, value);
}
void StoreSettings::save() {
  if (store_) store_->Save();
}

// --- the window -------------------------------------------------------------

CMainWnd::CMainWnd(MainWindowContext context) : context_(std::move(context)) {}

CMainWnd::~CMainWnd() {
  if (context_.settings) context_.settings->setBool("/Setting/AlwaysTop", alwaysOnTop_);
  if (window_) {
    if (context_.acceleratorRegistry.unregisterPair) context_.acceleratorRegistry.unregisterPair(window_);
    plat::killTimer(window_, kTimerRefreshChildren);
    plat::setUserData(window_, 0);
    plat::destroyWindow(window_);
  }
  background_.reset();
}

bool CMainWnd::Create() {
  if (!context_.mainDocument || !context_.mainDocument()) return false;
  if (!plat::isClassRegistered(kMainWindowClass)) {
    plat::WindowClass c;
    c.name = kMainWindowClass;
    c.style = plat::kClassDoubleClicks | plat::kClassRedrawOnResize;
    c.proc = &CMainWnd::windowProc;
    c.background = plat::ClassBackground{plat::ClassBackground::Kind::Color, 0x000000};
    plat::registerClass(c);
  }
  plat::CreateWindowParams p;
  p.className = kMainWindowClass;
  p.title = kMainWindowTitle;
  p.style = plat::kStyleClipChildren;
  p.rect = plat::Rect{};
  window_ = plat::createWindow(p);
  if (!window_) return false;
  plat::setUserData(window_, reinterpret_cast<uintptr_t>(this));
  plat::moveWindow(window_, skinRect(main(), kPanel, "CPWndRect"), false);

  createButtons();
  layout();
  accelerators_ = mainAccelerators();
  if (context_.acceleratorRegistry.registerPair) context_.acceleratorRegistry.registerPair(window_, &accelerators_);

  if (context_.settings) {
    if (auto top = context_.settings->getBool("/Setting/AlwaysTop")) setAlwaysOnTop(*top);
  }
  if (button(cmd::kMuteToggle) && context_.player) {
    uint32_t muted = 0;
    if (context_.player->engineSetting(kEngineSettingMute, &muted)) setMuteLook(muted != 0);
  }
  if (context_.settings) {
    if (auto s = context_.settings->getBool("/Setting/Shuffle")) setShuffleLook(*s);
  }
  plat::showWindow(window_, true);
  plat::updateWindow(window_);
  return true;
}

plat::Window CMainWnd::button(uint16_t command) const {
  auto it = buttons_.find(command);
  return it == buttons_.end() ? plat::Window{} : it->second.window;
}

void CMainWnd::createButtons() {
  skin::SkinDocument& doc = main();
  const int count = std::clamp(doc.getNumber(kPanel, "CPWndBtNum").value_or(0), 0, kMaxButtons);
  for (int i = 0; i < count; ++i) {
    const auto name = doc.getString(kPanel, "CPWndButtonID" + std::to_string(i));
    if (!name) continue;
    const uint16_t command = commandForButtonName(*name);
    const plat::Rect rect = skinRect(doc, kPanel, "CPWndBtRect" + std::to_string(i));
    const plat::Window b = controls::CreateSkinButton(window_, command, rect);
    if (!b) continue;
    if (command == cmd::kVolumeUp || command == cmd::kVolumeDown)
      controls::SetSkinButtonAutoRepeat(b, command, kVolumeRepeatMs, kVolumeRepeatMs);
    if (command == 0) {
      // An unknown name still shows its button; it issues no command. It is
      // kept out of the command table so it never shadows a real button.
      unnamed_.push_back(Button{b, i});
      continue;
    }
    buttons_[command] = Button{b, i};
  }
}

void CMainWnd::loadButtonImages(uint16_t command, const std::string& prefix) {
  const plat::Window b = button(command);
  if (!b) return;
  for (int s = 0; s < controls::kSkinButtonStates; ++s)
    controls::SetSkinButtonImage(b, s, pictureOrEmpty(main(), prefix + std::to_string(s)));
  plat::invalidate(b);
}

void CMainWnd::buildBackground() {
  skin::SkinDocument& doc = main();
  const plat::Rect rect = skinRect(doc, kPanel, "CPWndRect");
  background_.reset();
  if (!background_.create(rect.size())) return;
  background_.dc->fillRect(plat::Rect{0, 0, rect.width(), rect.height()}, 0x000000);
  if (auto path = doc.getPicturePath(kPanel, "CPWndBgImg")) {
    if (plat::ImagePtr img = skin::imageCache().load(*path))
      background_.dc->drawImage(*img, plat::Rect{0, 0, rect.width(), rect.height()});
  }
  if (!context_.commConfig) return;
  const plat::Rect logoRect = skinRect(doc, kPanel, "CPWndLogoRect");
  const int logos = std::clamp(context_.commConfig->getNumber("WindowLog", "CPWndLogoNum").value_or(0), 0,
                               kMaxButtons);
  int32_t offset = 0;
  for (int i = 0; i < logos; ++i) {
    const auto path = context_.commConfig->getPicturePath("WindowLog", "CPWndLogoImg" + std::to_string(i));
    if (!path) continue;
    plat::ImagePtr img = skin::imageCache().load(*path);
    if (!img) continue;
    const plat::Rect at{logoRect.left + offset, logoRect.top, logoRect.left + offset + img->width(),
                        logoRect.top + img->height()};
    background_.dc->drawImage(*img, at);
    offset += img->width();
  }
}

void CMainWnd::layout() {
  skin::SkinDocument& doc = main();
  if (auto is2x = doc.getNumber(kPanel, "CPWndIs2X")) doubleSize_ = *is2x != 0;
  buildBackground();
  for (const auto& [command, b] : buttons_) {
    plat::moveWindow(b.window, skinRect(doc, kPanel, "CPWndBtRect" + std::to_string(b.index)), false);
    loadButtonImages(command, "CPWndBtImg" + std::to_string(b.index));
  }
  for (const Button& b : unnamed_) {
    plat::moveWindow(b.window, skinRect(doc, kPanel, "CPWndBtRect" + std::to_string(b.index)), false);
    for (int s = 0; s < controls::kSkinButtonStates; ++s)
      controls::SetSkinButtonImage(b.window, s,
                                   pictureOrEmpty(doc, "CPWndBtImg" + std::to_string(b.index) + std::to_string(s)));
  }
  if (playShowsPause_) loadButtonImages(cmd::kPlay, "CPWndBtPauseImg");
  if (context_.player && context_.player->sourceClass() == kSourceClassLive)
    loadButtonImages(cmd::kPreview, "CPWndBtBMLImg");
  if (mute_) loadButtonImages(cmd::kMuteToggle, "CPWndBtUnMuteImg");
  if (!shuffle_) loadButtonImages(cmd::kShuffle, "CPWndBtOrdinaryImg");
  plat::invalidate(window_);
}

void CMainWnd::paint() {
  if (fullScreen_) {
    plat::PaintInfo info;
    if (plat::beginPaint(window_, &info)) plat::endPaint(window_, &info);
    return;
  }
  controls::paintDoubleBuffered(window_, [this](plat::DeviceContext& dc) {
    const plat::Rect client = plat::clientRect(window_);
    if (background_)
      dc.copyFrom(client, *background_.dc, plat::Point{0, 0});
    else
      dc.fillRect(client, 0x000000);
  });
}

// --- looks ------------------------------------------------------------------

void CMainWnd::setPlayLook(bool showsPause) {
  if (showsPause == playShowsPause_) return;
  playShowsPause_ = showsPause;
  loadButtonImages(cmd::kPlay, showsPause ? std::string("CPWndBtPauseImg") : std::string("CPWndBtImg1"));
}

void CMainWnd::setMuteLook(bool muted) {
  mute_ = muted;
  loadButtonImages(cmd::kMuteToggle, muted ? std::string("CPWndBtUnMuteImg") : std::string("CPWndBtImg8"));
}

void CMainWnd::setShuffleLook(bool on) {
  if (on == shuffle_) return;
  shuffle_ = on;
  loadButtonImages(cmd::kShuffle, on ? std::string("CPWndBtImg13") : std::string("CPWndBtOrdinaryImg"));
  if (context_.settings) context_.settings->setBool("/Setting/Shuffle", on);
}

// --- enabling ---------------------------------------------------------------

void CMainWnd::EnableButton(uint16_t command, bool enable) {
  if (const plat::Window b = button(command)) plat::enableWindow(b, enable);
}

bool CMainWnd::buttonEnabled(uint16_t command) const {
  const plat::Window b = button(command);
  return b && plat::isWindowEnabled(b);
}

void CMainWnd::enableButtons(const VexoEventEnableButton& e) {
  using B = VexoEventEnableButton;
  static constexpr std::array<std::pair<uint16_t, unsigned>, 9> kDirect{{
      {cmd::kOpen, B::Open}, {cmd::kStop, B::Stop}, {cmd::kPreviousChannel, B::ChannelUp},
      {cmd::kNextChannel, B::ChannelDown}, {cmd::kPreview, B::Preview}, {cmd::kHelp, B::Help},
      {cmd::kSetting, B::Setting}, {cmd::kFastForward, B::FastForward}, {cmd::kRewind, B::Rewind},
  }};
  for (const auto& [command, index] : kDirect) EnableButton(command, e.GetButtonEnabled(index));

  int32_t state = -1;
  const bool stateKnown = context_.player && context_.player->state(&state);
  if (!stateKnown) state = -1;
  const uint32_t sourceClass = context_.player ? context_.player->sourceClass() : 0;

  if (state == 0 || state == -1) {
    EnableButton(cmd::kPlay, false);
    EnableButton(cmd::kStop, false);
  } else {
    const bool play = e.GetButtonEnabled(B::Play);
    const bool pauseLook = e.GetButtonEnabled(B::PlayShowsPause);
    if (pauseLook && !play) {
      EnableButton(cmd::kPlay, true);
      setPlayLook(true);
    } else {
      EnableButton(cmd::kPlay, play);
      setPlayLook(sourceClass >= 2 && stateKnown && state == kStateRunning);
    }
  }
  if (sourceClass == kSourceClassLive) {
    EnableButton(cmd::kStop, false);
    EnableButton(cmd::kPlay, false);
  }
  const bool fileSource = sourceClass == kSourceClassFile;
  switch (state) {
    case kStateStopped:
    case kStatePaused:
      EnableButton(cmd::kSnapshot, false);
      EnableButton(cmd::kChannelList, !fileSource);
      break;
    case kStateRunning:
      EnableButton(cmd::kSnapshot, true);
      EnableButton(cmd::kChannelList, !fileSource);
      break;
    case kStateRecording:
      EnableButton(cmd::kSnapshot, true);
      break;
    default:
      EnableButton(cmd::kSnapshot, false);
      EnableButton(cmd::kChannelList, false);
      break;
  }
  if (e.GetButtonEnabled(B::RecordingLock)) {
    recordShowsStop_ = true;
    for (uint16_t c : {cmd::kRecord, cmd::kChannelList, cmd::kOpen, cmd::kNavigation}) EnableButton(c, false);
    EnableButton(cmd::kStop, true);
  } else {
    recordShowsStop_ = false;
    EnableButton(cmd::kNavigation, true);
    EnableButton(cmd::kRecord, e.GetButtonEnabled(B::Record) && state == kStateRunning);
  }
  if (e.GetButtonEnabled(B::TimeShiftActive)) {
    timeShiftShowsStop_ = true;
    EnableButton(cmd::kTimeShift, true);
  } else {
    timeShiftShowsStop_ = false;
    EnableButton(cmd::kTimeShift, e.GetButtonEnabled(B::TimeShift));
  }
}

// --- sizes ------------------------------------------------------------------

void CMainWnd::setFullScreen(bool on) {
  if (on == fullScreen_) return;
  if (on) {
    windowModeRect_ = plat::windowRect(window_);
    const plat::Size screen = plat::screenSize();
    if (context_.player) {
      context_.player->showVideo(true);
      context_.player->setEngineSetting(kEngineSettingVideoOutput, (signalWarning_ || dimmed_) ? 0 : 1);
    }
    for (auto& [command, b] : buttons_) plat::showWindow(b.window, false);
    for (const Button& b : unnamed_) plat::showWindow(b.window, false);
    fullScreen_ = true;
    plat::moveWindow(window_, plat::Rect{0, 0, screen.width, screen.height});
  } else {
    fullScreen_ = false;
    if (pendingSkin_) {
      const int32_t index = *pendingSkin_;
      pendingSkin_.reset();
      applySkin(index);
    }
    plat::moveWindow(window_, windowModeRect_.width() > 0 ? windowModeRect_
                                                          : skinRect(main(), kPanel, "CPWndRect"));
    for (auto& [command, b] : buttons_) plat::showWindow(b.window, true);
    for (const Button& b : unnamed_) plat::showWindow(b.window, true);
    if (context_.player) {
      context_.player->showVideo(false);
      context_.player->setEngineSetting(kEngineSettingVideoOutput, 0);
    }
  }
  plat::showWindow(window_, true);
  plat::invalidate(window_);
  plat::updateWindow(window_);
}

void CMainWnd::toggleDoubleSize() {
  if (fullScreen_) return;
  if (plat::screenSize().height <= kDoubleSizeMinScreenHeight) {
    setFullScreen(!fullScreen_);
    return;
  }
  const bool toDouble = !doubleSize_;
  const plat::String16 directory = main().directory();
  if (!context_.reloadMain ||
      !context_.reloadMain(directory, toDouble ? skin::kMainDocumentDouble : skin::kMainDocumentNormal))
    return;  // the old document stays; nothing changes
  const plat::Point topLeft = plat::windowRect(window_).topLeft();
  const plat::Size size = skinRect(main(), kPanel, "CPWndRect").size();
  plat::moveWindow(window_, plat::Rect{topLeft.x, topLeft.y, topLeft.x + size.width, topLeft.y + size.height});
  controls::BroadcastSkinChanged(window_, &main());
  doubleSize_ = toDouble;
  layout();
}

void CMainWnd::setAlwaysOnTop(bool on) {
  alwaysOnTop_ = on;
  plat::setTopmost(window_, on);
}

// --- skins ------------------------------------------------------------------

void CMainWnd::changeSkin(int32_t index) {
  if (fullScreen_) {
    if (context_.settings) {
      context_.settings->setDword("/Setting/LastSkin", static_cast<uint32_t>(index));
      context_.settings->save();
    }
    pendingSkin_ = index;
    return;
  }
  applySkin(index);
}

void CMainWnd::applySkin(int32_t index) {
  if (!context_.skinDirectory || !context_.reloadMain) return;
  const plat::String16 directory = context_.skinDirectory(index);
  if (directory.empty()) return;
  if (!context_.reloadMain(directory, doubleSize_ ? skin::kMainDocumentDouble : skin::kMainDocumentNormal)) return;
  if (context_.settings) {
    context_.settings->setDword("/Setting/LastSkin", static_cast<uint32_t>(index));
    context_.settings->save();
  }
  if (!fullScreen_) plat::moveWindow(window_, skinRect(main(), kPanel, "CPWndRect"));
  windowModeRect_ = skinRect(main(), kPanel, "CPWndRect");
  controls::BroadcastSkinChanged(window_, &main());
  layout();
}

// --- commands and events ----------------------------------------------------

void CMainWnd::onCommand(uint16_t command) {
  switch (command) {
    case cmd::kNextChannel:
      if (buttonEnabled(cmd::kNextChannel) && context_.player) context_.player->nextChannel();
      break;
    case cmd::kPreviousChannel:
      if (buttonEnabled(cmd::kPreviousChannel) && context_.player) context_.player->previousChannel();
      break;
    case cmd::kMinimize:
      plat::showWindow(window_, false);
      break;
    case cmd::kExit:
      if (context_.exit) context_.exit();
      break;
    case cmd::kDoubleSize:
      toggleDoubleSize();
      break;
    case cmd::kMuteToggle:
      setMuteLook(!mute_);
      if (context_.player) context_.player->setEngineSetting(kEngineSettingMute, mute_ ? 1 : 0);
      break;
    case cmd::kShuffle:
      setShuffleLook(!shuffle_);
      break;
    case cmd::kNextSkin: {
      const int32_t count = context_.skinCount ? context_.skinCount() : 0;
      if (count <= 0) break;
      const uint32_t last = context_.settings ? context_.settings->getDword("/Setting/LastSkin").value_or(0) : 0;
      changeSkin(static_cast<int32_t>((last + 1) % static_cast<uint32_t>(count)));
      break;
    }
    case cmd::kFullScreenToggle:
      setFullScreen(!fullScreen_);
      break;
    case cmd::kAlwaysTop:
      setAlwaysOnTop(!alwaysOnTop_);
      break;
    case cmd::kFullScreenOff:
      setFullScreen(false);
      break;
    case cmd::kFullScreenOn:
      setFullScreen(true);
      break;
    default:
      break;  // the flows of the other commands belong to their own windows
  }
}

bool CMainWnd::Event(VexoEvent* event) {
  if (!event || !window_) return false;
  switch (event->type) {
    case VexoEventToggleFullScreen::kType:
      setFullScreen(!fullScreen_);
      return false;
    case VexoEventToggleAlwaysTop::kType:
      setAlwaysOnTop(!alwaysOnTop_);
      return false;
    case VexoEventRefreshUI::kType:
      plat::updateWindow(window_);
      return false;
    case VexoEventEnableButton::kType:
      enableButtons(*static_cast<VexoEventEnableButton*>(event));
      return false;
    case VexoEventChangeSkin::kType:
      changeSkin(static_cast<VexoEventChangeSkin*>(event)->GetSkinIndex());
      return true;
    case VexoEventSignalChanged::kType: {
      const unsigned icon = static_cast<VexoEventSignalChanged*>(event)->DisplaySignalIcon();
      if (icon == 0) signalIconShown_ = true;
      if (icon == 2) signalIconShown_ = false;
      return true;
    }
    case VexoEventSignalQuality::kType: {
      const auto q = static_cast<VexoEventSignalQuality*>(event)->GetQuality();
      if (q == VexoEventSignalQuality::Quality2) signalWarning_ = true;
      if (q == VexoEventSignalQuality::Quality0) signalWarning_ = false;
      return false;
    }
    case VexoEventApplicationExit::kType:
      plat::postQuitMessage(0);
      return false;
    default:
      return false;
  }
}

plat::LResult CMainWnd::windowProc(plat::Window window, uint32_t message, plat::WParam wParam,
                                   plat::LParam lParam) {
  auto* self = reinterpret_cast<CMainWnd*>(plat::userData(window));
  if (!self) return plat::defaultWindowProc(window, message, wParam, lParam);
  return self->handleMessage(message, wParam, lParam);
}

plat::LResult CMainWnd::handleMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
  switch (message) {
    case plat::kMsgPaint:
      paint();
      return 0;
    case plat::kMsgActivate:
      if (wParam != 0 && context_.acceleratorRegistry.activate) context_.acceleratorRegistry.activate(window_);
      break;
    case plat::kMsgClose:
      if (context_.exit) context_.exit();
      return 0;
    case plat::kMsgDrawItem:
      return controls::HandleSkinButtonDrawItem(window_, lParam) ? 1 : 0;
    case plat::kMsgCommand:
      onCommand(plat::commandId(wParam));
      return 0;
    case kMsgSetVideoOutput:
      if (context_.player) context_.player->setEngineSetting(kEngineSettingVideoOutput, static_cast<uint32_t>(lParam));
      return 0;
    case plat::kMsgTimer:
      if (wParam == kTimerRefreshChildren) {
        for (plat::Window c = plat::firstChild(window_); c; c = plat::nextSibling(c)) plat::invalidate(c);
        plat::invalidate(window_);
        plat::killTimer(window_, kTimerRefreshChildren);
        return 0;
      }
      break;
    default:
      break;
  }
  return plat::defaultWindowProc(window_, message, wParam, lParam);
}

}  // namespace tunora::mainwnd
