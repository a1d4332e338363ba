// Runs every table parser on the fuzz input, once as given and once with the
// table_id each parser expects, so every parser sees every input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "si/tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapfeed::si;
  Pat pat;
  Pmt pmt;
  IntTable table;
  Tdt tdt;
  Tot tot;
  std::vector<uint8_t> copy(data, data + size);
  const uint8_t ids[] = {kTableIdPat, kTableIdPmt, kTableIdInt, kTableIdTdt, kTableIdTot};
  for (int round = 0; round < 2; ++round) {
    for (uint8_t id : ids) {
      if (round == 1 && !copy.empty()) copy[0] = id;
      // An exact-size heap copy lets the address sanitizer see any over-read.
      std::vector<uint8_t> section(copy);
      parsePat(section.data(), section.size(), pat);
      parsePmt(section.data(), section.size(), kSpaceDvb, pmt);
      parseInt(section.data(), section.size(), table);
      parseTdt(section.data(), section.size(), tdt);
      parseTot(section.data(), section.size(), tot);
      if (round == 0) break;
    }
  }
  if (size >= 5) convertUtcTime(data);
  return 0;
}
