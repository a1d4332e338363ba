// The settings store, file kind: typed round trips through save and reload,
// type strictness, path rules, the resident flash path, damaged files and the
// atomic save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../platform/tests/device_root_fixture.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "vexo/setting.h"

namespace {

namespace fs = std::filesystem;
using plat::E_FAIL;
using plat::E_INVALIDARG;
using plat::S_OK;

constexpr char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class SettingStoreTest : public plat::testing::DeviceRootTest {
 protected:
  McPtr<IVexoCmnSetting> open(const char* product = "Ondavue") {
    McPtr<IVexoCmnSetting> store;
    EXPECT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", product, store.put()), S_OK);
    EXPECT_TRUE(store);
    return store;
  }
  fs::path storeFile(const char* product = "Ondavue") const {
    return root() / "NAND" / "ISDBT" / "Norvale" / product / "Setting.xml";
  }
  void writeStore(const std::string& body, const char* product = "Ondavue") {
    writeHost(storeFile(product), std::string(kHeader) + body);
  }
  static std::u16string getString(IVexoCmnSetting* s, const char* path, Status* st) {
    char16_t buffer[plat::kMaxPath] = u"unchanged";
    *st = s->GetString(path, buffer, plat::kMaxPath);
    return buffer;
  }
};

TEST_F(SettingStoreTest, FreshStoreCreatesItsFolderAndAnEmptyFile) {
  auto store = open();
  EXPECT_EQ(store->GetKind(), 0u);
  EXPECT_STREQ(store->GetCompany(), "Norvale");
  EXPECT_STREQ(store->GetProduct(), "Ondavue");
  ASSERT_TRUE(fs::is_regular_file(storeFile()));
  EXPECT_EQ(fs::file_size(storeFile()), 0u);
  EXPECT_EQ(store->Exists(), 0);
  EXPECT_EQ(store->SetDWORD("/Setting/Volume", 30), S_OK);
  EXPECT_EQ(store->Exists(), 0) << "sets stay in memory until Save";
  EXPECT_EQ(store->Save(), S_OK);
  EXPECT_EQ(store->Exists(), 1);
}

TEST_F(SettingStoreTest, EveryTypeSurvivesSaveAndReload) {
  struct Case {
    const char* path;
    std::u16string text;
  };
  const std::vector<Case> strings = {
      {"/Setting/Scan/LiveInSourceName", u"ワンセグ チューナー"},
      {"/Setting/LastFile", u""},
      {"/Setting/ParentControl/Password", u""},
      {"/Setting/PVR/Path", u"\\Storage Card\\A & B <1>\\"},
      {"/Setting/LastPlayList/Name", u"]]> \"quoted\" 'x' &amp; \U0001F4FA"},
      {"/Setting/SourceFontDir", u"tab\tline\nbreak\r"},
  };
  {
    auto store = open();
    for (const Case& c : strings) EXPECT_EQ(store->SetString(c.path, c.text.c_str()), S_OK) << c.path;
    EXPECT_EQ(store->SetDWORD("/Setting/Volume", 0xFFFFFFFFu), S_OK);
    EXPECT_EQ(store->SetDWORD("/Setting/Mute", 0), S_OK);
    EXPECT_EQ(store->SetBool("/Setting/Shuffle", 7), S_OK);
    EXPECT_EQ(store->SetBool("/Setting/AlwaysTop", 0), S_OK);
    EXPECT_EQ(store->SetString("/ApplicationVersion", u"1.0.0.2"), S_OK);
    ASSERT_EQ(store->Save(), S_OK);
  }
  auto store = open();
  for (const Case& c : strings) {
    Status st;
    EXPECT_EQ(getString(store.get(), c.path, &st), c.text) << c.path;
    EXPECT_EQ(st, S_OK) << c.path;
  }
  uint32_t dword = 1;
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &dword), S_OK);
  EXPECT_EQ(dword, 0xFFFFFFFFu);
  EXPECT_EQ(store->GetDWORD("/Setting/Mute", &dword), S_OK);
  EXPECT_EQ(dword, 0u);
  uint8_t flag = 9;
  EXPECT_EQ(store->GetBool("/Setting/Shuffle", &flag), S_OK);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(store->GetBool("/Setting/AlwaysTop", &flag), S_OK);
  EXPECT_EQ(flag, 0);
  // The special characters are stored as text, not as markup.
  std::string file = readHost(storeFile());
  EXPECT_NE(file.find("A &amp; B &lt;1&gt;"), std::string::npos) << file;
  EXPECT_EQ(file.rfind(kHeader, 0), 0u) << "written with the XML declaration";
}

