// The table of targets seen: open addressing with linear probing over slots
// that hold the index of a packed entry and some bits of its key's hash. A
// slot's hash bits tell most keys apart without a look at the entry, and
// they are enough to move it when the table doubles: while every entry sits
// less than 256 slots past its home slot (the distances are or'ed together
// as they are made), growing reads the old slots alone and hashes no key
// again. The entries grow in place.
//
// The hash is simple tabulation: each of the key's six bytes picks a word
// from a table of 256 random words of its own, and the six words are xored.
// The tables are drawn from the system's random source for each run. The
// guarantee relied on: for any fixed set of keys, chosen without knowing
// the tables, linear probing with simple tabulation takes expected constant
// time an operation while the table is at most a fixed fraction full
// (Patrascu and Thorup, "The Power of Simple Tabulation Hashing", 2012:
// O(1/e^2) at a load of 1 - e; here the load stays under 3/4). A file
// cannot see the run's tables, so any family of targets it holds, aimed at
// whatever hash, fares as any other set of distinct targets. (Nothing of
// the tables leaves the process; a source that could watch them could aim
// at them.)
#include "reader/targets.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <sys/random.h>
#include <unistd.h>

#include "support/allocate.h"

// Slots of a new table, 2 to the 10th: room for a small file without
// growing.
static const unsigned initialBits = 10;

// Entries of a new list; it doubles when full.
static const size_t initialEntries = 4096;

// Tables from this size on are mapped on their own and asked to use huge
// pages: their lookups land anywhere in them, and with small pages nearly
// every one also misses the TLB.
static const size_t hugePageSize = size_t{2} << 20;

// A slot's hash bits (targetSlotTag): the top 24 bits of the hash shifted
// left by the table's bits, as far as they fit in 32 bits. Its top 8 bits
// are then the low 8 bits of the home slot's number, and the bit below them
// the hash bit that follows the home slot's number (while the table has at
// most 2 to the 23rd slots), which is all that doubling needs.
static const unsigned homeLowBits = 8;
static const unsigned maxTaggedBits = 23;

// A run of SplitMix64 (Steele, Lea and Flood): expands a seed into words
// for the hash key when the random source has none to give.
static uint64_t splitMix64(uint64_t *state)
{
    uint64_t z = (*state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// Fills a hash key from two seeds: two runs of SplitMix64 combined, the
// second turned by half a word so that swapped seeds make another key.
static void expandSeed(uint64_t key[targetKeyBytes][256], uint64_t seed0,
                       uint64_t seed1)
{
    uint64_t state = seed0;
    uint64_t mix = seed1;
    for (unsigned b = 0; b < targetKeyBytes; b++) {
        for (unsigned c = 0; c < 256; c++) {
            uint64_t turned = splitMix64(&mix);
            key[b][c] = splitMix64(&state) ^ (turned << 32 | turned >> 32);
        }
    }
}

// The run's hash key: from getrandom, which never blocks here (at early boot
// it may have too little entropy, and then the clock and the process stand
// in: a check must not wait).
static uint64_t runKey[targetKeyBytes][256];
static bool runKeyDrawn = false;

static void drawRunKey()
{
    auto *bytes = reinterpret_cast<unsigned char *>(runKey);
    size_t got = 0;
    while (got < sizeof runKey) {
        ssize_t n = getrandom(bytes + got, sizeof runKey - got, GRND_NONBLOCK);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            break;
        }
    }
    if (got < sizeof runKey) {
        timespec now = {};
        (void)clock_gettime(CLOCK_REALTIME, &now);
        expandSeed(runKey,
                   static_cast<uint64_t>(now.tv_nsec) ^
                       (static_cast<uint64_t>(now.tv_sec) << 30),
                   static_cast<uint64_t>(getpid()) ^
                       reinterpret_cast<uintptr_t>(&now));
    }
    runKeyDrawn = true;
}

// The slots of a table that has none yet: two, empty, never written, and a
// limit of 0, so that the first insertion allocates.
static uint32_t noSlots[2];

// An empty table, its key not yet set.
static void emptyTable(TargetTable *table)
{
    table->slots = noSlots;
    table->mask = 1;
    table->bits = 1;
    table->shift = 63;
    table->indexMask = 1;
    table->entries = nullptr;
    table->count = 0;
    table->limit = 0;
    table->entriesCapacity = 0;
    table->displacements = 0;
}

TargetTable targetTableWithKey(uint64_t seed0, uint64_t seed1)
{
    TargetTable table;
    emptyTable(&table);
    expandSeed(table.hashKey, seed0, seed1);
    return table;
}

TargetTable newTargetTable()
{
    if (!runKeyDrawn) {
        drawRunKey();
    }
    TargetTable table;
    emptyTable(&table);
    memcpy(table.hashKey, runKey, sizeof runKey);
    return table;
}

// Maps `bytes` of zeroed memory of its own.
static void *mapMemory(size_t bytes)
{
    void *memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        outOfMemory();
    }
    return memory;
}

// Slots from this size on are mapped, which comes zeroed.
static const size_t mappedSlotsSize = size_t{64} << 10;

// The bytes of the slots of a table with mask `mask`.
static size_t slotsBytes(size_t mask)
{
    return (mask + 1) * sizeof(uint32_t);
}

// Empty slots for a table of 2 to the `bits`.
static void allocateSlots(TargetTable *table, unsigned bits)
{
    size_t capacity = size_t{1} << bits;
    table->mask = capacity - 1;
    table->bits = bits;
    table->shift = 64U - bits;
    table->indexMask = bits >= 32 ? UINT32_MAX : (uint32_t{1} << bits) - 1;
    size_t bytes = slotsBytes(table->mask);
    if (bytes >= mappedSlotsSize) {
        table->slots = static_cast<uint32_t *>(mapMemory(bytes));
        if (bytes >= hugePageSize) {
            // Only advice: where huge pages are off, small ones do.
            (void)madvise(table->slots, bytes, MADV_HUGEPAGE);
        }
    } else {
        table->slots = static_cast<uint32_t *>(allocateOrAbort(nullptr, bytes));
        memset(table->slots, 0, bytes);
    }
}

static void releaseSlots(uint32_t *slots, size_t mask)
{
    if (slots == noSlots) {
        return;
    }
    size_t bytes = slotsBytes(mask);
    if (bytes >= mappedSlotsSize) {
        (void)munmap(slots, bytes);
    } else {
        free(slots);
    }
}

// Puts `value`, whose home slot is `home`, in the first empty slot from
// there, in a table with slots `slots` and mask `mask`; returns its
// distance from the home slot.
static size_t placeAt(uint32_t *slots, size_t mask, size_t home, uint32_t value)
{
    if (slots[home] == 0) {
        slots[home] = value;
        return 0;
    }
    size_t k = (home + 1) & mask;
    while (slots[k] != 0) {
        k = (k + 1) & mask;
    }
    slots[k] = value;
    return (k - home) & mask;
}

// Puts `value` in the table from its home slot `home`.
static void placeSlot(TargetTable *table, size_t home, uint32_t value)
{
    table->displacements |= placeAt(table->slots, table->mask, home, value);
}

// Moves the slots of `old` from `begin` to `end` to the table by their
// keys' hashes, computed anew.
static void rehashSlots(TargetTable *table, const uint32_t *old, size_t begin,
                        size_t end, uint32_t oldIndexMask)
{
    for (size_t at = begin; at < end; at++) {
        if (old[at] != 0) {
            uint32_t index = old[at] & oldIndexMask;
            uint64_t hash =
                targetHash(table, targetEntryKey(table->entries[index - 1]));
            placeSlot(table, static_cast<size_t>(hash >> table->shift),
                      targetSlotTag(hash, table->bits) | index);
        }
    }
}

// Four slots, for arithmetic on the four at once (SSE2 on x86-64).
typedef uint32_t FourSlots __attribute__((vector_size(16)));

// Moves the slots of `old` from `begin` to `end` (multiples of 8), in a
// table with mask `oldMask` whose entries all sit less than 2 to the
// homeLowBits past their home slots, to the table of twice as many by the
// slots' hash bits alone. An entry at `at` sits (at - its home's low bits)
// modulo 2 to the homeLowBits past its home; the next hash bit makes the
// home twice as precise.
static void moveSlots(TargetTable *table, const uint32_t *old, size_t begin,
                      size_t end, size_t oldMask, uint32_t oldIndexMask)
{
    uint32_t *slots = table->slots;
    size_t mask = table->mask;
    size_t displacements = table->displacements;
    const uint32_t homeLowMask = (uint32_t{1} << homeLowBits) - 1;
    // Eight slots at a time, their new homes and values computed together,
    // four by four, then placed one by one; an empty slot has the value 0.
    const auto oldHomeMask = static_cast<uint32_t>(oldMask);
    FourSlots at = {0, 1, 2, 3};
    at += static_cast<uint32_t>(begin);
    for (size_t group = begin; group < end; group += 8) {
        uint32_t homes[8];
        uint32_t values[8];
        for (unsigned half = 0; half < 8; half += 4) {
            FourSlots slot;
            memcpy(&slot, old + group + half, sizeof slot);
            FourSlots back = (at - (slot >> (32 - homeLowBits))) & homeLowMask;
            FourSlots home = ((at - back) & oldHomeMask) << 1 |
                             ((slot >> (31 - homeLowBits)) & 1U);
            FourSlots value = slot + (slot & ~oldIndexMask);
            memcpy(homes + half, &home, sizeof home);
            memcpy(values + half, &value, sizeof value);
            at += 4U;
        }
#pragma GCC unroll 8
        for (unsigned j = 0; j < 8; j++) {
            if (values[j] != 0) {
                displacements |= placeAt(slots, mask, homes[j], values[j]);
            }
        }
    }
    table->displacements = displacements;
}

