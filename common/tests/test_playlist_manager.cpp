// The playlist manager over real "Playlist.xml" files in a private device root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plat/file.h"
#include "plat/paths.h"
#include "vexo/playlist.h"

namespace {

constexpr char16_t kPath[] = u"\\Norvale\\Playlist.xml";

class PlaylistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("playlist-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    plat::PathConfig cfg;
    cfg.deviceRoot = root_;
    cfg.programDir = root_ / "program";
    plat::configurePaths(cfg);
    ASSERT_EQ(plat::createDirectories(u"\\Norvale"), plat::S_OK);
    ASSERT_EQ(CoCreateVexoCmnPlaylistManager(manager_.put()), plat::S_OK);
    ASSERT_TRUE(manager_);
  }
  void TearDown() override {
    plat::setAtomicReplaceFault({});
    manager_.reset();
    std::filesystem::remove_all(root_);
  }

  void write(std::string_view text) { ASSERT_EQ(plat::atomicReplace(kPath, text), plat::S_OK); }
  void load(std::string_view text) {
    write(text);
    ASSERT_EQ(manager_->Load(kPath), plat::S_OK);
  }
  std::string fileText(const char16_t* path = kPath) {
    std::string bytes;
    EXPECT_EQ(plat::readWholeFile(path, &bytes), plat::S_OK);
    return bytes;
  }
  McPtr<IVexoCmnPlaylist> list(uint32_t index) { return McPtr<IVexoCmnPlaylist>::adopt(manager_->GetPlaylist(index)); }
  static std::u16string name(IVexoCmnPlaylist* list) {
    char16_t buffer[260] = {};
    return plat::succeeded(list->GetName(buffer, 260)) ? std::u16string(buffer) : u"<none>";
  }
  static std::vector<std::u16string> paths(IVexoCmnPlaylist* list) {
    std::vector<std::u16string> out;
    for (uint32_t i = 0; i < list->GetItemCount(); ++i) {
      auto item = McPtr<IVexoCmnPlaylistItem>::adopt(list->GetItem(i));
      char16_t buffer[260] = {};
      out.push_back(item && plat::succeeded(item->GetPath(buffer, 260)) ? std::u16string(buffer) : u"<none>");
    }
    return out;
  }

  std::filesystem::path root_;
  McPtr<IVexoCmnPlaylistManager> manager_;
};

