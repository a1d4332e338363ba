// The built plug-in loaded the way the engine loads it: by module name from
// the program directory, with its four exports looked up by name.
#include <gtest/gtest.h>

#include "plat/module.h"
#include "plat/paths.h"
#include "tapfeed/tuner_abi.h"

TEST(TapfeedPlugin, LoadsByNameAndExportsTheFourEntries) {
  plat::PathConfig config = plat::currentPathConfig();
  config.programDir = TAPFEED_BIN_DIR;
  plat::configurePaths(config);
  plat::Status status = 0;
  plat::ModuleHandle module = plat::loadModule(u"\\Program Files\\Tunora\\Tapfeed.dll", &status);
  ASSERT_TRUE(module) << status;
  auto detect = module->function<int32_t (*)(TapfeedDeviceInfo*, int32_t)>("DetectTunerDevice");
  auto create = module->function<TapfeedTuner* (*)()>("CreateTuner");
  auto destroy = module->function<TapfeedTuner* (*)(TapfeedTuner*)>("DeleteTuner");
  auto registerChange = module->function<int32_t (*)(void*)>("RegisterTunerChange");
  ASSERT_TRUE(detect && create && destroy && registerChange);
  TapfeedDeviceInfo info{};
  EXPECT_EQ(detect(&info, 1), 1);
  EXPECT_STREQ(info.name, "Norvale File Tuner");
  TapfeedTuner* tuner = create();
  ASSERT_NE(tuner, nullptr);
  EXPECT_EQ(tuner->ops->open(tuner, &info, 0), 0);
  uint32_t type[2] = {};
  tuner->ops->getSourceType(tuner, type);
  EXPECT_EQ(type[0], 0x40000029u);
  EXPECT_EQ(destroy(tuner), nullptr);
  EXPECT_EQ(registerChange(nullptr), 0);
}
