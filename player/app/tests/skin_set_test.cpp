#include <gtest/gtest.h>

#include "app/skin/skin_set.h"
#include "plat/message.h"
#include "plat/window.h"
#include "skin_fixture.h"

namespace tunora::skin {
namespace {

std::string doc(const std::string& section, const std::string& key, const std::string& value) {
  return "<Skin><Window name=\"" + section + "\"><Item name=\"" + key + "\" value=\"" + value +
         "\"/></Window></Skin>";
}

// A minimal installation: skins.xml naming `count` skins, every document present.
class SkinSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    writeConfig("2");
    for (const SkinDocInfo& info : skinDocTable()) {
      if (info.doc == SkinDoc::Main) continue;
      std::string folder = plat::utf16ToUtf8(info.folder);
      for (char& c : folder)
        if (c == '\\') c = '/';
      dev.write("skins/" + folder + plat::utf16ToUtf8(info.file), doc("Doc", "Name", plat::utf16ToUtf8(info.file)));
    }
    dev.write("skins/blue/dvbplayerskin1X.xml", doc("ControlPanelWindow", "Id", "blue"));
    dev.write("skins/blue/dvbplayerskin.xml", doc("ControlPanelWindow", "Id", "blue-double"));
    dev.write("skins/night/dvbplayerskin1X.xml", doc("ControlPanelWindow", "Id", "night"));
  }
  void writeConfig(const std::string& count) {
    dev.write("skins.xml", R"(<Skins><Window name="SkinsConfig">
      <Item name="SkinsDir" value="skins"/><Item name="FullFunction" value="1"/>
      <Item name="SkinsNumber" value=")" + count + R"("/>
      <Item name="SkinsDir0" value="blue"/><Item name="SkinsName0" value="Blue"/>
      <Item name="SkinsDir1" value="night"/><Item name="SkinsName1" value="Night"/>
      </Window></Skins>)");
  }
  // The last-skin setting as the application would hand it over.
  LastSkinSetting setting() {
    return {[this] { return lastSkin; }, [this](uint32_t v) {
              lastSkin = v;
              ++saves;
            }};
  }
  std::string mainId(SkinSet& set) { return set.main()->getString("ControlPanelWindow", "Id").value_or(""); }

  testing::TempDevice dev;
  uint32_t lastSkin = 0;
  int saves = 0;
};

TEST_F(SkinSetTest, OpensEveryDocumentOfTheLastSkin) {
  lastSkin = 1;
  SkinSet set(dev.progDevice());
  ASSERT_EQ(set.configure(setting()), 2);
  EXPECT_EQ(set.fullFunction(), 1);
  EXPECT_EQ(set.skins()[1].name, "Night");
  EXPECT_EQ(mainId(set), "night");
  for (const SkinDocInfo& info : skinDocTable()) EXPECT_TRUE(set.document(info.doc));
  EXPECT_EQ(saves, 0);
}

TEST_F(SkinSetTest, LastSkinOutOfRangeIsResetAndSaved) {
  for (uint32_t bad : {2u, 50u, 0xFFFFFFFFu}) {
    lastSkin = bad;
    saves = 0;
    SkinSet set(dev.progDevice());
    ASSERT_EQ(set.configure(setting()), 2);
    EXPECT_EQ(lastSkin, 0u);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(mainId(set), "blue");
  }
}

TEST_F(SkinSetTest, SkinCountIsClampedAndZeroOrLessFails) {
  for (const char* n : {"0", "-5", "", "none"}) {
    SCOPED_TRACE(n);
    writeConfig(n);
    SkinSet set(dev.progDevice());
    EXPECT_EQ(set.configure(setting()), 0);
  }
  writeConfig("100000");
  SkinSet set(dev.progDevice());
  EXPECT_EQ(set.configure(setting()), kMaxSkins);
  dev.remove("skins.xml");
  EXPECT_EQ(set.configure(setting()), 0);
}

