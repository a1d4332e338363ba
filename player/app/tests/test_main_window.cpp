// The main window over a small test skin on a headless screen and the
// virtual clock: layout, command and accelerator tables, button enabling,
// taps, full screen, double size and skin changes.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "VexoEvents.h"
#include "app/main_window/main_window.h"
#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/clock.h"
#include "plat/display.h"
#include "plat/gfx/image.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/input.h"
#include "plat/message.h"
#include "skin_fixture.h"

namespace tunora::mainwnd {
namespace {

constexpr uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b; }

class FakePlayer final : public MainWindowPlayer {
 public:
  bool state(int32_t* s) override {
    *s = currentState;
    return stateKnown;
  }
  uint32_t sourceClass() override { return currentClass; }
  void showVideo(bool show) override { calls.push_back(show ? "ShowVideo 1" : "ShowVideo 0"); }
  bool engineSetting(uint32_t id, uint32_t* value) override {
    auto it = engine.find(id);
    if (it == engine.end()) return false;
    *value = it->second;
    return true;
  }
  void setEngineSetting(uint32_t id, uint32_t value) override {
    engine[id] = value;
    calls.push_back("Set " + std::to_string(id) + "=" + std::to_string(value));
  }
  void nextChannel() override { calls.push_back("NextChannel"); }
  void previousChannel() override { calls.push_back("PreviousChannel"); }