// Doubles the slots, at most 3/4 full before. While the table is small
// enough for the slots' hash bits to tell the home slots, and every entry
// sits close to its own, no key is hashed again.
static void growSlots(TargetTable *table)
{
    uint32_t *old = table->slots;
    size_t oldMask = table->mask;
    unsigned oldBits = table->bits;
    uint32_t oldIndexMask = table->indexMask;
    bool tagsTell = oldBits <= maxTaggedBits &&
                    table->displacements < (size_t{1} << homeLowBits);
    allocateSlots(table, oldBits + 1);
    table->displacements = 0;
    // The old slots are read in order, and those read are given back as
    // they go: a slot moves to about twice its number, so the two tables
    // together hold no more than the new one does at the end. Slots on huge
    // pages go back a huge page at a time, which the kernel then need not
    // split.
    size_t oldBytes = slotsBytes(oldMask);
    bool mapped = oldBytes >= mappedSlotsSize;
    const size_t chunk =
        (oldBytes >= hugePageSize ? hugePageSize : mappedSlotsSize) /
        sizeof(uint32_t);
    for (size_t begin = 0; begin <= oldMask; begin += chunk) {
        size_t end = begin + chunk <= oldMask + 1 ? begin + chunk : oldMask + 1;
        if (tagsTell) {
            moveSlots(table, old, begin, end, oldMask, oldIndexMask);
        } else {
            rehashSlots(table, old, begin, end, oldIndexMask);
        }
        if (mapped && end <= oldMask) {
            (void)madvise(old + begin, (end - begin) * sizeof(uint32_t),
                          MADV_DONTNEED);
        }
    }
    releaseSlots(old, oldMask);
}

// Maps room for more entries: the list grows where it is or moves, without
// a copy.
static void growEntries(TargetTable *table)
{
    size_t grown = table->entriesCapacity == 0 ? initialEntries
                                               : table->entriesCapacity * 2;
    void *entries = nullptr;
    if (table->entries == nullptr) {
        entries = mapMemory(grown * sizeof(TargetEntry));
    } else {
        entries =
            mremap(table->entries, table->entriesCapacity * sizeof(TargetEntry),
                   grown * sizeof(TargetEntry), MREMAP_MAYMOVE);
        if (entries == MAP_FAILED) {
            outOfMemory();
        }
    }
    table->entries = static_cast<TargetEntry *>(entries);
    table->entriesCapacity = grown;
    // The entries are written in order, and read where a slot's hash bits
    // match: on huge pages, those reads miss the TLB less, and the list
    // takes a page fault every 2 MB rather than every 4 KB. Only advice.
    size_t bytes = grown * sizeof(TargetEntry);
    if (bytes >= hugePageSize) {
        (void)madvise(entries, bytes, MADV_HUGEPAGE);
    }
}

TargetMemory addTargetSlowly(TargetTable *table, uint64_t key, uint64_t hash,
                             long long lineNum)
{
    // Slots hold 32-bit indexes: past 4 billion distinct targets, the later
    // ones are not remembered.
    if (table->count >= UINT32_MAX) {
        return {true, lineNum};
    }
    // The slots are kept at most 3/4 full.
    if (table->slots == noSlots) {
        allocateSlots(table, initialBits);
    } else if (table->count >= (table->mask + 1) / 4 * 3) {
        growSlots(table);
    }
    if (table->count >= table->entriesCapacity) {
        growEntries(table);
    }
    size_t slotsLimit = (table->mask + 1) / 4 * 3;
    table->limit = slotsLimit < table->entriesCapacity ? slotsLimit
                                                       : table->entriesCapacity;
    table->limit = table->limit < UINT32_MAX ? table->limit : UINT32_MAX;
    setTargetEntry(&table->entries[table->count], key, lineNum);
    placeSlot(table, static_cast<size_t>(hash >> table->shift),
              targetSlotTag(hash, table->bits) |
                  static_cast<uint32_t>(++table->count));
    return {true, lineNum};
}

uint64_t targetDisplacementSum(const TargetTable *table)
{
    uint64_t sum = 0;
    for (size_t k = 0; k <= table->mask; k++) {
        uint32_t slot = table->slots[k];
        if (slot != 0) {
            uint64_t key =
                targetEntryKey(table->entries[(slot & table->indexMask) - 1]);
            size_t home =
                static_cast<size_t>(targetHash(table, key) >> table->shift);
            sum += (k - home) & table->mask;
        }
    }
    return sum;
}

void clearTargetTable(TargetTable *table)
{
    releaseSlots(table->slots, table->mask);
    if (table->entries != nullptr) {
        (void)munmap(table->entries,
                     table->entriesCapacity * sizeof(TargetEntry));
    }
    emptyTable(table);
}
