// Data formats: the sealed container against the raw cipher, configuration loading and lookups.
// Compare "bytes_per_second" of BM_Seal / BM_Unseal with BM_RawBlowfishCbc* on the same 1 MiB.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include <mbedtls/blowfish.h>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/FileBuffer.h"

namespace {

const size_t kMiB = 1024 * 1024;

const FileBuffer& plainMiB() {
    static FileBuffer* buffer = [] {
        std::vector<uint8_t> bytes(kMiB);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = (uint8_t)(i * 131 + (i >> 9));
        return new FileBuffer(bytes.data(), bytes.size());
    }();
    return *buffer;
}

void BM_Seal(benchmark::State& state) {
    const FileBuffer& plain = plainMiB();
    for (auto _ : state) {
        auto sealed = SealedFile::seal(plain, "benchmark");
        benchmark::DoNotOptimize(sealed->data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kMiB);
}
BENCHMARK(BM_Seal)->Unit(benchmark::kMillisecond);

void BM_Unseal(benchmark::State& state) {
    auto sealed = SealedFile::seal(plainMiB(), "benchmark");
    for (auto _ : state) {
        auto plain = SealedFile::unseal(*sealed, "benchmark");
        benchmark::DoNotOptimize(plain->data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kMiB);
}
BENCHMARK(BM_Unseal)->Unit(benchmark::kMillisecond);

// The cipher alone, one call over the whole buffer, into a preallocated output.
void rawBlowfish(benchmark::State& state, int mode) {
    const FileBuffer& plain = plainMiB();
    std::vector<uint8_t> out(kMiB);
    const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    mbedtls_blowfish_context ctx;
    mbedtls_blowfish_init(&ctx);
    mbedtls_blowfish_setkey(&ctx, key, 64);
    for (auto _ : state) {
        uint8_t iv[8] = {9, 10, 11, 12, 13, 14, 15, 16};
        mbedtls_blowfish_crypt_cbc(&ctx, mode, kMiB, iv, plain.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    mbedtls_blowfish_free(&ctx);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)kMiB);
}

void BM_RawBlowfishCbcEncrypt(benchmark::State& state) { rawBlowfish(state, MBEDTLS_BLOWFISH_ENCRYPT); }
BENCHMARK(BM_RawBlowfishCbcEncrypt)->Unit(benchmark::kMillisecond);

void BM_RawBlowfishCbcDecrypt(benchmark::State& state) { rawBlowfish(state, MBEDTLS_BLOWFISH_DECRYPT); }
BENCHMARK(BM_RawBlowfishCbcDecrypt)->Unit(benchmark::kMillisecond);

// A configuration of 5,000 keys in 50 sections, mixing the value kinds.
std::string configText(std::vector<std::string>* keys) {
    std::string text;
    for (int s = 0; s < 50; ++s) {
        std::string section = "section" + std::to_string(s);
        text += "[" + section + "]\n";
        for (int k = 0; k < 100; ++k) {
            std::string key = "key" + std::to_string(k);
            switch (k % 5) {
            case 0: text += key + " = " + std::to_string(k * 0.25) + "\n"; break;
            case 1: text += key + " = \"text value " + std::to_string(k) + "\" // note\n"; break;
            case 2: text += key + " = true\n"; break;
            case 3: text += key + " = { 1 2 3 }\n"; break;
            default: text += key + " = word" + std::to_string(k) + "\n"; break;
            }
            if (keys)
                keys->push_back(section + "." + key);
        }
    }
    return text;
}

struct ConfigFixture {
    testsupport::TempDir bundle, docs;
    testsupport::ScopedStores stores{bundle.path(), docs.path()};
    std::vector<std::string> keys;
    ConfigFixture() { testsupport::writeFile(bundle.file("data/configs/big.txt"), configText(&keys)); }
};

void BM_LoadConfig5000Keys(benchmark::State& state) {
    ConfigFixture fixture;
    for (auto _ : state) {
        ConfigStore store;
        store.loadFile("configs/big.txt", "");
        benchmark::DoNotOptimize(store.getFloat("section49.key95", 0));
    }
    state.SetItemsProcessed((int64_t)state.iterations() * 5000);
}
BENCHMARK(BM_LoadConfig5000Keys)->Unit(benchmark::kMillisecond);

void BM_ConfigLookups1M(benchmark::State& state) {
    ConfigFixture fixture;
    ConfigStore store;
    store.loadFile("configs/big.txt", "");
    const std::vector<std::string>& keys = fixture.keys;
    for (auto _ : state) {
        float sum = 0;
        size_t k = 0;
        for (int i = 0; i < 1000000; ++i) {
            sum += store.getFloat(keys[k], 1.0f);
            if (++k == keys.size())
                k = 0;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed((int64_t)state.iterations() * 1000000);
}
BENCHMARK(BM_ConfigLookups1M)->Unit(benchmark::kMillisecond);

}  // namespace
