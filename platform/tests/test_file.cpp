// Files and folders by device path: dispositions, 64-bit offsets, listings
// with wildcards, folder operations, copy and move, whole-file reads and the
// atomic replace every saved file relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "device_root_fixture.h"
#include "plat/file.h"
#include "plat/paths.h"

namespace plat {
namespace {
namespace fs = std::filesystem;
using testing::DeviceRootTest;

class FileTest : public DeviceRootTest {
 protected:
  void TearDown() override {
    setAtomicReplaceFault({});
    setDiskSpaceProvider({});
    DeviceRootTest::TearDown();
  }
  // Names in a host folder, to see stray temporary files.
  static std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(FileTest, DispositionsTable) {
  struct Case {
    FileDisposition disposition;
    bool existsBefore;
    Status expected;
    bool existsAfter;
    uint64_t sizeAfter;
  };
  const Case cases[] = {
      {FileDisposition::CreateNew, false, S_OK, true, 0},
      {FileDisposition::CreateNew, true, E_ALREADY_EXISTS, true, 3},
      {FileDisposition::CreateAlways, false, S_OK, true, 0},
      {FileDisposition::CreateAlways, true, S_OK, true, 0},
      {FileDisposition::OpenExisting, false, E_FILE_NOT_FOUND, false, 0},
      {FileDisposition::OpenExisting, true, S_OK, true, 3},
      {FileDisposition::OpenAlways, false, S_OK, true, 0},
      {FileDisposition::OpenAlways, true, S_OK, true, 3},
      {FileDisposition::TruncateExisting, false, E_FILE_NOT_FOUND, false, 0},
      {FileDisposition::TruncateExisting, true, S_OK, true, 0},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index++);
    fs::path host = root() / "disp.bin";
    fs::remove(host);
    if (c.existsBefore) writeHost(host, "old");
    File f;
    EXPECT_EQ(f.open(u"\\disp.bin", FileAccess::ReadWrite, c.disposition), c.expected);
    EXPECT_EQ(f.isOpen(), succeeded(c.expected));
    f.close();
    EXPECT_EQ(fs::exists(host), c.existsAfter);
    if (c.existsAfter) {
      EXPECT_EQ(fs::file_size(host), c.sizeAfter);
    }
  }
}

TEST_F(FileTest, OpenErrors) {
  File f;
  EXPECT_EQ(f.open(u"\\NoFolder\\x.bin", FileAccess::Read, FileDisposition::OpenExisting), E_PATH_NOT_FOUND);
  EXPECT_EQ(f.open(u"\\NoFolder\\x.bin", FileAccess::Write, FileDisposition::CreateAlways), E_PATH_NOT_FOUND);
  fs::create_directories(root() / "Folder");
  EXPECT_EQ(f.open(u"\\Folder", FileAccess::Read, FileDisposition::OpenExisting), E_ACCESS_DENIED);
  EXPECT_EQ(f.open(u"\\..\\escape.bin", FileAccess::Write, FileDisposition::CreateAlways), E_INVALIDARG);
  writeHost(root() / "r.bin", "abc");
  // Truncating needs write access.
  EXPECT_EQ(f.open(u"\\r.bin", FileAccess::Read, FileDisposition::TruncateExisting), E_INVALIDARG);
  EXPECT_EQ(readHost(root() / "r.bin"), "abc");
  EXPECT_FALSE(f.isOpen());
  char c;
  size_t done = 1;
  EXPECT_TRUE(failed(f.read(&c, 1, &done)));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(failed(f.write("x", 1)));
}

TEST_F(FileTest, ReadWriteSeekTruncate) {
  File f;
  ASSERT_EQ(f.open(u"\\data.bin", FileAccess::ReadWrite, FileDisposition::CreateNew), S_OK);
  ASSERT_EQ(f.write("hello world", 11), S_OK);
  uint64_t pos = 0, size = 0;
  ASSERT_EQ(f.position(&pos), S_OK);
  EXPECT_EQ(pos, 11u);
  ASSERT_EQ(f.seek(-5, SeekOrigin::End, &pos), S_OK);
  EXPECT_EQ(pos, 6u);
  char buf[16] = {};
  size_t done = 0;
  ASSERT_EQ(f.read(buf, sizeof buf, &done), S_OK);
  EXPECT_EQ(std::string(buf, done), "world");
  ASSERT_EQ(f.read(buf, sizeof buf, &done), S_OK);
  EXPECT_EQ(done, 0u);  // end of file
  ASSERT_EQ(f.seek(5, SeekOrigin::Begin), S_OK);
  ASSERT_EQ(f.truncateHere(), S_OK);
  ASSERT_EQ(f.size(&size), S_OK);
  EXPECT_EQ(size, 5u);
  ASSERT_EQ(f.seek(-2, SeekOrigin::Current, &pos), S_OK);
  EXPECT_EQ(pos, 3u);
  EXPECT_EQ(f.seek(-10, SeekOrigin::Begin), E_INVALIDARG);
  ASSERT_EQ(f.flush(), S_OK);
  File moved = std::move(f);
  EXPECT_FALSE(f.isOpen());
  EXPECT_TRUE(moved.isOpen());
  moved.close();
  EXPECT_EQ(readHost(root() / "data.bin"), "hello");
}

TEST_F(FileTest, SeeksPastFourGigabytesOnASparseFile) {
  const uint64_t offset = (5ull << 30) + 7;  // beyond any 32-bit offset
  File f;
  ASSERT_EQ(f.open(u"\\big.ts", FileAccess::ReadWrite, FileDisposition::CreateAlways), S_OK);
  uint64_t pos = 0;
  ASSERT_EQ(f.seek(static_cast<int64_t>(offset), SeekOrigin::Begin, &pos), S_OK);
  EXPECT_EQ(pos, offset);
  ASSERT_EQ(f.write("TS", 2), S_OK);
  uint64_t size = 0;
  ASSERT_EQ(f.size(&size), S_OK);
  EXPECT_EQ(size, offset + 2);
  ASSERT_EQ(f.seek(-2, SeekOrigin::End, &pos), S_OK);
  EXPECT_EQ(pos, offset);
  char buf[4] = {};
  size_t done = 0;
  ASSERT_EQ(f.read(buf, sizeof buf, &done), S_OK);
  EXPECT_EQ(std::string(buf, done), "TS");
  std::vector<FindEntry> entries;
  ASSERT_EQ(findFiles(u"\\*.ts", &entries), S_OK);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, offset + 2);
}

TEST(FileWildcard, Table) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool match;
  };
  const Case cases[] = {
      {u"*", u"anything", true},
      {u"*", u"", true},
      {u"*.ts", u"A.TS", true},
      {u"*.ts", u"movie.ts.bak", false},
      {u"*.TS", u"a.ts", true},
      {u"*.*", u"README", true},  // names without a dot too
      {u"*.*", u"a.b.c", true},
      {u"a.*", u"a", true},
      {u"a.*", u"ab", false},
      {u"*.", u"a.b", false},
      {u"a.", u"a", false},
      {u"?.ts", u"1.ts", true},
      {u"?.ts", u"12.ts", false},
      {u"??", u"a", false},
      {u"rec*_*.ts", u"REC20240101_1200.TS", true},
      {u"rec*_*.ts", u"REC20240101.TS", false},
      {u"*a*b", u"xaxxb", true},
      {u"*a*b", u"xaxxbc", false},
      {u"abc", u"ABD", false},
      {u"\u65e5*", u"\u65e5\u672c.ts", true},  // other characters compare by value
      {u"\u00c9*", u"\u00e9.ts", false},       // folding is ASCII-only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(utf16ToUtf8(c.pattern) + " ~ " + utf16ToUtf8(c.name));
    EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match);
  }
}

