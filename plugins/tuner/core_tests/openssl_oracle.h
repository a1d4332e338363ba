// AES-128-ECB through OpenSSL, the independent oracle for our cipher, and the
// unit layout of encrypted recordings built on it (to make encrypted files).
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace oracle {

inline void aesEcb(const uint8_t key[16], bool encrypt, const uint8_t* in, uint8_t* out, size_t length) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (!ctx) throw std::runtime_error("EVP_CIPHER_CTX_new");
  int ok = encrypt ? EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr)
                   : EVP_DecryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  int outLength = 0;
  if (ok) ok = encrypt ? EVP_EncryptUpdate(ctx, out, &outLength, in, static_cast<int>(length))
                       : EVP_DecryptUpdate(ctx, out, &outLength, in, static_cast<int>(length));
  EVP_CIPHER_CTX_free(ctx);
  if (!ok || outLength != static_cast<int>(length)) throw std::runtime_error("EVP update");
}

// Enciphers the payloads of whole 376-byte units in place the way encrypted
// recordings store them; a trailing partial unit stays clear.
inline void encryptRecording(const uint8_t key[16], std::vector<uint8_t>& data) {
  for (size_t unit = 0; unit + 376 <= data.size(); unit += 376) {
    uint8_t* u = data.data() + unit;
    aesEcb(key, true, u + 4, u + 4, 176);
    uint8_t straddle[16];
    std::memcpy(straddle, u + 180, 8);
    std::memcpy(straddle + 8, u + 192, 8);
    aesEcb(key, true, straddle, straddle, 16);
    std::memcpy(u + 180, straddle, 8);
    std::memcpy(u + 192, straddle + 8, 8);
    aesEcb(key, true, u + 200, u + 200, 176);
  }
}

}  // namespace oracle
