// The registry: values and keys, case rules, persistence through
// "registry.txt", damaged files, and concurrent use.
#include <gtest/gtest.h>

#include <thread>

#include "device_root_fixture.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/registry.h"

namespace plat {
namespace {
namespace fs = std::filesystem;
using testing::DeviceRootTest;

constexpr RegRoot LM = RegRoot::LocalMachine;
constexpr RegRoot CU = RegRoot::CurrentUser;

class RegistryTest : public DeviceRootTest {
 protected:
  void TearDown() override {
    setAtomicReplaceFault({});
    DeviceRootTest::TearDown();
  }
  fs::path file() const { return root() / "registry.txt"; }
};

TEST_F(RegistryTest, ValuesOfBothTypesRoundTripThroughTheFile) {
  const String16 strings[] = {
      u"",
      u"plain",
      u"line one\nline two\r\n",
      u"C:\\path\\with\\backslashes\\",
      u"\"quoted\" and\ttab",
      u"\u65e5\u672c\u8a9e\u306e\u6587\u5b57",  // Japanese
      u"\U0001F4FA tv",                         // outside the basic plane
      String16(u"nul\0inside", 10),
      u"\x01\x1f\x7f controls",
  };
  for (size_t i = 0; i < std::size(strings); ++i)
    ASSERT_EQ(regSetString(LM, u"Software\\Norvale", u"S" + utf8ToUtf16(std::to_string(i)), strings[i]), S_OK);
  ASSERT_EQ(regSetDword(LM, u"Software\\Norvale", u"Language", 17), S_OK);
  ASSERT_EQ(regSetDword(LM, u"Software\\Norvale", u"Max", 0xFFFFFFFFu), S_OK);
  ASSERT_EQ(regSetDword(CU, u"Software\\Norvale", u"Language", 3), S_OK);
  ASSERT_EQ(regSetString(LM, u"Software\\Norvale", u"", u"default value"), S_OK);

  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "in memory" : "reloaded from file");
    for (size_t i = 0; i < std::size(strings); ++i) {
      String16 v;
      ASSERT_EQ(regGetString(LM, u"Software\\Norvale", u"S" + utf8ToUtf16(std::to_string(i)), &v), S_OK);
      EXPECT_EQ(v, strings[i]) << i;
    }
    uint32_t d = 0;
    ASSERT_EQ(regGetDword(LM, u"Software\\Norvale", u"Language", &d), S_OK);
    EXPECT_EQ(d, 17u);
    ASSERT_EQ(regGetDword(LM, u"Software\\Norvale", u"Max", &d), S_OK);
    EXPECT_EQ(d, 0xFFFFFFFFu);
    ASSERT_EQ(regGetDword(CU, u"Software\\Norvale", u"Language", &d), S_OK);  // roots are apart
    EXPECT_EQ(d, 3u);
    String16 def;
    ASSERT_EQ(regGetString(LM, u"Software\\Norvale", u"", &def), S_OK);
    EXPECT_EQ(def, u"default value");
    regReload();
  }
  // The file is line-based text: every value on one line, strings in UTF-8.
  std::string text = readHost(file());
  EXPECT_EQ(text.rfind("tunora-registry 1\n", 0), 0u);
  EXPECT_NE(text.find("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"), std::string::npos);
  EXPECT_NE(text.find("\"line one\\nline two\\r\\n\""), std::string::npos);
}

