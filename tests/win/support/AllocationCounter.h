#pragma once

// Counts the allocations made through the global operator new while counting
// is on. The operators themselves are defined in AllocationCounter.inc, which
// the one executable that wants them includes in exactly one source file: a
// replaced operator new serves the whole executable, so it cannot live in the
// support library that every test links.

namespace allocation_counter {

extern bool g_counting;
extern long g_allocations;

} // namespace allocation_counter