TEST_F(SettingStoreTest, EmptyStringOverwritesAndReadsBackEmpty) {
  writeStore("<Setting><Setting><LastFile Type=\"String\">\\a.ts</LastFile>"
             "<Scan><FileSourceName Type=\"String\"/></Scan></Setting></Setting>");
  auto store = open();
  Status st;
  EXPECT_EQ(getString(store.get(), "/Setting/Scan/FileSourceName", &st), u"");
  EXPECT_EQ(st, S_OK) << "an element without text is the empty string";
  EXPECT_EQ(store->SetString("/Setting/LastFile", u""), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  auto again = open();
  EXPECT_EQ(getString(again.get(), "/Setting/LastFile", &st), u"");
  EXPECT_EQ(st, S_OK);
}

TEST_F(SettingStoreTest, AdjacentTextPartsFormOneValue) {
  writeStore("<Setting><Setting><Name Type=\"String\">a<![CDATA[&b]]>c<X/>d</Name></Setting></Setting>");
  auto store = open();
  Status st;
  EXPECT_EQ(getString(store.get(), "/Setting/Name", &st), u"a&bc");
  EXPECT_EQ(store->SetString("/Setting/Name", u""), S_OK);
  EXPECT_EQ(getString(store.get(), "/Setting/Name", &st), u"") << "no later text part takes over";
  EXPECT_EQ(st, S_OK);
}

TEST_F(SettingStoreTest, MissingElementsAlongAPathAreCreated) {
  auto store = open();
  ASSERT_EQ(store->SetString("/Setting/Scan/LiveInSourceName", u"Tuner"), S_OK);
  ASSERT_EQ(store->SetDWORD("/Setting/Scan/Region", 3), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  std::string file = readHost(storeFile());
  EXPECT_NE(file.find("<Setting><Setting><Scan><LiveInSourceName Type=\"String\">Tuner</LiveInSourceName>"
                      "<Region Type=\"DWORD\">3</Region></Scan></Setting></Setting>"),
            std::string::npos)
      << file;
}

TEST_F(SettingStoreTest, TypesAreStrict) {
  writeStore(
      "<Setting><Setting>"
      "<Volume Type=\"DWORD\">40</Volume><Name Type=\"String\">x</Name><Flag Type=\"bool\">true</Flag>"
      "<Caps Type=\"bool\">True</Caps><NoType>5</NoType><Group><Leaf Type=\"DWORD\">1</Leaf></Group>"
      "</Setting></Setting>");
  auto store = open();
  uint32_t dword = 77;
  uint8_t flag = 77;
  EXPECT_EQ(store->SetDWORD("/Setting/Name", 5), E_FAIL);
  Status st;
  EXPECT_EQ(getString(store.get(), "/Setting/Name", &st), u"x");
  EXPECT_EQ(store->GetBool("/Setting/Volume", &flag), E_FAIL);
  EXPECT_EQ(store->SetString("/Setting/Flag", u"true"), E_FAIL);
  EXPECT_EQ(store->GetBool("/Setting/Caps", &flag), E_FAIL) << "bool text is case-sensitive";
  EXPECT_EQ(store->GetDWORD("/Setting/NoType", &dword), E_FAIL);
  EXPECT_EQ(store->SetDWORD("/Setting/NoType", 1), E_FAIL);
  EXPECT_EQ(store->SetDWORD("/Setting/Group", 1), E_FAIL) << "a group is not a value";
  EXPECT_EQ(store->SetDWORD("/Setting/Volume/Inner", 1), E_FAIL) << "a value cannot hold a group";
  EXPECT_EQ(flag, 77);
  EXPECT_EQ(dword, 77u);
  EXPECT_EQ(store->GetBool("/Setting/Flag", &flag), S_OK);
  EXPECT_EQ(flag, 1);
}

TEST_F(SettingStoreTest, DwordTextMustHoldANumber) {
  struct Case {
    const char* text;
    Status status;
    uint32_t value;
  };
  const std::vector<Case> cases = {
      {"4294967295", S_OK, 0xFFFFFFFFu}, {"0", S_OK, 0},        {" 12\n", S_OK, 12},
      {"", E_FAIL, 0},                   {"abc", E_FAIL, 0},    {"12abc", E_FAIL, 0},
      {"-1", E_FAIL, 0},                 {"4294967296", E_FAIL, 0}, {"0x10", E_FAIL, 0},
  };
  for (const Case& c : cases) {
    writeStore(std::string("<Setting><Setting><Volume Type=\"DWORD\">") + c.text + "</Volume></Setting></Setting>");
    auto store = open();
    uint32_t value = 4242;
    EXPECT_EQ(store->GetDWORD("/Setting/Volume", &value), c.status) << c.text;
    EXPECT_EQ(value, c.status == S_OK ? c.value : 4242u) << c.text;
  }
}

TEST_F(SettingStoreTest, PathRules) {
  writeStore(
      "<Setting><Volume Type=\"DWORD\">1</Volume><Setting>"
      "<Volume Type=\"DWORD\">2</Volume><Volume Type=\"DWORD\">3</Volume>"
      "</Setting></Setting>");
  auto store = open();
  uint32_t v = 0;
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 2u) << "relative to the root; the first sibling wins";
  EXPECT_EQ(store->GetDWORD("/Volume", &v), S_OK);
  EXPECT_EQ(v, 1u);
  EXPECT_EQ(store->SetDWORD("/Setting/Volume", 9), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  EXPECT_NE(readHost(storeFile()).find("<Volume Type=\"DWORD\">9</Volume><Volume Type=\"DWORD\">3</Volume>"),
            std::string::npos);

  uint8_t b = 0;
  char16_t buffer[plat::kMaxPath];
  for (const char* bad : {"Setting/Volume", "", "Volume"}) {
    EXPECT_EQ(store->GetDWORD(bad, &v), E_INVALIDARG) << bad;
    EXPECT_EQ(store->SetDWORD(bad, 1), E_INVALIDARG) << bad;
    EXPECT_EQ(store->GetBool(bad, &b), E_INVALIDARG) << bad;
    EXPECT_EQ(store->SetBool(bad, 1), E_INVALIDARG) << bad;
    EXPECT_EQ(store->GetString(bad, buffer, plat::kMaxPath), E_INVALIDARG) << bad;
    EXPECT_EQ(store->SetString(bad, u"x"), E_INVALIDARG) << bad;
  }
  EXPECT_EQ(store->GetDWORD(nullptr, &v), E_INVALIDARG);
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", nullptr), E_INVALIDARG);
  EXPECT_EQ(store->SetString("/Setting/Name", nullptr), E_INVALIDARG);
  EXPECT_EQ(store->GetString("/Setting/Volume", buffer, 0), E_INVALIDARG);
  // Paths that name nothing.
  for (const char* none : {"/Setting/", "/", "/Setting//Volume"}) {
    EXPECT_EQ(store->GetDWORD(none, &v), E_FAIL) << none;
    EXPECT_EQ(store->SetDWORD(none, 1), E_FAIL) << none;
  }
}

TEST_F(SettingStoreTest, SetsThatWouldBreakTheFileAreRefusedWithoutChanges) {
  auto store = open();
  EXPECT_EQ(store->SetBool("/Setting/My Tuner/UseJapaneseFont", 1), E_INVALIDARG);
  EXPECT_EQ(store->SetString("/Setting/Name", u"bell\x07"), E_INVALIDARG);
  EXPECT_EQ(store->SetDWORD("/Setting/S\xdb\x11", 1), E_INVALIDARG) << "not UTF-8";
  EXPECT_EQ(store->SetDWORD(("/Setting/" + std::string(260, 'A')).c_str(), 1), E_INVALIDARG);
  ASSERT_EQ(store->Save(), S_OK);
  EXPECT_EQ(readHost(storeFile()), std::string(kHeader) + "<Setting/>\n") << "no half-made groups";
}

TEST_F(SettingStoreTest, StringThatDoesNotFitTheBufferFails) {
  auto store = open();
  ASSERT_EQ(store->SetString("/Setting/PVR/Path", u"\\Storage Card\\Recorded Media\\"), S_OK);
  char16_t small[8] = u"xxxxxxx";
  EXPECT_EQ(store->GetString("/Setting/PVR/Path", small, 8), E_FAIL);
  EXPECT_EQ(small[0], u'\0') << "no cut path is handed out";
  char16_t exact[8];
  ASSERT_EQ(store->SetString("/Setting/Name", u"1234567"), S_OK);
  EXPECT_EQ(store->GetString("/Setting/Name", exact, 8), S_OK);
  EXPECT_EQ(std::u16string(exact), u"1234567");
}

// Where the stores live, depending on the program folder's Setting.xml.
TEST_F(SettingStoreTest, ResidentFlashPathRule) {
  struct Case {
    const char* name;
    const char* programFile;  // null: no file
    fs::path expectedDir;     // below the device root
  };
  const std::vector<Case> cases = {
      {"missing", nullptr, "NAND/ISDBT"},
      {"empty", "", "NAND/ISDBT"},
      {"without element", "<Setting><Setting/></Setting>", "NAND/ISDBT"},
      {"damaged", "<Setting><Resident", "NAND/ISDBT"},
      {"not first child text", "<Setting><ResidentFlashPath><X/>\\Flash\\</ResidentFlashPath></Setting>", "NAND/ISDBT"},
      {"element", "<setting><ResidentFlashPath>\\Flash\\Data\\</ResidentFlashPath></setting>", "Flash/Data"},
  };
  for (const Case& c : cases) {
    fs::remove_all(root());
    fs::create_directories(root());
    fs::path programFile = program() / "Setting.xml";
    fs::remove(programFile);
    if (c.programFile) writeHost(programFile, c.programFile);
    auto store = open();
    ASSERT_EQ(store->SetDWORD("/Setting/Volume", 1), S_OK);
    ASSERT_EQ(store->Save(), S_OK);
    EXPECT_TRUE(fs::is_regular_file(root() / c.expectedDir / "Norvale" / "Ondavue" / "Setting.xml")) << c.name;
    // The program folder's file is only read, never created or changed.
    if (c.programFile) EXPECT_EQ(readHost(programFile), c.programFile) << c.name;
    else EXPECT_FALSE(fs::exists(programFile)) << c.name;
  }
}

TEST_F(SettingStoreTest, DamagedUserFileIsReplacedFromTheFactoryStoreAndKept) {
  const std::string defaults =
      std::string(kHeader) + "<Setting><Setting><Volume Type=\"DWORD\">50</Volume></Setting></Setting>\n";
  writeHost(storeFile("Default"), defaults);
  const std::string damaged = std::string(kHeader) + "<Setting><Setting><Volume Type=\"DWORD\">7</Vol";
  writeHost(storeFile(), damaged);

  plat::DebugCapture debug;
  auto store = open();
  uint32_t v = 0;
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 50u);
  EXPECT_EQ(readHost(storeFile()), defaults) << "replaced on disk at once";
  EXPECT_EQ(readHost(storeFile().string() + ".damaged"), damaged);
  EXPECT_TRUE(debug.contains("UI: ")) ;
  EXPECT_TRUE(debug.contains("damaged"));
  // Settings persist again.
  ASSERT_EQ(store->SetDWORD("/Setting/Volume", 33), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  auto again = open();
  EXPECT_EQ(again->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 33u);
}

TEST_F(SettingStoreTest, DamagedFileFallsBackToTheProgramFolderCopy) {
  const std::string seed =
      std::string(kHeader) + "<Setting><Setting><Volume Type=\"DWORD\">60</Volume></Setting></Setting>\n";
  writeHost(program() / "Setting.xml", seed);
  struct Case {
    const char* name;
    std::string userFile;
    std::string defaultFile;  // empty: none
  };
  const std::vector<Case> cases = {
      {"no defaults store", "\x01\x02garbage", ""},
      {"damaged defaults store", "<Setting>", "<Setting><Setting>"},
      {"wrong root", "<Playlist><Setting/></Playlist>", ""},
  };
  for (const Case& c : cases) {
    fs::remove_all(root() / "NAND");
    writeHost(storeFile(), c.userFile);
    if (!c.defaultFile.empty()) writeHost(storeFile("Default"), c.defaultFile);
    auto store = open();
    uint32_t v = 0;
    EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), S_OK) << c.name;
    EXPECT_EQ(v, 60u) << c.name;
    EXPECT_EQ(readHost(storeFile().string() + ".damaged"), c.userFile) << c.name;
  }
}

