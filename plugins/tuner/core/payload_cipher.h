// Payload cipher of encrypted recordings: AES-128 in ECB over the payloads of
// pairs of 188-byte packets (a 376-byte unit), packet headers in clear. Each
// unit is 23 independent blocks: 11 in packet A's payload, one made of A's
// last 8 payload bytes and B's first 8, and 11 in packet B's payload.
//
// The streaming decryptor keeps the bytes that do not yet form a whole unit
// (at most 375) and puts them in front of the next input; its output buffer
// only grows, so steady streaming allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "aes128.h"

namespace tapfeed {

inline constexpr size_t kCipherUnit = 376;

// Transforms whole units in place (decrypting or encrypting by the cipher's
// direction); a trailing partial unit is left untouched.
void transformUnits(const Aes128& cipher, uint8_t* data, size_t length);

class PayloadDecryptor {
 public:
  explicit PayloadDecryptor(const uint8_t key[16]);

  // Feeds length bytes; *out receives the decrypted whole units (valid until
  // the next call). Returns the number of bytes made available (a multiple
  // of 376, possibly 0), or -1 when the output buffer could not be grown
  // (then nothing was consumed). Null input or out, or length 0, returns 0.
  int64_t process(const uint8_t* input, size_t length, const uint8_t** out);

  // Drops the bytes waiting for the rest of their unit (after a seek or loop).
  void resetLeftover() { leftoverCount_ = 0; }
  size_t leftoverCount() const { return leftoverCount_; }

  // Largest output one call can make for an input of length bytes.
  static size_t maxOutput(size_t length) { return length + kCipherUnit - 1; }

 private:
  Aes128 cipher_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_ = 0;
  size_t leftoverCount_ = 0;
  uint8_t leftover_[kCipherUnit];
};

}  // namespace tapfeed
