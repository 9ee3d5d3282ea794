#pragma once
// The few cryptographic primitives the engine needs, kept behind one small adapter over
// mbed TLS 2.28 (Blowfish is gone from mbed TLS 3, so nothing else includes its headers).

#include <cstddef>
#include <cstdint>

namespace crypto {

enum { Md5Size = 16, BlowfishBlockSize = 8 };

// MD5 of the bytes into out[16]; false when the library refuses.
bool md5(const void* data, size_t size, uint8_t out[Md5Size]);

// PBKDF2 with HMAC-MD5 over (password, salt), outSize bytes; false on failure.
bool pbkdf2HmacMd5(const void* password, size_t passwordSize, const void* salt, size_t saltSize,
                   unsigned iterations, uint8_t* out, size_t outSize);

// Blowfish in CBC mode. The chain carries across process() calls, so data may be fed in pieces.
class BlowfishCbc {
public:
    enum Direction { Decrypt = 0, Encrypt = 1 };

    BlowfishCbc();
    ~BlowfishCbc();
    BlowfishCbc(const BlowfishCbc&) = delete;
    BlowfishCbc& operator=(const BlowfishCbc&) = delete;

    // keyBits from 32 to 448 in steps of 8; iv is BlowfishBlockSize bytes.
    bool start(Direction direction, const uint8_t* key, unsigned keyBits, const uint8_t* iv);
    // size must be a multiple of BlowfishBlockSize; in and out may be the same block.
    bool process(const uint8_t* in, uint8_t* out, size_t size);

private:
    void* _context;
    uint8_t _iv[BlowfishBlockSize];
    int _mode = 0;
    bool _ready = false;
};

}  // namespace crypto
