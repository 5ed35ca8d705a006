// Writes a deterministic configuration to standard output, in one of three
// mixes:
//
//   mix     (the default) a realistic file of a given size: about half sound
//           statements, every kind of diagnostic, comments, empty lines,
//           CRLF lines and a few lines of 512 bytes and more.
//   faults  a file of a given size that gives every error and every warning
//           that a file with targets can give: faulty statements of every
//           kind, numbers that wrap, leading zeros, repeated targets,
//           trailing text, control and zero bytes, directives good and
//           malformed, CRLF on about a tenth of the lines, a byte order mark
//           at the start, UTF-8 and invalid UTF-8 bytes, and over a third of
//           its bytes in lines of 512 bytes and more (long comments,
//           statements padded with blanks, lines whose later 512-byte pieces
//           hold statements).
//   clean   exactly 300,000 sound statements of distinct targets, 39 bytes a
//           line (11,700,000 bytes), that give no diagnostic even under
//           -W all; BYTES is ignored.
//   clean --long-fields
//           sound statements of distinct targets with long fields, line J
//           (from 0) reading "target = 10.B.C.D 3260 N Initiator:userJ,
//           passwordJ" (no blank after the comma), B.C.D the three low
//           bytes of J and N = 1 + J mod 8, up to BYTES: 1,525,000 lines
//           in the default 100 MB. Draws nothing: the seed has no effect.
//
//   gen_config [--mode=mix|faults|clean] [--long-fields] [--seed=N] [BYTES]
//
// BYTES (default 100000000) is where writing stops: the last line is written
// whole, so the file is up to one line longer. The same mode, seed and BYTES
// always give the same bytes; each mode has its own default seed (see
// defaultSeed below; bench/README.md lists them).
#include <cerrno>
#include <cstdarg>
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

// A number below `n`, drawn from `state`.
static unsigned below(uint64_t *state, unsigned n)
{
    return static_cast<unsigned>(nextRandom(state) % n);
}

// ---------------------------------------------------------------------------
// mix: the realistic file.

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

static int writeMix(long long limit, uint64_t state)
{
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
    return 0;
}

// ---------------------------------------------------------------------------
// faults: a file built from generators of one kind of line each.

// The text of one generated item (one line or a few), built before it is
// written. Items are far shorter than this: the longest line is about 1,500
// bytes.
struct Text {
    char bytes[8192];
    size_t len;
    uint64_t *state;
};

static void put(Text *t, const char *s, size_t n)
{
    if (n > sizeof t->bytes - t->len) {
        n = sizeof t->bytes - t->len;
    }
    memcpy(t->bytes + t->len, s, n);
    t->len += n;
}

static void putText(Text *t, const char *s)
{
    put(t, s, strlen(s));
}

__attribute__((format(printf, 2, 3))) static void putf(Text *t,
                                                       const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n =
        vsnprintf(t->bytes + t->len, sizeof t->bytes - t->len, format, args);
    va_end(args);
    if (n > 0) {
        size_t room = sizeof t->bytes - t->len - 1;
        t->len += static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room;
    }
}

// Appends `n` copies of `c`.
static void fill(Text *t, char c, size_t n)
{
    if (n > sizeof t->bytes - t->len) {
        n = sizeof t->bytes - t->len;
    }
    memset(t->bytes + t->len, c, n);
    t->len += n;
}

// Blanks up to length `length` of the current line (which starts at `start`).
static void padTo(Text *t, size_t start, size_t length)
{
    if (t->len - start < length) {
        fill(t, ' ', length - (t->len - start));
    }
}

// Ends a line: with CR LF on about one line in ten, as when a file was
// edited on another system.
static void endLine(Text *t)
{
    putText(t, below(t->state, 10) == 0 ? "\r\n" : "\n");
}

static unsigned pick(Text *t, unsigned n)
{
    return below(t->state, n);
}

template <size_t N>
static const char *oneOf(Text *t, const char *const (&choices)[N])
{
    return choices[below(t->state, N)];
}

// Identifier and password characters.
static const char idChars[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_";

static void putPassword(Text *t, unsigned length)
{
    for (unsigned i = 0; i < length; i++) {
        put(t, &idChars[pick(t, sizeof idChars - 1)], 1);
    }
}

// The targets of the sound statements: a few thousand, so that many repeat.
static void putTarget(Text *t)
{
    unsigned n = pick(t, 3000);
    static const char *const ports[] = {"3260", "3260", "3260", "860", "3261"};
    putf(t, "%u.%u.%u.%u %s", n % 3 == 0 ? 192U : 10U, n % 3 == 0 ? 168U : 20U,
         n / 256 % 256, n % 256, ports[n % 5]);
}

// A sound statement, without its line end.
static void putSound(Text *t)
{
    static const char *const spacing[] = {
        "target = ", "target=", "  target = ", "target\t=\t", "target = "};
    putText(t, oneOf(t, spacing));
    putTarget(t);
    putf(t, " %u ", 1 + pick(t, 8));
    static const char *const hosts[] = {"iqn.2024-01.com.example.db",
                                        "backup-host_",
                                        "iqn.2019-11.lan.storage.web", "h"};
    const char *host = oneOf(t, hosts);
    putf(t, "Initiator:%s%u,", host, pick(t, 100));
    putPassword(t, pick(t, 17));
}

static void makeSound(Text *t, unsigned)
{
    putSound(t);
    endLine(t);
}

// Sound statements followed by text that is not checked: blanks, remarks,
// UTF-8, invalid UTF-8, a C1 control and a line separator in UTF-8.
static const char *const trailers[] = {
    " # primary path",
    "\t\tbackup",
    " # Speicher f\xc3\xbcr die Datenbank \xe2\x80\x93 Raum 3 \xe2\x9c\x93",
    (" \xd1\x85\xd1\x80\xd0\xb0\xd0\xbd\xd0\xb8\xd0\xbb\xd0\xb8\xd1\x89\xd0\xb5"
     " "
     "\xe5\xad\x98\xe5\x82\xa8"),
    " old \xff\xfe value \xc3\x28 \xc0\xaf \xed\xa0\x80 \x80",
    " next\xc2\x85line \xe2\x80\xa8 sep",
    " ;",
};

static void makeTrailing(Text *t, unsigned variant)
{
    putSound(t);
    putText(t, trailers[variant]);
    endLine(t);
}

// Statements whose numbers draw a warning: a leading zero, an address number
// over 255, port 0, a port over 65535, a count over 65535 (also one that
// wraps to a negative count, and one on a faulty statement).
static void makeNumbers(Text *t, unsigned variant)
{
    // Every number is drawn in its own statement: the order in which a
    // call's arguments are evaluated is the compiler's choice.
    unsigned a = pick(t, 256);
    unsigned b = pick(t, 256);
    unsigned c = pick(t, 254);
    switch (variant) {
    case 0:
        putf(t, "target = 0%u.%03u.%u.%u 3260 2 Initiator:legacy,pw",
             10 + a % 90, a, b, 1 + c);
        break;
    case 1:
        putf(t, "target = %u.%u.%u.%u 3260 2 Initiator:wrap,pw",
             256 + pick(t, 744), a, 1000 + c * 35, b);
        break;
    case 2:
        putf(t, "target = 10.30.%u.%u 0 2 Initiator:portless,pw", a, b);
        break;
    case 3:
        putf(t, "target = 10.30.%u.%u %u 2 Initiator:bigport,pw", a, b,
             65536 + pick(t, 100000));
        break;
    case 4:
        putf(t, "target = 10.30.%u.%u 3260 %u Initiator:many,pw", a, b,
             65536 + pick(t, 1000000));
        break;
    case 5:
        putf(t, "target = 10.30.%u.%u 3260 %s Initiator:neg,pw", a, b,
             pick(t, 2) == 0 ? "2147483648" : "99999999999");
        break;
    default:
        putf(t, "target = 10.30.%u.%u 3260 %u Initiator:h!", a, b,
             70000 + pick(t, 1000));
        break;
    }
    endLine(t);
}

// Faulty statements, every error at least once.
static const char *const faults[] = {
    // parse
    "targets = 10.1.2.3 3260 2 Initiator:host,pw",
    "target 10.1.2.3 3260 2 Initiator:host,pw",
    "Target = 10.1.2.3 3260 2 Initiator:host,pw",
    "  # an indented remark is a statement",
    "[target]",
    "target: 10.1.2.3 3260 2 Initiator:host,pw",
    // address
    "target = 10..2.3 3260 2 Initiator:host,pw",
    "target = 10.1.2.3\t3260 2 Initiator:host,pw",
    "target = .1.2.3 3260 2 Initiator:host,pw",
    "target = 10.1.2.3.4 3260 2 Initiator:host,pw",
    "target = host.example.com 3260 2 Initiator:host,pw",
    // address-char
    "target = 10.1.2 3260 2 Initiator:host,pw",
    "target = 10,1,2,3 3260 2 Initiator:host,pw",
    "target = 10.1.2",
    "target = 10-1-2-3 3260 2 Initiator:host,pw",
    // port
    "target = 10.1.2.3 32a60 2 Initiator:host,pw",
    "target = 10.1.2.3 ",
    "target = 10.1.2.3 3260\t2 Initiator:host,pw",
    "target = 10.1.2.3 iscsi 2 Initiator:host,pw",
    // no-connections
    "target = 10.1.2.3 3260 0 Initiator:host,pw",
    "target = 10.1.2.3 3260 Initiator:host,pw",
    // missing-login-params
    "target = 10.1.2.3 3260",
    "target = 10.1.2.3 3260 2 ",
    // missing-keyword
    "target = 10.1.2.3 3260 2 initiator:host,pw",
    "target = 10.1.2.3 3260 2 Initiator=host,pw",
    "target = 10.1.2.3 3260 2 host,pw",
    // missing-identifier
    "target = 10.1.2.3 3260 2 Initiator:,pw",
    // identifier-char
    "target = 10.1.2.3 3260 2 Initiator:ho!st,pw",
    "target = 10.1.2.3 3260 2 Initiator:iqn.2024-01.com.example:db01,pw",
    // missing-comma
    "target = 10.1.2.3 3260 2 Initiator:iqn.2024-01.com.example.storage",
    "target = 10.1.2.3 3260 2 Initiator:host pw",
    // identifier-too-long
    ("target = 10.1.2.3 3260 2 "
     "Initiator:iqn.2024-01.com.example.storage.array-00001"
     ".controller-a.port-01,pw"),
    // password-char
    "target = 10.1.2.3 3260 2 Initiator:host,pw,x",
    "target = 10.1.2.3 3260 2 Initiator:host,p@ss",
    // password-too-long
    "target = 10.1.2.3 3260 2 Initiator:host,abcdefghijklmnopq",
    "target = 10.1.2.3 3260 2 Initiator:host,Str0ngSecret-2024-rotated",
    // chars-after-password
    "target = 10.1.2.3 3260 2 Initiator:host,abcdefghijklmnop!",
};
static const unsigned faultCount = sizeof faults / sizeof faults[0];

static void makeFault(Text *t, unsigned variant)
{
    putText(t, faults[variant]);
    endLine(t);
}

// Comments: plain, in UTF-8, with invalid UTF-8 and with control bytes.
static const char *const comments[] = {
    "# rack 12, shelf 3",
    "#",
    "# Speicherziele f\xc3\xbcr Rechenzentrum S\xc3\xbc"
    "d \xe2\x80\x93 \xc3\xa4nderungen bitte melden",
    "# \xe6\x95\xb0\xe6\x8d\xae\xe5\xba\x93\xe5\xad\x98\xe5\x82\xa8 "
    "\xf0\x9f\x92\xbe",
    "# exported from \xff\xfe legacy tool \xc3 \xe2\x82 \x80\x81",
    "# bell\x07 and delete\x7f and escape \x1b[2J",
    "#\ttarget = 10.0.0.9 3260 2 Initiator:retired,pw",
};

static void makeComment(Text *t, unsigned variant)
{
    putText(t, comments[variant]);
    endLine(t);
}

// Directives: malformed ones, and four good ones followed by the statement
// they cover.
static const char *const malformed[] = {
    "# iscsi-config-check: disable=leading-zeroes",
    "# iscsi-config-check: enable=long-line",
    "# iscsi-config-check: disable=parse",
    "# iscsi-config-check: disable= leading-zero",
    "# iscsi-config-check:",
    "# iscsi-config-check: disable=leading-zero,,port-range",
};
static const unsigned malformedCount = sizeof malformed / sizeof malformed[0];

static void makeDirective(Text *t, unsigned variant)
{
    if (variant < malformedCount) {
        putText(t, malformed[variant]);
        endLine(t);
        return;
    }
    switch (variant - malformedCount) {
    case 0:
        putText(t, "# iscsi-config-check: disable=leading-zero");
        endLine(t);
        putf(t, "target = 010.0.%u.1 3260 2 Initiator:legacy,pw", pick(t, 256));
        break;
    case 1:
        putText(t,
                "# iscsi-config-check: disable=duplicate-target,trailing-text");
        endLine(t);
        putSound(t);
        putText(t, " # moved");
        break;
    case 2:
        putText(t, "# iscsi-config-check: disable=all");
        endLine(t);
        putf(t, "target = 300.0.0.1 0 70000 Initiator:any,pw");
        break;
    default:
        putText(t, "# iscsi-config-check: disable-file=empty-file");
        break;
    }
    endLine(t);
}
static const unsigned directiveCount = malformedCount + 4;

static void makeEmpty(Text *t, unsigned variant)
{
    putText(t, variant == 0 ? "" : "   \t");
    endLine(t);
}

// Control and zero bytes inside statements.
struct Bytes {
    const char *text;
    size_t len;
};

// A string literal and its length, zero bytes included.
template <size_t N> static constexpr Bytes bytes(const char (&literal)[N])
{
    return {literal, N - 1};
}

static const Bytes controlLines[] = {
    bytes("target = 10.1.2.3 3260 2 Initiator:db01,pw\0 # old"),
    bytes("target = 10.1.2.3 3260 2 Initiator:ho\0st,pw"),
    bytes("target = 10.1.\0"
          "2.3 3260 2 Initiator:host,pw"),
    bytes("target = 10.1.2.3 3260 2 Initiator:host,pw \x1b]0;owned\x07"),
    bytes("target = 10.1.2.3 3260 2 Initiator:host,p\x7fw"),
    bytes("target = 10.1.2.3\x0b"
          "3260 2 Initiator:host,pw"),
    bytes("\x0ctarget = 10.1.2.3 3260 2 Initiator:host,pw"),
};

static void makeControl(Text *t, unsigned variant)
{
    put(t, controlLines[variant].text, controlLines[variant].len);
    endLine(t);
}
static const unsigned controlCount =
    sizeof controlLines / sizeof controlLines[0];

// UTF-8 and invalid UTF-8 in the checked fields.
static const char *const nonAsciiLines[] = {
    "target = 10.1.2.3 3260 2 Initiator:h\xc3\xb6st,pw",
    "target = 10.1.2.3 3260 2 Initiator:host,p\xc3\xa4sswort",
    "target = 10.1.2.3 3260 2 Initiator:host,\xff\xfe",
    "target = 10.1.2.3 3260 2 Initiator\xef\xbc\x9ahost,pw",
    "target = 10.1.2.\xd9\xa3 3260 2 Initiator:host,pw",
    ("target = 10.1.2.3 \xc0\xb3\xc0\xb2\xc0\xb6\xc0\xb0 2 "
     "Initiator:host,pw"),
    "\xe2\x80\x8btarget = 10.1.2.3 3260 2 Initiator:host,pw",
};

static void makeNonAscii(Text *t, unsigned variant)
{
    putText(t, nonAsciiLines[variant]);
    endLine(t);
}
static const unsigned nonAsciiCount =
    sizeof nonAsciiLines / sizeof nonAsciiLines[0];

// Lines of 512 bytes and more.
static void makeLong(Text *t, unsigned variant)
{
    size_t start = t->len;
    switch (variant) {
    case 0: {
        // A long comment: its text past byte 512 is judged as a statement.
        size_t length = 512 + pick(t, 989);
        putText(t, "# ");
        while (t->len - start < length) {
            static const char *const words[] = {
                "storage",  "rack", "moved",    "2024-01-15", "ticket",
                "OPS-1234", "per",  "the",      "vendor",     "notes:",
                "see",      "wiki", "migration"};
            putText(t, oneOf(t, words));
            putText(t, " ");
        }
        break;
    }
    case 1:
        // A commented-out target past byte 512, which comes back to life.
        putText(t, "#");
        padTo(t, start, 512);
        putSound(t);
        padTo(t, start, 600 + pick(t, 400));
        break;
    case 2: {
        // A statement padded with blanks before it.
        char blank = pick(t, 2) == 0 ? ' ' : '\t';
        fill(t, blank, 480 + pick(t, 600));
        putSound(t);
        break;
    }
    case 3:
        // A statement padded with blanks after it: the later pieces are blank.
        putSound(t);
        padTo(t, start, 512 + pick(t, 900));
        break;
    default: {
        // 600 to 1500 bytes, a statement in every 512-byte piece, the later
        // ones sound, faulty or repeating the first one's target.
        size_t length = 600 + pick(t, 901);
        size_t firstLen = 0;
        for (size_t offset = 0; offset < length; offset += 512) {
            size_t pieceStart = t->len;
            unsigned what = pick(t, 4);
            if (offset == 0 || what < 2) {
                putSound(t);
            } else if (what == 2) {
                putText(t, faults[pick(t, faultCount)]);
            } else {
                put(t, t->bytes + start, firstLen);
            }
            if (offset == 0) {
                firstLen = t->len - pieceStart;
            }
            padTo(t, pieceStart, length - offset < 512 ? length - offset : 512);
        }
        break;
    }
    }
    endLine(t);
}
static const unsigned longCount = 5;

// The kinds of item, the share of each in thousandths, and how many variants
// each has.
struct Generator {
    void (*make)(Text *, unsigned);
    unsigned weight;
    unsigned variants;
};

static const Generator generators[] = {
    {makeSound, 425, 1},
    {makeTrailing, 40, sizeof trailers / sizeof trailers[0]},
    {makeNumbers, 100, 7},
    {makeFault, 200, faultCount},
    {makeComment, 60, sizeof comments / sizeof comments[0]},
    {makeDirective, 20, directiveCount},
    {makeEmpty, 40, 2},
    {makeControl, 40, controlCount},
    {makeNonAscii, 30, nonAsciiCount},
    {makeLong, 45, longCount},
};
static const unsigned generatorCount = sizeof generators / sizeof generators[0];

static bool writeText(const Text *t, long long *written)
{
    if (fwrite(t->bytes, 1, t->len, stdout) != t->len) {
        return false;
    }
    *written += static_cast<long long>(t->len);
    return true;
}

static int writeFaults(long long limit, uint64_t state)
{
    static Text text;
    text.state = &state;
    long long written = 0;

    // A byte order mark, then every variant of every generator once, so that
    // even a small file has them all; then items drawn by their weights.
    text.len = 0;
    putText(&text,
            "\xef\xbb\xbf# iSCSI targets, exported with a byte order mark");
    endLine(&text);
    if (written < limit && !writeText(&text, &written)) {
        return 1;
    }
    for (unsigned g = 0; g < generatorCount; g++) {
        for (unsigned v = 0; v < generators[g].variants && written < limit;
             v++) {
            text.len = 0;
            generators[g].make(&text, v);
            if (!writeText(&text, &written)) {
                return 1;
            }
        }
    }
    unsigned total = 0;
    for (unsigned g = 0; g < generatorCount; g++) {
        total += generators[g].weight;
    }
    while (written < limit) {
        unsigned draw = below(&state, total);
        unsigned g = 0;
        while (draw >= generators[g].weight) {
            draw -= generators[g].weight;
            g++;
        }
        text.len = 0;
        generators[g].make(&text, below(&state, generators[g].variants));
        if (!writeText(&text, &written)) {
            return 1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// clean: distinct sound targets, no warning of any kind.

// The addresses of 8 characters: three numbers of one digit and one of two
// (10 to 99), 4 * 90 * 1000 of them. With port 3260, a count of one digit,
// an identifier and a password of one character each, every line is 39
// bytes.
static const unsigned cleanCandidates = 4 * 90 * 1000;
static const unsigned cleanLines = 300000;

static int writeClean(uint64_t state)
{
    static uint32_t order[cleanCandidates];
    for (unsigned i = 0; i < cleanCandidates; i++) {
        order[i] = i;
    }
    static const char alnum[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (unsigned i = 0; i < cleanLines; i++) {
        // A shuffle drawn one step at a time: every address at most once.
        unsigned j = i + below(&state, cleanCandidates - i);
        uint32_t c = order[j];
        order[j] = order[i];
        order[i] = c;

        unsigned wide = c / 90000; // which number has two digits
        unsigned twoDigits = 10 + c % 90000 / 1000;
        unsigned ones = c % 1000; // the other three, a digit each
        unsigned n[4];
        for (unsigned k = 0, d = 100; k < 4; k++) {
            if (k == wide) {
                n[k] = twoDigits;
            } else {
                n[k] = ones / d % 10;
                d /= 10;
            }
        }
        unsigned count = 1 + below(&state, 9);
        char id = alnum[below(&state, sizeof alnum - 1)];
        char password = idChars[below(&state, sizeof idChars - 1)];
        if (printf("target = %u.%u.%u.%u 3260 %u Initiator:%c,%c\n", n[0], n[1],
                   n[2], n[3], count, id, password) < 0) {
            return 1;
        }
    }
    return 0;
}

// The clean file with long fields: every line distinct up to 2^24 lines
// (1.1 GB), past which the addresses come round again.
static int writeCleanLong(long long limit)
{
    long long written = 0;
    for (unsigned long j = 0; written < limit; j++) {
        int n =
            printf("target = 10.%lu.%lu.%lu 3260 %lu Initiator:user%lu,"
                   "password%lu\n",
                   j >> 16 & 0xFF, j >> 8 & 0xFF, j & 0xFF, 1 + j % 8, j, j);
        if (n < 0) {
            return 1;
        }
        written += n;
    }
    return 0;
}

// ---------------------------------------------------------------------------

// The seed of each mode when --seed is not given.
static const uint64_t defaultSeed[] = {
    0x9E3779B97F4A7C15ULL, // mix
    0xD1B54A32D192ED03ULL, // faults
    0x2545F4914F6CDD1DULL, // clean
};

static int usage(const char *message)
{
    fprintf(stderr,
            "gen_config: %s\nUSAGE: gen_config [--mode=mix|faults|clean] "
            "[--long-fields] [--seed=N] [BYTES]\n",
            message);
    return 2;
}

int main(int argc, char **argv)
{
    long long limit = 100000000LL;
    int mode = 0;
    bool seeded = false;
    uint64_t seed = 0;
    bool sized = false;
    bool longFields = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strncmp(arg, "--mode=", 7) == 0) {
            const char *name = arg + 7;
            if (strcmp(name, "mix") == 0) {
                mode = 0;
            } else if (strcmp(name, "faults") == 0) {
                mode = 1;
            } else if (strcmp(name, "clean") == 0) {
                mode = 2;
            } else {
                return usage("unknown mode");
            }
        } else if (strcmp(arg, "--long-fields") == 0) {
            longFields = true;
        } else if (strncmp(arg, "--seed=", 7) == 0) {
            char *end = nullptr;
            errno = 0;
            seed = strtoull(arg + 7, &end, 0);
            if (arg[7] == '\0' || *end != '\0' || errno != 0 || seed == 0) {
                return usage("the seed is a number other than 0");
            }
            seeded = true;
        } else if (strncmp(arg, "--", 2) == 0) {
            return usage("unknown option");
        } else if (!sized) {
            limit = atoll(arg);
            sized = true;
        } else {
            return usage("one size at most");
        }
    }
    if (longFields && mode != 2) {
        return usage("--long-fields goes with --mode=clean");
    }
    uint64_t state = seeded ? seed : defaultSeed[mode];

    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    int status = 0;
    if (mode == 0) {
        status = writeMix(limit, state);
    } else if (mode == 1) {
        status = writeFaults(limit, state);
    } else if (longFields) {
        status = writeCleanLong(limit);
    } else {
        status = writeClean(state);
    }
    if (status != 0) {
        return 1;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}
