// Device path mapping: roots, case-insensitive look-ups, lexical
// normalisation that never escapes a root, default configuration and
// storage-card notifications.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device_root_fixture.h"
#include "plat/paths.h"
#include "plat/text.h"

namespace plat {
namespace {
namespace fs = std::filesystem;
using testing::DeviceRootTest;

class PathsTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    writeHost(root() / "NAND" / "ISDBT" / "Skin" / "dvbplayerskin1X.xml", "<skin/>");
    writeHost(program() / "Setting.xml", "<Setting/>");
    writeHost(card() / "Movies" / "a.ts", "ts");
  }
};

TEST_F(PathsTest, MapsDevicePathsToHostPaths) {
  struct Case {
    const char16_t* device;
    const char* base;  // "root", "program" or "card"
    const char* rel;
  };
  const Case cases[] = {
      {u"\\", "root", ""},
      {u"\\NAND\\ISDBT\\Skin\\dvbplayerskin1X.xml", "root", "NAND/ISDBT/Skin/dvbplayerskin1X.xml"},
      // Mixed-case look-ups find the existing spelling.
      {u"\\NAND\\ISDBT\\Skin\\dvbplayerskin1x.xml", "root", "NAND/ISDBT/Skin/dvbplayerskin1X.xml"},
      {u"\\nand\\isdbt\\SKIN\\DVBPLAYERSKIN1X.XML", "root", "NAND/ISDBT/Skin/dvbplayerskin1X.xml"},
      // '/' is a separator too; ".", ".." and repeated separators resolve lexically.
      {u"/nand/ISDBT/skin/dvbplayerskin1x.xml", "root", "NAND/ISDBT/Skin/dvbplayerskin1X.xml"},
      {u"\\NAND\\.\\x\\..\\ISDBT\\\\Skin\\", "root", "NAND/ISDBT/Skin"},
      // Components that do not exist keep the spelling given, after the existing ones.
      {u"\\nand\\isdbt\\NewDir\\New.TXT", "root", "NAND/ISDBT/NewDir/New.TXT"},
      {u"\\Program Files\\Tunora", "program", ""},
      {u"\\program files\\TUNORA\\setting.XML", "program", "Setting.xml"},
      {u"\\Storage Card", "card", ""},
      {u"\\STORAGE CARD\\movies\\A.TS", "card", "Movies/a.ts"},
      // Climbing out of a card stays inside the device root.
      {u"\\Storage Card\\..\\Other", "root", "Other"},
      // "\Program Files" alone is an ordinary folder of the device root.
      {u"\\Program Files\\Other", "root", "Program Files/Other"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.device));
    fs::path base = std::string(c.base) == "root" ? root() : std::string(c.base) == "program" ? program() : card();
    fs::path expected = std::string(c.rel).empty() ? base : base / c.rel;
    auto host = toHostPath(StringView16(c.device));
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(*host, expected);
  }
}

TEST_F(PathsTest, RefusesPathsThatAreNotRootedOrEscape) {
  const char16_t* refused[] = {u"", u"NAND\\ISDBT", u"\\..", u"\\..\\x", u"\\a\\..\\..\\x",
                               u"\\Storage Card\\..\\..\\etc\\passwd", u"/../x"};
  for (const char16_t* p : refused) {
    SCOPED_TRACE(utf16ToUtf8(p));
    EXPECT_FALSE(toHostPath(StringView16(p)).has_value());
    EXPECT_FALSE(normalizeDevicePath(p).has_value());
  }
  // An embedded NUL would cut the host path short: refused as well.
  EXPECT_FALSE(toHostPath(StringView16(u"\\a\0b", 4)).has_value());
}

TEST_F(PathsTest, Utf8OverloadMapsTheSameWay) {
  auto host = toHostPath(std::string_view("\\nand\\isdbt\\skin\\DVBPLAYERSKIN1x.xml"));
  ASSERT_TRUE(host);
  EXPECT_EQ(*host, root() / "NAND/ISDBT/Skin/dvbplayerskin1X.xml");
}