constexpr char kThree[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Playlist><list name=\"Current Playing\"><item>\\a\\one.ts</item><item>\\a\\two.ts</item>"
    "<item>\\a\\three.ts</item></list><list name=\"Drama\"/></Playlist>\n";

TEST_F(PlaylistTest, AnswersIUnknownOnly) {
  void* p = nullptr;
  EXPECT_EQ(manager_->QueryInterface(IID_IVexoCmnScheduler, &p), plat::E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(manager_->QueryInterface(IID_IUnknown, &p), plat::S_OK);
  static_cast<IMcUnknown*>(p)->Release();
  IVexoCmnPlaylistManager** none = nullptr;
  EXPECT_EQ(CoCreateVexoCmnPlaylistManager(none), plat::E_FAIL);
}

TEST_F(PlaylistTest, LoadResults) {
  struct Case {
    const char* what;
    const char* text;
    Status result;
    uint32_t count;
  };
  const Case cases[] = {
      {"upper-case root", "<PLAYLIST><list name=\"a\"/></PLAYLIST>", plat::S_OK, 1},
      {"root after a comment", "<!-- c --><playlist><list name=\"a\"/><list name=\"b\"/></playlist>", plat::S_OK, 2},
      {"other root", "<Playlists><list name=\"a\"/></Playlists>", plat::E_FAIL, 0},
      {"not XML", "just words", plat::E_FAIL, 0},
      {"truncated, recovered", "<Playlist><list name=\"a\"><item>\\x", plat::S_OK, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write(c.text);
    EXPECT_EQ(manager_->Load(kPath), c.result);
    EXPECT_EQ(manager_->GetPlaylistCount(), c.count);
  }
}

TEST_F(PlaylistTest, MissingFileIsCreatedEmptyAndEmptyFileFails) {
  EXPECT_EQ(manager_->Load(kPath), plat::E_FAIL);
  EXPECT_TRUE(plat::fileExists(kPath));
  EXPECT_EQ(fileText(), "");
  EXPECT_EQ(manager_->Load(kPath), plat::E_FAIL);
  EXPECT_EQ(manager_->Load(nullptr), plat::E_INVALIDARG);
}

TEST_F(PlaylistTest, WithoutDocumentEveryCallFailsCleanly) {
  load(kThree);
  auto before = list(0);
  auto item = McPtr<IVexoCmnPlaylistItem>::adopt(before->GetItem(0));
  ASSERT_TRUE(before && item);
  write("");
  ASSERT_EQ(manager_->Load(kPath), plat::E_FAIL);

  uint32_t index = 7;
  EXPECT_EQ(manager_->FindPlaylist(u"Drama", &index), plat::E_FAIL);
  EXPECT_EQ(index, 7u);
  EXPECT_EQ(manager_->GetPlaylist(0), nullptr);
  EXPECT_EQ(manager_->GetPlaylistByName(u"Drama"), nullptr);
  EXPECT_EQ(manager_->GetPlaylistCount(), 0u);
  EXPECT_EQ(manager_->AddPlaylist(u"New", &index), plat::E_FAIL);
  EXPECT_EQ(manager_->DeletePlaylist(0), plat::E_FAIL);
  EXPECT_EQ(manager_->Save(u"\\Norvale\\Out.xml"), plat::E_FAIL);
  EXPECT_FALSE(plat::fileExists(u"\\Norvale\\Out.xml"));

  // Wrappers of the dropped document fail instead of reading freed memory.
  char16_t buffer[260];
  EXPECT_EQ(before->GetName(buffer, 260), plat::E_FAIL);
  EXPECT_EQ(before->GetItemCount(), 0u);
  EXPECT_EQ(before->AddItem(u"\\x.ts", nullptr), plat::E_FAIL);
  EXPECT_EQ(before->MoveItemDown(0), plat::E_FAIL);
  EXPECT_EQ(item->GetPath(buffer, 260), plat::E_FAIL);
  EXPECT_EQ(item->GetFileName(buffer, 260), plat::E_FAIL);
}

TEST_F(PlaylistTest, ElementNamesAndPlaylistNamesIgnoreCaseButCountDoesNot) {
  load("<Playlist><List name=\"Upper\"><ITEM>\\u.ts</ITEM></List><list name=\"lower\"/></Playlist>");
  EXPECT_EQ(manager_->GetPlaylistCount(), 1u);  // "List" is not counted
  auto upper = list(0);                           // but it is numbered
  ASSERT_TRUE(upper);
  EXPECT_EQ(name(upper.get()), u"Upper");
  EXPECT_EQ(upper->GetItemCount(), 1u);
  EXPECT_EQ(name(list(1).get()), u"lower");

  uint32_t index = 9;
  EXPECT_EQ(manager_->FindPlaylist(u"LOWER", &index), plat::S_OK);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(manager_->FindPlaylist(u"missing", &index), plat::E_FAIL);
  EXPECT_EQ(manager_->FindPlaylist(u"lower", nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(manager_->GetPlaylistByName(u""), nullptr);

  EXPECT_EQ(manager_->AddPlaylist(u"uPPER", &index), plat::S_OK);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(manager_->GetPlaylistCount(), 1u);
  EXPECT_EQ(manager_->AddPlaylist(u"Third", &index), plat::S_OK);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(manager_->GetPlaylistCount(), 2u);
  auto third = McPtr<IVexoCmnPlaylist>::adopt(manager_->GetPlaylistByName(u"third"));
  ASSERT_TRUE(third);
  EXPECT_EQ(name(third.get()), u"Third");
}

TEST_F(PlaylistTest, FindItemGivesTheLastEqualPathExactly) {
  load("<Playlist><list name=\"a\"><item>\\x\\same.ts</item><item>\\x\\other.ts</item>"
       "<item>\\x\\same.ts</item><item>\\X\\SAME.ts</item></list></Playlist>");
  auto a = list(0);
  uint32_t index = 0;
  auto found = McPtr<IVexoCmnPlaylistItem>::adopt(a->FindItem(u"\\x\\same.ts", &index));
  ASSERT_TRUE(found);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(a->FindItem(u"\\x\\none.ts", &index), nullptr);
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(a->FindItem(nullptr, &index), nullptr);
}

TEST_F(PlaylistTest, MovesAtBothEnds) {
  struct Case {
    const char* what;
    bool down;
    uint32_t index;
    Status result;
    std::vector<std::u16string> order;
  };
  const Case cases[] = {
      {"down the middle", true, 1, plat::S_OK, {u"\\a\\one.ts", u"\\a\\three.ts", u"\\a\\two.ts"}},
      {"down the last", true, 2, plat::S_OK, {u"\\a\\one.ts", u"\\a\\two.ts", u"\\a\\three.ts"}},
      {"up the first", false, 0, plat::S_OK, {u"\\a\\one.ts", u"\\a\\two.ts", u"\\a\\three.ts"}},
      {"up the last", false, 2, plat::S_OK, {u"\\a\\one.ts", u"\\a\\three.ts", u"\\a\\two.ts"}},
      {"down beyond", true, 3, plat::E_FAIL, {u"\\a\\one.ts", u"\\a\\two.ts", u"\\a\\three.ts"}},
      {"up beyond", false, 3, plat::E_FAIL, {u"\\a\\one.ts", u"\\a\\two.ts", u"\\a\\three.ts"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    load(kThree);
    auto a = list(0);
    EXPECT_EQ(c.down ? a->MoveItemDown(c.index) : a->MoveItemUp(c.index), c.result);
    EXPECT_EQ(paths(a.get()), c.order);
  }
}

TEST_F(PlaylistTest, AddAndDelete) {
  load(kThree);
  EXPECT_EQ(manager_->DeletePlaylist(5), plat::S_OK);
  EXPECT_EQ(manager_->GetPlaylistCount(), 2u);
  auto a = list(0);
  uint32_t index = 0;
  EXPECT_EQ(a->AddItem(u"\\b\\four.ts", &index), plat::S_OK);
  EXPECT_EQ(index, 3u);
  EXPECT_EQ(a->AddItem(nullptr, &index), plat::E_INVALIDARG);
  auto second = McPtr<IVexoCmnPlaylistItem>::adopt(a->GetItem(1));
  EXPECT_EQ(a->DeleteItem(1), plat::S_OK);
  EXPECT_EQ(a->DeleteItem(9), plat::S_OK);
  EXPECT_EQ(paths(a.get()), (std::vector<std::u16string>{u"\\a\\one.ts", u"\\a\\three.ts", u"\\b\\four.ts"}));
  char16_t buffer[260];
  EXPECT_EQ(second->GetPath(buffer, 260), plat::E_FAIL);  // its element is gone

  EXPECT_EQ(manager_->DeletePlaylist(0), plat::S_OK);
  EXPECT_EQ(manager_->GetPlaylistCount(), 1u);
  EXPECT_EQ(a->GetItemCount(), 0u);
  EXPECT_EQ(a->AddItem(u"\\c.ts", nullptr), plat::E_FAIL);
  EXPECT_EQ(name(list(0).get()), u"Drama");
}

TEST_F(PlaylistTest, NamesAndItemsRefuseCharactersXmlCannotHold) {
  load(kThree);
  auto a = list(0);
  EXPECT_EQ(a->AddItem(u"\\bad\x01name.ts", nullptr), plat::E_INVALIDARG);
  const char16_t lone[] = {u'a', 0xD800, 0};
  EXPECT_EQ(manager_->AddPlaylist(lone, nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(a->SetName(u"tab\tok"), plat::S_OK);
  EXPECT_EQ(a->SetName(u"bell\x07"), plat::E_FAIL);
  EXPECT_EQ(a->SetName(nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(name(a.get()), u"tab\tok");
}

TEST_F(PlaylistTest, FileNameIsTruncatedToTheCapacity) {
  load("<Playlist><list name=\"a\"><item>\\Storage Card\\録画\\ニュース.ts</item><item>plain.ts</item>"
       "<item/></list></Playlist>");
  auto a = list(0);
  auto first = McPtr<IVexoCmnPlaylistItem>::adopt(a->GetItem(0));
  char16_t buffer[260];
  EXPECT_EQ(first->GetFileName(buffer, 260), plat::S_OK);
  EXPECT_EQ(std::u16string(buffer), u"ニュース.ts");
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(first->GetFileName(small, 4), plat::S_FALSE);
  EXPECT_EQ(std::u16string(small), u"ニュー");
  EXPECT_EQ(first->GetFileName(small, 0), plat::E_INVALIDARG);
  EXPECT_EQ(first->GetFileName(nullptr, 260), plat::E_INVALIDARG);
  auto plain = McPtr<IVexoCmnPlaylistItem>::adopt(a->GetItem(1));
  EXPECT_EQ(plain->GetFileName(buffer, 260), plat::S_OK);
  EXPECT_EQ(std::u16string(buffer), u"plain.ts");
  auto empty = McPtr<IVexoCmnPlaylistItem>::adopt(a->GetItem(2));
  EXPECT_EQ(empty->GetPath(buffer, 260), plat::E_FAIL);
}

TEST_F(PlaylistTest, JapaneseNamesAndAmpersandsSurviveSaveAndReload) {
  load("<Playlist/>");
  uint32_t index = 0;
  ASSERT_EQ(manager_->AddPlaylist(u"ドラマ & 映画", &index), plat::S_OK);
  auto drama = list(index);
  ASSERT_EQ(drama->AddItem(u"\\Storage Card\\録画\\トム&ジェリー <1>.ts", nullptr), plat::S_OK);
  ASSERT_EQ(manager_->Save(kPath), plat::S_OK);
  std::string text = fileText();
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
  EXPECT_NE(text.find("ドラマ &amp; 映画"), std::string::npos) << text;
  EXPECT_NE(text.find("トム&amp;ジェリー &lt;1&gt;.ts"), std::string::npos) << text;

  McPtr<IVexoCmnPlaylistManager> again;
  ASSERT_EQ(CoCreateVexoCmnPlaylistManager(again.put()), plat::S_OK);
  ASSERT_EQ(again->Load(kPath), plat::S_OK);
  auto reloaded = McPtr<IVexoCmnPlaylist>::adopt(again->GetPlaylistByName(u"ドラマ & 映画"));
  ASSERT_TRUE(reloaded);
  EXPECT_EQ(paths(reloaded.get()), (std::vector<std::u16string>{u"\\Storage Card\\録画\\トム&ジェリー <1>.ts"}));
}

TEST_F(PlaylistTest, FailedSaveLeavesTheOldFileWhole) {
  load(kThree);
  ASSERT_EQ(manager_->AddPlaylist(u"Extra", nullptr), plat::S_OK);
  plat::setAtomicReplaceFault([](const std::filesystem::path&) { return plat::E_FAIL; });
  EXPECT_EQ(manager_->Save(kPath), plat::E_FAIL);
  plat::setAtomicReplaceFault({});
  EXPECT_EQ(fileText(), kThree);
  std::vector<std::string> leftovers;
  for (const auto& e : std::filesystem::directory_iterator(root_ / "Norvale")) leftovers.push_back(e.path().filename());
  EXPECT_EQ(leftovers, std::vector<std::string>{"Playlist.xml"});
  EXPECT_EQ(manager_->Save(u"\\NoSuchFolder\\Playlist.xml"), plat::E_FAIL);
  EXPECT_EQ(manager_->Save(kPath), plat::S_OK);
  EXPECT_NE(fileText().find("Extra"), std::string::npos);
}

TEST_F(PlaylistTest, WrappersOutlivingTheManagerFailCleanly) {
  load(kThree);
  auto a = list(0);
  auto item = McPtr<IVexoCmnPlaylistItem>::adopt(a->GetItem(0));
  manager_.reset();
  char16_t buffer[260];
  EXPECT_EQ(a->GetName(buffer, 260), plat::E_FAIL);
  EXPECT_EQ(a->GetItem(0), nullptr);
  EXPECT_EQ(item->GetPath(buffer, 260), plat::E_FAIL);
}

}  // namespace
