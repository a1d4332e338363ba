#include "payload_cipher.h"

#include <cstring>
#include <new>

namespace tapfeed {

void transformUnits(const Aes128& cipher, uint8_t* data, size_t length) {
  for (size_t unit = 0; unit + kCipherUnit <= length; unit += kCipherUnit) {
    uint8_t* u = data + unit;
    cipher.transformBlocks(u + 4, 11);  // bytes 4..179 of packet A
    uint8_t straddle[16];
    std::memcpy(straddle, u + 180, 8);  // A's last 8 payload bytes
    std::memcpy(straddle + 8, u + 192, 8);  // B's first 8 payload bytes
    cipher.transformBlocks(straddle, 1);
    std::memcpy(u + 180, straddle, 8);
    std::memcpy(u + 192, straddle + 8, 8);
    cipher.transformBlocks(u + 200, 11);  // bytes 12..187 of packet B
  }
}

PayloadDecryptor::PayloadDecryptor(const uint8_t key[16]) : cipher_(key, Aes128::Direction::Decrypt) {}

int64_t PayloadDecryptor::process(const uint8_t* input, size_t length, const uint8_t** out) {
  if (!input || !out || length == 0) return 0;
  const size_t total = leftoverCount_ + length;
  if (capacity_ < total) {
    size_t capacity = capacity_ ? capacity_ : 100 * kCipherUnit;
    while (capacity < total) capacity *= 2;
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[capacity]);
    if (!grown) return -1;  // keep the old buffer and the leftover: nothing consumed
    buffer_ = std::move(grown);
    capacity_ = capacity;
  }
  std::memcpy(buffer_.get(), leftover_, leftoverCount_);
  std::memcpy(buffer_.get() + leftoverCount_, input, length);
  const size_t whole = total - total % kCipherUnit;
  transformUnits(cipher_, buffer_.get(), whole);
  leftoverCount_ = total - whole;
  std::memcpy(leftover_, buffer_.get() + whole, leftoverCount_);
  *out = buffer_.get();
  return static_cast<int64_t>(whole);
}

}  // namespace tapfeed