TEST_F(SettingStoreTest, OversizedFileIsTreatedAsDamaged) {
  writeHost(program() / "Setting.xml",
            std::string(kHeader) + "<Setting><Setting><Volume Type=\"DWORD\">60</Volume></Setting></Setting>\n");
  writeStore("<Setting>");
  fs::resize_file(storeFile(), (16u << 20) + 1);
  auto store = open();
  uint32_t v = 0;
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 60u);
  EXPECT_EQ(fs::file_size(storeFile().string() + ".damaged"), (16u << 20) + 1);
}

TEST_F(SettingStoreTest, DamagedFileWithNoSoundReplacementIsKeptUntilSave) {
  writeStore("<Setting><Setting><Volume");
  auto store = open();
  uint32_t v = 0;
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), E_FAIL);
  EXPECT_EQ(store->SetDWORD("/Setting/Volume", 5), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  EXPECT_EQ(readHost(storeFile().string() + ".damaged"), std::string(kHeader) + "<Setting><Setting><Volume");
  auto again = open();
  EXPECT_EQ(again->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 5u);
}

TEST_F(SettingStoreTest, FailedSaveLeavesTheOldFileWhole) {
  auto store = open();
  ASSERT_EQ(store->SetDWORD("/Setting/Volume", 1), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  const std::string before = readHost(storeFile());
  ASSERT_EQ(store->SetDWORD("/Setting/Volume", 2), S_OK);
  int calls = 0;
  plat::setAtomicReplaceFault([&](const fs::path& temp) {
    ++calls;
    EXPECT_NE(readHost(temp).find(">2<"), std::string::npos) << "the new content was fully written first";
    return plat::E_DISK_FULL;
  });
  EXPECT_EQ(store->Save(), E_FAIL);
  plat::setAtomicReplaceFault({});
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(readHost(storeFile()), before);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(storeFile().parent_path())) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"Setting.xml"}) << "no temporary file is left";
  EXPECT_EQ(store->Save(), S_OK);
  auto again = open();
  uint32_t v = 0;
  EXPECT_EQ(again->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 2u);
}