TEST_F(FileTest, FindFilesListsSortedWithAttributes) {
  writeHost(card() / "Movies" / "B.ts", "bb");
  writeHost(card() / "Movies" / "a.TS", "a");
  writeHost(card() / "Movies" / "notes.txt", "x");
  fs::create_directories(card() / "Movies" / "Sub.ts");
  std::vector<FindEntry> entries;
  ASSERT_EQ(findFiles(u"\\storage card\\movies\\*.ts", &entries), S_OK);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, u"a.TS");
  EXPECT_EQ(entries[0].attributes, kAttrArchive);
  EXPECT_EQ(entries[0].size, 1u);
  EXPECT_GT(entries[0].lastWrite, kFileTimeUnixEpoch);
  EXPECT_EQ(entries[1].name, u"B.ts");
  EXPECT_EQ(entries[2].name, u"Sub.ts");
  EXPECT_EQ(entries[2].attributes, kAttrDirectory);

  ASSERT_EQ(findFiles(u"\\Storage Card\\Movies\\*.mp4", &entries), S_OK);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(findFiles(u"\\Storage Card\\Nothing\\*", &entries), E_PATH_NOT_FOUND);
  EXPECT_EQ(findFiles(u"\\..\\*", &entries), E_INVALIDARG);
  EXPECT_EQ(findFiles(u"\\Storage Card\\Movies\\", &entries), E_INVALIDARG);
}

