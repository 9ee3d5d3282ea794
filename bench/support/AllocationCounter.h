#pragma once
// Heap allocations counted by a replaced global operator new, linked into the benchmarks that
// report allocations per frame or per query (the goal in a steady state is none).

#include <cstdint>
#include <cstdio>

namespace benchalloc {

// Allocations counted so far; read it around the code under measure.
uint64_t count();

// From now on only allocations of the calling thread count (the sound mixer, for one, allocates
// on a thread of its own).
void countOnlyThisThread();

// Where the allocations come from: between traceStart and traceStop every counted allocation
// keeps its call stack (up to a fixed number of them; the rest are only counted). traceReport
// prints the distinct stacks, most frequent first, with their functions and lines (through
// addr2line). For finding the allocations of a frame, not for timing: a traced allocation is slow.
void traceStart();
void traceStop();
// Allocations traced so far; traceRewind forgets those traced after the mark (a frame that is not
// to be shown).
uint64_t traceCount();
void traceRewind(uint64_t mark);
void traceReport(FILE* out, int maxStacks = 20, int maxFrames = 12);

}  // namespace benchalloc
