#include "engine/online/ProfileChunk.h"

#include <cstdint>

namespace {

void writeU16(FileBuffer& buffer, uint16_t v) {
    uint8_t le[2] = {(uint8_t)v, (uint8_t)(v >> 8)};
    buffer.write(le, 2);
}

void writeU64(FileBuffer& buffer, uint64_t v) {
    uint8_t le[8];
    for (int i = 0; i < 8; ++i)
        le[i] = (uint8_t)(v >> (8 * i));
    buffer.write(le, 8);
}

uint16_t readU16(FileBuffer& buffer) {
    uint8_t le[2];
    if (buffer.read(le, 2) != 2)
        return 0;
    return (uint16_t)(le[0] | (le[1] << 8));
}

uint64_t readU64(FileBuffer& buffer) {
    uint8_t le[8];
    if (buffer.read(le, 8) != 8)
        return 0;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | le[i];
    return v;
}

}  // namespace

FileBuffer* ProfileChunkMap::find(const std::string& name) {
    Entries::iterator it = _entries.find(name);
    return it == _entries.end() ? nullptr : &it->second;
}

const FileBuffer* ProfileChunkMap::find(const std::string& name) const {
    Entries::const_iterator it = _entries.find(name);
    return it == _entries.end() ? nullptr : &it->second;
}

void ProfileChunkMap::write(FileBuffer& buffer, const ProfileChunkMap& map) {
    writeU16(buffer, (uint16_t)map._entries.size());
    for (const auto& entry : map._entries) {
        FileBuffer::writeString(buffer, entry.first);
        const FileBuffer& data = entry.second;
        writeU64(buffer, data.size());
        if (data.data() && data.size() > 0)
            buffer.write(data.data(), data.size());
    }
}

void ProfileChunkMap::read(ProfileChunkMap& map, FileBuffer& buffer) {
    uint16_t count = readU16(buffer);
    for (uint16_t i = 0; i < count; ++i) {
        std::string name = FileBuffer::readString(buffer);
        uint64_t size = readU64(buffer);
        if (size > buffer.remaining())
            size = buffer.remaining();
        FileBuffer& chunk = map.get(name);
        chunk.seek(2, 0);
        if (size > 0)
            chunk.write(buffer.data() + buffer.position(), size);
        chunk.seek(0, 0);
        buffer.seek(1, (int64_t)size);
    }
}
