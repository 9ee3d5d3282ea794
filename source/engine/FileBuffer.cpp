#include "engine/FileBuffer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "engine/crypto.h"
#include "engine/utils.h"

const char SealedFile::kMagic[8] = {'k', 'a', 'v', 'e', 'l', 'D', 'A', 'T'};

// ---------------------------------------------------------------------------------------------
// FileBuffer

FileBuffer::FileBuffer() {}

FileBuffer::FileBuffer(const void* data, uint64_t size) { assign(data, size); }

FileBuffer::~FileBuffer() { clear(); }

FileBuffer::FileBuffer(FileBuffer&& other) noexcept
    : _data(other._data), _size(other._size), _position(other._position), _capacity(other._capacity) {
    other._data = nullptr;
    other._size = other._position = other._capacity = 0;
}

FileBuffer& FileBuffer::operator=(FileBuffer&& other) noexcept {
    if (this != &other) {
        clear();
        _data = other._data;
        _size = other._size;
        _position = other._position;
        _capacity = other._capacity;
        other._data = nullptr;
        other._size = other._position = other._capacity = 0;
    }
    return *this;
}

void FileBuffer::clear() {
    std::free(_data);
    _data = nullptr;
    _size = 0;
    _position = 0;
    _capacity = 0;
}

bool FileBuffer::reserve(uint64_t capacity) {
    if (capacity <= _capacity)
        return true;
    if (capacity > (uint64_t)SIZE_MAX)
        return false;
    void* grown = std::realloc(_data, (size_t)capacity);
    if (!grown)
        return false;
    _data = static_cast<uint8_t*>(grown);
    _capacity = capacity;
    return true;
}

bool FileBuffer::assign(const void* data, uint64_t size) {
    clear();
    if (size == 0)
        return true;
    if (!reserve(size)) {
        Logger::error("[FileBuffer::assign] out of memory (%llu bytes)", (unsigned long long)size);
        return false;
    }
    std::memcpy(_data, data, (size_t)size);
    _size = size;
    return true;
}

bool FileBuffer::isSealed() const {
    return _size >= 16 && std::memcmp(_data, SealedFile::kMagic, sizeof(SealedFile::kMagic)) == 0;
}

int FileBuffer::loadFromFile(const char* path) {
    clear();
    FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        Logger::error("FileBuffer::loadFromFile() can't open:%s", path ? path : "(null)");
        return 0;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        // A folder opens for reading too, and measures as an absurd length.
        Logger::error("[FileBuffer::loadFromFile] '%s' is no regular file", path);
        std::fclose(f);
        return 0;
    }
    int64_t length = -1;
    if (fseeko(f, 0, SEEK_END) == 0) {
        length = (int64_t)ftello(f);
        if (fseeko(f, 0, SEEK_SET) != 0)
            length = -1;
    }
    if (length < 0) {
        Logger::error("[FileBuffer::loadFromFile] can't measure '%s': %s", path, std::strerror(errno));
        std::fclose(f);
        return 0;
    }
    if (length > 0 && !reserve((uint64_t)length)) {
        Logger::error("[FileBuffer::loadFromFile] out of memory for '%s' (%lld bytes)", path, (long long)length);
        std::fclose(f);
        return 0;
    }
    size_t got = length > 0 ? std::fread(_data, 1, (size_t)length, f) : 0;
    std::fclose(f);
    if ((int64_t)got != length) {
        // A file that shrank under us: nothing half-read is handed on.
        Logger::error("[FileBuffer::loadFromFile] short read of '%s': %llu of %lld bytes", path,
                      (unsigned long long)got, (long long)length);
        clear();
        return 0;
    }
    _size = (uint64_t)length;
    return 1;
}

int FileBuffer::loadSealed(const char* path, const char* password) {
    if (!loadFromFile(path))
        return 0;
    if (_size < 16 || std::memcmp(_data, SealedFile::kMagic, sizeof(SealedFile::kMagic)) != 0)
        return 1;
    std::unique_ptr<FileBuffer> plain = SealedFile::unseal(*this, password);
    if (!plain) {
        Logger::error("[FileBuffer::loadSealed] damaged sealed file '%s'", path);
        clear();
        return 0;
    }
    *this = std::move(*plain);
    _position = 0;
    return 1;
}

static int writeWhole(const char* path, const uint8_t* data, uint64_t size, const char* who) {
    FILE* f = path ? std::fopen(path, "wb") : nullptr;
    if (!f)
        return 0;
    bool ok = size == 0 || std::fwrite(data, 1, (size_t)size, f) == size;
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        Logger::error("[%s] write to '%s' failed: %s", who, path, std::strerror(errno));
        return 0;
    }
    return 1;
}

int FileBuffer::saveToFile(const char* path) const {
    return writeWhole(path, _data, _size, "FileBuffer::saveToFile");
}

