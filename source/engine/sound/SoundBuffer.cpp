#include "engine/sound/SoundBuffer.h"

#include <AL/al.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/file.h"
#include "engine/sound/OggVorbis.h"
#include "engine/sound/sfx.h"
#include "engine/tokenizer.h"
#include "engine/utils.h"

namespace {

const int32_t kChanceLimit = 2147483646;  // a total above this cannot be drawn with rand()

// Longest Ogg sound decoded into one buffer: ten minutes at 48 kHz, far beyond any effect.
const size_t kMaxOggSamples = 48000u * 600u;

bool equals(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

void copyName(char (&out)[48], const char* name) {
    std::strncpy(out, name ? name : "", sizeof(out) - 1);
    out[sizeof(out) - 1] = 0;
}

std::string joinPath(const std::string& directory, const char* file) {
    if (directory.empty())
        return file;
    return directory + "/" + file;
}

// Decodes a file into a fresh OpenAL buffer; 0 when it failed (nothing is left behind).
uint32_t decodeFile(const char* file) {
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR)
        buffer = 0;
    int ok;
    if (std::strstr(file, ".ogg")) {
        std::string path;
        File::readStorePath(path, file);
        ok = LoadOgg(path.c_str(), buffer);
    } else {
        ok = LoadWave(file, buffer);
    }
    if (!ok) {
        if (buffer)
            alDeleteBuffers(1, &buffer);
        return 0;
    }
    return buffer;
}

// Reads "= value" after one of the property keys; false when the token is no property.
bool readProperty(SoundBuffer& sound, const char* token, CTokenizer& tokenizer) {
    if (equals(token, "max_instances")) {
        sound.max_instances = tokenizer.ReadUInt();
    } else if (equals(token, "power")) {
        sound.power = tokenizer.ReadInt();
    } else if (equals(token, "volume")) {
        sound.volume = tokenizer.ReadInt();
    } else if (equals(token, "min_distance")) {
        float v = tokenizer.ReadFloat();
        sound.min_distance = v >= 1.0f ? v : 1.0f;
    } else if (equals(token, "max_distance")) {
        sound.max_distance = tokenizer.ReadFloat();
    } else if (equals(token, "attenuation")) {
        sound.attenuation = tokenizer.ReadFloat();
    } else {
        return false;
    }
    return true;
}

}  // namespace

SoundBuffer::SoundBuffer() { copyName(name, "unnamed"); }

SoundBuffer::~SoundBuffer() { Release(); }

void SoundBuffer::Release() {
    for (Variant& v : m_Variants) {
        if (v.buffer)
            alDeleteBuffers(1, &v.buffer);
    }
    m_Variants.clear();
    m_BufferCount = 0;
    max_instances = 1;
    totalChance = 0;
    copyName(name, "unnamed");
}

bool SoundBuffer::HasPlayableVariant() const {
    for (const Variant& v : m_Variants) {
        if (v.buffer)
            return true;
    }
    return false;
}

int SoundBuffer::PickVariant(uint32_t randomValue) const {
    int first = -1;
    int64_t total = 0;
    for (size_t i = 0; i < m_Variants.size(); ++i) {
        const Variant& v = m_Variants[i];
        if (!v.buffer)
            continue;
        if (first < 0)
            first = (int)i;
        if (v.chance > 0)
            total += v.chance;
    }
    if (first < 0 || total <= 0)
        return first;
    int64_t r = (int64_t)randomValue % total;
    for (size_t i = 0; i < m_Variants.size(); ++i) {
        const Variant& v = m_Variants[i];
        if (!v.buffer || v.chance <= 0)
            continue;
        if (r < v.chance)
            return (int)i;
        r -= v.chance;
    }
    return first;
}

int SoundBuffer::addVariant(const char* file, int32_t chance) {
    if (chance < 0) {
        Logger::error("[SoundBuffer::Load] '%s': chance %d below 0 taken as 0", file, chance);
        chance = 0;
    }
    uint32_t buffer = decodeFile(file);
    copyName(name, file);
    if (!buffer)
        return 0;
    Variant v;
    v.chance = chance;
    v.buffer = buffer;
    m_Variants.push_back(v);
    m_BufferCount = (uint32_t)m_Variants.size();
    int64_t total = (int64_t)totalChance + chance;
    totalChance = total > INT32_MAX ? INT32_MAX : (int32_t)total;
    return 1;
}

