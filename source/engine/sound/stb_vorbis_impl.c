// The Ogg Vorbis decoder, compiled once for the whole program; every other file includes
// engine/sound/OggVorbis.h, which declares it and the guarded entry points below.
//
// stb_vorbis trusts the lengths in a file's headers: a damaged file can make it allocate
// whatever a header says, loop for minutes over a vendor string of four billion bytes, or lose
// blocks on its error paths. So every file is checked here before stb_vorbis sees it (the
// identification and comment headers must fit their packets), and every block stb_vorbis takes
// goes through a counting allocator with a budget per decoder, which also frees whatever the
// decoder left behind when it is closed or fails to open. (Its memory-arena mode is not used: in
// this version it turns bad header lengths into writes past the arena.)

#include <alloca.h>
#include <assert.h>
#include <limits.h>
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "engine/sound/OggVorbis.h"

// ---- Counting allocator ----

typedef struct OggBlock {
    struct OggBlock* prev;
    struct OggBlock* next;
    struct OggBudget* budget;
    size_t size;
} OggBlock;  // 32 bytes: what follows stays aligned for any type

typedef struct OggBudget {
    size_t used;
    size_t limit;
    int exceeded;
    OggBlock* blocks;  // every live block, so leftovers can be freed
} OggBudget;

// The budget allocations are charged to, for the call running on this thread. Blocks taken with
// none (a decoder opened without the guarded entry points) are plain, uncounted blocks.
static _Thread_local OggBudget* s_current = NULL;

static void* oggMalloc(size_t size) {
    OggBudget* budget = s_current;
    if (budget) {
        if (size > budget->limit - budget->used) {
            budget->exceeded = 1;
            return NULL;
        }
    }
    if (size > SIZE_MAX - sizeof(OggBlock))
        return NULL;
    // Zeroed: some of stb_vorbis's error paths free pointers of half-filled tables.
    OggBlock* block = (OggBlock*)calloc(1, sizeof(OggBlock) + size);
    if (!block)
        return NULL;
    block->budget = budget;
    block->size = size;
    if (budget) {
        budget->used += size;
        block->next = budget->blocks;
        if (budget->blocks)
            budget->blocks->prev = block;
        budget->blocks = block;
    }
    return block + 1;
}

static void oggFree(void* p) {
    if (!p)
        return;
    OggBlock* block = (OggBlock*)p - 1;
    OggBudget* budget = block->budget;
    if (budget) {
        budget->used -= block->size;
        if (block->prev)
            block->prev->next = block->next;
        else
            budget->blocks = block->next;
        if (block->next)
            block->next->prev = block->prev;
    }
    free(block);
}

static void releaseBudget(OggBudget* budget) {
    while (budget->blocks) {
        OggBlock* block = budget->blocks;
        budget->blocks = block->next;
        free(block);
    }
    free(budget);
}

// The decoder object is itself a block taken during its open: its budget is found there.
static OggBudget* budgetOf(stb_vorbis* vorbis) { return vorbis ? ((OggBlock*)(void*)vorbis - 1)->budget : NULL; }

#define malloc(size) oggMalloc(size)
#define free(p) oggFree(p)
#define realloc(p, size) ((void)(p), (void)(size), (void*)NULL)

#undef STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

#undef malloc
#undef free
#undef realloc

// ---- Header check ----

