// Test-only heap for a variant of the executable: it gives PLINTOR_FAIL_AFTER
// blocks, then fails as an exhausted heap does. Lets a test make each
// allocation of a run the one that fails.
#include <cstdlib>

#include "win/memory.h"

namespace {

long g_allowed = -1; // -1: not read yet

bool MayAllocate() {
    if (g_allowed == -1) {
        const char* limit = std::getenv("PLINTOR_FAIL_AFTER");
        g_allowed = limit ? std::strtol(limit, nullptr, 10) : 1L << 30;
    }
    if (g_allowed == 0) return false;
    --g_allowed;
    return true;
}

} // namespace

void* HeapBlock(std::size_t size) { return MayAllocate() ? std::malloc(size) : nullptr; }
