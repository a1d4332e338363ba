// Images, region files and font files named by device paths, as the skins
// name them, resolve through the platform's path mapping.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "plat/gfx/font.h"
#include "plat/gfx/image.h"
#include "plat/gfx/region_data.h"
#include "plat/paths.h"

namespace plat {
namespace {

TEST(GfxDevicePaths, SkinFilesLoadByDevicePath) {
  const auto root = std::filesystem::temp_directory_path() / "tunora_gfx_device_paths";
  std::filesystem::remove_all(root);
  const auto program = root / "program";
  std::filesystem::create_directories(program / "Skins" / "Default");
  configurePaths(PathConfig{root / "device", program, {}});

  Surface s;
  ASSERT_EQ(s.reset(6, 3, makePixel(1, 2, 3)), S_OK);
  ASSERT_EQ(writePngFile(s, program / "Skins" / "Default" / "Button.png"), S_OK);
  { std::ofstream(program / "Skins" / "Default" / "Button.rgn", std::ios::binary)
        << encodeRegionData({Rect{0, 0, 6, 3}}); }

  Status st = E_FAIL;
  // The device looked names up without regard to case.
  ImagePtr img = cachedDeviceImage(u"\\Program Files\\Tunora\\skins\\default\\button.png", &st);
  ASSERT_TRUE(img) << statusName(st);
  EXPECT_EQ(img->width(), 6);
  Region region;
  EXPECT_EQ(loadDeviceRegionFile(u"\\Program Files\\Tunora\\Skins\\Default\\Button.rgn", &region), S_OK);
  EXPECT_TRUE(region.contains(Point{5, 2}));
  EXPECT_EQ(cachedDeviceImage(u"relative\\x.png", &st), nullptr);
  EXPECT_EQ(st, E_PATH_NOT_FOUND);
  EXPECT_EQ(loadDeviceRegionFile(u"\\..\\..\\etc\\passwd", &region), E_PATH_NOT_FOUND);
  EXPECT_EQ(addDeviceFontResource(u"\\Program Files\\Tunora\\Skins\\missing.ttf"), E_FILE_NOT_FOUND);
  configurePaths(defaultPathConfig());
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace plat