TEST_F(RegistryTest, TypesMissingValuesAndErrors) {
  uint32_t d = 0;
  String16 s;
  EXPECT_EQ(regGetDword(LM, u"Software\\Norvale", u"Language", &d), E_FILE_NOT_FOUND);  // no key
  ASSERT_EQ(regCreateKey(LM, u"Software\\Norvale"), S_OK);
  EXPECT_EQ(regGetDword(LM, u"Software\\Norvale", u"Language", &d), E_FILE_NOT_FOUND);  // no value
  ASSERT_EQ(regSetString(LM, u"Software\\Norvale", u"Name", u"x"), S_OK);
  EXPECT_EQ(regGetDword(LM, u"Software\\Norvale", u"Name", &d), E_DATA_INVALID);
  ASSERT_EQ(regSetDword(LM, u"Software\\Norvale", u"Count", 5), S_OK);
  EXPECT_EQ(regGetString(LM, u"Software\\Norvale", u"Count", &s), E_DATA_INVALID);
  // A set may change a value's type.
  ASSERT_EQ(regSetString(LM, u"Software\\Norvale", u"Count", u"five"), S_OK);
  ASSERT_EQ(regGetString(LM, u"Software\\Norvale", u"Count", &s), S_OK);
  EXPECT_EQ(s, u"five");
  EXPECT_EQ(regGetDword(LM, u"Software\\Norvale", u"Count", nullptr), E_POINTER);
  EXPECT_EQ(regDeleteValue(LM, u"Software\\Norvale", u"COUNT"), S_OK);
  EXPECT_EQ(regDeleteValue(LM, u"Software\\Norvale", u"Count"), E_FILE_NOT_FOUND);
  EXPECT_EQ(regDeleteValue(LM, u"No\\Key", u"Count"), E_FILE_NOT_FOUND);
  EXPECT_EQ(regDeleteKey(LM, u""), E_INVALIDARG);  // a root stays
  EXPECT_EQ(regDeleteKey(LM, u"No\\Key"), E_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  ASSERT_EQ(regSetDword(LM, u"Software\\Norvale", u"Language", 1), S_OK);
  ASSERT_EQ(regSetDword(LM, u"SOFTWARE\\norvale", u"LANGUAGE", 2), S_OK);
  uint32_t d = 0;
  ASSERT_EQ(regGetDword(LM, u"software\\NORVALE\\", u"language", &d), S_OK);
  EXPECT_EQ(d, 2u);
  std::vector<String16> keys;
  ASSERT_EQ(regEnumSubKeys(LM, u"", &keys), S_OK);
  EXPECT_EQ(keys, std::vector<String16>{u"Software"});
  ASSERT_EQ(regEnumSubKeys(LM, u"software", &keys), S_OK);
  EXPECT_EQ(keys, std::vector<String16>{u"Norvale"});
  std::vector<RegValue> values;
  ASSERT_EQ(regEnumValues(LM, u"Software\\Norvale", &values), S_OK);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, u"Language");
  EXPECT_EQ(values[0].type, RegType::Dword);
  EXPECT_EQ(values[0].dword, 2u);
  EXPECT_TRUE(regKeyExists(LM, u"SOFTWARE\\NORVALE"));
  EXPECT_FALSE(regKeyExists(CU, u"Software\\Norvale"));
  regReload();
  ASSERT_EQ(regEnumValues(LM, u"software\\norvale", &values), S_OK);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, u"Language");
}

TEST_F(RegistryTest, SubKeysAndRecursiveDelete) {
  ASSERT_EQ(regCreateKey(LM, u"Drivers\\Storage\\Profiles\\SDMemory"), S_OK);
  ASSERT_EQ(regSetString(LM, u"Drivers\\Storage\\Profiles\\SDMemory", u"Folder", u"Storage Card"), S_OK);
  ASSERT_EQ(regSetString(LM, u"Drivers\\Storage\\Profiles\\HDProfile", u"Folder", u"Hard Disk"), S_OK);
  ASSERT_EQ(regCreateKey(LM, u"Drivers\\Storage\\Profiles\\Empty"), S_OK);
  ASSERT_EQ(regSetDword(LM, u"Drivers\\Other", u"x", 1), S_OK);
  std::vector<String16> keys;
  ASSERT_EQ(regEnumSubKeys(LM, u"Drivers\\Storage\\Profiles", &keys), S_OK);
  EXPECT_EQ(keys, (std::vector<String16>{u"SDMemory", u"HDProfile", u"Empty"}));
  EXPECT_EQ(regEnumSubKeys(LM, u"Drivers\\Nothing", &keys), E_FILE_NOT_FOUND);

  regReload();  // empty keys survive the file too
  EXPECT_TRUE(regKeyExists(LM, u"Drivers\\Storage\\Profiles\\Empty"));

  ASSERT_EQ(regDeleteKey(LM, u"drivers\\STORAGE"), S_OK);
  EXPECT_FALSE(regKeyExists(LM, u"Drivers\\Storage\\Profiles\\SDMemory"));
  EXPECT_FALSE(regKeyExists(LM, u"Drivers\\Storage"));
  EXPECT_TRUE(regKeyExists(LM, u"Drivers\\Other"));
  regReload();
  EXPECT_FALSE(regKeyExists(LM, u"Drivers\\Storage"));
  ASSERT_EQ(regEnumSubKeys(LM, u"Drivers", &keys), S_OK);
  EXPECT_EQ(keys, std::vector<String16>{u"Other"});
}

TEST_F(RegistryTest, ReadsAHandWrittenFile) {
  writeHost(file(),
            "tunora-registry 1\r\n"
            "# written by hand\r\n"
            "\r\n"
            "key HKLM \"Software\" \"Norvale\"\r\n"
            "dword \"Language\" 4294967295\r\n"
            "string \"Title\" \"a\\\\b\\x41\\\"\"\r\n"
            "key HKCU\n"
            "dword \"Top\" 0\n");
  uint32_t d = 0;
  ASSERT_EQ(regGetDword(LM, u"Software\\Norvale", u"Language", &d), S_OK);
  EXPECT_EQ(d, 0xFFFFFFFFu);
  String16 s;
  ASSERT_EQ(regGetString(LM, u"Software\\Norvale", u"Title", &s), S_OK);
  EXPECT_EQ(s, u"a\\bA\"");
  ASSERT_EQ(regGetDword(CU, u"", u"Top", &d), S_OK);
  EXPECT_EQ(d, 0u);
  EXPECT_FALSE(fs::exists(root() / "registry.txt.bad"));
}

