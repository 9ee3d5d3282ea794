#pragma once
// Heap allocations counted by a replaced global operator new, linked into the benchmarks that
// report allocations per frame or per query (the goal in a steady state is none).

#include <cstdint>

namespace benchalloc {

// Allocations counted so far; read it around the code under measure.
uint64_t count();

// From now on only allocations of the calling thread count (the sound mixer, for one, allocates
// on a thread of its own).
void countOnlyThisThread();

}  // namespace benchalloc
