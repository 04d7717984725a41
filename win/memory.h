#pragma once
#include <cstddef>

// A block of size bytes (size > 0) from the C runtime's heap, or nullptr when
// none is left. The release build takes it from malloc (win/heap.cpp); a test
// build fails it on request.
void* HeapBlock(std::size_t size);
