// The targets a file has defined so far, for the duplicate-target warning.
// Safe on files from anyone: the slots are chosen by a hash keyed afresh for
// each run, which a file cannot aim at, and memory stays within 28 bytes a
// distinct target whatever the file: open addressing over 4-byte slots, kept
// at most three quarters full, that point into a packed list of the targets
// (12 bytes each) which grows in place. The lookup and the common insertion
// are inline, since every sound statement passes here.
#ifndef ISCSI_CONFIG_CHECK_READER_TARGETS_H
#define ISCSI_CONFIG_CHECK_READER_TARGETS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// A target remembered: its 48-bit key and the line that first defined it
// (48 bits, which no file reaches), packed: the first eight bytes hold the
// key shifted left by 16 and the line's high 16 bits, the last four the
// line's low 32 bits, each in the machine's byte order.
struct TargetEntry {
    unsigned char bytes[12];
};

// Bytes of a target's key, each hashed through a table of its own.
constexpr unsigned targetKeyBytes = 6;

struct TargetTable {
    // 1 + the index of an entry in the low `bits` bits, and above them
    // hash bits of the entry's key (see targets.cpp); 0 marks an empty slot.
    uint32_t *slots;
    size_t mask;        // slots less one: they are a power of two
    unsigned bits;      // of a slot's number
    unsigned shift;     // 64 less `bits`: a hash's top bits are its slot
    uint32_t indexMask; // the index's bits in a slot
    TargetEntry *entries;
    size_t count; // entries in use
    // The count from which an insertion takes the slow path: the slots are
    // to double, the entries to grow, or they can index no more.
    size_t limit;
    size_t entriesCapacity; // entries mapped
    // The distances of entries from their home slots, or'ed together.
    size_t displacements;
    // The hash key: one table of random words for each byte of a key.
    uint64_t hashKey[targetKeyBytes][256];
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
// source once per run; it allocates on its first insertion.
TargetTable newTargetTable();

// An empty table with a hash key made from the two words given (for the
// tests): the same words make the same key.
TargetTable targetTableWithKey(uint64_t seed0, uint64_t seed1);

// The keyed hash of `key`: its top bits are the slot where its search
// begins. Simple tabulation: each byte of the key picks a word from its own
// table of the hash key, and the six are xored (see targets.cpp).
inline uint64_t targetHash(const TargetTable *table, uint64_t key)
{
    const uint64_t(*words)[256] = table->hashKey;
    return words[0][key & 0xFF] ^ words[1][(key >> 8) & 0xFF] ^
           words[2][(key >> 16) & 0xFF] ^ words[3][(key >> 24) & 0xFF] ^
           words[4][(key >> 32) & 0xFF] ^ words[5][(key >> 40) & 0xFF];
}

// targetHash of targetKey(addr, port), from the parts: address numbers
// under 256 and a port under 65536, as the reader takes them.
inline uint64_t targetHashOf(const TargetTable *table, const uint32_t addr[4],
                             uint32_t port)
{
    const uint64_t(*words)[256] = table->hashKey;
    return words[0][port & 0xFF] ^ words[1][port >> 8] ^ words[2][addr[3]] ^
           words[3][addr[2]] ^ words[4][addr[1]] ^ words[5][addr[0]];
}

// Asks for the home slot of a key whose hash is `hash` to be brought into
// the cache: done as soon as the key is known, the miss on a large table
// overlaps the rest of the line's work instead of stalling the lookup.
inline void prefetchTargetSlot(const TargetTable *table, uint64_t hash)
{
    __builtin_prefetch(&table->slots[hash >> table->shift]);
}

// The bits of a slot that hold a hash: the top 24 bits of the hash shifted
// left by the table's bits, as far as they fit in 32 bits (see targets.cpp).
inline uint32_t targetSlotTag(uint64_t hash, unsigned bits)
{
    return static_cast<uint32_t>((hash >> 40) << bits);
}

inline uint64_t targetEntryKey(const TargetEntry &entry)
{
    uint64_t word = 0;
    memcpy(&word, entry.bytes, sizeof word);
    return word >> 16;
}

inline long long targetEntryLine(const TargetEntry &entry)
{
    uint64_t word = 0;
    uint32_t low = 0;
    memcpy(&word, entry.bytes, sizeof word);
    memcpy(&low, entry.bytes + sizeof word, sizeof low);
    return static_cast<long long>((word & 0xFFFF) << 32 | low);
}

// Stores `key` and `lineNum` in `entry`; lines past 2^48 - 1, which no file
// reaches, are told as that one.
inline void setTargetEntry(TargetEntry *entry, uint64_t key, long long lineNum)
{
    uint64_t line = static_cast<uint64_t>(lineNum);
    line = line >> 48 != 0 ? (uint64_t{1} << 48) - 1 : line;
    uint64_t word = key << 16 | line >> 32;
    uint32_t low = static_cast<uint32_t>(line);
    memcpy(entry->bytes, &word, sizeof word);
    memcpy(entry->bytes + sizeof word, &low, sizeof low);
}

// What the table knew of a target.
struct TargetMemory {
    bool isNew;          // it was not defined before
    long long firstLine; // the line that first defined it
};

// Adds `key`, whose hash is `hash`, first defined on `lineNum`, when the
// count has reached the table's limit: allocates, grows, or leaves it out
// past what slots can index (targets.cpp).
TargetMemory addTargetSlowly(TargetTable *table, uint64_t key, uint64_t hash,
                             long long lineNum);

// Remembers that `key`, whose targetHash is `hash`, is defined on
// `lineNum`, unless it was defined before.
inline TargetMemory rememberHashedTarget(TargetTable *table, uint64_t key,
                                         uint64_t hash, long long lineNum)
{
    uint32_t tag = targetSlotTag(hash, table->bits);
    uint32_t indexMask = table->indexMask;
    uint32_t *slots = table->slots;
    size_t mask = table->mask;
    size_t home = static_cast<size_t>(hash >> table->shift);
    size_t k = home;
    for (uint32_t slot = slots[k]; slot != 0; slot = slots[k]) {
        // The same hash bits first, then the key itself.
        if ((slot ^ tag) <= indexMask) {
            const TargetEntry &entry = table->entries[(slot & indexMask) - 1];
            if (targetEntryKey(entry) == key) {
                return {false, targetEntryLine(entry)};
            }
        }
        k = (k + 1) & mask;
    }
    size_t count = table->count;
    if (count >= table->limit) {
        return addTargetSlowly(table, key, hash, lineNum);
    }
    // The table's fields are read and written before the entry's bytes,
    // which the compiler must take to alias them.
    table->displacements |= (k - home) & mask;
    table->count = count + 1;
    slots[k] = tag | static_cast<uint32_t>(count + 1);
    setTargetEntry(&table->entries[count], key, lineNum);
    return {true, lineNum};
}

// Remembers that `key` is defined on `lineNum`, unless it was defined
// before.
inline TargetMemory rememberTarget(TargetTable *table, uint64_t key,
                                   long long lineNum)
{
    return rememberHashedTarget(table, key, targetHash(table, key), lineNum);
}

// The sum of the distances of the entries from their home slots: the slots
// that lookups of all of them look at in vain (for the tests).
uint64_t targetDisplacementSum(const TargetTable *table);

// Releases the table's memory and empties it; the hash key stays.
void clearTargetTable(TargetTable *table);

#endif