int SoundBuffer::AddFile(const char* file) {
    if (!file) {
        Logger::error("[SoundBuffer::AddFile] Failed to load 'NULL'");
        return 0;
    }
    if (addVariant(file, 100))
        return 1;
    // The failed file keeps its place with no buffer and no chance, so it is never drawn.
    m_Variants.push_back(Variant());
    m_BufferCount = (uint32_t)m_Variants.size();
    return 0;
}

int SoundBuffer::Load(const char* fileName) {
    if (!sfx_HasDevice())
        return 1;
    Release();
    if (!fileName)
        return 0;
    const uint32_t flags = CTokenizer::FlagComments | CTokenizer::FlagQuotes;
    CTokenizer tokenizer;
    if (!tokenizer.OpenFile(fileName, StoreRead, flags))
        return 0;
    try {
        size_t records = 0;
        while (const char* token = tokenizer.Next(0)) {
            if (equals(token, "[snd]"))
                ++records;
        }
        if (records == 0) {
            Logger::error("[SoundBuffer::Load] Failed to load '%s' (no sound files found)", fileName);
            return 0;
        }
        m_Variants.reserve(records);
        if (!tokenizer.OpenFile(fileName, StoreRead, flags))
            return 0;

        std::string directory;
        dirName(fileName, directory);
        std::string file = "unnamed";
        int32_t chance = 100;
        bool inRecord = false;
        while (const char* token = tokenizer.Next(0)) {
            if (readProperty(*this, token, tokenizer))
                continue;
            if (equals(token, "[snd]")) {
                tokenizer.Skip("{");
                file = "unnamed";
                chance = 100;
                inRecord = true;
            } else if (equals(token, "filename")) {
                file = joinPath(directory, tokenizer.ReadToken());
            } else if (equals(token, "chance")) {
                chance = tokenizer.ReadInt();
            } else if (equals(token, "}")) {
                // Only a brace that closes a record makes a variant: stray ones would add
                // variants beyond the records counted.
                if (!inRecord || m_Variants.size() >= records) {
                    Logger::error("[SoundBuffer::Load] '%s': '}' without a \"[snd]\" record ignored", fileName);
                    continue;
                }
                inRecord = false;
                if (!addVariant(file.c_str(), chance))
                    return 0;
            }
        }
    } catch (const CTokenizerException& e) {
        Logger::error("[SoundBuffer::Load] Failed to load '%s' (%s)", fileName, e.GetMessage());
        return 0;
    }
    if (!HasPlayableVariant()) {
        Logger::error("[SoundBuffer::Load] Failed to load '%s' (no sound files found)", fileName);
        return 0;
    }
    if (totalChance > kChanceLimit) {
        Logger::error("[SoundBuffer::Load] Failed to load '%s' (total chance >= RAND_MAX)", fileName);
        return 0;
    }
    return 1;
}

int SoundBuffer::addFromBlock(const char* directory, const char* file) {
    std::string path = joinPath(directory ? directory : "", file);
    // Tables name ".wav" files that may ship as Ogg: fall back to the ".ogg" of the same name.
    if (!File::exists(path.c_str()) && endsWith(path, ".wav"))
        path.replace(path.size() - 3, 3, "ogg");
    return AddFile(path.c_str());
}