int FileBuffer::saveSealed(const char* path, const char* password) const {
    // Data that is sealed already goes out as it is: sealing twice would leave a reader
    // with a container inside a container.
    if (isSealed())
        return writeWhole(path, _data, _size, "FileBuffer::saveSealed");
    std::unique_ptr<FileBuffer> sealed = SealedFile::seal(*this, password);
    if (!sealed) {
        // The file on disk is left alone rather than replaced by nothing.
        Logger::error("[FileBuffer::saveSealed] sealing failed, '%s' not written", path ? path : "(null)");
        return 0;
    }
    return writeWhole(path, sealed->_data, sealed->_size, "FileBuffer::saveSealed");
}

void FileBuffer::seek(int whence, int64_t offset) {
    uint64_t base;
    switch (whence) {
    case 0: base = 0; break;
    case 1: base = _position; break;
    case 2: base = _size; break;
    default: return;
    }
    if (offset < 0) {
        uint64_t back = (uint64_t)(-(offset + 1)) + 1;
        _position = back > base ? 0 : base - back;
    } else {
        uint64_t ahead = (uint64_t)offset;
        _position = ahead > _size - base ? _size : base + ahead;
    }
}

void FileBuffer::toString(std::string& out) const {
    if (_data)
        out.assign(reinterpret_cast<const char*>(_data), (size_t)_size);
    else
        out.clear();
}

bool FileBuffer::write(const void* data, uint64_t count) {
    if (count == 0)
        return true;
    if (count > UINT64_MAX - _size)
        return false;
    uint64_t needed = _size + count;
    if (needed > _capacity) {
        uint64_t grown = _capacity + _capacity / 2;
        if (!reserve(grown > needed ? grown : needed) && !reserve(needed)) {
            Logger::error("[FileBuffer::write] out of memory (%llu bytes)", (unsigned long long)needed);
            return false;
        }
    }
    if (_position < _size)
        std::memmove(_data + _position + count, _data + _position, (size_t)(_size - _position));
    std::memcpy(_data + _position, data, (size_t)count);
    _size += count;
    _position += count;
    return true;
}

uint64_t FileBuffer::read(void* destination, uint64_t count) {
    uint64_t n = count < remaining() ? count : remaining();
    if (n > 0)
        std::memcpy(destination, _data + _position, (size_t)n);
    _position += n;
    return n;
}

void FileBuffer::writeString(FileBuffer& buffer, const std::string& text) {
    uint16_t length = (uint16_t)(text.size() & 0xFFFF);
    uint8_t le[2] = {(uint8_t)(length & 0xFF), (uint8_t)(length >> 8)};
    buffer.write(le, 2);
    buffer.write(text.data(), length);
}

std::string FileBuffer::readString(FileBuffer& buffer) {
    uint8_t le[2];
    if (buffer.read(le, 2) != 2)
        return std::string();
    uint64_t length = (uint64_t)le[0] | ((uint64_t)le[1] << 8);
    if (length > buffer.remaining())
        length = buffer.remaining();
    std::string text(length ? reinterpret_cast<const char*>(buffer.data() + buffer.position()) : "", (size_t)length);
    buffer.seek(1, (int64_t)length);
    return text;
}

// ---------------------------------------------------------------------------------------------
// SealedFile

namespace {

struct KeyMaterial {
    uint8_t bytes[SealedFile::KeyMaterialSize];
};

bool deriveKey(const char* password, const uint8_t* salt, KeyMaterial& km) {
    const char* pw = password ? password : "";
    return crypto::pbkdf2HmacMd5(pw, std::strlen(pw), salt, SealedFile::SaltSize, SealedFile::Pbkdf2Iterations,
                                 km.bytes, sizeof(km.bytes));
}

// Sealing and unsealing must cut the key and the IV from the same material; `caller` names the
// operation in the messages.
bool startCipher(crypto::BlowfishCbc& cipher, crypto::BlowfishCbc::Direction direction, const char* password,
                 const uint8_t* salt, const char* caller) {
    KeyMaterial km;
    if (!deriveKey(password, salt, km)) {
        Logger::error("[SealedFile::%s] key derivation failed", caller);
        return false;
    }
    if (!cipher.start(direction, km.bytes + SealedFile::KeyOffset, SealedFile::KeySize * 8,
                      km.bytes + SealedFile::IvOffset)) {
        Logger::error("[SealedFile::%s] cipher set-up failed", caller);
        return false;
    }
    return true;
}

void putU64(uint8_t* at, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        at[i] = (uint8_t)(v >> (8 * i));
}

uint64_t getU64(const uint8_t* at) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= (uint64_t)at[i] << (8 * i);
    return v;
}

}  // namespace

