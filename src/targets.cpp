// The table of targets seen: open addressing with linear probing, kept at
// most half full, doubled when it fills.
#include "targets.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include "allocate.h"

// Slots of a new table, 2 to the 10th: room for a small file without
// growing.
static const unsigned initialBits = 10;

// Tables from this size on are mapped on their own and asked to use huge
// pages: their lookups land anywhere in them, and with small pages nearly
// every one also misses the TLB.
static const size_t hugePageSize = size_t{2} << 20;

// A table of 2 to the `bits` empty slots holding `count` targets; ends the
// program when there is no memory, as operator new would.
static TargetTable allocateTable(unsigned bits, size_t count)
{
    size_t capacity = size_t{1} << bits;
    size_t bytes = capacity * sizeof(TargetSlot);
    void *slots = nullptr;
    if (bytes >= hugePageSize) {
        slots = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (slots == MAP_FAILED) {
            outOfMemory(); // GCOVR_EXCL_LINE
        }
        // Only advice: where huge pages are off, small ones do.
        (void)madvise(slots, bytes, MADV_HUGEPAGE);
    } else {
        slots = allocateOrAbort(nullptr, bytes);
        memset(slots, 0, bytes);
    }
    return {static_cast<TargetSlot *>(slots), capacity, count, 64U - bits};
}

// Releases the slots of `table`, allocated as allocateTable chose.
static void releaseSlots(TargetTable *table)
{
    size_t bytes = table->capacity * sizeof(TargetSlot);
    if (bytes >= hugePageSize) {
        (void)munmap(table->slots, bytes);
    } else {
        free(table->slots);
    }
}

// The slot that holds `key`, or the empty slot where it belongs.
static TargetSlot *findSlot(const TargetTable *table, uint64_t stored)
{
    size_t mask = table->capacity - 1;
    size_t k = homeSlot(stored, table->shift);
    while (table->slots[k].key != 0 && table->slots[k].key != stored) {
        k = (k + 1) & mask;
    }
    return &table->slots[k];
}

// Moves every target into a table of twice the size.
static void growTable(TargetTable *table)
{
    TargetTable grown = allocateTable(64U - table->shift + 1, table->count);
    for (size_t k = 0; k < table->capacity; k++) {
        if (table->slots[k].key != 0) {
            *findSlot(&grown, table->slots[k].key) = table->slots[k];
        }
    }
    releaseSlots(table);
    *table = grown;
}

TargetMemory rememberTarget(TargetTable *table, uint64_t key, long long lineNum)
{
    if (table->slots == nullptr) {
        *table = allocateTable(initialBits, 0);
    }
    uint64_t stored = key + 1;
    TargetSlot *slot = findSlot(table, stored);
    if (slot->key == stored) {
        return {false, slot->lineNum};
    }
    *slot = {stored, lineNum};
    table->count++;
    if (table->count * 2 > table->capacity) {
        growTable(table);
    }
    return {true, lineNum};
}

void clearTargetTable(TargetTable *table)
{
    if (table->slots != nullptr) {
        releaseSlots(table);
    }
    *table = emptyTargetTable;
}
