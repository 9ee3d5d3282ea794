#include "engine_game/BinaryReader.h"

#include <cstdarg>
#include <cstring>

#include "engine/file.h"
#include "engine/utils.h"

BinaryReader::BinaryReader(File& file, const char* where, const std::string& path)
    : _file(file), _where(where), _path(path) {}

uint64_t BinaryReader::remaining() const {
    File& f = const_cast<File&>(_file);
    if (!f.isOpened())
        return 0;
    long pos = f.tell();
    if (pos < 0 || (uint64_t)pos >= f.size())
        return 0;
    return f.size() - (uint64_t)pos;
}

bool BinaryReader::fail(const char* format, ...) {
    if (_failed)
        return false;
    _failed = true;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    Logger::error("[%s] %s: %s", _where, _path.c_str(), text);
    return false;
}

bool BinaryReader::bytes(void* out, size_t count, const char* what) {
    if (_failed)
        return false;
    if (count == 0)
        return true;
    if (count > remaining() || !_file.read(out, count))
        return fail("file ends inside %s", what);
    return true;
}

bool BinaryReader::u16(uint16_t& out, const char* what) {
    uint8_t b[2];
    out = 0;
    if (!bytes(b, 2, what))
        return false;
    out = (uint16_t)(b[0] | (b[1] << 8));
    return true;
}

bool BinaryReader::s16(int16_t& out, const char* what) {
    uint16_t v;
    bool r = u16(v, what);
    out = (int16_t)v;
    return r;
}

bool BinaryReader::u32(uint32_t& out, const char* what) {
    uint8_t b[4];
    out = 0;
    if (!bytes(b, 4, what))
        return false;
    out = (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
    return true;
}

bool BinaryReader::f32(float& out, const char* what) {
    uint32_t bits;
    out = 0;
    if (!u32(bits, what))
        return false;
    std::memcpy(&out, &bits, 4);
    return true;
}

bool BinaryReader::vec3(Vector3& out, const char* what) {
    return f32(out.x, what) && f32(out.y, what) && f32(out.z, what);
}

bool BinaryReader::str16(std::string& out, const char* what) {
    out.clear();
    uint16_t n;
    if (!u16(n, what))
        return false;
    if (n > remaining())
        return fail("%s claims %u bytes, the file holds %llu more", what, (unsigned)n,
                    (unsigned long long)remaining());
    out.resize(n);
    return bytes(n ? &out[0] : nullptr, n, what);
}

bool BinaryReader::skip(uint64_t count, const char* what) {
    if (_failed)
        return false;
    if (count > remaining())
        return fail("file ends inside %s", what);
    _file.skip((long)count);
    return true;
}

bool BinaryReader::fits(uint64_t count, uint64_t minBytes, const char* what) {
    if (_failed)
        return false;
    if (count * minBytes > remaining())
        return fail("%s count %llu does not fit the %llu bytes left", what, (unsigned long long)count,
                    (unsigned long long)remaining());
    return true;
}