std::unique_ptr<FileBuffer> SealedFile::seal(const FileBuffer& buffer, const char* password) {
    uint8_t salt[SaltSize];
    for (int i = 0; i < SaltSize; ++i)
        salt[i] = (uint8_t)(std::rand() & 0xFF);

    crypto::BlowfishCbc cipher;
    if (!startCipher(cipher, crypto::BlowfishCbc::Encrypt, password, salt, "seal"))
        return nullptr;

    const uint64_t size = buffer.size();
    const uint64_t pad = (BlockAlign - size % BlockAlign) % BlockAlign;
    const uint64_t plainSize = size + pad;

    std::unique_ptr<FileBuffer> out(new FileBuffer);
    if (!out->reserve(HeaderSize + plainSize)) {
        Logger::error("[SealedFile::seal] out of memory (%llu bytes)", (unsigned long long)(HeaderSize + plainSize));
        return nullptr;
    }
    uint8_t* dst = out->_data;
    std::memcpy(dst, kMagic, sizeof(kMagic));
    std::memcpy(dst + 8, salt, SaltSize);
    putU64(dst + 16, pad);
    dst += HeaderSize;

    // Whole pieces straight from the source, then the tail with its padding.
    const uint8_t* src = buffer.data();
    const uint64_t wholeBytes = size - size % PieceSize;
    for (uint64_t at = 0; at < wholeBytes; at += PieceSize) {
        if (!cipher.process(src + at, dst + at, PieceSize))
            return nullptr;
    }
    const uint64_t tailSource = size - wholeBytes;
    const uint64_t tailSize = tailSource + pad;  // at most one piece, a multiple of 32
    if (tailSize > 0) {
        uint8_t tail[PieceSize];
        std::memcpy(tail, src + wholeBytes, (size_t)tailSource);
        std::memset(tail + tailSource, kPadByte, (size_t)pad);
        if (!cipher.process(tail, dst + wholeBytes, (size_t)tailSize))
            return nullptr;
    }
    out->_size = HeaderSize + plainSize;
    out->_position = 0;
    return out;
}

std::unique_ptr<FileBuffer> SealedFile::unseal(const FileBuffer& buffer, const char* password) {
    const uint8_t* src = buffer.data();
    const uint64_t size = buffer.size();
    if (size < sizeof(kMagic) || std::memcmp(src, kMagic, sizeof(kMagic)) != 0) {
        Logger::error("[SealedFile::unseal] not a sealed container");
        return nullptr;
    }
    if (size < HeaderSize) {
        Logger::error("[SealedFile::unseal] container cut short: %llu bytes, header needs %d",
                      (unsigned long long)size, (int)HeaderSize);
        return nullptr;
    }
    const uint64_t cipherSize = size - HeaderSize;
    const uint64_t pad = getU64(src + 16);
    if (cipherSize % BlockAlign != 0) {
        Logger::error("[SealedFile::unseal] damaged container: %llu cipher bytes is no multiple of %d",
                      (unsigned long long)cipherSize, (int)BlockAlign);
        return nullptr;
    }
    if (pad >= BlockAlign || pad > cipherSize) {
        Logger::error("[SealedFile::unseal] damaged container: pad count %llu with %llu cipher bytes",
                      (unsigned long long)pad, (unsigned long long)cipherSize);
        return nullptr;
    }

    crypto::BlowfishCbc cipher;
    if (!startCipher(cipher, crypto::BlowfishCbc::Decrypt, password, src + 8, "unseal"))
        return nullptr;

    std::unique_ptr<FileBuffer> out(new FileBuffer);
    if (cipherSize > 0 && !out->reserve(cipherSize)) {
        Logger::error("[SealedFile::unseal] out of memory (%llu bytes)", (unsigned long long)cipherSize);
        return nullptr;
    }
    const uint8_t* cipherText = src + HeaderSize;
    for (uint64_t at = 0; at < cipherSize; at += PieceSize) {
        uint64_t piece = cipherSize - at < (uint64_t)PieceSize ? cipherSize - at : (uint64_t)PieceSize;
        if (!cipher.process(cipherText + at, out->_data + at, (size_t)piece))
            return nullptr;
    }
    out->_size = cipherSize - pad;
    out->_position = 0;
    return out;
}

// ---------------------------------------------------------------------------------------------

std::string md5Hex(const std::string& text) {
    uint8_t digest[crypto::Md5Size];
    if (!crypto::md5(text.data(), text.size(), digest)) {
        Logger::error("[md5Hex] digest failed");
        return std::string();
    }
    static const char hex[] = "0123456789abcdef";
    std::string out(2 * crypto::Md5Size, '0');
    for (int i = 0; i < crypto::Md5Size; ++i) {
        out[2 * i] = hex[digest[i] >> 4];
        out[2 * i + 1] = hex[digest[i] & 15];
    }
    return out;
}

std::string md5Hex(const char* text) { return md5Hex(std::string(text ? text : "")); }
