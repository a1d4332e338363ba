// The string table loader: language list, locale selection, lookups and the
// key shown for a missing text.
#include <gtest/gtest.h>

#include <string>

#include "../../platform/tests/device_root_fixture.h"
#include "vexo/string_loader.h"

namespace {

namespace fs = std::filesystem;
using plat::E_FAIL;
using plat::E_INVALIDARG;
using plat::S_OK;

const char kTable[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<String>
  <Locale LCID="1033">
    <MainWindow>
      <NoChannel>No channel</NoChannel>
      <NoSource>No source</NoSource>
      <Record>
        <Hint>Recording &amp; more &lt;</Hint>
      </Record>
    </MainWindow>
    <Mainwindow><NoSDCard>No SD card</NoSDCard></Mainwindow>
    <Dup><A>first</A></Dup>
    <Dup><A>second</A><B>hidden</B></Dup>
    <Empty></Empty>
  </Locale>
  <Locale>
    <MainWindow><NoChannel>no number</NoChannel></MainWindow>
  </Locale>
  <locale LCID="1041">
    <MainWindow><NoChannel>チャンネルがありません</NoChannel></MainWindow>
  </locale>
  <Locale LCID="1033">
    <MainWindow><NoChannel>duplicate</NoChannel></MainWindow>
  </Locale>
</String>
)";

class StringLoaderTest : public plat::testing::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    ASSERT_EQ(CoCreateVexoCmnStringLoader(loader_.put()), S_OK);
    ASSERT_TRUE(loader_);
  }
  Status load(const std::string& bytes) {
    writeHost(program() / "String.xml", bytes);
    return loader_->Load(u"\\Program Files\\Tunora\\String.xml");
  }
  std::u16string get(const char* key, Status* st, uint32_t capacity = plat::kMaxPath) {
    char16_t buffer[plat::kMaxPath] = u"untouched";
    *st = loader_->GetString(key, buffer, capacity);
    return buffer;
  }
  McPtr<IVexoCmnStringLoader> loader_;
};

TEST_F(StringLoaderTest, LanguageListInFileOrder) {
  ASSERT_EQ(load(kTable), S_OK);
  ASSERT_EQ(loader_->GetLocaleCount(), 3u) << "a Locale without LCID is not listed";
  EXPECT_EQ(loader_->GetLocale(0), 1033);
  EXPECT_EQ(loader_->GetLocale(1), 1041);
  EXPECT_EQ(loader_->GetLocale(2), 1033);
  EXPECT_EQ(loader_->GetLocale(3), 0) << "an index past the list";
  EXPECT_EQ(loader_->GetLocale(0xFFFFFFFFu), 0);
}

TEST_F(StringLoaderTest, LookupsInTheSelectedLanguage) {
  ASSERT_EQ(load(kTable), S_OK);
  Status st;
  EXPECT_EQ(loader_->GetLCID(), 0);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"/MainWindow/NoChannel") << "language 0 selects nothing";
  EXPECT_EQ(st, E_FAIL);

  EXPECT_EQ(loader_->SetLCID(1041), S_OK);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"チャンネルがありません");
  EXPECT_EQ(st, S_OK);
  EXPECT_EQ(get("/MainWindow/NoSource", &st), u"/MainWindow/NoSource") << "no fall-back to another language";
  EXPECT_EQ(st, E_FAIL);

  loader_->SetLCID(1033);
  struct Case {
    const char* key;
    std::u16string text;
    Status status;
  };
  const Case cases[] = {
      {"/MainWindow/NoChannel", u"No channel", S_OK},  // the first Locale of a number wins
      {"/MainWindow/Record/Hint", u"Recording & more <", S_OK},
      {"/MainWindow/Record", u"/MainWindow/Record", E_FAIL},  // a group has no text
      {"/Mainwindow/NoSDCard", u"No SD card", S_OK},
      {"/MainWindow/NoSDCard", u"/MainWindow/NoSDCard", E_FAIL},  // names are case-sensitive
      {"/Dup/A", u"first", S_OK},
      {"/Dup/B", u"/Dup/B", E_FAIL},  // only the first sibling is walked
      {"/Empty", u"/Empty", E_FAIL},
      {"/Nothing/Here", u"/Nothing/Here", E_FAIL},
      {"/MainWindow/NoChannel/", u"/MainWindow/NoChannel/", E_FAIL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(get(c.key, &st), c.text) << c.key;
    EXPECT_EQ(st, c.status) << c.key;
  }
  EXPECT_EQ(get("/MainWindow/NoChannel", &st, 4), u"No ");
  EXPECT_EQ(st, S_OK);
  EXPECT_EQ(get("MainWindow/NoChannel", &st), u"untouched");
  EXPECT_EQ(st, E_INVALIDARG);
  EXPECT_EQ(get(nullptr, &st), u"untouched");
  EXPECT_EQ(st, E_INVALIDARG);
  EXPECT_EQ(loader_->GetString("/MainWindow/NoChannel", nullptr, 10), E_INVALIDARG);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st, 0), u"untouched");
  EXPECT_EQ(st, E_INVALIDARG);
  loader_->SetLCID(2052);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"/MainWindow/NoChannel");
  EXPECT_EQ(st, E_FAIL);
}