  int32_t currentState = kStateRunning;
  bool stateKnown = true;
  uint32_t currentClass = kSourceClassLive;
  std::map<uint32_t, uint32_t> engine;
  std::vector<std::string> calls;
};

class FakeSettings final : public MainWindowSettings {
 public:
  std::optional<bool> getBool(const char* path) override {
    auto it = bools.find(path);
    return it == bools.end() ? std::nullopt : std::optional<bool>(it->second);
  }
  void setBool(const char* path, bool value) override { bools[path] = value; }
  std::optional<uint32_t> getDword(const char* path) override {
    auto it = dwords.find(path);
    return it == dwords.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
  void setDword(const char* path, uint32_t value) override { dwords[path] = value; }
  void save() override { ++saves; }
  std::map<std::string, bool> bools;
  std::map<std::string, uint32_t> dwords;
  int saves = 0;
};

struct SkinButtonEntry {
  std::string name;
  plat::Rect rect;  // x, y, width, height as the skin writes it
  int colour;       // picture id of its normal image
};

// A main document: background picture `bg`, window size, buttons.
std::string mainDocXml(int bg, int width, int height, bool doubleSize, const std::vector<SkinButtonEntry>& buttons,
                       bool pressedImages = true) {
  std::string x = "<Skin><Picture>";
  for (int id = 1; id <= 9; ++id) x += "<Item id=\"" + std::to_string(id) + "\" value=\"img\\c" + std::to_string(id) + ".png\"/>";
  x += "</Picture><Window name=\"ControlPanelWindow\">";
  x += "<Item name=\"CPWndRect\" value=\"0,0," + std::to_string(width) + "," + std::to_string(height) + "\"/>";
  x += "<Item name=\"CPWndIs2X\" value=\"" + std::string(doubleSize ? "1" : "0") + "\"/>";
  x += "<Item name=\"CPWndBgImg\" value=\"" + std::to_string(bg) + "\"/>";
  x += "<Item name=\"CPWndBtNum\" value=\"" + std::to_string(buttons.size()) + "\"/>";
  for (size_t i = 0; i < buttons.size(); ++i) {
    const std::string n = std::to_string(i);
    const auto& b = buttons[i];
    x += "<Item name=\"CPWndButtonID" + n + "\" value=\"" + b.name + "\"/>";
    x += "<Item name=\"CPWndBtRect" + n + "\" value=\"" + std::to_string(b.rect.left) + "," +
         std::to_string(b.rect.top) + "," + std::to_string(b.rect.right) + "," + std::to_string(b.rect.bottom) +
         "\"/>";
    x += "<Item name=\"CPWndBtImg" + n + "0\" value=\"" + std::to_string(b.colour) + "\"/>";
    if (pressedImages) x += "<Item name=\"CPWndBtImg" + n + "2\" value=\"7\"/>";
    x += "<Item name=\"CPWndBtImg" + n + "3\" value=\"8\"/>";
  }
  x += "<Item name=\"CPWndBtPauseImg0\" value=\"9\"/>";
  x += "</Window></Skin>";
  return x;
}

// Picture colours c1..c9.
constexpr uint8_t kColours[10][3] = {{0, 0, 0},     {20, 40, 60},  {200, 0, 0},   {0, 200, 0},  {0, 0, 200},
                                     {200, 200, 0}, {90, 90, 140}, {250, 250, 250}, {60, 60, 60}, {0, 200, 200}};
uint32_t colour(int id) { return rgb(kColours[id][0], kColours[id][1], kColours[id][2]); }

const std::vector<SkinButtonEntry> kButtons = {
    {"IDC_BUTTON_CHDOWN", {10, 400, 60, 60}, 2},
    {"IDC_BUTTON_PLAY", {80, 400, 60, 60}, 3},
    {"IDC_BUTTON_CHUP", {150, 400, 60, 60}, 4},
    {"IDC_BUTTON_NO_SUCH", {220, 400, 60, 60}, 5},
    {"IDC_BUTTON_STOP", {290, 400, 60, 60}, 2},
    {"IDC_BUTTON_SNAP", {360, 400, 60, 60}, 2},
    {"IDC_BUTTON_CHLIST", {430, 400, 60, 60}, 2},
    {"IDC_BUTTON_RECORD", {500, 400, 60, 60}, 2},
    {"IDC_BUTTON_TIMESHIFT", {570, 400, 60, 60}, 2},
    {"IDC_BUTTON_SHUFFLE", {640, 400, 60, 60}, 2},
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedScreen_ = plat::screenSize();
    plat::setScreenSize(plat::Size{800, 480});
    screen.install();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(true);
    for (const char* dir : {"skinA", "skinB"})
      for (int id = 1; id <= 9; ++id) writePng(std::string(dir) + "/img/c" + std::to_string(id) + ".png", id);
    // Skin B paints its background with colour 6.
    docs[u"skinA\\" + plat::String16(skin::kMainDocumentNormal)] = mainDocXml(1, 800, 480, false, kButtons);
    docs[u"skinA\\" + plat::String16(skin::kMainDocumentDouble)] = mainDocXml(1, 1000, 640, true, kButtons);
    docs[u"skinB\\" + plat::String16(skin::kMainDocumentNormal)] = mainDocXml(6, 800, 480, false, kButtons);
    ASSERT_TRUE(reload(dir(0), skin::kMainDocumentNormal));
    reloads.clear();
  }
  void TearDown() override {
    wnd.reset();
    plat::pumpPendingMessages();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(false);
    plat::setScreenSize(savedScreen_);
  }
  void writePng(const std::string& relative, int id) {
    plat::Surface s;
    s.reset(8, 8, plat::makePixel(kColours[id][0], kColours[id][1], kColours[id][2]));
    std::string bytes;
    ASSERT_FALSE(plat::failed(plat::encodePng(s, false, &bytes)));
    dev.write(relative, bytes);
  }
  plat::String16 dir(int index) const { return dev.progDevice() + (index == 0 ? u"skinA\\" : u"skinB\\"); }
  bool reload(plat::StringView16 directory, plat::StringView16 file) {
    const plat::String16 d(directory);
    const plat::String16 key = d.substr(dev.progDevice().size()) + plat::String16(file);
    reloads.push_back(key);
    auto it = docs.find(key);
    if (it == docs.end()) return false;
    auto doc = std::make_unique<skin::SkinDocument>();
    if (!doc->openMemory(it->second, d)) return false;
    mainDoc = std::move(doc);
    return true;
  }
  MainWindowContext context() {
    MainWindowContext c;
    c.mainDocument = [this] { return mainDoc.get(); };
    c.reloadMain = [this](plat::StringView16 d, plat::StringView16 f) { return reload(d, f); };
    c.skinDirectory = [this](int32_t i) { return i == 0 || i == 1 ? dir(i) : plat::String16{}; };
    c.skinCount = [] { return 2; };
    c.settings = &settings;
    c.player = &player;
    c.exit = [this] { ++exits; };
    return c;
  }
  CMainWnd& create() {
    wnd = std::make_unique<CMainWnd>(context());
    EXPECT_TRUE(wnd->Create());
    plat::pumpPendingMessages();
    return *wnd;
  }
  uint32_t pixelAt(int x, int y) {
    plat::pumpPendingMessages();
    return screen.compose().pixel(x, y) & 0xFFFFFF;
  }
  static plat::Point centre(const SkinButtonEntry& b) {
    return {b.rect.left + b.rect.right / 2, b.rect.top + b.rect.bottom / 2};
  }
  void enableAll() {
    VexoEventEnableButton e;
    for (unsigned i = 0; i < VexoEventEnableButton::kButtonCount; ++i) e.SetButtonEnabled(i, true);
    e.SetButtonEnabled(VexoEventEnableButton::RecordingLock, false);
    e.SetButtonEnabled(VexoEventEnableButton::TimeShiftActive, false);
    e.SetButtonEnabled(VexoEventEnableButton::PlayShowsPause, false);
    wnd->Event(&e);
  }