TEST_F(FileTest, RootListingMarksStorageCards) {
  fs::create_directories(root() / "NAND");
  writeHost(root() / "top.txt", "t");
  insertStorageCard({u"Storage Card2", base_ / "card2"});
  fs::create_directories(base_ / "card2");
  std::vector<FindEntry> entries;
  ASSERT_EQ(findFiles(u"\\*", &entries), S_OK);
  std::vector<String16> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<String16>{u"NAND", u"Storage Card", u"Storage Card2", u"top.txt"}));
  EXPECT_EQ(entries[0].attributes, kAttrDirectory);
  EXPECT_EQ(entries[1].attributes, kAttrDirectory | kAttrTemporary);
  EXPECT_EQ(entries[2].attributes, kAttrDirectory | kAttrTemporary);
  EXPECT_EQ(entries[3].attributes, kAttrArchive);

  uint32_t attr = 0;
  ASSERT_EQ(getAttributes(u"\\STORAGE CARD", &attr), S_OK);
  EXPECT_EQ(attr, kAttrDirectory | kAttrTemporary);
  ASSERT_EQ(getAttributes(u"\\nand", &attr), S_OK);
  EXPECT_EQ(attr, kAttrDirectory);
  EXPECT_EQ(getAttributes(u"\\missing.txt", &attr), E_FILE_NOT_FOUND);
  EXPECT_EQ(getAttributes(u"\\missing\\x.txt", &attr), E_PATH_NOT_FOUND);
  removeStorageCard(u"Storage Card2");
}

TEST_F(FileTest, FolderOperations) {
  EXPECT_EQ(createDirectory(u"\\A\\B"), E_PATH_NOT_FOUND);
  EXPECT_EQ(createDirectory(u"\\A"), S_OK);
  EXPECT_EQ(createDirectory(u"\\a"), E_ALREADY_EXISTS);  // the same folder by another spelling
  EXPECT_EQ(createDirectories(u"\\a\\B\\C"), S_OK);
  EXPECT_TRUE(fs::is_directory(root() / "A" / "B" / "C"));
  EXPECT_EQ(createDirectories(u"\\A\\b\\c"), S_OK);
  EXPECT_TRUE(directoryExists(u"\\a\\b\\c"));
  EXPECT_FALSE(fileExists(u"\\a\\b\\c"));

  writeHost(root() / "A" / "file.txt", "x");
  EXPECT_TRUE(fileExists(u"\\a\\FILE.TXT"));
  EXPECT_EQ(createDirectories(u"\\A\\file.txt"), E_ALREADY_EXISTS);
  EXPECT_EQ(removeDirectory(u"\\A\\B"), E_DIR_NOT_EMPTY);
  EXPECT_EQ(deleteFile(u"\\A\\B"), E_ACCESS_DENIED);
  EXPECT_EQ(removeDirectory(u"\\A\\B\\C"), S_OK);
  EXPECT_EQ(removeDirectory(u"\\A\\B\\C"), E_FILE_NOT_FOUND);
  EXPECT_EQ(deleteFile(u"\\a\\file.TXT"), S_OK);
  EXPECT_EQ(deleteFile(u"\\a\\file.TXT"), E_FILE_NOT_FOUND);
  // The roots themselves are not removed.
  EXPECT_EQ(removeDirectory(u"\\"), E_ACCESS_DENIED);
  EXPECT_EQ(removeDirectory(u"\\Storage Card"), E_ACCESS_DENIED);
  EXPECT_TRUE(fs::is_directory(card()));
}