TEST_F(StringLoaderTest, ReloadReplacesTheTableAndKeepsTheLanguage) {
  ASSERT_EQ(load(kTable), S_OK);
  loader_->SetLCID(1041);
  std::string edited = kTable;
  edited.replace(edited.find("チャンネルがありません"), std::string("チャンネルがありません").size(), "新しい");
  writeHost(program() / "String.xml", edited);
  Status st;
  loader_->SetLCID(1041);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"チャンネルがありません") << "no reload without Load";
  ASSERT_EQ(loader_->Load(u"\\Program Files\\Tunora\\String.xml"), S_OK);
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"新しい");
  EXPECT_EQ(loader_->GetLCID(), 1041);
}

TEST_F(StringLoaderTest, FailedLoadsLeaveNothingLoaded) {
  ASSERT_EQ(load(kTable), S_OK);
  loader_->SetLCID(1033);
  EXPECT_EQ(loader_->Load(nullptr), E_INVALIDARG);
  EXPECT_EQ(loader_->Load(u"\\Program Files\\Tunora\\Missing.xml"), E_FAIL);
  EXPECT_EQ(loader_->GetLocaleCount(), 0u);
  Status st;
  EXPECT_EQ(get("/MainWindow/NoChannel", &st), u"/MainWindow/NoChannel");
  EXPECT_EQ(st, E_FAIL);
  EXPECT_EQ(load("not xml at all"), E_FAIL);
  EXPECT_EQ(loader_->GetLocaleCount(), 0u);
  // Recovery keeps what precedes the damage.
  EXPECT_EQ(load("<String><Locale LCID=\"1033\"><A>x</A></Locale><Locale LCID=\"1041\"><B>y"), S_OK);
  EXPECT_EQ(loader_->GetLocaleCount(), 2u);
  EXPECT_EQ(get("/A", &st), u"x");
  EXPECT_EQ(st, S_OK);
}

TEST_F(StringLoaderTest, FactoryAndInterface) {
  EXPECT_EQ(CoCreateVexoCmnStringLoader(nullptr), plat::E_POINTER);
  auto again = mcQuery<IVexoCmnStringLoader>(loader_.get());
  EXPECT_EQ(again.get(), loader_.get());
  void* other = nullptr;
  EXPECT_EQ(loader_->QueryInterface(IID_IVexoCmnSetting, &other), plat::E_NOINTERFACE);
}

// The shipped table: every language names itself and holds the main texts.
TEST_F(StringLoaderTest, ShippedTable) {
  writeHost(program() / "String.xml", readHost(fs::path(TUNORA_DATA_DIR) / "String.xml"));
  ASSERT_EQ(loader_->Load(u"\\Program Files\\Tunora\\String.xml"), S_OK);
  ASSERT_EQ(loader_->GetLocaleCount(), 6u);
  Status st;
  for (uint32_t i = 0; i < loader_->GetLocaleCount(); ++i) {
    int32_t lcid = loader_->GetLocale(i);
    loader_->SetLCID(lcid);
    std::u16string name = get("/MainWindow/NoChannel", &st);
    EXPECT_EQ(st, S_OK) << lcid;
    for (const char* key : {"/LanguageName/English", "/LanguageName/Japanese", "/Mainwindow/NoSDCard",
                            "/SettingDlg/ScanPage/Caption", "/Japan/Tokyo"}) {
      get(key, &st);
      EXPECT_EQ(st, S_OK) << lcid << " " << key;
    }
  }
  loader_->SetLCID(1041);
  EXPECT_EQ(get("/LanguageName/Japanese", &st), u"日本語");
}

}  // namespace