int SoundBuffer::LoadFromMemory(const char* directory, CTokenizer& tokenizer) {
    try {
        if (!sfx_HasDevice()) {
            // Nothing is decoded without a device, but the block is still consumed so the
            // table's reader goes on after it.
            int depth = 1;
            while (const char* token = tokenizer.Next(0)) {
                if (equals(token, "{"))
                    ++depth;
                else if (equals(token, "}") && --depth == 0)
                    break;
            }
            return 1;
        }
        Release();
        while (const char* token = tokenizer.Next(0)) {
            if (equals(token, "}"))
                break;
            if (readProperty(*this, token, tokenizer))
                continue;
            if (equals(token, "sound")) {
                if (!addFromBlock(directory, tokenizer.ReadToken()))
                    return 0;
            } else if (equals(token, "randomSounds")) {
                tokenizer.Skip("=");
                tokenizer.Skip("{");
                bool failed = false;
                while (const char* file = tokenizer.Next(0)) {
                    if (equals(file, "}"))
                        break;
                    if (!failed && !addFromBlock(directory, file))
                        failed = true;
                }
            } else if (equals(token, "[snd]")) {
                tokenizer.Skip("{");
                std::string file = "unnamed";
                while (const char* inner = tokenizer.Next(0)) {
                    if (equals(inner, "}"))
                        break;
                    if (equals(inner, "filename"))
                        file = tokenizer.ReadToken();
                    else if (equals(inner, "chance"))
                        tokenizer.ReadInt();  // every variant of a table block weighs the same
                }
                if (!addFromBlock(directory, file.c_str()))
                    return 0;
            }
        }
    } catch (const CTokenizerException& e) {
        Logger::error("[SoundBuffer::Load] Failed to load from memory (%s)", e.GetMessage());
        return 0;
    }
    if (!HasPlayableVariant()) {
        Logger::error("[SoundBuffer::Load] Failed to load from memory (no sound files found)");
        return 0;
    }
    if (totalChance > kChanceLimit) {
        Logger::error("[SoundBuffer::Load] Failed to load (total chance >= RAND_MAX)");
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Decoders

namespace {

// The checks every decoder makes before touching the file; `decoder` names it in the messages.
bool decoderArgumentsValid(const char* decoder, const char* name, uint32_t buffer) {
    if (!name) {
        Logger::error("[%s] Failed to load 'NULL'", decoder);
        return false;
    }
    if (buffer == 0 || !alIsBuffer(buffer)) {
        Logger::error("[%s] Failed to load '%s' (invalid buffer_id)", decoder, name);
        return false;
    }
    return true;
}

}  // namespace

int LoadOgg(const char* path, uint32_t buffer) {
    if (!decoderArgumentsValid("LoadOgg", path, buffer))
        return 0;
    // The file is read whole (up to a cap) and checked before the decoder sees it.
    unsigned char* data = nullptr;
    size_t size = 0;
    const char* refusal = nullptr;
    if (!oggReadFile(path, &data, &size, &refusal)) {
        Logger::error("[LoadOgg] failed to load: '%s' (%s)", path, refusal);
        return 0;
    }
    int error = 0;
    stb_vorbis* vorbis = oggOpenMemory(data, (int)size, &error, &refusal);
    if (!vorbis) {
        if (refusal)
            Logger::error("[LoadOgg] failed to load: '%s' (%s)", path, refusal);
        else if (error == VORBIS_outofmem)
            Logger::error("[LoadOgg] failed to load: '%s' (the decoder needs more than %u MiB)", path,
                          (unsigned)(kOggDecoderBudget >> 20));
        else
            Logger::error("[LoadOgg] failed to load: '%s'", path);
        std::free(data);
        return 0;
    }
    stb_vorbis_info info = stb_vorbis_get_info(vorbis);
    if (info.channels != 1) {
        Logger::error("[LoadOgg] channels != 1 (%s)", path);
        oggClose(vorbis);
        std::free(data);
        return 0;
    }
    // The stated length only sizes the first block: the decoder's own end decides.
    std::vector<short> samples;
    unsigned int stated = stb_vorbis_stream_length_in_samples(vorbis);
    samples.reserve(stated < kMaxOggSamples ? stated : kMaxOggSamples);
    const int chunk = 4096;
    size_t used = 0;
    for (;;) {
        if (used + chunk > kMaxOggSamples) {
            Logger::error("[LoadOgg] Failed to load '%s' (longer than %u samples)", path, (unsigned)kMaxOggSamples);
            oggClose(vorbis);
            std::free(data);
            return 0;
        }
        samples.resize(used + chunk);
        int got = oggGetSamplesShortInterleaved(vorbis, 1, samples.data() + used, chunk);
        if (got <= 0)
            break;
        used += (size_t)got;
    }
    samples.resize(used);
    oggClose(vorbis);
    std::free(data);

    alGetError();
    alBufferData(buffer, AL_FORMAT_MONO16, samples.data(), (ALsizei)(used * sizeof(short)), (ALsizei)info.sample_rate);
    ALenum alError = alGetError();
    if (alError != AL_NO_ERROR) {
        Logger::error("[LoadOgg] Failed to load: '%s' alGetError() = %d (%s)", path, alError, path);
        return 0;
    }
    return 1;
}

namespace {

uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24); }

ALenum waveFormat(int channels) {
    switch (channels) {
    case 1:
        return AL_FORMAT_MONO16;
    case 2:
        return AL_FORMAT_STEREO16;
    case 4:
        return alGetEnumValue("AL_FORMAT_QUAD16");
    case 6:
        return alGetEnumValue("AL_FORMAT_51CHN16");
    case 7:
        return alGetEnumValue("AL_FORMAT_61CHN16");
    case 8:
        return alGetEnumValue("AL_FORMAT_71CHN16");
    default:
        return 0;
    }
}

int waveFailed(const char* name) {
    Logger::error("[LoadSound] Failed to load: '%s'", name);
    return 0;
}

}  // namespace

