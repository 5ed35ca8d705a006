// The targets a file has defined so far, for the duplicate-target warning: a
// flat open-addressing table of 48-bit keys (address and port), each with the
// line that first defined it. It grows with the number of distinct targets,
// not with the file's size.
#ifndef ISCSI_CONFIG_CHECK_TARGETS_H
#define ISCSI_CONFIG_CHECK_TARGETS_H

#include <cstddef>
#include <cstdint>

struct TargetSlot {
    uint64_t key;      // the target's key plus 1; 0 marks an empty slot
    long long lineNum; // the line that first defined it
};

struct TargetTable {
    TargetSlot *slots;
    size_t capacity; // a power of two
    size_t count;
    unsigned shift; // 64 less the bits of a slot's index
};

// The key of a target: its four address numbers and its port, as taken.
inline uint64_t targetKey(const uint32_t addr[4], uint32_t port)
{
    return static_cast<uint64_t>(addr[0]) << 40 |
           static_cast<uint64_t>(addr[1]) << 32 |
           static_cast<uint64_t>(addr[2]) << 24 |
           static_cast<uint64_t>(addr[3]) << 16 | port;
}

// The slot where the search for the stored key `stored` (the key plus 1)
// begins: Fibonacci hashing, whose multiplication spreads the low bits of the
// port and the address across the high bits taken.
inline size_t homeSlot(uint64_t stored, unsigned shift)
{
    const uint64_t golden = 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>((stored * golden) >> shift);
}

// Starts fetching the slot where `key` would be. A large table is read at
// random, and each lookup waits for memory: the work between this call and
// rememberTarget hides part of that wait.
inline void prefetchTarget(const TargetTable *table, uint64_t key)
{
    if (table->slots != nullptr) {
        __builtin_prefetch(&table->slots[homeSlot(key + 1, table->shift)]);
    }
}

// An empty table; it allocates on its first use.
constexpr TargetTable emptyTargetTable = {nullptr, 0, 0, 0};

// What the table knew of a target.
struct TargetMemory {
    bool isNew;          // it was not defined before
    long long firstLine; // the line that first defined it
};

// Remembers that `key` is defined on `lineNum`, unless it was defined
// before.
TargetMemory rememberTarget(TargetTable *table, uint64_t key,
                            long long lineNum);

// Releases the table's memory and empties it.
void clearTargetTable(TargetTable *table);

#endif
