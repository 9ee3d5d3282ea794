#include "engine/crypto.h"

#include <cstring>

#include <mbedtls/blowfish.h>
#include <mbedtls/md.h>
#include <mbedtls/md5.h>
#include <mbedtls/pkcs5.h>

namespace crypto {

bool md5(const void* data, size_t size, uint8_t out[Md5Size]) {
    return mbedtls_md5_ret(static_cast<const unsigned char*>(data), size, out) == 0;
}

bool pbkdf2HmacMd5(const void* password, size_t passwordSize, const void* salt, size_t saltSize,
                   unsigned iterations, uint8_t* out, size_t outSize) {
    const mbedtls_md_info_t* info = mbedtls_md_info_from_type(MBEDTLS_MD_MD5);
    if (!info || outSize > 0xFFFFFFFFu)
        return false;
    mbedtls_md_context_t ctx;
    mbedtls_md_init(&ctx);
    bool ok = mbedtls_md_setup(&ctx, info, 1) == 0 &&
              mbedtls_pkcs5_pbkdf2_hmac(&ctx, static_cast<const unsigned char*>(password), passwordSize,
                                        static_cast<const unsigned char*>(salt), saltSize, iterations,
                                        (uint32_t)outSize, out) == 0;
    mbedtls_md_free(&ctx);
    return ok;
}

BlowfishCbc::BlowfishCbc() : _context(new mbedtls_blowfish_context) {
    mbedtls_blowfish_init(static_cast<mbedtls_blowfish_context*>(_context));
    std::memset(_iv, 0, sizeof(_iv));
}

BlowfishCbc::~BlowfishCbc() {
    auto* ctx = static_cast<mbedtls_blowfish_context*>(_context);
    mbedtls_blowfish_free(ctx);
    delete ctx;
}

bool BlowfishCbc::start(Direction direction, const uint8_t* key, unsigned keyBits, const uint8_t* iv) {
    _ready = mbedtls_blowfish_setkey(static_cast<mbedtls_blowfish_context*>(_context), key, keyBits) == 0;
    _mode = direction == Encrypt ? MBEDTLS_BLOWFISH_ENCRYPT : MBEDTLS_BLOWFISH_DECRYPT;
    std::memcpy(_iv, iv, sizeof(_iv));
    return _ready;
}

bool BlowfishCbc::process(const uint8_t* in, uint8_t* out, size_t size) {
    if (!_ready || size % BlowfishBlockSize != 0)
        return false;
    if (size == 0)
        return true;
    // mbed TLS advances the IV in place, which carries the chain into the next call.
    return mbedtls_blowfish_crypt_cbc(static_cast<mbedtls_blowfish_context*>(_context), _mode, size, _iv,
                                      in, out) == 0;
}

}  // namespace crypto
