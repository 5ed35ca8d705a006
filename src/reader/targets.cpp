// The table of targets seen: open addressing with linear probing over slots
// that hold the index of a packed entry. A growing table is built anew from
// the entries after the old slots are released, so that the old and the new
// never take memory together; the entries themselves grow in place.
#include "reader/targets.h"

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

// The largest line number an entry holds; later lines are told as this one.
static const uint64_t maxEntryLine = (uint64_t{1} << 48) - 1;

static uint64_t rotateLeft(uint64_t x, unsigned bits)
{
    return (x << bits) | (x >> (64 - bits));
}

// SipHash-1-3 of one 64-bit word under a 128-bit key: a keyed hash made to
// stand hash flooding, whose values nobody can foresee without the key.
static uint64_t sipHash13(const uint64_t key[2], uint64_t word)
{
    uint64_t v0 = key[0] ^ 0x736f6d6570736575ULL;
    uint64_t v1 = key[1] ^ 0x646f72616e646f6dULL;
    uint64_t v2 = key[0] ^ 0x6c7967656e657261ULL;
    uint64_t v3 = key[1] ^ 0x7465646279746573ULL;
    auto round = [&v0, &v1, &v2, &v3] {
        v0 += v1;
        v1 = rotateLeft(v1, 13) ^ v0;
        v0 = rotateLeft(v0, 32);
        v2 += v3;
        v3 = rotateLeft(v3, 16) ^ v2;
        v0 += v3;
        v3 = rotateLeft(v3, 21) ^ v0;
        v2 += v1;
        v1 = rotateLeft(v1, 17) ^ v2;
        v2 = rotateLeft(v2, 32);
    };
    const uint64_t lengthBlock = uint64_t{8} << 56; // eight bytes, no more
    v3 ^= word;
    round();
    v0 ^= word;
    v3 ^= lengthBlock;
    round();
    v0 ^= lengthBlock;
    v2 ^= 0xFF;
    round();
    round();
    round();
    return v0 ^ v1 ^ v2 ^ v3;
}

// The run's hash key: from getrandom, which never blocks here (at early boot
// it may have too little entropy, and then the clock and the process stand
// in: a check must not wait).
static const uint64_t *runHashKey()
{
    static uint64_t key[2];
    static bool drawn = false;
    if (!drawn) {
        if (getrandom(key, sizeof key, GRND_NONBLOCK) != sizeof key) {
            timespec now = {};
            (void)clock_gettime(CLOCK_REALTIME, &now);
            key[0] = static_cast<uint64_t>(now.tv_nsec) ^
                     (static_cast<uint64_t>(now.tv_sec) << 30);
            key[1] = static_cast<uint64_t>(getpid()) ^
                     reinterpret_cast<uintptr_t>(&now);
        }
        drawn = true;
    }
    return key;
}

TargetTable targetTableWithKey(uint64_t key0, uint64_t key1)
{
    return {nullptr, 0, 0, nullptr, 0, 0, {key0, key1}, 0};
}

TargetTable newTargetTable()
{
    const uint64_t *key = runHashKey();
    return targetTableWithKey(key[0], key[1]);
}

static uint64_t entryKey(const TargetEntry &entry)
{
    return static_cast<uint64_t>(entry.keyHigh) << 16 |
           (entry.keyLowLineHigh >> 16);
}

static long long entryLine(const TargetEntry &entry)
{
    return static_cast<long long>(
        static_cast<uint64_t>(entry.keyLowLineHigh & 0xFFFFU) << 32 |
        entry.lineLow);
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

// Empty slots for a table of 2 to the `bits`.
static void allocateSlots(TargetTable *table, unsigned bits)
{
    table->capacity = size_t{1} << bits;
    table->shift = 64U - bits;
    size_t bytes = table->capacity * sizeof(uint32_t);
    if (bytes >= hugePageSize) {
        table->slots = static_cast<uint32_t *>(mapMemory(bytes));
        // Only advice: where huge pages are off, small ones do.
        (void)madvise(table->slots, bytes, MADV_HUGEPAGE);
    } else {
        table->slots = static_cast<uint32_t *>(allocateOrAbort(nullptr, bytes));
        memset(table->slots, 0, bytes);
    }
}

static void releaseSlots(TargetTable *table)
{
    size_t bytes = table->capacity * sizeof(uint32_t);
    if (bytes >= hugePageSize) {
        (void)munmap(table->slots, bytes);
    } else {
        free(table->slots);
    }
}

uint64_t targetHash(const TargetTable *table, uint64_t key)
{
    return sipHash13(table->hashKey, key);
}

// The slot that holds `key`, or the empty slot where it belongs.
static uint32_t *findSlot(TargetTable *table, uint64_t key)
{
    size_t mask = table->capacity - 1;
    size_t k = static_cast<size_t>(targetHash(table, key) >> table->shift);
    while (table->slots[k] != 0 &&
           entryKey(table->entries[table->slots[k] - 1]) != key) {
        k = (k + 1) & mask;
        table->probes++;
    }
    return &table->slots[k];
}

// Doubles the slots: the old are released first, and the new filled from
// the entries.
static void growSlots(TargetTable *table)
{
    unsigned bits = 64U - table->shift + 1;
    releaseSlots(table);
    allocateSlots(table, bits);
    for (size_t k = 0; k < table->count; k++) {
        *findSlot(table, entryKey(table->entries[k])) =
            static_cast<uint32_t>(k + 1);
    }
}

// Room for one more entry: the list is mapped, and grows where it is or
// moves, without a copy.
static void reserveEntry(TargetTable *table)
{
    if (table->count < table->entriesCapacity) {
        return;
    }
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
}

TargetMemory rememberTarget(TargetTable *table, uint64_t key, long long lineNum)
{
    if (table->slots == nullptr) {
        allocateSlots(table, initialBits);
    }
    uint32_t *slot = findSlot(table, key);
    if (*slot != 0) {
        return {false, entryLine(table->entries[*slot - 1])};
    }
    // Slots hold 32-bit indexes: past 4 billion distinct targets, the later
    // ones are not remembered.
    if (table->count >= UINT32_MAX) {
        return {true, lineNum};
    }
    reserveEntry(table);
    uint64_t line = static_cast<uint64_t>(lineNum);
    line = line > maxEntryLine ? maxEntryLine : line;
    table->entries[table->count] = {
        static_cast<uint32_t>(key >> 16),
        static_cast<uint32_t>((key & 0xFFFFU) << 16 | line >> 32),
        static_cast<uint32_t>(line)};
    *slot = static_cast<uint32_t>(++table->count);
    if (table->count * 2 > table->capacity) {
        growSlots(table);
    }
    return {true, lineNum};
}

void clearTargetTable(TargetTable *table)
{
    if (table->slots != nullptr) {
        releaseSlots(table);
    }
    if (table->entries != nullptr) {
        (void)munmap(table->entries,
                     table->entriesCapacity * sizeof(TargetEntry));
    }
    *table = targetTableWithKey(table->hashKey[0], table->hashKey[1]);
}
