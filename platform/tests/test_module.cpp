// The module loader: device names to host libraries, search order, reuse,
// unloading, stand-ins and the errors for missing modules and exports.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "device_root_fixture.h"
#include "plat/debug.h"
#include "plat/module.h"
#include "plat/system.h"

namespace plat {
namespace {
namespace fs = std::filesystem;
using testing::DeviceRootTest;

using ProbeFn = int (*)();

// The probe library is built beside this test program.
fs::path probeLibrary() { return executableDir() / "libModuleProbe.so"; }

bool probeIsLoaded() {
  void* h = ::dlopen(probeLibrary().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) return false;
  ::dlclose(h);
  return true;
}

TEST(ModuleNames, HostLibraryName) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"ZANTSDK.dll", "libZANTSDK.so"},
      {"Glowset.dll", "libGlowset.so"},
      {"tuners\\PlatformDep.dep", "libPlatformDep.so"},
      {"\\Program Files\\Tunora\\Zansk.dll", "libZansk.so"},
      {"NoExtension", "libNoExtension.so"},
      {"dotted.name.dll", "libdotted.name.so"},
  };
  for (const auto& c : cases) EXPECT_EQ(hostLibraryName(c.in), c.out) << c.in;
}

TEST(ModuleLoad, LoadsBesideTheExecutableReusesAndUnloads) {
  ASSERT_TRUE(fs::exists(probeLibrary()));
  ASSERT_FALSE(probeIsLoaded());
  Status status = E_FAIL;
  ModuleHandle a = loadModule("ModuleProbe.dll", &status);
  ASSERT_EQ(status, S_OK);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->name(), "ModuleProbe.dll");
  EXPECT_EQ(fs::path(a->hostPath()), probeLibrary());
  auto answer = a->function<ProbeFn>("tunora_probe_answer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);

  // Another spelling of the same name is the same module.
  ModuleHandle b = loadModule(u"moduleprobe.DLL", &status);
  ASSERT_EQ(status, S_OK);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_TRUE(probeIsLoaded());
  a.reset();
  EXPECT_TRUE(probeIsLoaded());  // b still holds it
  b.reset();
  EXPECT_FALSE(probeIsLoaded());  // unloaded with the last handle

  ModuleHandle again = loadModule("ModuleProbe.dll", &status);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->function<ProbeFn>("tunora_probe_answer")(), 42);
}

TEST(ModuleLoad, MissingModuleAndMissingExport) {
  DebugCapture capture;
  Status status = S_OK;
  EXPECT_EQ(loadModule("NoSuchModule.dll", &status), nullptr);
  EXPECT_EQ(status, E_MOD_NOT_FOUND);
  EXPECT_TRUE(capture.contains("NoSuchModule.dll"));
  EXPECT_TRUE(capture.contains("libNoSuchModule.so"));
  EXPECT_EQ(loadModule("", &status), nullptr);
  EXPECT_EQ(status, E_INVALIDARG);

  ModuleHandle probe = loadModule("ModuleProbe.dll");
  ASSERT_TRUE(probe);
  capture.clear();
  EXPECT_EQ(probe->symbol("no_such_export"), nullptr);
  EXPECT_TRUE(capture.contains("no_such_export"));
}

int standInAnswer() { return 7; }
int otherAnswer() { return 8; }

TEST(ModuleLoad, StandInsWinOverFilesAndHandlesKeepWhatTheyHad) {
  registerModuleStandIn("ModuleProbe.dll", {{"tunora_probe_answer", reinterpret_cast<void*>(&standInAnswer)}});
  Status status = E_FAIL;
  ModuleHandle s = loadModule("MODULEPROBE.xyz", &status);  // case and extension do not matter
  ASSERT_EQ(status, S_OK);
  ASSERT_TRUE(s);
  EXPECT_TRUE(s->hostPath().empty());
  EXPECT_EQ(s->function<ProbeFn>("tunora_probe_answer")(), 7);
  EXPECT_EQ(loadModule("ModuleProbe.dll").get(), s.get());
  {
    DebugCapture capture;
    EXPECT_EQ(s->symbol("missing"), nullptr);
    EXPECT_TRUE(capture.contains("missing"));
  }

  registerModuleStandIn("moduleprobe", {{"tunora_probe_answer", reinterpret_cast<void*>(&otherAnswer)}});
  ModuleHandle s2 = loadModule("ModuleProbe.dll");
  ASSERT_TRUE(s2);
  EXPECT_EQ(s2->function<ProbeFn>("tunora_probe_answer")(), 8);
  EXPECT_EQ(s->function<ProbeFn>("tunora_probe_answer")(), 7);

  unregisterModuleStandIn("ModuleProbe.dll");
  ModuleHandle file = loadModule("ModuleProbe.dll");
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->hostPath().empty());
  EXPECT_EQ(file->function<ProbeFn>("tunora_probe_answer")(), 42);
  EXPECT_EQ(s->function<ProbeFn>("tunora_probe_answer")(), 7);  // still its own exports
}

class ModuleFolderTest : public DeviceRootTest {};

TEST_F(ModuleFolderTest, TheNamedFolderIsSearchedFirstWithoutRegardToCase) {
  // A copy of the probe in a device folder, spelled differently from the name asked.
  fs::create_directories(root() / "Plugins");
  fs::copy_file(probeLibrary(), root() / "Plugins" / "LIBMODULEPROBE.SO");
  Status status = E_FAIL;
  ModuleHandle m = loadModule("\\plugins\\ModuleProbe.dll", &status);
  ASSERT_EQ(status, S_OK);
  ASSERT_TRUE(m);
  EXPECT_EQ(fs::path(m->hostPath()), root() / "Plugins" / "LIBMODULEPROBE.SO");
  EXPECT_EQ(m->function<ProbeFn>("tunora_probe_answer")(), 42);

  // A folder without the library falls back to the executable's folder.
  fs::create_directories(root() / "Empty");
  ModuleHandle fallback = loadModule("\\Empty\\ModuleProbe.dll", &status);
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fs::path(fallback->hostPath()), probeLibrary());
  EXPECT_NE(fallback.get(), m.get());  // a different file is a different module
}

TEST(ModuleLoad, RelativeFolderLiesBelowTheExecutable) {
  const std::string folder = "module-test-" + std::to_string(::getpid());
  fs::create_directories(executableDir() / folder);
  fs::copy_file(probeLibrary(), executableDir() / folder / "libModuleProbe.so");
  Status status = E_FAIL;
  ModuleHandle m = loadModule(folder + "\\ModuleProbe.dep", &status);
  EXPECT_EQ(status, S_OK);
  ASSERT_TRUE(m);
  EXPECT_EQ(fs::path(m->hostPath()), executableDir() / folder / "libModuleProbe.so");
  // A relative folder climbing out is not searched; the executable's folder still is.
  ModuleHandle out = loadModule("..\\..\\ModuleProbe.dll", &status);
  ASSERT_TRUE(out);
  EXPECT_EQ(fs::path(out->hostPath()), probeLibrary());
  m.reset();
  fs::remove_all(executableDir() / folder);
}

}  // namespace
}  // namespace plat
