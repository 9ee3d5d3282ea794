#pragma once
// One playable sound: its audio variants (OpenAL buffers picked at random by chance) and the
// properties that govern how loud, how far and how many at once it plays. Read from ".sfd"
// definition files of "[snd]" records or from a block of the game's sound table.

#include <cstdint>
#include <vector>

class CTokenizer;

class SoundBuffer {
public:
    struct Variant {
        int32_t chance = 0;
        uint32_t buffer = 0;  // OpenAL buffer name; 0 when its file failed
    };

    SoundBuffer();
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Deletes every OpenAL buffer and variant; the other properties stay.
    void Release();
    // Adds one audio file (".ogg" or WAVE) as a new variant with chance 100.
    int AddFile(const char* name);
    // Reads a definition file of the read store.
    int Load(const char* name);
    // Reads a definition block from a tokenizer standing after the block's opening brace,
    // up to and including its closing brace; file names are relative to directory.
    int LoadFromMemory(const char* directory, CTokenizer& tokenizer);

    // Index of the variant to play for a random value; -1 when no variant can play.
    // Variants without a buffer or with a chance of 0 or less are never chosen while another
    // can play; when no variant has a positive chance the first one with a buffer plays.
    int PickVariant(uint32_t randomValue) const;
    bool HasPlayableVariant() const;

    std::vector<Variant> m_Variants;
    uint32_t m_BufferCount = 0;
    uint32_t max_instances = 0;
    int32_t totalChance = 0;
    int32_t power = 100;
    int32_t volume = 100;
    float min_distance = 1.0f;
    float max_distance = 1e12f;
    float attenuation = 1.0f;
    char name[48];

private:
    int addVariant(const char* file, int32_t chance);
    int addFromBlock(const char* directory, const char* file);
};

// Decodes a mono Ogg Vorbis file (full path) into an OpenAL buffer.
int LoadOgg(const char* path, uint32_t buffer);
// Decodes a 16-bit PCM RIFF/WAVE file of the read store into an OpenAL buffer.
int LoadWave(const char* name, uint32_t buffer);