static uint32_t le32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Appends the packets of the first logical stream to out[] (as [start, end) offsets of a copy in
// data); a packet spanning pages is gathered into packetData. Stops once two are complete.
typedef struct {
    unsigned char* bytes;
    size_t size;
} OggPacket;

static int appendBytes(OggPacket* packet, const unsigned char* from, size_t n) {
    unsigned char* grown = (unsigned char*)realloc(packet->bytes, packet->size + n + 1);
    if (!grown)
        return 0;
    memcpy(grown + packet->size, from, n);
    packet->bytes = grown;
    packet->size += n;
    return 1;
}

const char* oggCheckHeaders(const unsigned char* data, size_t size) {
    OggPacket packets[2] = {{NULL, 0}, {NULL, 0}};
    int complete = 0;
    size_t at = 0;
    uint32_t serial = 0;
    int firstPage = 1;
    const char* refusal = NULL;

    while (complete < 2 && !refusal) {
        if (size - at < 27) {
            refusal = "the file ends inside its headers";
            break;
        }
        const unsigned char* page = data + at;
        if (memcmp(page, "OggS", 4) != 0 || page[4] != 0) {
            refusal = "no Ogg page where one should start";
            break;
        }
        unsigned segments = page[26];
        if (size - at - 27 < segments) {
            refusal = "the file ends inside a page header";
            break;
        }
        size_t bodySize = 0;
        for (unsigned i = 0; i < segments; ++i)
            bodySize += page[27 + i];
        if (size - at - 27 - segments < bodySize) {
            refusal = "the file ends inside a page";
            break;
        }
        uint32_t pageSerial = le32(page + 14);
        if (firstPage) {
            serial = pageSerial;
            firstPage = 0;
            if (!(page[5] & 2)) {
                refusal = "the first page does not begin a stream";
                break;
            }
        }
        const unsigned char* body = page + 27 + segments;
        if (pageSerial == serial) {
            size_t offset = 0, run = 0;
            for (unsigned i = 0; i < segments && complete < 2; ++i) {
                run += page[27 + i];
                if (page[27 + i] < 255) {
                    if (!appendBytes(&packets[complete], body + offset, run)) {
                        refusal = "out of memory";
                        break;
                    }
                    offset += run;
                    run = 0;
                    ++complete;
                }
            }
            // A packet going on past the page's end continues on the next page.
            if (!refusal && complete < 2 && run > 0 && !appendBytes(&packets[complete], body + offset, run))
                refusal = "out of memory";
        }
        at += 27 + segments + bodySize;
    }

    if (!refusal) {
        const unsigned char* id = packets[0].bytes;
        const unsigned char* comment = packets[1].bytes;
        size_t n = packets[1].size;
        if (packets[0].size < 30 || id[0] != 1 || memcmp(id + 1, "vorbis", 6) != 0) {
            refusal = "no Vorbis identification header";
        } else if (n < 11 || comment[0] != 3 || memcmp(comment + 1, "vorbis", 6) != 0) {
            refusal = "no Vorbis comment header";
        } else {
            // Every length must fit what is left of the packet, so none can ask for more memory
            // or more reading than the packet holds.
            size_t pos = 7;
            uint32_t vendor = le32(comment + pos);
            pos += 4;
            if (vendor > n - pos) {
                refusal = "the vendor text is longer than its header";
            } else {
                pos += vendor;
                if (n - pos < 4) {
                    refusal = "the comment header ends before its comment count";
                } else {
                    uint32_t count = le32(comment + pos);
                    pos += 4;
                    if (count > (n - pos) / 4)
                        refusal = "more comments than the comment header can hold";
                    for (uint32_t i = 0; i < count && !refusal; ++i) {
                        uint32_t length = le32(comment + pos);
                        pos += 4;
                        if (length > n - pos)
                            refusal = "a comment is longer than its header";
                        else if (i + 1 < count && n - pos - length < 4)
                            refusal = "more comments than the comment header can hold";
                        else
                            pos += length;
                    }
                }
            }
        }
    }
    free(packets[0].bytes);
    free(packets[1].bytes);
    return refusal;
}

// ---- Guarded entry points ----

static OggBudget* newBudget(void) {
    OggBudget* budget = (OggBudget*)calloc(1, sizeof(OggBudget));
    if (budget)
        budget->limit = kOggDecoderBudget;
    return budget;
}

// Runs after an open: a refused or failed open frees every block the decoder left.
static stb_vorbis* finishOpen(stb_vorbis* vorbis, OggBudget* budget, int* error) {
    s_current = NULL;
    if (!vorbis) {
        if (budget->exceeded && error)
            *error = VORBIS_outofmem;
        releaseBudget(budget);
        return NULL;
    }
    return vorbis;
}

stb_vorbis* oggOpenMemory(const unsigned char* data, int size, int* error, const char** refusal) {
    if (refusal)
        *refusal = NULL;
    if (error)
        *error = VORBIS__no_error;
    const char* why = data && size > 0 ? oggCheckHeaders(data, (size_t)size) : "the file is empty";
    if (why) {
        if (refusal)
            *refusal = why;
        if (error)
            *error = VORBIS_invalid_setup;
        return NULL;
    }
    OggBudget* budget = newBudget();
    if (!budget) {
        if (error)
            *error = VORBIS_outofmem;
        return NULL;
    }
    s_current = budget;
    stb_vorbis* vorbis = stb_vorbis_open_memory(data, size, error, NULL);
    return finishOpen(vorbis, budget, error);
}

int oggReadFile(const char* path, unsigned char** data, size_t* size, const char** refusal) {
    *data = NULL;
    *size = 0;
    *refusal = NULL;
    FILE* f = path ? fopen(path, "rb") : NULL;
    if (!f) {
        *refusal = "the file cannot be opened";
        return 0;
    }
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    if (length < 0 || fseek(f, 0, SEEK_SET) != 0) {
        *refusal = "the file cannot be measured";
        fclose(f);
        return 0;
    }
    if ((unsigned long)length > kOggMaxFileBytes) {
        *refusal = "the file is larger than an Ogg file may be";
        fclose(f);
        return 0;
    }
    unsigned char* bytes = (unsigned char*)malloc(length > 0 ? (size_t)length : 1);
    if (!bytes || fread(bytes, 1, (size_t)length, f) != (size_t)length) {
        *refusal = bytes ? "the file cannot be read" : "out of memory";
        free(bytes);
        fclose(f);
        return 0;
    }
    fclose(f);
    *data = bytes;
    *size = (size_t)length;
    return 1;
}

stb_vorbis* oggOpenFile(const char* path, int* error, const char** refusal) {
    if (error)
        *error = VORBIS__no_error;
    const char* why = NULL;
    unsigned char* data = NULL;
    size_t size = 0;
    if (!oggReadFile(path, &data, &size, &why)) {
        if (refusal)
            *refusal = why;
        if (error)
            *error = VORBIS_file_open_failure;
        return NULL;
    }
    why = oggCheckHeaders(data, size);
    free(data);
    if (refusal)
        *refusal = why;
    if (why) {
        if (error)
            *error = VORBIS_invalid_setup;
        return NULL;
    }
    OggBudget* budget = newBudget();
    if (!budget) {
        if (error)
            *error = VORBIS_outofmem;
        return NULL;
    }
    s_current = budget;
    stb_vorbis* vorbis = stb_vorbis_open_filename(path, error, NULL);
    return finishOpen(vorbis, budget, error);
}

int oggGetSamplesShortInterleaved(stb_vorbis* vorbis, int channels, short* buffer, int shorts) {
    if (!vorbis)
        return 0;
    OggBudget* saved = s_current;
    s_current = budgetOf(vorbis);
    int got = stb_vorbis_get_samples_short_interleaved(vorbis, channels, buffer, shorts);
    s_current = saved;
    return got;
}

size_t oggDecoderMemory(stb_vorbis* vorbis) {
    OggBudget* budget = budgetOf(vorbis);
    return budget ? budget->used : 0;
}

void oggClose(stb_vorbis* vorbis) {
    if (!vorbis)
        return;
    OggBudget* budget = budgetOf(vorbis);
    OggBudget* saved = s_current;
    s_current = budget;
    stb_vorbis_close(vorbis);
    s_current = saved;
    if (budget)
        releaseBudget(budget);
}