TEST_F(RegistryTest, DamagedFilesAreReportedKeptAsideAndReplaced) {
  const std::string damaged[] = {
      "",
      "not a registry\n",
      "tunora-registry 2\nkey HKLM\n",                                // unknown version
      "tunora-registry 1\ndword \"x\" 1\n",                           // value before any key
      "tunora-registry 1\nkey HKXX \"a\"\n",                          // unknown root
      "tunora-registry 1\nkey HKLM \"a\"\ndword \"x\" 4294967296\n",  // out of range
      "tunora-registry 1\nkey HKLM \"a\"\ndword \"x\" -1\n",
      "tunora-registry 1\nkey HKLM \"a\"\nstring \"x\" \"open\n",     // unterminated
      "tunora-registry 1\nkey HKLM \"a\"\nstring \"x\" \"bad\\q\"\n", // unknown escape
      "tunora-registry 1\nkey HKLM \"a\"\nstring \"x\" \"\\x4\"\n",   // short hex escape
      "tunora-registry 1\nkey HKLM \"a\"\nstring \"x\"\n",            // missing data
      "tunora-registry 1\nkey HKLM \"a\\\\b\"\n",                     // separator in a name
      "tunora-registry 1\nkey HKLM \"a\"\nbinary \"x\" 00\n",         // unknown record
      std::string("tunora-registry 1\nkey HKLM \"a") + '\0' + "b\"\n",  // raw control byte
  };
  for (const auto& text : damaged) {
    SCOPED_TRACE(text);
    regReload();
    fs::remove(root() / "registry.txt.bad");
    writeHost(file(), text);
    DebugCapture capture;
    uint32_t d = 0;
    EXPECT_EQ(regGetDword(LM, u"a", u"x", &d), E_FILE_NOT_FOUND);
    EXPECT_TRUE(capture.contains("registry.txt is damaged"));
    EXPECT_EQ(readHost(root() / "registry.txt.bad"), text);  // kept aside whole
    // Replaced by an empty registry that works and saves.
    EXPECT_EQ(readHost(file()), "tunora-registry 1\nkey HKLM\nkey HKCU\n");
    ASSERT_EQ(regSetDword(LM, u"a", u"x", 7), S_OK);
    regReload();
    ASSERT_EQ(regGetDword(LM, u"a", u"x", &d), S_OK);
    EXPECT_EQ(d, 7u);
  }
}

TEST_F(RegistryTest, OversizedFileIsTreatedAsDamaged) {
  std::string big = "tunora-registry 1\nkey HKLM\n# " + std::string(17u << 20, 'x') + "\n";
  writeHost(file(), big);
  DebugCapture capture;
  EXPECT_FALSE(regKeyExists(LM, u"a"));
  EXPECT_TRUE(capture.contains("too large"));
  EXPECT_EQ(fs::file_size(root() / "registry.txt.bad"), big.size());
}

TEST_F(RegistryTest, FailedSaveKeepsTheOldFileAndIsReported) {
  ASSERT_EQ(regSetDword(LM, u"Software", u"A", 1), S_OK);
  std::string before = readHost(file());
  setAtomicReplaceFault([](const fs::path&) { return E_DISK_FULL; });
  DebugCapture capture;
  EXPECT_EQ(regSetDword(LM, u"Software", u"B", 2), E_DISK_FULL);
  EXPECT_TRUE(capture.contains("cannot save"));
  EXPECT_EQ(readHost(file()), before);
  setAtomicReplaceFault({});
  // The next change saves everything, including what failed to save before.
  ASSERT_EQ(regSetDword(LM, u"Software", u"C", 3), S_OK);
  regReload();
  uint32_t d = 0;
  EXPECT_EQ(regGetDword(LM, u"Software", u"B", &d), S_OK);
  EXPECT_EQ(d, 2u);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      String16 key = u"Load\\T" + utf8ToUtf16(std::to_string(t));
      for (int i = 0; i < kPerThread; ++i)
        EXPECT_EQ(regSetDword(RegRoot::CurrentUser, key, u"V" + utf8ToUtf16(std::to_string(i)),
                              static_cast<uint32_t>(t * 1000 + i)),
                  S_OK);
    });
  }
  for (auto& th : threads) th.join();
  regReload();  // what the file holds is the last state
  for (int t = 0; t < kThreads; ++t) {
    std::vector<RegValue> values;
    ASSERT_EQ(regEnumValues(CU, u"Load\\T" + utf8ToUtf16(std::to_string(t)), &values), S_OK);
    ASSERT_EQ(values.size(), static_cast<size_t>(kPerThread));
    EXPECT_EQ(values.back().dword, static_cast<uint32_t>(t * 1000 + kPerThread - 1));
  }
}

}  // namespace
}  // namespace plat
