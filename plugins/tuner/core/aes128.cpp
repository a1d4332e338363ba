#include "aes128.h"

#include <array>
#include <cstring>

namespace tapfeed {
namespace {

constexpr uint8_t xtime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0)); }

constexpr uint8_t gfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = xtime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint8_t gfInverse(uint8_t x) {
  if (x == 0) return 0;
  // x^254 = x^-1 in GF(2^8).
  uint8_t result = 1;
  uint8_t base = x;
  unsigned e = 254;
  while (e) {
    if (e & 1) result = gfMul(result, base);
    base = gfMul(base, base);
    e >>= 1;
  }
  return result;
}

constexpr uint8_t rotl8(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }

struct Tables {
  std::array<uint8_t, 256> sbox{};
  std::array<uint8_t, 256> invSbox{};
  std::array<std::array<uint32_t, 256>, 4> enc{};
  std::array<std::array<uint32_t, 256>, 4> dec{};
};

constexpr uint32_t rotr32(uint32_t x, int n) { return n == 0 ? x : (x >> n) | (x << (32 - n)); }

constexpr Tables makeTables() {
  Tables t;
  for (int i = 0; i < 256; ++i) {
    uint8_t b = gfInverse(static_cast<uint8_t>(i));
    uint8_t s = static_cast<uint8_t>(b ^ rotl8(b, 1) ^ rotl8(b, 2) ^ rotl8(b, 3) ^ rotl8(b, 4) ^ 0x63);
    t.sbox[i] = s;
    t.invSbox[s] = static_cast<uint8_t>(i);
  }
  for (int i = 0; i < 256; ++i) {
    uint8_t s = t.sbox[i];
    uint32_t e = (uint32_t(gfMul(s, 2)) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | gfMul(s, 3);
    uint8_t v = t.invSbox[i];
    uint32_t d = (uint32_t(gfMul(v, 14)) << 24) | (uint32_t(gfMul(v, 9)) << 16) | (uint32_t(gfMul(v, 13)) << 8) |
                 gfMul(v, 11);
    for (int k = 0; k < 4; ++k) {
      t.enc[k][i] = rotr32(e, 8 * k);
      t.dec[k][i] = rotr32(d, 8 * k);
    }
  }
  return t;
}

constexpr Tables kTables = makeTables();

inline uint32_t load32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void store32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

uint32_t subWord(uint32_t w) {
  const auto& s = kTables.sbox;
  return (uint32_t(s[w >> 24]) << 24) | (uint32_t(s[(w >> 16) & 0xFF]) << 16) |
         (uint32_t(s[(w >> 8) & 0xFF]) << 8) | s[w & 0xFF];
}

// InvMixColumns of one word, through the decryption tables and the S-box.
uint32_t invMixWord(uint32_t w) {
  const auto& s = kTables.sbox;
  const auto& d = kTables.dec;
  return d[0][s[w >> 24]] ^ d[1][s[(w >> 16) & 0xFF]] ^ d[2][s[(w >> 8) & 0xFF]] ^ d[3][s[w & 0xFF]];
}

}  // namespace

Aes128::Aes128(const uint8_t key[16], Direction direction) : direction_(direction) {
  uint32_t* w = roundKeys_;
  for (int i = 0; i < 4; ++i) w[i] = load32(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = 4; i < 44; ++i) {
    uint32_t temp = w[i - 1];
    if (i % 4 == 0) {
      temp = subWord((temp << 8) | (temp >> 24)) ^ (uint32_t(rcon) << 24);
      rcon = xtime(rcon);
    }
    w[i] = w[i - 4] ^ temp;
  }
  if (direction == Direction::Decrypt) {
    // Equivalent inverse cipher: rounds in reverse order, middle keys through InvMixColumns.
    uint32_t reversed[44];
    for (int round = 0; round <= 10; ++round)
      for (int c = 0; c < 4; ++c) reversed[4 * round + c] = w[4 * (10 - round) + c];
    for (int i = 4; i < 40; ++i) reversed[i] = invMixWord(reversed[i]);
    std::memcpy(roundKeys_, reversed, sizeof reversed);
  }
}