  skin::testing::TempDevice dev;
  plat::VirtualClock clock;
  plat::ScopedClock scoped{clock};
  plat::Screen screen{plat::Size{800, 480}};
  plat::Size savedScreen_;
  std::map<plat::String16, std::string> docs;
  std::unique_ptr<skin::SkinDocument> mainDoc;
  std::vector<plat::String16> reloads;
  FakePlayer player;
  FakeSettings settings;
  int exits = 0;
  std::unique_ptr<CMainWnd> wnd;
};

TEST_F(MainWindowTest, LaysOutTheSkinsButtonsOverItsBackground) {
  CMainWnd& w = create();
  const plat::Window win = w.window();
  EXPECT_EQ(plat::className(win), kMainWindowClass);
  EXPECT_EQ(plat::windowText(win), kMainWindowTitle);
  EXPECT_EQ(plat::windowRect(win), (plat::Rect{0, 0, 800, 480}));
  EXPECT_FALSE(w.doubleSize());
  for (const SkinButtonEntry& b : kButtons) {
    SCOPED_TRACE(b.name);
    const uint16_t command = commandForButtonName(b.name);
    const plat::Rect expected = plat::Rect::fromXYWH(b.rect.left, b.rect.top, b.rect.right, b.rect.bottom);
    if (command == 0) {
      EXPECT_FALSE(w.button(0));  // an unknown name issues no command
    } else {
      ASSERT_TRUE(w.button(command));
      EXPECT_EQ(plat::windowRectInParent(w.button(command)), expected);
      EXPECT_EQ(plat::controlId(w.button(command)), command);
    }
    EXPECT_EQ(pixelAt(centre(b).x, centre(b).y), colour(b.colour));
  }
  const plat::Window unknown = plat::childById(win, 0);
  ASSERT_TRUE(unknown);  // the button of the unknown name is still shown
  EXPECT_TRUE(plat::isWindowVisible(unknown));
  EXPECT_EQ(pixelAt(400, 100), colour(1));  // background picture
}

TEST_F(MainWindowTest, AStateWithoutAnImageKeyDrawsNothing) {
  docs[u"skinA\\" + plat::String16(skin::kMainDocumentNormal)] = mainDocXml(1, 800, 480, false, kButtons, false);
  ASSERT_TRUE(reload(dir(0), skin::kMainDocumentNormal));
  create();
  enableAll();
  const SkinButtonEntry& chdown = kButtons[0];
  plat::injectMouseDown(centre(chdown));
  EXPECT_EQ(pixelAt(centre(chdown).x, centre(chdown).y), 0u);  // pressed: no image, nothing drawn
  plat::injectMouseUp(centre(chdown));
  EXPECT_EQ(pixelAt(centre(chdown).x, centre(chdown).y), colour(chdown.colour));
}

TEST_F(MainWindowTest, ButtonNamesAndAcceleratorsMapToTheirCommands) {
  const struct {
    const char* name;
    uint16_t command;
  } names[] = {{"IDC_BUTTON_MIN", 10016},   {"IDC_BUTTON_1X2X", 40028},   {"IDC_BUTTON_CHDOWN", 40001},
               {"IDC_BUTTON_CHUP", 40004},  {"IDC_BUTTON_MOVIE", 40048},  {"IDC_BUTTON_MAIN_RETURN", 40047},
               {"IDC_BUTTON_PREVIEW", 10021}, {"idc_button_min", 0},      {"", 0}};
  for (const auto& n : names) EXPECT_EQ(commandForButtonName(n.name), n.command) << n.name;

  const plat::AcceleratorTable table = mainAccelerators();
  EXPECT_EQ(table.entries().size(), 20u);
  const struct {
    uint32_t key, modifiers;
    uint16_t command;
  } keys[] = {{plat::keyF(6), 0, 40028},           {'O', plat::kModControl, 40007},
              {plat::kKeySpace, 0, 40024},         {plat::kKeyPageUp, 0, 40001},
              {plat::kKeyPageDown, 0, 40004},      {plat::kKeyReturn, plat::kModControl, 40011},
              {plat::kKeyLeft, 0, 10018},          {plat::kKeyLeft, plat::kModControl, 40021},
              {plat::kKeyRight, plat::kModControl, 40020}, {plat::kKeyEscape, 0, 40026},
              {'F', plat::kModControl, 40005},     {'F', 0, 0},
              {plat::keyF(2), plat::kModShift, 0}};
  for (const auto& k : keys) EXPECT_EQ(table.find(k.key, k.modifiers), k.command) << k.key;

  // The table is registered and activated with the application's registry,
  // and an accelerator key reaches the window as its command.
  const plat::AcceleratorTable* registered = nullptr;
  plat::Window active, unregistered;
  MainWindowContext c = context();
  c.acceleratorRegistry.registerPair = [&](plat::Window, const plat::AcceleratorTable* t) { registered = t; };
  c.acceleratorRegistry.activate = [&](plat::Window w) { active = w; };
  c.acceleratorRegistry.unregisterPair = [&](plat::Window w) { unregistered = w; };
  wnd = std::make_unique<CMainWnd>(c);
  ASSERT_TRUE(wnd->Create());
  CMainWnd& w = *wnd;
  ASSERT_EQ(registered, &w.accelerators());
  plat::sendMessage(w.window(), plat::kMsgActivate, 1, 0);
  EXPECT_EQ(active, w.window());
  plat::Message m{w.window(), plat::kMsgKeyDown, 'F', plat::packKey(u'f', plat::kModControl)};
  EXPECT_TRUE(plat::translateAccelerator(w.window(), registered ? *registered : table, m));
  plat::pumpPendingMessages();
  EXPECT_TRUE(w.fullScreen());
  const plat::Window window = w.window();
  wnd.reset();
  EXPECT_EQ(unregistered, window);
}

TEST_F(MainWindowTest, ATapOnAButtonRunsItsCommand) {
  CMainWnd& w = create();
  enableAll();
  plat::injectTap(centre(kButtons[0]));  // IDC_BUTTON_CHDOWN, command 40001
  plat::injectTap(centre(kButtons[2]));  // IDC_BUTTON_CHUP, command 40004
  plat::pumpPendingMessages();
  EXPECT_EQ(player.calls, (std::vector<std::string>{"NextChannel", "PreviousChannel"}));

  w.EnableButton(cmd::kNextChannel, false);  // a disabled button runs nothing
  plat::injectTap(centre(kButtons[0]));
  plat::injectTap(centre(kButtons[3]));  // the unknown name: no command
  plat::pumpPendingMessages();
  EXPECT_EQ(player.calls.size(), 2u);

  plat::injectTap(centre(kButtons[9]));  // shuffle: look off, written back
  plat::pumpPendingMessages();
  EXPECT_FALSE(w.shuffle());
  EXPECT_EQ(settings.bools["/Setting/Shuffle"], false);
}

TEST_F(MainWindowTest, ButtonEnablingFollowsStateSourceClassAndFlags) {
  using B = VexoEventEnableButton;
  struct Case {
    const char* what;
    int32_t state;
    bool stateKnown;
    uint32_t sourceClass;
    std::vector<unsigned> flags;
    bool play, stop, snapshot, channelList, record, timeShift, pauseLook;
  };
  const Case cases[] = {
      {"no state", 0, true, 2, {B::Play, B::Stop}, false, false, false, false, false, false, false},
      {"state unknown", 3, false, 2, {B::Play, B::Stop}, false, false, false, false, false, false, false},
      {"running file", 3, true, 1, {B::Play, B::Stop, B::Record}, true, true, true, false, true, false, false},
      {"running other source shows pause", 3, true, 2, {B::Play, B::Stop}, true, true, true, true, false, false, true},
      {"pause flag without play", 2, true, 2, {B::PlayShowsPause}, true, false, false, true, false, false, true},
      {"live tuner forces play and stop off", 3, true, 4, {B::Play, B::Stop, B::Record}, false, false, true, true, true, false, true},
      {"recording locks", 4, true, 2, {B::Play, B::RecordingLock}, true, true, true, false, false, false, false},
      {"record needs running", 1, true, 2, {B::Play, B::Record}, true, false, false, true, false, false, false},
      {"time-shift active", 3, true, 2, {B::TimeShiftActive}, false, false, true, true, false, true, true},
      {"time-shift follows its flag", 3, true, 2, {B::TimeShift}, false, false, true, true, false, true, true},
      {"unknown state", 7, true, 2, {B::Play}, true, false, false, false, false, false, false},
  };
  CMainWnd& w = create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    player.currentState = c.state;
    player.stateKnown = c.stateKnown;
    player.currentClass = c.sourceClass;
    w.EnableButton(cmd::kChannelList, false);
    VexoEventEnableButton e;
    for (unsigned f : c.flags) e.SetButtonEnabled(f, true);
    EXPECT_FALSE(w.Event(&e));
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kPlay)), c.play);
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kStop)), c.stop);
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kSnapshot)), c.snapshot);
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kChannelList)), c.channelList);
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kRecord)), c.record);
    EXPECT_EQ(plat::isWindowEnabled(w.button(cmd::kTimeShift)), c.timeShift);
    if (c.state != 0 && c.stateKnown) {
      EXPECT_EQ(w.playShowsPause(), c.pauseLook);
    }
    EXPECT_EQ(w.recordShowsStop(), e.GetButtonEnabled(B::RecordingLock));
    EXPECT_EQ(w.timeShiftShowsStop(), e.GetButtonEnabled(B::TimeShiftActive));
  }
  // The pause look shows the pause images on the play button.
  player.currentState = 3;
  player.stateKnown = true;
  player.currentClass = 2;
  VexoEventEnableButton e;
  e.SetButtonEnabled(B::Play, true);
  w.Event(&e);
  ASSERT_TRUE(w.playShowsPause());
  EXPECT_EQ(pixelAt(centre(kButtons[1]).x, centre(kButtons[1]).y), colour(9));
}

