// The profile file ("player.profile"): the sealed container or plain content, the magic and the
// chunk map, read through the profile store into registered chunk owners; then every chunk's
// bytes read once more as a chunk map of its own (the layout nests), and the chunks as the
// identity values of a friend profile.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "engine/FileBuffer.h"
#include "engine/online/ProfileStore.h"
#include "game/profile/ZelvanFriendProfile.h"

namespace {

class Owner : public IProfileChunk {
public:
    void onSave(const std::string&, FileBuffer& buffer) override { FileBuffer::writeString(buffer, text); }
    void onLoad(const std::string&, FileBuffer& buffer) override { text = FileBuffer::readString(buffer); }
    std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::writeInput("player.profile", data, size);
    const std::string path = fuzz::dataPath("fuzz/player.profile");

    PlayerProfile::Values values;
    {
        ProfileStore store;
        Owner player, extra;
        store.registerChunk("playerdata", &player, false);
        store.registerChunk("zz", &extra, false);
        store.setFile(path, "ZLVP", "fuzz-password");
        store.loadProfile();
        store.accessMark();
        for (auto& chunk : store.chunkData()) {
            FileBuffer& buffer = chunk.second;
            buffer.seek(0, 0);
            ProfileChunkMap nested;
            ProfileChunkMap::read(nested, buffer);
            buffer.seek(0, 0);
            values[chunk.first] = std::string((const char*)buffer.data(), (size_t)buffer.size());
        }
        store.unregisterChunk("playerdata");
        store.unregisterChunk("zz");
    }
    // The bytes straight as a chunk map, without the container and the magic.
    {
        FileBuffer plain(data, size);
        ProfileChunkMap map;
        ProfileChunkMap::read(map, plain);
        FileBuffer again;
        ProfileChunkMap::write(again, map);
    }
    Zelvan::FriendProfile profile;
    profile.readValues(values);
    PlayerProfile::Values written;
    profile.writeValues(written);
    profile.displayName();
    return 0;
}
