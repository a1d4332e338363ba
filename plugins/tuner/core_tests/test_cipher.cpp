// AES-128 against the FIPS-197 vectors and OpenSSL; the payload decryptor
// against recordings enciphered through OpenSSL, over random chunk splits.
#include <gtest/gtest.h>

#include <random>

#include "aes128.h"
#include "openssl_oracle.h"
#include "payload_cipher.h"

using tapfeed::Aes128;
using tapfeed::PayloadDecryptor;

namespace {

std::vector<uint8_t> hex(const char* text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; text[i] && text[i + 1]; i += 2) out.push_back(static_cast<uint8_t>(std::stoi(std::string(text + i, 2), nullptr, 16)));
  return out;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

TEST(Aes128, Fips197Vectors) {
  const Vector vectors[] = {
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
  };
  for (const Vector& v : vectors) {
    const auto key = hex(v.key), plain = hex(v.plain), cipher = hex(v.cipher);
    uint8_t out[16];
    Aes128(key.data(), Aes128::Direction::Encrypt).encryptBlock(plain.data(), out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), cipher) << v.key;
    Aes128(key.data(), Aes128::Direction::Decrypt).decryptBlock(cipher.data(), out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), plain) << v.key;
  }
}

TEST(Aes128, MatchesOpenSslOnRandomKeysAndBlocks) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    uint8_t key[16], block[16], ours[16], theirs[16];
    for (auto& b : key) b = static_cast<uint8_t>(rng());
    for (auto& b : block) b = static_cast<uint8_t>(rng());
    Aes128(key, Aes128::Direction::Encrypt).encryptBlock(block, ours);
    oracle::aesEcb(key, true, block, theirs, 16);
    ASSERT_EQ(0, std::memcmp(ours, theirs, 16));
    Aes128(key, Aes128::Direction::Decrypt).decryptBlock(block, ours);
    oracle::aesEcb(key, false, block, theirs, 16);
    ASSERT_EQ(0, std::memcmp(ours, theirs, 16));
  }
}

std::vector<uint8_t> clearRecording(size_t packets, std::mt19937& rng) {
  std::vector<uint8_t> data(packets * 188);
  for (size_t p = 0; p < packets; ++p) {
    uint8_t* packet = data.data() + p * 188;
    packet[0] = 0x47;
    packet[1] = static_cast<uint8_t>(p >> 8 & 0x1F);
    packet[2] = static_cast<uint8_t>(p);
    packet[3] = 0x10;
    for (size_t i = 4; i < 188; ++i) packet[i] = static_cast<uint8_t>(rng());
  }
  return data;
}

TEST(PayloadDecryptor, RandomChunkSplitsGiveThePlainRecording) {
  std::mt19937 rng(11);
  uint8_t key[16];
  for (auto& b : key) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> plain = clearRecording(2001, rng);  // ends in a partial unit
  std::vector<uint8_t> stored = plain;
  oracle::encryptRecording(key, stored);
  for (int trial = 0; trial < 20; ++trial) {
    PayloadDecryptor decryptor(key);
    std::vector<uint8_t> out;
    size_t pos = 0;
    while (pos < stored.size()) {
      const size_t take = std::min<size_t>(stored.size() - pos, 1 + rng() % (trial < 10 ? 600 : 70000));
      const uint8_t* result = nullptr;
      const int64_t n = decryptor.process(stored.data() + pos, take, &result);
      ASSERT_GE(n, 0);
      ASSERT_EQ(n % 376, 0);
      out.insert(out.end(), result, result + n);
      pos += take;
    }
    const size_t whole = stored.size() - stored.size() % 376;
    ASSERT_EQ(out.size(), whole);
    ASSERT_TRUE(std::equal(out.begin(), out.end(), plain.begin())) << "trial " << trial;
    EXPECT_EQ(decryptor.leftoverCount(), stored.size() % 376);
  }
}

TEST(PayloadDecryptor, HeadersStayInTheClear) {
  std::mt19937 rng(3);
  uint8_t key[16] = {1, 2, 3};
  const std::vector<uint8_t> plain = clearRecording(4, rng);
  std::vector<uint8_t> stored = plain;
  oracle::encryptRecording(key, stored);
  for (size_t p = 0; p < 4; ++p) EXPECT_EQ(0, std::memcmp(&stored[p * 188], &plain[p * 188], 4));
  EXPECT_NE(0, std::memcmp(&stored[4], &plain[4], 184));
}

TEST(PayloadDecryptor, PartialUnitWaitsForTheNextBytes) {
  std::mt19937 rng(5);
  uint8_t key[16] = {9};
  const std::vector<uint8_t> plain = clearRecording(2, rng);
  std::vector<uint8_t> stored = plain;
  oracle::encryptRecording(key, stored);
  PayloadDecryptor decryptor(key);
  const uint8_t* out = nullptr;
  EXPECT_EQ(decryptor.process(stored.data(), 375, &out), 0);
  ASSERT_EQ(decryptor.process(stored.data() + 375, 1, &out), 376);
  EXPECT_EQ(0, std::memcmp(out, plain.data(), 376));
  // Null input, null output pointer and empty input make nothing.
  EXPECT_EQ(decryptor.process(nullptr, 10, &out), 0);
  EXPECT_EQ(decryptor.process(stored.data(), 10, nullptr), 0);
  EXPECT_EQ(decryptor.process(stored.data(), 0, &out), 0);
}

TEST(PayloadDecryptor, LargestOutputFitsTheTunerDataArea) {
  // Three 512 KiB chunks: the third carries 288 held-back bytes in front.
  std::vector<uint8_t> chunk(524288, 0x47);
  uint8_t key[16] = {};
  PayloadDecryptor decryptor(key);
  const uint8_t* out = nullptr;
  size_t largest = 0;
  for (int i = 0; i < 3; ++i) largest = std::max<size_t>(largest, decryptor.process(chunk.data(), chunk.size(), &out));
  EXPECT_GT(largest, chunk.size());
  EXPECT_LE(largest, PayloadDecryptor::maxOutput(chunk.size()));
}

}  // namespace