TEST_F(MainWindowTest, FullScreenOnAndOff) {
  CMainWnd& w = create();
  for (const bool warning : {false, true}) {
    SCOPED_TRACE(warning);
    player.calls.clear();
    VexoEventSignalQuality q(warning ? VexoEventSignalQuality::Quality2 : VexoEventSignalQuality::Quality0);
    w.Event(&q);
    w.Event(nullptr);
    plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kFullScreenOn, 0), 0);
    EXPECT_TRUE(w.fullScreen());
    EXPECT_EQ(player.calls, (std::vector<std::string>{"ShowVideo 1", warning ? "Set 23=0" : "Set 23=1"}));
    EXPECT_FALSE(plat::isWindowVisible(w.button(cmd::kPlay)));
    EXPECT_EQ(plat::windowRect(w.window()), (plat::Rect{0, 0, 800, 480}));
    EXPECT_EQ(pixelAt(100, 100), 0u);  // nothing painted over the video

    player.calls.clear();
    plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kFullScreenOff, 0), 0);
    EXPECT_FALSE(w.fullScreen());
    EXPECT_EQ(player.calls, (std::vector<std::string>{"ShowVideo 0", "Set 23=0"}));
    EXPECT_TRUE(plat::isWindowVisible(w.button(cmd::kPlay)));
    EXPECT_EQ(pixelAt(100, 100), colour(1));
  }
  VexoEventToggleFullScreen t;
  EXPECT_FALSE(w.Event(&t));
  EXPECT_TRUE(w.fullScreen());
  // The shell switches the video output directly.
  player.calls.clear();
  plat::sendMessage(w.window(), kMsgSetVideoOutput, 0, 1);
  EXPECT_EQ(player.calls, (std::vector<std::string>{"Set 23=1"}));
}

