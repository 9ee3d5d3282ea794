#pragma once
// Helpers of the sound tests: WAVE files built in memory, the committed Ogg fixtures, a log
// capture, and a sound system set up on OpenAL Soft's null device.

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace soundtest {

struct WaveLayout {
    uint16_t audioFormat = 1;  // 1 PCM, 3 float; with extensible the sub-format
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t rate = 22050;
    uint32_t frames = 2205;
    uint32_t fmtSize = 16;     // 16, 18 (cbSize 0) or 40 (extensible)
    // A chunk before "fmt " and one between "fmt " and "data" (empty id: none); odd sizes padded.
    std::string chunkBeforeFmt;
    uint32_t chunkBeforeFmtSize = 0;
    std::string chunkBeforeData;
    uint32_t chunkBeforeDataSize = 0;
    bool withData = true;
    std::string dataId = "data";
    int64_t dataSizeOverride = -1;  // stated data size, when it must differ from the bytes
    float frequency = 440.0f;
    float amplitude = 0.5f;
};

// A WAVE file of a sine tone laid out as the WaveLayout says.
std::vector<uint8_t> makeWave(const WaveLayout& layout);

// Full path of a committed fixture in tests/sound/data.
std::string fixture(const char* name);

// Every log line written since the last clear (errors begin with "ERROR: "): the sound tests
// capture the whole process's log.
using testsupport::clearLog;
using testsupport::logContains;
using testsupport::logLines;

// sfx_Init with the game's settings (16 voices, no streaming thread) unless told otherwise.
int initSound(int maxVoices = 16, bool streamThread = false, bool priorityGain = false);

// Polls until the test holds or the time runs out.
using testsupport::waitUntil;

}  // namespace soundtest