TEST_F(FileTest, CopyAndMove) {
  writeHost(root() / "src.txt", "source");
  writeHost(root() / "dst.txt", "target");
  EXPECT_EQ(copyFile(u"\\SRC.txt", u"\\dst.txt", true), E_ALREADY_EXISTS);
  EXPECT_EQ(readHost(root() / "dst.txt"), "target");
  EXPECT_EQ(copyFile(u"\\src.txt", u"\\DST.TXT", false), S_OK);
  EXPECT_EQ(readHost(root() / "dst.txt"), "source");
  EXPECT_EQ(copyFile(u"\\src.txt", u"\\Storage Card\\copy.txt", true), S_OK);
  EXPECT_EQ(readHost(card() / "copy.txt"), "source");
  EXPECT_EQ(copyFile(u"\\none.txt", u"\\x.txt", false), E_FILE_NOT_FOUND);
  EXPECT_EQ(copyFile(u"\\src.txt", u"\\nofolder\\x.txt", false), E_PATH_NOT_FOUND);

  EXPECT_EQ(moveFile(u"\\src.txt", u"\\dst.txt"), E_ALREADY_EXISTS);  // never replaces
  EXPECT_EQ(moveFile(u"\\src.txt", u"\\moved.txt"), S_OK);
  EXPECT_FALSE(fs::exists(root() / "src.txt"));
  EXPECT_EQ(readHost(root() / "moved.txt"), "source");
  EXPECT_EQ(moveFile(u"\\moved.txt", u"\\MOVED.txt"), S_OK);  // a new spelling of the same name
  EXPECT_EQ(namesIn(root()), (std::vector<std::string>{"MOVED.txt", "dst.txt"}));
  EXPECT_EQ(moveFile(u"\\none.txt", u"\\x.txt"), E_FILE_NOT_FOUND);
}

