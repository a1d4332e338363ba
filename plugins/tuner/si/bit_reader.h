// Most-significant-bit-first reader over a byte buffer. Reads past the end
// yield zero bits, so a parser that checks lengths first can never read outside
// the buffer it was given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tapfeed::si {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Reads 1 to 32 bits, most significant first, right-aligned in the result.
  uint32_t read(unsigned bits) {
    const size_t byteIndex = bitPos_ >> 3;
    if (byteIndex + 5 <= size_) {
      // Fast path: the field lies within the next 5 bytes of the buffer.
      const uint8_t* p = data_ + byteIndex;
      const uint64_t window = static_cast<uint64_t>(p[0]) << 32 | static_cast<uint64_t>(p[1]) << 24 |
                              static_cast<uint64_t>(p[2]) << 16 | static_cast<uint64_t>(p[3]) << 8 | p[4];
      const unsigned shift = 40 - static_cast<unsigned>(bitPos_ & 7) - bits;
      bitPos_ += bits;
      return static_cast<uint32_t>((window >> shift) & ((uint64_t{1} << bits) - 1));
    }
    return readSlow(bits);
  }

 private:
  uint32_t readSlow(unsigned bits) {
    uint32_t value = 0;
    while (bits > 0) {
      const size_t byteIndex = bitPos_ >> 3;
      const unsigned bitInByte = static_cast<unsigned>(bitPos_ & 7);
      const unsigned available = 8 - bitInByte;
      const unsigned take = bits < available ? bits : available;
      uint32_t byte = byteIndex < size_ ? data_[byteIndex] : 0;
      byte = (byte >> (available - take)) & ((1u << take) - 1u);
      value = (value << take) | byte;
      bitPos_ += take;
      bits -= take;
    }
    return value;
  }

 public:
  uint8_t u8() { return static_cast<uint8_t>(read(8)); }
  uint16_t u16() { return static_cast<uint16_t>(read(16)); }
  uint32_t u24() { return read(24); }
  uint32_t u32() { return read(32); }
  void skip(size_t bits) { bitPos_ += bits; }
  void skipBytes(size_t bytes) { bitPos_ += bytes * 8; }

  // Byte position of the next read (rounded down when mid-byte).
  size_t bytePos() const { return bitPos_ >> 3; }
  // Whole bytes left before the end of the buffer.
  size_t bytesLeft() const { return bytePos() >= size_ ? 0 : size_ - bytePos(); }
  // Pointer to the next byte (valid only when bytesLeft() > 0).
  const uint8_t* here() const { return data_ + bytePos(); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t bitPos_ = 0;
};

}  // namespace tapfeed::si