TEST_F(PathsTest, ExactSpellingWinsOverOtherCaseVariants) {
  writeHost(root() / "dup" / "a.txt", "lower");
  writeHost(root() / "dup" / "A.txt", "upper");
  EXPECT_EQ(*toHostPath(u"\\dup\\a.txt"), root() / "dup" / "a.txt");
  EXPECT_EQ(*toHostPath(u"\\dup\\A.txt"), root() / "dup" / "A.txt");
  // Neither spelled as asked: the first in name order, the same every time.
  EXPECT_EQ(*toHostPath(u"\\dup\\a.TXT"), root() / "dup" / "A.txt");
}

TEST(PathsNormalize, Table) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  };
  const Case cases[] = {
      {u"\\", u"\\"},
      {u"/", u"\\"},
      {u"\\a\\b\\", u"\\a\\b"},
      {u"\\a//b\\\\c", u"\\a\\b\\c"},
      {u"\\a\\.\\b\\..\\c", u"\\a\\c"},
      {u"\\a\\..", u"\\"},
      {u"\\...\\b", u"\\...\\b"},  // "..." is a name, not a climb
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.in));
    auto n = normalizeDevicePath(c.in);
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, c.out);
  }
}

TEST_F(PathsTest, ToDevicePathRoundTripsWithHostSpelling) {
  struct Case {
    const char16_t* device;
    const char16_t* back;
  };
  const Case cases[] = {
      {u"\\", u"\\"},
      {u"\\nand\\isdbt\\skin\\DVBPLAYERSKIN1x.XML", u"\\NAND\\ISDBT\\Skin\\dvbplayerskin1X.xml"},
      {u"\\nand\\New Folder\\x.txt", u"\\NAND\\New Folder\\x.txt"},
      {u"\\Program Files\\Tunora", u"\\Program Files\\Tunora"},
      {u"\\PROGRAM FILES\\tunora\\setting.xml", u"\\Program Files\\Tunora\\Setting.xml"},
      {u"\\storage card", u"\\Storage Card"},
      {u"\\storage card\\MOVIES\\A.ts", u"\\Storage Card\\Movies\\a.ts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.device));
    auto host = toHostPath(StringView16(c.device));
    ASSERT_TRUE(host);
    auto back = toDevicePath(*host);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, c.back);
  }
  EXPECT_FALSE(toDevicePath(base_ / "elsewhere" / "x").has_value());
  EXPECT_FALSE(toDevicePath("/").has_value());
  // Host paths are normalised before they are placed.
  EXPECT_EQ(toDevicePath(card() / ".." / "card" / "Movies"), String16(u"\\Storage Card\\Movies"));
}