TEST_F(FileTest, MoveAcrossFileSystemsCopies) {
  // /dev/shm is a separate tmpfs on most systems; skip where it is not.
  struct stat shm, tmp;
  if (::stat("/dev/shm", &shm) != 0 || ::stat(base_.c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
    GTEST_SKIP() << "no second file system at hand";
  std::string tmpl = "/dev/shm/tunora-card-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  insertStorageCard({u"SHM Card", tmpl});
  writeHost(root() / "rec.ts", std::string(100000, 'r'));
  fs::create_directories(root() / "Folder" / "Inner");
  writeHost(root() / "Folder" / "Inner" / "f.txt", "f");
  EXPECT_EQ(moveFile(u"\\rec.ts", u"\\SHM Card\\rec.ts"), S_OK);
  EXPECT_FALSE(fs::exists(root() / "rec.ts"));
  EXPECT_EQ(fs::file_size(fs::path(tmpl) / "rec.ts"), 100000u);
  EXPECT_EQ(moveFile(u"\\Folder", u"\\SHM Card\\Folder"), S_OK);
  EXPECT_FALSE(fs::exists(root() / "Folder"));
  EXPECT_EQ(readHost(fs::path(tmpl) / "Folder" / "Inner" / "f.txt"), "f");
  removeStorageCard(u"SHM Card");
  fs::remove_all(tmpl);
}

TEST_F(FileTest, ReadWholeFileIsBounded) {
  writeHost(root() / "w.bin", std::string(1000, 'w'));
  std::string bytes;
  ASSERT_EQ(readWholeFile(u"\\W.BIN", &bytes), S_OK);
  EXPECT_EQ(bytes, std::string(1000, 'w'));
  EXPECT_EQ(readWholeFile(u"\\w.bin", &bytes, 1000), S_OK);
  EXPECT_EQ(readWholeFile(u"\\w.bin", &bytes, 999), E_DATA_INVALID);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(readWholeFile(u"\\none.bin", &bytes), E_FILE_NOT_FOUND);
  EXPECT_EQ(readWholeFileHost(root() / "w.bin", &bytes, 1 << 20), S_OK);
}

TEST_F(FileTest, AtomicReplaceWritesAndKeepsPermissions) {
  ASSERT_EQ(atomicReplace(u"\\NAND\\new.xml", "<a/>"), E_PATH_NOT_FOUND);
  fs::create_directories(root() / "NAND");
  ASSERT_EQ(atomicReplace(u"\\nand\\new.xml", "<a/>"), S_OK);
  EXPECT_EQ(readHost(root() / "NAND" / "new.xml"), "<a/>");
  ::chmod((root() / "NAND" / "new.xml").c_str(), 0640);
  ASSERT_EQ(atomicReplace(u"\\NAND\\NEW.xml", "<b/>"), S_OK);  // replaces the existing spelling
  EXPECT_EQ(readHost(root() / "NAND" / "new.xml"), "<b/>");
  struct stat st;
  ASSERT_EQ(::stat((root() / "NAND" / "new.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(namesIn(root() / "NAND"), std::vector<std::string>{"new.xml"});

  // The writer form: the writer fills the temporary file by name.
  ASSERT_EQ(atomicReplaceWith(u"\\NAND\\new.xml",
                              [](const fs::path& temp) {
                                writeHost(temp, "<c/>");
                                return S_OK;
                              }),
            S_OK);
  EXPECT_EQ(readHost(root() / "NAND" / "new.xml"), "<c/>");
}

TEST_F(FileTest, AtomicReplaceFailureKeepsOldFileWholeAndRemovesTemp) {
  const std::string old(100000, 'o');
  writeHost(root() / "Setting.xml", old);
  fs::path seenTemp;
  std::string tempContents;
  setAtomicReplaceFault([&](const fs::path& temp) {
    seenTemp = temp;
    tempContents = readHost(temp);  // written and flushed before the hook
    return E_DISK_FULL;
  });
  EXPECT_EQ(atomicReplace(u"\\Setting.xml", "new contents"), E_DISK_FULL);
  EXPECT_EQ(tempContents, "new contents");
  EXPECT_EQ(seenTemp.parent_path(), root());  // beside the target, same file system
  EXPECT_EQ(readHost(root() / "Setting.xml"), old);
  EXPECT_FALSE(fs::exists(seenTemp));
  EXPECT_EQ(namesIn(root()), std::vector<std::string>{"Setting.xml"});

  // A failing writer leaves things the same way.
  setAtomicReplaceFault({});
  EXPECT_EQ(atomicReplaceWithHost(root() / "Setting.xml",
                                  [](const fs::path& temp) {
                                    writeHost(temp, "partial");
                                    return E_FAIL;
                                  }),
            E_FAIL);
  EXPECT_EQ(readHost(root() / "Setting.xml"), old);
  EXPECT_EQ(namesIn(root()), std::vector<std::string>{"Setting.xml"});

  // A folder in the way is not replaced.
  fs::create_directories(root() / "Dir.xml");
  EXPECT_EQ(atomicReplace(u"\\Dir.xml", "x"), E_ACCESS_DENIED);
  EXPECT_TRUE(fs::is_directory(root() / "Dir.xml"));
}

TEST_F(FileTest, DiskFreeSpaceFromStatvfsOrProvider) {
  DiskSpace space;
  ASSERT_EQ(diskFreeSpace(u"\\Storage Card\\not\\yet\\there", &space), S_OK);
  EXPECT_GT(space.total, 0u);
  EXPECT_LE(space.freeToCaller, space.totalFree);
  EXPECT_LE(space.totalFree, space.total);

  fs::path asked;
  setDiskSpaceProvider([&](const fs::path& host, DiskSpace* s) {
    asked = host;
    s->freeToCaller = 5;
    s->total = 100;
    s->totalFree = 6;
    return S_OK;
  });
  ASSERT_EQ(diskFreeSpace(u"\\storage card\\", &space), S_OK);
  EXPECT_EQ(asked, card());
  EXPECT_EQ(space.freeToCaller, 5u);
  EXPECT_EQ(space.total, 100u);
  EXPECT_EQ(space.totalFree, 6u);
  EXPECT_EQ(diskFreeSpace(u"\\..", &space), E_INVALIDARG);
}

}  // namespace
}  // namespace plat