TEST_F(MainWindowTest, DoubleSizeAboveSixHundredLinesFullScreenOtherwise) {
  const struct {
    int height;
    bool reloads, fullScreen;
  } cases[] = {{600, false, true}, {601, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.height);
    plat::setScreenSize(plat::Size{1024, c.height});
    ASSERT_TRUE(reload(dir(0), skin::kMainDocumentNormal));
    reloads.clear();
    CMainWnd& w = create();
    plat::moveWindow(w.window(), plat::Rect{5, 7, 805, 487});
    plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kDoubleSize, 0), 0);
    EXPECT_EQ(w.fullScreen(), c.fullScreen);
    EXPECT_EQ(w.doubleSize(), c.reloads);
    if (c.reloads) {
      EXPECT_EQ(reloads, (std::vector<plat::String16>{u"skinA\\" + plat::String16(skin::kMainDocumentDouble)}));
      EXPECT_EQ(plat::windowRect(w.window()), (plat::Rect{5, 7, 1005, 647}));  // corner kept, new size
      // And back to normal size.
      plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kDoubleSize, 0), 0);
      EXPECT_FALSE(w.doubleSize());
      EXPECT_EQ(plat::windowRect(w.window()), (plat::Rect{5, 7, 805, 487}));
    } else {
      EXPECT_TRUE(reloads.empty());
    }
    wnd.reset();
  }
}

