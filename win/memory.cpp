// Memory for the whole program, built without C++ exceptions: an exhausted
// heap ends the run with 203 where the failure happens, so nothing ever
// throws, and no unwinder or exception type information is linked in.
#include <cstdlib>
#include <new>

#include "win/memory.h"
#include "win/shutdown.h"

void* operator new(std::size_t size) {
    if (void* block = HeapBlock(size ? size : 1)) return block;
    ExitOutOfMemory();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// libstdc++'s containers report a failed allocation, a request past their
// maximum size or a bad position through these hooks, and its own versions
// throw. Short of a failed allocation none of these can happen here; each
// ends the run as an exhausted heap does.
namespace std {
void __throw_bad_alloc() { ExitOutOfMemory(); }
void __throw_bad_array_new_length() { ExitOutOfMemory(); }
void __throw_length_error(const char*) { ExitOutOfMemory(); }
void __throw_logic_error(const char*) { ExitOutOfMemory(); }
void __throw_out_of_range_fmt(const char*, ...) { ExitOutOfMemory(); }
} // namespace std
