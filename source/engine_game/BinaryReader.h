#pragma once
// Bounded little-endian reading of object files and binary scenes. Every read is checked against
// the bytes the file still holds; the first failure is logged once ("[where] path: ...") and every
// later read fails too, so a reader can stop at its next check without reading garbage.

#include <cstdint>
#include <string>

#include "engine/math.h"

class File;

class BinaryReader {
public:
    // where: the "Class::method" the messages name; path: the file being read.
    BinaryReader(File& file, const char* where, const std::string& path);

    bool ok() const { return !_failed; }
    // Bytes between the current position and the end of the file.
    uint64_t remaining() const;
    bool atEnd() const { return remaining() == 0; }

    bool bytes(void* out, size_t count, const char* what);
    bool u16(uint16_t& out, const char* what);
    bool s16(int16_t& out, const char* what);
    bool u32(uint32_t& out, const char* what);
    bool f32(float& out, const char* what);
    bool vec3(Vector3& out, const char* what);
    // A 16-bit byte count and that many bytes.
    bool str16(std::string& out, const char* what);
    bool skip(uint64_t count, const char* what);

    // True when count records of at least minBytes each can still be in the file; otherwise
    // logs the count as damaged. Guards every count before anything is allocated for it.
    bool fits(uint64_t count, uint64_t minBytes, const char* what);

    // Logs "[where] path: message" (once) and marks the reader failed. Returns false.
    bool fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

    File& file() { return _file; }

private:
    File& _file;
    const char* _where;
    std::string _path;
    bool _failed = false;
};
