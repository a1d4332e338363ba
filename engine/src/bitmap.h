// A test card for snapshots: colour bars with a band whose hue depends on the
// service, encoded as a 24-bit uncompressed BMP file.
#pragma once
#include <cstdint>
#include <string>

namespace zantsim {

// The bytes of a BMP file of width x height (both 1..4096).
std::string renderTestCard(uint32_t width, uint32_t height, uint32_t seed);

}  // namespace zantsim