TEST_F(MainWindowTest, SkinChangeWaitsForTheEndOfFullScreen) {
  CMainWnd& w = create();
  plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kFullScreenOn, 0), 0);
  VexoEventChangeSkin change(1);
  EXPECT_TRUE(w.Event(&change));
  EXPECT_TRUE(reloads.empty());
  EXPECT_TRUE(w.skinChangePending());
  EXPECT_EQ(settings.dwords["/Setting/LastSkin"], 1u);
  EXPECT_GE(settings.saves, 1);

  plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kFullScreenOff, 0), 0);
  EXPECT_FALSE(w.skinChangePending());
  EXPECT_EQ(reloads, (std::vector<plat::String16>{u"skinB\\" + plat::String16(skin::kMainDocumentNormal)}));
  EXPECT_EQ(pixelAt(400, 100), colour(6));  // skin B's background

  // In window mode the change is immediate; a skin without a document keeps the old one.
  reloads.clear();
  VexoEventChangeSkin back(0);
  EXPECT_TRUE(w.Event(&back));
  EXPECT_EQ(pixelAt(400, 100), colour(1));
  VexoEventChangeSkin bad(5);
  EXPECT_TRUE(w.Event(&bad));
  EXPECT_EQ(pixelAt(400, 100), colour(1));
}

TEST_F(MainWindowTest, SkinBroadcastCarriesTheNewDocumentToGrandchildren) {
  static std::vector<plat::LParam>* seen = nullptr;
  std::vector<plat::LParam> received;
  seen = &received;
  if (!plat::isClassRegistered(u"MainWndTestChild")) {
    plat::WindowClass c;
    c.name = u"MainWndTestChild";
    c.proc = [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
      // A battery message on the same number carries no document.
      if (m == controls::WM_SKINCHANGED && seen) seen->push_back(controls::IsSkinBroadcast(m, lp) ? lp : -1);
      return plat::defaultWindowProc(w, m, wp, lp);
    };
    plat::registerClass(c);
  }
  CMainWnd& w = create();
  plat::CreateWindowParams p;
  p.className = u"MainWndTestChild";
  p.style = plat::kStyleChild;
  p.parent = w.window();
  const plat::Window child = plat::createWindow(p);
  p.parent = child;
  ASSERT_TRUE(plat::createWindow(p));
  plat::sendMessage(child, controls::WM_SKINCHANGED, 0, 0);  // the charging message
  VexoEventChangeSkin change(1);
  w.Event(&change);
  const auto doc = reinterpret_cast<plat::LParam>(mainDoc.get());
  EXPECT_EQ(received, (std::vector<plat::LParam>{-1, doc, doc}));
  seen = nullptr;
}

TEST_F(MainWindowTest, SettingsAppliedAtStartAndWrittenBack) {
  settings.bools["/Setting/AlwaysTop"] = true;
  settings.bools["/Setting/Shuffle"] = false;
  CMainWnd& w = create();
  EXPECT_TRUE(w.alwaysOnTop());
  EXPECT_FALSE(w.shuffle());
  plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kAlwaysTop, 0), 0);
  wnd.reset();
  EXPECT_EQ(settings.bools["/Setting/AlwaysTop"], false);
  plat::sendMessage(plat::Window{}, plat::kMsgClose);
}

}  // namespace
}  // namespace tunora::mainwnd
