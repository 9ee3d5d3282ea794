#pragma once
// The Ogg Vorbis decoder (stb_vorbis, compiled once in stb_vorbis_impl.c) and the guarded way
// in: open files only through oggOpenFile / oggOpenMemory, decode through
// oggGetSamplesShortInterleaved and close with oggClose. A file is checked before the decoder
// sees it, and each decoder's memory is counted against its own budget.

#include <stddef.h>

#ifndef STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_HEADER_ONLY
#endif
#include <stb/stb_vorbis.h>

// The most memory one decoder may hold (its tables, header texts and work buffers).
#define kOggDecoderBudget ((size_t)64 << 20)
// The largest Ogg file read whole (sound effects; music comes as MP3).
#define kOggMaxFileBytes ((size_t)16 << 20)

#ifdef __cplusplus
extern "C" {
#endif

// Null when the Ogg pages up to the end of the comment header are sound and every length in the
// identification and comment headers fits its packet; otherwise why not.
const char* oggCheckHeaders(const unsigned char* data, size_t size);

// Reads a whole file of at most kOggMaxFileBytes into a malloc'ed block (free it with free()).
// 0 and a reason when it cannot.
int oggReadFile(const char* path, unsigned char** data, size_t* size, const char** refusal);

// Open a checked file; null when refused (refusal says why, when it is a check that refused;
// error holds the decoder's error code). The memory must outlive the decoder.
stb_vorbis* oggOpenFile(const char* path, int* error, const char** refusal);
stb_vorbis* oggOpenMemory(const unsigned char* data, int size, int* error, const char** refusal);

// stb_vorbis_get_samples_short_interleaved, with the decoder's allocations charged to its budget.
int oggGetSamplesShortInterleaved(stb_vorbis* vorbis, int channels, short* buffer, int shorts);
// Bytes the decoder holds now.
size_t oggDecoderMemory(stb_vorbis* vorbis);
// Closes the decoder and frees every block it still held.
void oggClose(stb_vorbis* vorbis);

#ifdef __cplusplus
}
#endif
