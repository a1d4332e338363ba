// An engine library that lacks its device-manager factory, for the start-up
// failure test: the player must refuse it.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t CoCreateZNMediaPlayer(const void*, void** out) {
  if (out) *out = nullptr;
  return static_cast<int32_t>(0x80004005u);
}
