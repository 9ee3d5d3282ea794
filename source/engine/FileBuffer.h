#pragma once
// A whole file held in memory with a cursor, and the sealed container that wraps files
// (configuration, sound table, profile) in a password-keyed Blowfish-CBC envelope.

#include <cstdint>
#include <memory>
#include <string>

class FileBuffer {
public:
    FileBuffer();
    FileBuffer(const void* data, uint64_t size);
    virtual ~FileBuffer();
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;
    FileBuffer(FileBuffer&& other) noexcept;
    FileBuffer& operator=(FileBuffer&& other) noexcept;

    // Replaces the contents by the whole file at a full path (resolve store names with
    // File::resolvePath first). On failure the buffer is left empty and 0 is returned.
    int loadFromFile(const char* path);
    // loadFromFile, then unseals when the data carries the container magic. A damaged
    // container is a logged failure (0) and leaves the buffer empty.
    int loadSealed(const char* path, const char* password);
    // Writes the bytes as they are ("wb").
    int saveToFile(const char* path) const;
    // Writes a sealed copy; data that is sealed already is written unchanged.
    int saveSealed(const char* path, const char* password) const;

    // whence 0: from the start, 1: from the cursor, 2: from the end; clamped to 0..size.
    void seek(int whence, int64_t offset);
    void toString(std::string& out) const;

    // Inserts count bytes at the cursor (moving the rest up) and advances the cursor.
    bool write(const void* data, uint64_t count);
    // Copies up to count bytes from the cursor and advances past them; returns how many.
    uint64_t read(void* destination, uint64_t count);

    // Replaces the contents by a copy of the bytes; cursor 0.
    bool assign(const void* data, uint64_t size);
    // Frees the block; size and cursor become 0.
    void clear();

    // At least 16 bytes beginning with the container magic.
    bool isSealed() const;

    // Strings of the profile data: a little-endian u16 length (the low 16 bits of the text's
    // length), then that many bytes, no terminator. Reading takes what remains: a length that
    // cannot be read whole is 0, a text cut short keeps the bytes that are there.
    static void writeString(FileBuffer& buffer, const std::string& text);
    static std::string readString(FileBuffer& buffer);

    uint8_t* data() { return _data; }
    const uint8_t* data() const { return _data; }
    uint64_t size() const { return _size; }
    uint64_t position() const { return _position; }
    uint64_t remaining() const { return _size - _position; }

private:
    friend class SealedFile;
    bool reserve(uint64_t capacity);

    uint8_t* _data = nullptr;
    uint64_t _size = 0;
    uint64_t _position = 0;
    uint64_t _capacity = 0;
};

class SealedFile {
public:
    static const char kMagic[8];        // "kavelDAT", no terminator
    enum {
        HeaderSize = 24,                // magic, salt, pad count
        SaltSize = 8,
        BlockAlign = 32,                // plaintext is padded to a multiple of this
        PieceSize = 1024,               // bytes enciphered per CBC step call
        KeyMaterialSize = 80,
        KeyOffset = 0,
        KeySize = 8,
        IvOffset = 64,
        IvSize = 8,
        Pbkdf2Iterations = 1
    };
    static const uint8_t kPadByte = 'x';

    // A new buffer holding the sealed form of the source's bytes (the source is not changed).
    // Returns null when the key could not be derived.
    static std::unique_ptr<FileBuffer> seal(const FileBuffer& buffer, const char* password);
    // The plaintext of a sealed buffer, or null (logged) when the buffer is no sound container:
    // no magic, shorter than the header, a ciphertext length that is no multiple of 32, or a
    // pad count of 32 or more or beyond the ciphertext.
    static std::unique_ptr<FileBuffer> unseal(const FileBuffer& buffer, const char* password);
};

// The MD5 digest of the text's bytes as 32 lower-case hexadecimal characters.
std::string md5Hex(const std::string& text);
std::string md5Hex(const char* text);
