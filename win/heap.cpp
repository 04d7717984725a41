#include <cstdlib>

#include "win/memory.h"

void* HeapBlock(std::size_t size) { return std::malloc(size); }
