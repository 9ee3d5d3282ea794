#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<bool> g_oneThread{false};
thread_local bool t_counted = false;

inline void countOne() {
    if (!g_oneThread.load(std::memory_order_relaxed) || t_counted)
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

namespace benchalloc {

uint64_t count() { return g_allocations.load(std::memory_order_relaxed); }

void countOnlyThisThread() {
    t_counted = true;
    g_oneThread.store(true, std::memory_order_relaxed);
}

}  // namespace benchalloc

// The replacements pair malloc with free by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    countOne();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    countOne();
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
