// The payload decryptor over arbitrary bytes in arbitrary splits: output is
// whole units, nothing is lost or repeated, and enciphering the output again
// gives the input back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "aes128.h"
#include "payload_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17) return 0;
  const uint8_t* key = data;
  const size_t piece = 1 + size_t(data[16]) * 3;
  data += 17;
  size -= 17;
  tapfeed::PayloadDecryptor decryptor(key);
  std::vector<uint8_t> out;
  for (size_t pos = 0; pos < size; pos += piece) {
    const size_t n = std::min(piece, size - pos);
    const uint8_t* result = nullptr;
    const int64_t made = decryptor.process(data + pos, n, &result);
    if (made < 0 || made % 376 != 0 || static_cast<size_t>(made) > tapfeed::PayloadDecryptor::maxOutput(n)) std::abort();
    out.insert(out.end(), result, result + made);
  }
  if (out.size() != size - size % 376 || decryptor.leftoverCount() != size % 376) std::abort();
  tapfeed::Aes128 encrypt(key, tapfeed::Aes128::Direction::Encrypt);
  tapfeed::transformUnits(encrypt, out.data(), out.size());
  if (!out.empty() && std::memcmp(out.data(), data, out.size()) != 0) std::abort();
  return 0;
}
