// Test-only allocator for a variant of the executable: operator new succeeds
// PLINTOR_FAIL_AFTER times, then fails as an exhausted heap does, calling the
// new-handler. Lets a test make each allocation of a run the one that fails.
#include <cstdlib>
#include <new>

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

void* operator new(std::size_t size) {
    for (;;) {
        if (MayAllocate()) {
            if (void* block = std::malloc(size ? size : 1)) return block;
        }
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }
