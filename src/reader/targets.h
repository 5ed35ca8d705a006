// The targets a file has defined so far, for the duplicate-target warning.
// Safe on files from anyone: the slots are chosen by a hash keyed afresh for
// each run, which a file cannot aim at, and memory stays within 28 bytes a
// distinct target whatever the file: open addressing over 4-byte slots, kept
// at most half full, that point into a packed list of the targets (12 bytes
// each) which grows in place.
#ifndef ISCSI_CONFIG_CHECK_READER_TARGETS_H
#define ISCSI_CONFIG_CHECK_READER_TARGETS_H

#include <cstddef>
#include <cstdint>

// A target remembered: its 48-bit key and the line that first defined it
// (48 bits, which no file reaches), packed.
struct TargetEntry {
    uint32_t keyHigh;
    uint32_t keyLowLineHigh; // the key's low 16 bits, the line's high 16
    uint32_t lineLow;
};

struct TargetTable {
    uint32_t *slots; // 1 + the index of an entry; 0 marks an empty slot
    size_t capacity; // slots, a power of two
    unsigned shift;  // 64 less the bits of a slot's index
    TargetEntry *entries;
    size_t count;           // entries in use
    size_t entriesCapacity; // entries mapped
    uint64_t hashKey[2];
    uint64_t probes; // slots looked at past each home slot, for the tests
};

// The key of a target: its four address numbers and its port, as taken.
inline uint64_t targetKey(const uint32_t addr[4], uint32_t port)
{
    return static_cast<uint64_t>(addr[0]) << 40 |
           static_cast<uint64_t>(addr[1]) << 32 |
           static_cast<uint64_t>(addr[2]) << 24 |
           static_cast<uint64_t>(addr[3]) << 16 | port;
}

// An empty table with the run's hash key, drawn from the system's random
// source once per run; it allocates on its first use.
TargetTable newTargetTable();

// An empty table with the hash key given (for the tests).
TargetTable targetTableWithKey(uint64_t key0, uint64_t key1);

// The keyed hash of `key`: its top bits are the slot where its search begins.
uint64_t targetHash(const TargetTable *table, uint64_t key);

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