int LoadWave(const char* name, uint32_t buffer) {
    if (!decoderArgumentsValid("LoadSound", name, buffer))
        return 0;
    File file;
    if (!file.open(name, "rb", StoreAuto))
        return waveFailed(name);

    uint64_t remaining = file.size();
    uint8_t header[12];
    if (remaining < sizeof(header) || !file.read(header, sizeof(header))) {
        Logger::error("[LoadWave] Error: not a RIFF file '%s'", name);
        return waveFailed(name);
    }
    remaining -= sizeof(header);
    if (std::memcmp(header, "RIFF", 4) != 0) {
        Logger::error("[LoadWave] Error: not a RIFF file '%s'", name);
        return waveFailed(name);
    }
    if (std::memcmp(header + 8, "WAVE", 4) != 0) {
        Logger::error("[LoadWave] Error: RIFF file but not a wave file: '%s'", name);
        return waveFailed(name);
    }

    bool haveFormat = false;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    std::vector<uint8_t> samples;
    bool haveData = false;
    while (remaining >= 8) {
        uint8_t chunk[8];
        if (!file.read(chunk, sizeof(chunk)))
            break;
        remaining -= 8;
        const uint32_t size = le32(chunk + 4);
        const uint32_t padded = size + (size & 1);  // chunks start on even offsets
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[40];
            if (size < 16 || size > remaining) {
                Logger::error("[LoadWave] Error: bad 'fmt ' chunk (%u bytes): '%s'", size, name);
                return waveFailed(name);
            }
            uint32_t take = size < sizeof(fmt) ? size : (uint32_t)sizeof(fmt);
            if (!file.read(fmt, take))
                break;
            uint16_t audioFormat = le16(fmt);
            channels = le16(fmt + 2);
            sampleRate = le32(fmt + 4);
            uint16_t bits = le16(fmt + 14);
            // The extensible form names the real sample format in its sub-format GUID.
            if (audioFormat == 0xFFFE && take >= 26)
                audioFormat = le16(fmt + 24);
            if (audioFormat != 1 || bits != 16) {
                Logger::error("[LoadWave] Unsupported type: '%s'", name);
                return waveFailed(name);
            }
            uint64_t rest = (uint64_t)padded - take;
            if (rest > remaining - take)
                rest = remaining - take;
            file.skip((long)rest);
            remaining -= take + rest;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 || std::memcmp(chunk, "DATA", 4) == 0) {
            if (!haveFormat) {
                Logger::error("[LoadWave] Unsupported type: '%s'", name);
                return waveFailed(name);
            }
            if (size > remaining) {
                Logger::error("[LoadWave] Error: 'data' chunk of %u bytes beyond the end of '%s'", size, name);
                return waveFailed(name);
            }
            samples.resize(size);
            if (size > 0 && !file.read(samples.data(), size))
                return waveFailed(name);
            haveData = true;
            break;
        } else {
            if (padded > remaining)
                break;
            file.skip((long)padded);
            remaining -= padded;
        }
    }
    if (!haveData) {
        Logger::error("[LoadWave] 'data' chunk not found: %s", name);
        return waveFailed(name);
    }

    // A trailing partial frame cannot be uploaded.
    size_t frameBytes = (size_t)channels * 2;
    if (frameBytes > 0)
        samples.resize(samples.size() - samples.size() % frameBytes);

    alGetError();
    alBufferData(buffer, waveFormat(channels), samples.data(), (ALsizei)samples.size(), (ALsizei)sampleRate);
    ALenum alError = alGetError();
    if (alError != AL_NO_ERROR) {
        Logger::error("[LoadSound] Failed to load: '%s' alGetError() = %d", name, alError);
        return 0;
    }
    return 1;
}
