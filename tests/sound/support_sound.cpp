#include "SoundTestSupport.h"

#include <cmath>
#include <cstdlib>

#include "TestSupport.h"
#include "engine/sound/sfx.h"

namespace soundtest {

namespace {

struct RegisterCapture {
    RegisterCapture() {
        // Death tests read stderr: failed assertions go there too.
        testsupport::captureLog("ERROR: XASSERT");
        // Run by hand, the tests still use OpenAL Soft's null device, as under CTest.
        setenv("ALSOFT_DRIVERS", "null", 0);
    }
} g_registerCapture;

void chunk(testsupport::ByteWriter& w, const std::string& id, uint32_t size) {
    if (id.empty())
        return;
    w.raw(id.substr(0, 4));
    w.u32(size);
    for (uint32_t i = 0; i < size; ++i)
        w.u8((uint8_t)(i * 7));
    if (size & 1)
        w.u8(0);
}

}  // namespace

std::vector<uint8_t> makeWave(const WaveLayout& layout) {
    const uint16_t blockAlign = (uint16_t)(layout.channels * layout.bits / 8);
    testsupport::ByteWriter samples;
    for (uint32_t f = 0; f < layout.frames; ++f) {
        for (uint16_t c = 0; c < layout.channels; ++c) {
            float v = layout.amplitude * std::sin(2.0f * 3.14159265f * layout.frequency * (float)f / (float)layout.rate);
            if (layout.bits == 16)
                samples.u16((uint16_t)(int16_t)(v * 32767.0f));
            else if (layout.bits == 8)
                samples.u8((uint8_t)(128 + (int)(v * 127.0f)));
            else
                samples.f32(v);
        }
    }

    testsupport::ByteWriter body;
    body.raw("WAVE");
    chunk(body, layout.chunkBeforeFmt, layout.chunkBeforeFmtSize);
    body.raw("fmt ");
    body.u32(layout.fmtSize);
    body.u16(layout.fmtSize >= 40 ? 0xFFFE : layout.audioFormat);
    body.u16(layout.channels);
    body.u32(layout.rate);
    body.u32(layout.rate * blockAlign);
    body.u16(blockAlign);
    body.u16(layout.bits);
    if (layout.fmtSize >= 18)
        body.u16((uint16_t)(layout.fmtSize - 18));
    if (layout.fmtSize >= 40) {
        body.u16(layout.bits);
        body.u32(layout.channels == 1 ? 0x4 : 0x3);
        // The sub-format GUID: the format code, then the fixed tail of the standard GUIDs.
        body.u16(layout.audioFormat);
        const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        body.raw(tail, sizeof(tail));
    }
    for (uint32_t i = 40; i < layout.fmtSize; ++i)
        body.u8(0);
    if (layout.fmtSize & 1)
        body.u8(0);
    chunk(body, layout.chunkBeforeData, layout.chunkBeforeDataSize);
    if (layout.withData) {
        body.raw(layout.dataId.substr(0, 4));
        body.u32(layout.dataSizeOverride >= 0 ? (uint32_t)layout.dataSizeOverride : (uint32_t)samples.bytes.size());
        body.raw(samples.bytes.data(), samples.bytes.size());
    }

    testsupport::ByteWriter out;
    out.raw("RIFF");
    out.u32((uint32_t)body.bytes.size());
    out.raw(body.bytes.data(), body.bytes.size());
    return out.bytes;
}

std::string fixture(const char* name) {
    // Not __FILE__: a compiler cache with a base folder makes it relative to the build folder.
    return std::string(ZELVAN_TESTS_DIR) + "/sound/data/" + name;
}

int initSound(int maxVoices, bool streamThread, bool priorityGain) {
    SfxInitParams p;
    p.pitchIntervalMs = 66;
    p.reserved1 = 200;
    p.voiceIntervalMs = 100;
    p.maxVoices = maxVoices;
    p.threadSleepMs = 5;
    p.useStreamThread = streamThread ? 1 : 0;
    p.priorityGain = priorityGain ? 1 : 0;
    return sfx_Init(p);
}

}  // namespace soundtest