namespace {

inline void encryptWith(const uint32_t* rk, const uint8_t in[16], uint8_t out[16]) {
  const auto& T = kTables.enc;
  const auto& S = kTables.sbox;
  uint32_t s0 = load32(in) ^ rk[0], s1 = load32(in + 4) ^ rk[1], s2 = load32(in + 8) ^ rk[2],
           s3 = load32(in + 12) ^ rk[3];
  for (int round = 1; round < 10; ++round) {
    rk += 4;
    uint32_t t0 = T[0][s0 >> 24] ^ T[1][(s1 >> 16) & 0xFF] ^ T[2][(s2 >> 8) & 0xFF] ^ T[3][s3 & 0xFF] ^ rk[0];
    uint32_t t1 = T[0][s1 >> 24] ^ T[1][(s2 >> 16) & 0xFF] ^ T[2][(s3 >> 8) & 0xFF] ^ T[3][s0 & 0xFF] ^ rk[1];
    uint32_t t2 = T[0][s2 >> 24] ^ T[1][(s3 >> 16) & 0xFF] ^ T[2][(s0 >> 8) & 0xFF] ^ T[3][s1 & 0xFF] ^ rk[2];
    uint32_t t3 = T[0][s3 >> 24] ^ T[1][(s0 >> 16) & 0xFF] ^ T[2][(s1 >> 8) & 0xFF] ^ T[3][s2 & 0xFF] ^ rk[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 4;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return ((uint32_t(S[a >> 24]) << 24) | (uint32_t(S[(b >> 16) & 0xFF]) << 16) |
            (uint32_t(S[(c >> 8) & 0xFF]) << 8) | S[d & 0xFF]) ^ k;
  };
  store32(out, last(s0, s1, s2, s3, rk[0]));
  store32(out + 4, last(s1, s2, s3, s0, rk[1]));
  store32(out + 8, last(s2, s3, s0, s1, rk[2]));
  store32(out + 12, last(s3, s0, s1, s2, rk[3]));
}

inline void decryptWith(const uint32_t* rk, const uint8_t in[16], uint8_t out[16]) {
  const auto& T = kTables.dec;
  const auto& S = kTables.invSbox;
  uint32_t s0 = load32(in) ^ rk[0], s1 = load32(in + 4) ^ rk[1], s2 = load32(in + 8) ^ rk[2],
           s3 = load32(in + 12) ^ rk[3];
  for (int round = 1; round < 10; ++round) {
    rk += 4;
    uint32_t t0 = T[0][s0 >> 24] ^ T[1][(s3 >> 16) & 0xFF] ^ T[2][(s2 >> 8) & 0xFF] ^ T[3][s1 & 0xFF] ^ rk[0];
    uint32_t t1 = T[0][s1 >> 24] ^ T[1][(s0 >> 16) & 0xFF] ^ T[2][(s3 >> 8) & 0xFF] ^ T[3][s2 & 0xFF] ^ rk[1];
    uint32_t t2 = T[0][s2 >> 24] ^ T[1][(s1 >> 16) & 0xFF] ^ T[2][(s0 >> 8) & 0xFF] ^ T[3][s3 & 0xFF] ^ rk[2];
    uint32_t t3 = T[0][s3 >> 24] ^ T[1][(s2 >> 16) & 0xFF] ^ T[2][(s1 >> 8) & 0xFF] ^ T[3][s0 & 0xFF] ^ rk[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 4;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
    return ((uint32_t(S[a >> 24]) << 24) | (uint32_t(S[(b >> 16) & 0xFF]) << 16) |
            (uint32_t(S[(c >> 8) & 0xFF]) << 8) | S[d & 0xFF]) ^ k;
  };
  store32(out, last(s0, s3, s2, s1, rk[0]));
  store32(out + 4, last(s1, s0, s3, s2, rk[1]));
  store32(out + 8, last(s2, s1, s0, s3, rk[2]));
  store32(out + 12, last(s3, s2, s1, s0, rk[3]));
}

}  // namespace

void Aes128::encryptBlock(const uint8_t in[16], uint8_t out[16]) const { encryptWith(roundKeys_, in, out); }
void Aes128::decryptBlock(const uint8_t in[16], uint8_t out[16]) const { decryptWith(roundKeys_, in, out); }

void Aes128::transformBlocks(uint8_t* data, size_t count) const {
  if (direction_ == Direction::Decrypt) {
    for (size_t i = 0; i < count; ++i) decryptWith(roundKeys_, data + 16 * i, data + 16 * i);
  } else {
    for (size_t i = 0; i < count; ++i) encryptWith(roundKeys_, data + 16 * i, data + 16 * i);
  }
}

}  // namespace tapfeed
