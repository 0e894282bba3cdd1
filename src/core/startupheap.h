// The start-up's heap, backed by the kernel in one call instead of one page fault at a time.
//
// The first show allocates about 10 MiB of heap page by page, and the first touch of every page
// is a page fault. On a virtual machine a fault costs about 10 us (measured on the development
// machine: 11.5 us a page, against 1 us a page backed in one madvise call), which made faults the
// largest single cost of the start-up. reserveStartupHeap() grows the heap once by about `bytes`
// and has the kernel back it at once (MADV_POPULATE_WRITE, Linux 5.14 and later; on older kernels
// the pages fault in as before). releaseStartupHeap(), a few seconds after the first show, puts glibc's
// padding back to its default and returns to the system every heap page the start-up left free,
// so the reserve costs no memory afterwards. Both do nothing where the allocator is not glibc's
// (a sanitizer's, for one).
#pragma once

#include <cstddef>

namespace app {

// What the program reserves, and how long after the first show it gives back what is unused.
constexpr std::size_t kStartupHeapBytes = std::size_t(10) << 20;
constexpr int kStartupHeapSeconds = 5;

// Returns the bytes backed in advance, 0 when the kernel or the allocator cannot.
std::size_t reserveStartupHeap(std::size_t bytes);
void releaseStartupHeap();

} // namespace app
