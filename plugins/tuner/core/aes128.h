// AES-128 block cipher (FIPS-197), table-driven: the round transformations of
// each column are folded into four 256-entry word tables, and decryption uses
// the equivalent inverse cipher (InvMixColumns applied to the middle round
// keys). The tables are computed at compile time from the field arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tapfeed {

class Aes128 {
 public:
  enum class Direction { Encrypt, Decrypt };
  Aes128(const uint8_t key[16], Direction direction);

  // One 16-byte block; in and out may be the same.
  void encryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  void decryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  // `count` consecutive blocks in place, by the schedule's direction (one
  // call per run keeps the round loop out of a per-block call).
  void transformBlocks(uint8_t* data, size_t count) const;
  Direction direction() const { return direction_; }

 private:
  uint32_t roundKeys_[44];
  Direction direction_;
};

}  // namespace tapfeed
