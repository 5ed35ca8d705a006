#include "allocate.h"

#include <cstdlib>

void *allocateOrAbort(void *old, size_t size)
{
    void *moved = realloc(old, size);
    // (An allocation does not fail in the tests.)
    if (moved == nullptr) {
        outOfMemory(); // GCOVR_EXCL_LINE
    }
    return moved;
}

// GCOVR_EXCL_START
void outOfMemory()
{
    abort();
}
// GCOVR_EXCL_STOP