TEST_F(SkinSetTest, RequiredAndOptionalDocuments) {
  for (const SkinDocInfo& info : skinDocTable()) {
    SCOPED_TRACE(plat::utf16ToUtf8(info.file));
    std::string folder = plat::utf16ToUtf8(info.folder);
    for (char& c : folder)
      if (c == '\\') c = '/';
    const std::string path = info.doc == SkinDoc::Main ? "skins/blue/dvbplayerskin1X.xml"
                                                       : "skins/" + folder + plat::utf16ToUtf8(info.file);
    dev.write(path, "");  // no root element: does not load
    SkinSet set(dev.progDevice());
    EXPECT_EQ(set.configure(setting()) != 0, !info.required);
    if (!info.required) {
      EXPECT_EQ(set.document(info.doc), nullptr);
    }
    dev.write(path, doc("Doc", "Name", "restored"));
  }
}

TEST_F(SkinSetTest, ReloadMainKeepsTheOldOneOnFailure) {
  SkinSet set(dev.progDevice());
  ASSERT_EQ(set.configure(setting()), 2);
  // Both spellings of the normal-size name open the same file.
  ASSERT_TRUE(set.reloadMain(set.skinDirectory(1), u"dvbplayerskin1x.xml"));
  EXPECT_EQ(mainId(set), "night");
  ASSERT_TRUE(set.reloadMain(set.skinDirectory(0), kMainDocumentDouble));
  EXPECT_EQ(mainId(set), "blue-double");
  EXPECT_FALSE(set.reloadMain(set.skinDirectory(1), kMainDocumentDouble));
  EXPECT_EQ(mainId(set), "blue-double");
}

TEST(FileTypeFilters, ListsAreBoundedAndCombined) {
  std::string xml = R"(<S><Window name="FilterListVideo"><I name="SupportedVideoNum" value="2"/>
    <I name="VideoType0" value="ts"/><I name="VideoType1" value="abcdefghijklmnopqrstuvwxyz0123456789"/></Window>
    <Window name="FilterListAudio"><I name="SupportedAudioNum" value="-3"/></Window>
    <Window name="FilterListPicture"><I name="SupportedPictureNum" value="500"/>)";
  for (int i = 0; i < 200; ++i) xml += "<I name=\"PictureType" + std::to_string(i) + "\" value=\"p" + std::to_string(i) + "\"/>";
  xml += "</Window></S>";
  SkinDocument comm;
  ASSERT_TRUE(comm.openMemory(xml, u"\\"));
  const FileTypeFilters f = readFileTypeFilters(comm);
  ASSERT_EQ(f.video.size(), 2u);
  EXPECT_EQ(f.video[0], u"ts");
  EXPECT_EQ(f.video[1].size(), kMaxFilterChars);
  EXPECT_TRUE(f.audio.empty());
  EXPECT_EQ(f.picture.size(), kMaxFilterEntries);
  EXPECT_EQ(f.all.size(), kMaxFilterEntries);
  EXPECT_EQ(f.all[0], u"ts");
  EXPECT_EQ(f.all[2], u"p0");
}

TEST(SkinChanged, ReachesEveryDescendantDepthFirst) {
  std::vector<uint32_t> order;
  const SkinDocument* seen = nullptr;
  plat::WindowClass c;
  c.name = u"SkinBroadcastTest";
  c.proc = [&](plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) -> plat::LResult {
    if (msg == kMsgSkinChanged) {
      order.push_back(static_cast<uint32_t>(plat::controlId(w)));
      seen = reinterpret_cast<const SkinDocument*>(lp);
      EXPECT_EQ(wp, 0u);
      return 0;
    }
    return plat::defaultWindowProc(w, msg, wp, lp);
  };
  ASSERT_TRUE(plat::registerClass(c));
  auto make = [](plat::Window parent, int id) {
    plat::CreateWindowParams p;
    p.className = u"SkinBroadcastTest";
    p.style = parent ? plat::kStyleChild : 0u;
    p.rect = plat::Rect{0, 0, 10, 10};
    p.parent = parent;
    p.controlId = id;
    return plat::createWindow(p);
  };
  plat::Window top = make({}, 0);
  plat::Window a = make(top, 1);
  make(a, 2);  // a grandchild
  make(top, 3);
  SkinDocument doc;
  broadcastSkinChanged(top, &doc);
  EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(seen, &doc);
  plat::destroyWindow(top);
  plat::unregisterClass(u"SkinBroadcastTest");
}

}  // namespace
}  // namespace tunora::skin
