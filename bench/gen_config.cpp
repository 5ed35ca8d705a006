// Writes a deterministic, realistic configuration of a given size to standard
// output: about half sound statements, every kind of diagnostic, comments,
// empty lines, CRLF lines and a few lines of 512 bytes and more.
//
//   gen_config [BYTES]      (default 100000000)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Fixed-seed generator, so every run writes the same file.
static uint64_t nextRandom(uint64_t *state)
{
    *state ^= *state << 13;
    *state ^= *state >> 7;
    *state ^= *state << 17;
    return *state;
}

// Faulty statements, one per kind of diagnostic.
static const char *const faultyLines[] = {
    "  target = 10.1.2.3 3260 2 Initiator:host,pw",
    "targets = 10.1.2.3 3260 2 Initiator:host,pw",
    "target 10.1.2.3 3260 2 Initiator:host,pw",
    "target = 10.1.2 3260 2 Initiator:host,pw",
    "target = 10..2.3 3260 2 Initiator:host,pw",
    "target = 10.1.2.3\t3260 2 Initiator:host,pw",
    "target = 10.1.2.3 32a60 2 Initiator:host,pw",
    "target = 10.1.2.3 3260",
    "target = 10.1.2.3 3260 0 Initiator:host,pw",
    "target = 10.1.2.3 3260 2 ",
    "target = 10.1.2.3 3260 2 initiator:host,pw",
    "target = 10.1.2.3 3260 2 Initiator:,pw",
    "target = 10.1.2.3 3260 2 Initiator:ho!st,pw",
    "target = 10.1.2.3 3260 2 Initiator:iqn.2024-01.com.example.storage",
    ("target = 10.1.2.3 3260 2 "
     "Initiator:iqn.2024-01.com.example.storage.array-00001"
     ".controller-a.port-01,pw"),
    "target = 10.1.2.3 3260 2 Initiator:host,pw,x",
    "target = 10.1.2.3 3260 2 Initiator:host,abcdefghijklmnopq",
    "target = 10.1.2.3 3260 2 Initiator:host,abcdefghijklmnop!",
};
static const size_t faultyCount = sizeof faultyLines / sizeof faultyLines[0];

// Writes one sound statement with varied values; returns its length.
static int writeSound(uint64_t *state)
{
    uint64_t r = nextRandom(state);
    return printf(
        "target = %u.%u.%u.%u %u %u Initiator:iqn.2024-%02u.com.example.host%u,"
        "pw%u\n",
        static_cast<unsigned>(10 + r % 200),
        static_cast<unsigned>((r >> 8) % 256),
        static_cast<unsigned>((r >> 16) % 256),
        static_cast<unsigned>((r >> 24) % 256),
        static_cast<unsigned>(r % 7 == 0 ? 860 : 3260),
        static_cast<unsigned>(1 + (r >> 32) % 8),
        static_cast<unsigned>(1 + (r >> 36) % 12),
        static_cast<unsigned>((r >> 40) % 10000),
        static_cast<unsigned>((r >> 48) % 100000));
}

// Writes a line of 512 bytes or more, a statement padded with blanks;
// returns its length.
static int writeLong(uint64_t *state)
{
    int pad = 480 + static_cast<int>(nextRandom(state) % 600);
    return printf("%*starget = 10.9.8.7 3260 1 Initiator:long,pw\n", pad, "");
}

int main(int argc, char **argv)
{
    long long limit = argc > 1 ? atoll(argv[1]) : 100000000LL;
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    long long written = 0;
    while (written < limit) {
        unsigned kind = static_cast<unsigned>(nextRandom(&state) % 1000);
        int n = 0;
        if (kind < 500) {
            n = writeSound(&state);
        } else if (kind < 540) {
            n = printf("target = 10.0.0.1 3260 2 Initiator:crlf-host,pw\r\n");
        } else if (kind < 620) {
            n = printf("# rack %u, shelf %u\n", kind % 40, kind % 7);
        } else if (kind < 680) {
            n = printf("\n");
        } else if (kind < 682) {
            n = writeLong(&state);
        } else {
            n = printf("%s\n", faultyLines[kind % faultyCount]);
        }
        if (n < 0) {
            return 1;
        }
        written += n;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
