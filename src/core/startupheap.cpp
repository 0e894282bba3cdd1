#include "core/startupheap.h"

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define HUILAN_GLIBC_HEAP 1
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>
#endif

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace app {

#ifdef HUILAN_GLIBC_HEAP
namespace {
constexpr int kDefaultTopPad = 128 * 1024;   // glibc's M_TOP_PAD when nobody sets it
}

std::size_t reserveStartupHeap(std::size_t bytes)
{
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    char* const before = static_cast<char*>(sbrk(0));
    // With the padding raised, the next time the heap grows it grows by `bytes` at once. Small
    // blocks are taken until that happens (the top of the heap may still hold a little room),
    // then given back: the heap keeps its new size, because trimming keeps the padding too.
    mallopt(M_TOP_PAD, int(bytes));
    std::vector<void*> blocks;
    blocks.reserve(64);
    while (static_cast<char*>(sbrk(0)) == before && blocks.size() < 64)
        blocks.push_back(std::malloc(32 * 1024));
    for (void* block : blocks)
        std::free(block);
    char* const after = static_cast<char*>(sbrk(0));
    char* const from = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(before) + page - 1) & ~(page - 1));
    if (after <= from || madvise(from, std::size_t(after - from), MADV_POPULATE_WRITE) != 0)
        return 0;
    return std::size_t(after - from);
}

void releaseStartupHeap()
{
    mallopt(M_TOP_PAD, kDefaultTopPad);
    malloc_trim(0);
}
#else
std::size_t reserveStartupHeap(std::size_t)
{
    return 0;
}

void releaseStartupHeap()
{
}
#endif

} // namespace app