TEST_F(SettingStoreTest, StoreWithoutADocumentFailsEveryCall) {
  // A folder where the file should be: it can be neither read nor replaced.
  fs::create_directories(storeFile());
  auto store = open();
  uint32_t v = 0;
  uint8_t b = 0;
  char16_t buffer[plat::kMaxPath];
  EXPECT_EQ(store->Exists(), 0);
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), E_FAIL);
  EXPECT_EQ(store->GetBool("/Setting/Shuffle", &b), E_FAIL);
  EXPECT_EQ(store->GetString("/Setting/LastFile", buffer, plat::kMaxPath), E_FAIL);
  EXPECT_EQ(store->SetDWORD("/Setting/Volume", 1), E_FAIL);
  EXPECT_EQ(store->SetString("/Setting/LastFile", u""), E_FAIL);
  EXPECT_EQ(store->Save(), E_FAIL);
  EXPECT_TRUE(fs::is_directory(storeFile()));
}

TEST_F(SettingStoreTest, FactoryRefusesBadArgumentsAndAnswersItsInterface) {
  IVexoCmnSetting* out = reinterpret_cast<IVexoCmnSetting*>(0x1);
  EXPECT_EQ(CoCreateVexoCmnSetting(2, 0, "Norvale", "Ondavue", &out), E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  for (const char* bad : {"", "..", "a\\b", "a/b"}) {
    EXPECT_EQ(CoCreateVexoCmnSetting(0, 0, "Norvale", bad, &out), E_INVALIDARG) << bad;
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(CoCreateVexoCmnSetting(0, 0, nullptr, "Ondavue", &out), E_INVALIDARG);
  EXPECT_EQ(CoCreateVexoCmnSetting(0, 0, "Norvale", "Ondavue", nullptr), plat::E_POINTER);

  auto store = open();
  auto again = mcQuery<IVexoCmnSetting>(store.get());
  EXPECT_EQ(again.get(), store.get());
  void* unknown = nullptr;
  EXPECT_EQ(store->QueryInterface(IID_IUnknown, &unknown), S_OK);
  static_cast<IMcUnknown*>(unknown)->Release();
  void* other = nullptr;
  EXPECT_EQ(store->QueryInterface(IID_IVexoCmnStringLoader, &other), plat::E_NOINTERFACE);
}

// The shipped factory file reads with the types the programs use, including
// the values shipped empty.
TEST_F(SettingStoreTest, ShippedSettingsRead) {
  writeHost(storeFile(), readHost(fs::path(TUNORA_DATA_DIR) / "Setting.xml"));
  auto store = open();
  Status st;
  for (const char* path : {"/Setting/LastFile", "/Setting/Scan/FileSourceName", "/Setting/ParentControl/Password",
                           "/Setting/PVR/Path", "/ApplicationVersion", "/Setting/LiveinSourceType"}) {
    getString(store.get(), path, &st);
    EXPECT_EQ(st, S_OK) << path;
  }
  uint32_t v = 0;
  EXPECT_EQ(store->GetDWORD("/Setting/TimeShifting/BufferSize", &v), S_OK);
  EXPECT_GE(v, 1u);
  EXPECT_LE(v, 1200u);
  uint8_t b = 0;
  EXPECT_EQ(store->GetBool("/Setting/Shuffle", &b), S_OK);
  ASSERT_EQ(store->Save(), S_OK);
  auto again = open();
  getString(again.get(), "/Setting/ParentControl/Password", &st);
  EXPECT_EQ(st, S_OK);
}

}  // namespace
