// The warnings the reader finds on numbers, on the text after a statement
// and on the line itself, and the order they are handed over in.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "reader/judge.h"

// The value of the digits from `start` to `end` as written, whatever their
// number: it saturates at the largest 64-bit value, over every limit.
// `taken` is their value modulo 2^32, which is the value itself for nine
// digits or fewer (the common case, which needs no second pass).
uint64_t writtenValue(const char *line, size_t start, size_t end,
                      uint32_t taken)
{
    if (end - start <= 9) {
        return taken;
    }
    const uint64_t limit = (UINT64_MAX - 9) / 10;
    uint64_t value = 0;
    for (size_t k = start; k < end; k++) {
        if (value > limit) {
            return UINT64_MAX;
        }
        value = value * 10 + static_cast<uint64_t>(line[k] - '0');
    }
    return value;
}

// The warnings on address number digits from `start` to `end` (`offset`
// places them in the physical line), whose value modulo 2^32 is `taken`.
static void warnOnAddressNumber(WarningState *warn, const char *line,
                                size_t start, size_t end, size_t offset,
                                uint32_t taken)
{
    if (end - start >= 2 && line[start] == '0') {
        addWarning(warn, WARN_LEADING_ZERO, offset + start);
    }
    if (writtenValue(line, start, end, taken) > 255) {
        addWarning(warn, WARN_ADDRESS_RANGE, offset + start, taken & 0xFFU);
    }
}

// The warnings on the first `numbers` address numbers from `start`, read
// again: each digits, then a dot.
void warnOnAddress(WarningState *warn, const char *line, size_t start,
                   size_t numbers, size_t offset)
{
    size_t pos = start;
    for (size_t k = 0; k < numbers; k++) {
        size_t digitsStart = pos;
        uint32_t taken = 0;
        while (line[pos] >= '0' && line[pos] <= '9') {
            taken = taken * 10U + static_cast<uint32_t>(line[pos] - '0');
            pos++;
        }
        warnOnAddressNumber(warn, line, digitsStart, pos, offset, taken);
        pos++; // the dot
    }
}

// The warnings on port digits, whose value modulo 2^32 is `taken`.
void warnOnPort(WarningState *warn, const char *line, size_t start, size_t end,
                size_t offset, uint32_t taken)
{
    uint64_t written = writtenValue(line, start, end, taken);
    if (written == 0) {
        addWarning(warn, WARN_PORT_RANGE, offset + start, 0, 1);
    } else if (written > 65535) {
        addWarning(warn, WARN_PORT_RANGE, offset + start, taken & 0xFFFFU);
    }
}

// Text after sound login parameters that nobody checks: anything but blanks
// and one final carriage return before the end (the first zero byte).
void warnOnTrailingText(WarningState *warn, const char *line, size_t fieldEnd,
                        size_t offset)
{
    size_t pos = skipBlanks(line, fieldEnd);
    if (line[pos] == '\0' || (line[pos] == '\r' && line[pos + 1] == '\0')) {
        return;
    }
    addWarning(warn, WARN_TRAILING_TEXT, offset + pos);
}

// Puts the line's warnings in order of position, then of kind (a handful at
// most, so insertion sort).
void sortWarnings(WarningState *warn)
{
    for (size_t k = 1; k < warn->count; k++) {
        Warning moved = warn->found[k];
        size_t j = k;
        while (j > 0 && (warn->found[j - 1].pos > moved.pos ||
                         (warn->found[j - 1].pos == moved.pos &&
                          warn->found[j - 1].kind > moved.kind))) {
            warn->found[j] = warn->found[j - 1];
            j--;
        }
        warn->found[j] = moved;
    }
}

// True for a control character: C0 but the tab, and DEL.
static bool isControl(unsigned char c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

#if defined(__SSE2__)

// The control characters among the sixteen bytes at `bytes`, one bit each
// (bit k for byte k): a byte at most 0x1F, the tab excepted, or 0x7F.
static unsigned controlMask(const unsigned char *bytes)
{
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
    // A saturated subtraction of 0x1F leaves zero for the bytes up to it.
    __m128i low = _mm_cmpeq_epi8(_mm_subs_epu8(v, _mm_set1_epi8(0x1F)),
                                 _mm_setzero_si128());
    __m128i tab = _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'));
    __m128i del = _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F));
    __m128i control = _mm_or_si128(_mm_andnot_si128(tab, low), del);
    return static_cast<unsigned>(_mm_movemask_epi8(control));
}

// The first control character of the `len` bytes at `bytes`, or
// noPosition: sixteen bytes at a time, where the last sixteen may overlap
// the sixteen before them, whose bytes are then known to be no control
// characters. With -W all, every comment line passes here, and what follows
// the login parameters of a statement.
static size_t firstControl(const unsigned char *bytes, size_t len)
{
    if (len >= 16) {
        size_t at = 0;
        for (; len - at >= 16; at += 16) {
            unsigned mask = controlMask(bytes + at);
            if (mask != 0) {
                return at + static_cast<size_t>(__builtin_ctz(mask));
            }
        }
        if (at < len) {
            at = len - 16;
            unsigned mask = controlMask(bytes + at);
            if (mask != 0) {
                return at + static_cast<size_t>(__builtin_ctz(mask));
            }
        }
        return noPosition;
    }
    for (size_t at = 0; at < len; at++) {
        if (isControl(bytes[at])) {
            return at;
        }
    }
    return noPosition;
}

#else

// A high bit set for some byte of `word` that is under 0x20 or equal to
// 0x7F, and none when there is no such byte.
static uint64_t suspectBytes(uint64_t word)
{
    const uint64_t ones = 0x0101010101010101ULL;
    const uint64_t highs = 0x8080808080808080ULL;
    uint64_t del = word ^ (ones * 0x7F);
    return (((word - ones * 0x20) & ~word) | ((del - ones) & ~del)) & highs;
}

// The first control character of the `len` bytes at `bytes`, or
// noPosition, where SSE2 is not at hand. Sixteen bytes are looked at a
// time, for a byte under 0x20 or equal to 0x7F (a tab among them sends the
// sixteen to the byte-wise test).
static size_t firstControl(const unsigned char *bytes, size_t len)
{
    const unsigned char *end = bytes + len;
    const unsigned char *at = bytes;
    for (; end - at >= 16; at += 16) {
        uint64_t words[2];
        memcpy(words, at, sizeof words);
        if ((suspectBytes(words[0]) | suspectBytes(words[1])) == 0) {
            continue;
        }
        for (const unsigned char *byte = at; byte < at + 16; byte++) {
            if (isControl(*byte)) {
                return static_cast<size_t>(byte - bytes);
            }
        }
    }
    for (; at < end; at++) {
        if (isControl(*at)) {
            return static_cast<size_t>(at - bytes);
        }
    }
    return noPosition;
}

#endif

// Drops the line's warnings that the file's directives turn off.
void dropTurnedOff(WarningState *warn, WarningSet off)
{
    if (off == 0) {
        return;
    }
    size_t kept = 0;
    for (size_t k = 0; k < warn->count; k++) {
        if ((off & warningBit(warn->found[k].kind)) == 0) {
            warn->found[kept++] = warn->found[k];
        } else if (warn->found[k].kind == WARN_CARRIAGE_RETURN) {
            // A once-per-file warning turned off on its line is not yet
            // told: the file's next such line is.
            warn->carriageReturnSeen = false;
        }
    }
    warn->count = kept;
}

// The byte order mark warning, for the first piece of line 1.
void warnOnByteOrderMark(WarningState *warn, const char *line, size_t count)
{
    if (count >= byteOrderMarkBytes.size() &&
        memcmp(line, byteOrderMarkBytes.data(), byteOrderMarkBytes.size()) ==
            0) {
        addWarning(warn, WARN_BOM, 0);
    }
}

// The first control character of the physical line, looked for from `from`
// to `end` of this piece unless an earlier piece had one.
void warnOnControl(WarningState *warn, const char *line, size_t from,
                   size_t end, size_t offset)
{
    if (warn->controlSeen ||
        (warn->enabled & warningBit(WARN_CONTROL_CHAR)) == 0) {
        return;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(line);
    size_t at = firstControl(bytes + from, end - from);
    if (at != noPosition) {
        at += from;
        warn->controlSeen = true;
        addWarning(warn, WARN_CONTROL_CHAR, offset + at, bytes[at],
                   bytes[at] == 0 ? 1 : 0);
    }
}
