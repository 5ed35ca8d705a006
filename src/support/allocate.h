// The one way the checker asks for memory it cannot go on without.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_ALLOCATE_H
#define ISCSI_CONFIG_CHECK_SUPPORT_ALLOCATE_H

#include <cstddef>

// Reallocates `old` (null for new storage) to `size` bytes; ends the program
// through outOfMemory when there is no memory.
void *allocateOrAbort(void *old, size_t size);

// Ends the program for want of memory: through the handler set, which must
// not return, or else as operator new would.
[[noreturn]] void outOfMemory();

// Sets what outOfMemory does.
void setOutOfMemoryHandler(void (*handler)());

#endif
