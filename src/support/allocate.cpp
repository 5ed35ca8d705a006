#include "support/allocate.h"

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

static void (*outOfMemoryHandler)() = nullptr;

void setOutOfMemoryHandler(void (*handler)())
{
    outOfMemoryHandler = handler;
}

void outOfMemory()
{
    if (outOfMemoryHandler != nullptr) {
        outOfMemoryHandler();
    }
    abort(); // GCOVR_EXCL_LINE
}