TEST(PathsHelpers, SplitAndJoin) {
  EXPECT_EQ(programDirectory(), u"\\Program Files\\Tunora\\");
  EXPECT_EQ(deviceDirectoryOf(u"\\NAND\\ISDBT\\Setting.xml"), u"\\NAND\\ISDBT\\");
  EXPECT_EQ(deviceDirectoryOf(u"\\x"), u"\\");
  EXPECT_EQ(deviceDirectoryOf(u"name"), u"");
  EXPECT_EQ(deviceFileNameOf(u"\\NAND\\ISDBT\\Setting.xml"), u"Setting.xml");
  EXPECT_EQ(deviceFileNameOf(u"\\NAND\\"), u"");
  EXPECT_EQ(deviceFileNameOf(u"plain"), u"plain");
  EXPECT_EQ(joinDevicePath(u"\\NAND\\", u"\\x.txt"), u"\\NAND\\x.txt");
  EXPECT_EQ(joinDevicePath(u"\\NAND", u"x.txt"), u"\\NAND\\x.txt");
  EXPECT_EQ(joinDevicePath(u"\\", u"x"), u"\\x");
  EXPECT_EQ(joinDevicePath(u"", u"x"), u"x");
}

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PathsDefaultConfig, CommandLineThenEnvironmentThenXdg) {
  ScopedEnv root("TUNORA_DEVICE_ROOT", "/env/root");
  ScopedEnv card("TUNORA_STORAGE_CARD", nullptr);
  ScopedEnv xdg("XDG_DATA_HOME", "/xdg");

  PathConfig fromArgv = defaultPathConfig({"Tunora", "--device-root", "/argv/root", "--storage-card=/media/sd"});
  EXPECT_EQ(fromArgv.deviceRoot, fs::path("/argv/root"));
  ASSERT_EQ(fromArgv.storageCards.size(), 1u);
  EXPECT_EQ(fromArgv.storageCards[0].name, u"Storage Card");
  EXPECT_EQ(fromArgv.storageCards[0].hostDir, fs::path("/media/sd"));

  PathConfig fromEnv = defaultPathConfig({});
  EXPECT_EQ(fromEnv.deviceRoot, fs::path("/env/root"));
  ASSERT_EQ(fromEnv.storageCards.size(), 1u);
  EXPECT_EQ(fromEnv.storageCards[0].hostDir, fs::path("/env/root/Storage Card"));
  EXPECT_FALSE(fromEnv.programDir.empty());

  {
    ScopedEnv noRoot("TUNORA_DEVICE_ROOT", nullptr);
    ScopedEnv envCard("TUNORA_STORAGE_CARD", "/media/card");
    PathConfig fromXdg = defaultPathConfig({});
    EXPECT_EQ(fromXdg.deviceRoot, fs::path("/xdg/tunora"));
    EXPECT_EQ(fromXdg.storageCards[0].hostDir, fs::path("/media/card"));
  }
  {
    ScopedEnv noRoot("TUNORA_DEVICE_ROOT", nullptr);
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(defaultPathConfig({}).deviceRoot, fs::path("/home/someone/.local/share/tunora"));
  }
}

TEST_F(PathsTest, StorageCardsArriveAndLeaveWithListenersCalledUnlocked) {
  std::vector<std::pair<String16, bool>> heard;
  size_t cardsSeenInListener = 0;
  int id = addStorageCardListener([&](const StorageCardMount& card, bool arrived) {
    // Calling back into the path module must not deadlock.
    cardsSeenInListener = storageCards().size();
    EXPECT_TRUE(toHostPath(u"\\Storage Card2").has_value());
    heard.emplace_back(card.name, arrived);
  });

  insertStorageCard({u"Storage Card2", base_ / "card2"});
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0], std::make_pair(String16(u"Storage Card2"), true));
  EXPECT_EQ(cardsSeenInListener, 2u);  // the change took effect before the call
  EXPECT_EQ(*toHostPath(u"\\storage card2\\x.ts"), base_ / "card2" / "x.ts");

  insertStorageCard({u"Storage Card2", base_ / "card2"});  // the same card again: no news
  EXPECT_EQ(heard.size(), 1u);

  removeStorageCard(u"STORAGE CARD2");
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1], std::make_pair(String16(u"Storage Card2"), false));
  EXPECT_EQ(cardsSeenInListener, 1u);
  // Without the card the name is an ordinary folder of the device root.
  EXPECT_EQ(*toHostPath(u"\\Storage Card2\\x.ts"), root() / "Storage Card2" / "x.ts");

  removeStorageCard(u"No Such Card");
  EXPECT_EQ(heard.size(), 2u);

  // A new configuration reports the cards that went and came.
  PathConfig config = currentPathConfig();
  config.storageCards = {{u"SD", base_ / "sd"}};
  configurePaths(config);
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_EQ(heard[2], std::make_pair(String16(u"Storage Card"), false));
  EXPECT_EQ(heard[3], std::make_pair(String16(u"SD"), true));
  EXPECT_TRUE(fs::is_directory(base_ / "sd"));  // configure creates card folders

  removeStorageCardListener(id);
  insertStorageCard({u"Storage Card3", base_ / "card3"});
  EXPECT_EQ(heard.size(), 4u);
}

}  // namespace
}  // namespace plat
