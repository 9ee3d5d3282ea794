// Saving and loading the profile with every chunk filled, beside the raw cost of writing the same
// number of bytes with fsync. The files go to a folder on the real disk (fsync on a tmpfs costs
// nothing): $ZELVAN_BENCH_DIR, else the working directory.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/FileBuffer.h"
#include "engine/online/ProfileChunk.h"
#include "engine/online/ProfileStore.h"

namespace {

std::string benchFolder() {
    const char* env = std::getenv("ZELVAN_BENCH_DIR");
    std::string dir = std::string(env && *env ? env : ".") + "/bench-online-files";
    mkdir(dir.c_str(), 0755);
    return dir;
}

// The player's own profile as the game fills it: a nested chunk map of keys, a few kilobytes.
struct FilledChunk : IProfileChunk {
    FilledChunk() {
        ProfileChunkMap keys;
        for (int i = 0; i < 120; ++i) {
            std::string name = "key_" + std::to_string(i);
            std::string value(16 + (i % 7) * 8, (char)('a' + i % 26));
            keys.get(name).write(value.data(), value.size());
        }
        ProfileChunkMap::write(state, keys);
    }
    void onSave(const std::string&, FileBuffer& buffer) override { buffer.write(state.data(), state.size()); }
    void onLoad(const std::string&, FileBuffer& buffer) override { benchmark::DoNotOptimize(buffer.size()); }
    FileBuffer state;
};

struct Profile {
    Profile() : path(benchFolder() + "/player.profile") {
        store.setFile(path, "zeLVAN", "31415926");
        store.setAccessMark("1");
        store.registerChunk("playerdata", &own, false);
        // A chunk of a later version, carried along unchanged.
        std::string later(1500, 'g');
        store.chunkData().get("gamma").write(later.data(), later.size());
        store.saveProfile();
    }
    uint64_t fileSize() const {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? (uint64_t)st.st_size : 0;
    }
    std::string path;
    FilledChunk own;
    ProfileStore store;
};

void ProfileSave(benchmark::State& state) {
    Profile p;
    for (auto _ : state)
        benchmark::DoNotOptimize(p.store.saveProfile());
    state.counters["file_bytes"] = (double)p.fileSize();
}
BENCHMARK(ProfileSave)->Unit(benchmark::kMillisecond);

void ProfileLoad(benchmark::State& state) {
    Profile p;
    for (auto _ : state)
        p.store.loadProfile();
    state.counters["file_bytes"] = (double)p.fileSize();
}
BENCHMARK(ProfileLoad)->Unit(benchmark::kMillisecond);

// The floor under a save: the same number of bytes written in place and flushed with fsync.
void RawWriteWithFsync(benchmark::State& state) {
    Profile p;
    const uint64_t size = p.fileSize();
    std::string bytes(size, 'r');
    const std::string path = benchFolder() + "/raw.bin";
    for (auto _ : state) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(write(fd, bytes.data(), bytes.size()));
        fsync(fd);
        close(fd);
    }
    state.counters["file_bytes"] = (double)size;
}
BENCHMARK(RawWriteWithFsync)->Unit(benchmark::kMillisecond);

}  // namespace
