#include "AllocationCounter.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<bool> g_oneThread{false};
thread_local bool t_counted = false;

// Stacks of traced allocations live in static storage, so tracing allocates nothing itself.
const int kTraceDepth = 24;
const int kTraceCapacity = 1 << 15;
struct TracedStack {
    int depth;
    void* frames[kTraceDepth];
};
TracedStack g_traces[kTraceCapacity];
std::atomic<bool> g_tracing{false};
std::atomic<int> g_traceCount{0};
uint64_t g_traceOverflow = 0;
thread_local bool t_inTrace = false;

void traceOne() {
    if (t_inTrace)
        return;
    t_inTrace = true;
    const int slot = g_traceCount.fetch_add(1, std::memory_order_relaxed);
    if (slot < kTraceCapacity)
        g_traces[slot].depth = backtrace(g_traces[slot].frames, kTraceDepth);
    else
        ++g_traceOverflow;
    t_inTrace = false;
}

inline void countOne() {
    if (!g_oneThread.load(std::memory_order_relaxed) || t_counted) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
        if (g_tracing.load(std::memory_order_relaxed))
            traceOne();
    }
}

// "function at file:line" for one return address, through addr2line on the module it lies in.
std::string describe(void* address) {
    Dl_info info;
    if (!dladdr(address, &info) || !info.dli_fname)
        return "?";
    // A return address points after the call; one byte back lands inside it.
    const uintptr_t offset = (uintptr_t)address - (uintptr_t)info.dli_fbase - 1;
    char command[1024];
    std::snprintf(command, sizeof command, "addr2line -f -C -i -e '%s' 0x%llx 2>/dev/null", info.dli_fname,
                  (unsigned long long)offset);
    std::string result;
    if (FILE* pipe = popen(command, "r")) {
        // With -i, one pair of lines (function, file:line) for each inlined level, innermost first.
        char line[1024];
        std::vector<std::string> lines;
        while (fgets(line, sizeof line, pipe)) {
            std::string text = line;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            lines.push_back(text);
        }
        pclose(pipe);
        for (size_t i = 0; i + 1 < lines.size(); i += 2) {
            std::string function = lines[i], where = lines[i + 1];
            const size_t slash = where.rfind('/');
            if (slash != std::string::npos)
                where = where.substr(slash + 1);
            if (function.size() > 100)
                function = function.substr(0, 97) + "...";
            if (!result.empty())
                result += "\n       (inlined into) ";
            result += function + "  " + where;
        }
    }
    if (result.empty() || result[0] == '?')
        result = std::string(info.dli_sname ? info.dli_sname : "?") + " (" + info.dli_fname + ")";
    return result;
}

}  // namespace

namespace benchalloc {

uint64_t count() { return g_allocations.load(std::memory_order_relaxed); }

void countOnlyThisThread() {
    t_counted = true;
    g_oneThread.store(true, std::memory_order_relaxed);
}

void traceStart() {
    // The first backtrace loads the unwinder, which allocates: done before tracing starts.
    void* warm[4];
    backtrace(warm, 4);
    g_traceCount.store(0);
    g_traceOverflow = 0;
    g_tracing.store(true);
}

void traceStop() { g_tracing.store(false); }

uint64_t traceCount() { return (uint64_t)g_traceCount.load(); }

void traceRewind(uint64_t mark) {
    if ((uint64_t)g_traceCount.load() > mark)
        g_traceCount.store((int)mark);
}

void traceReport(FILE* out, int maxStacks, int maxFrames) {
    const int stored = std::min(g_traceCount.load(), kTraceCapacity);
    std::map<std::vector<void*>, int> stacks;
    for (int i = 0; i < stored; ++i) {
        // Frames 0 and 1 are the tracer and the counting operator new.
        const TracedStack& s = g_traces[i];
        std::vector<void*> key(s.frames + std::min(s.depth, 3), s.frames + s.depth);
        ++stacks[key];
    }
    std::vector<std::pair<int, const std::vector<void*>*>> order;
    for (const auto& entry : stacks) order.push_back({entry.second, &entry.first});
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::fprintf(out, "%d traced allocations (%llu beyond the trace store), %zu distinct stacks\n", stored,
                 (unsigned long long)g_traceOverflow, order.size());
    std::map<void*, std::string> names;
    for (int i = 0; i < (int)order.size() && i < maxStacks; ++i) {
        std::fprintf(out, "-- %d allocations:\n", order[(size_t)i].first);
        const std::vector<void*>& frames = *order[(size_t)i].second;
        for (int f = 0; f < (int)frames.size() && f < maxFrames; ++f) {
            auto found = names.find(frames[(size_t)f]);
            if (found == names.end())
                found = names.emplace(frames[(size_t)f], describe(frames[(size_t)f])).first;
            std::fprintf(out, "     %s\n", found->second.c_str());
        }
    }
}

}  // namespace benchalloc

#ifndef __SANITIZE_ADDRESS__
// glibc's own allocator, under the names it keeps for replacements like these.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}

// The C allocator is replaced too, so blocks the engine takes with malloc, calloc or realloc count
// as well (the growth of a vertex buffer, a C string): every block counts once, at its source.
extern "C" {
void* malloc(size_t size) {
    countOne();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    countOne();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    // Shrinking or freeing through realloc is no new block, but a grown one may be: count the
    // calls that ask for memory.
    if (size)
        countOne();
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
#else
extern "C" {
inline void* __libc_malloc(size_t size) { return std::malloc(size); }
inline void __libc_free(void* p) { std::free(p); }
}
#endif

void* operator new(std::size_t size) {
    countOne();
    if (void* p = __libc_malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    countOne();
    return __libc_malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }
