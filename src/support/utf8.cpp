#include "support/utf8.h"

#include <cstdint>
#include <cstring>

// The length of the sequence that `lead` begins (0 for a byte that begins
// none), and the bounds of its second byte: no overlong forms, no
// surrogates, nothing past U+10FFFF.
static size_t sequenceBounds(unsigned char lead, unsigned char *low,
                             unsigned char *high)
{
    *low = 0x80;
    *high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        *low = lead == 0xE0 ? 0xA0 : 0x80;
        *high = lead == 0xED ? 0x9F : 0xBF;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        *low = lead == 0xF0 ? 0x90 : 0x80;
        *high = lead == 0xF4 ? 0x8F : 0xBF;
        return 4;
    }
    return 0;
}

// The length of the sequence that `text` begins when its `len` bytes are
// valid as far as they go, or 0.
static size_t validPrefix(const unsigned char *text, size_t len)
{
    unsigned char low = 0;
    unsigned char high = 0;
    size_t need = sequenceBounds(text[0], &low, &high);
    if (need == 0 || (len > 1 && (text[1] < low || text[1] > high))) {
        return 0;
    }
    for (size_t k = 2; k < need && k < len; k++) {
        if ((text[k] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return need;
}

size_t utf8SequenceLen(const unsigned char *text, size_t len)
{
    size_t need = validPrefix(text, len);
    return need <= len ? need : 0;
}

// The high bit of each byte of a 64-bit word: set in none of eight ASCII
// bytes.
static const uint64_t highBits = 0x8080808080808080ULL;

size_t countChars(const CharCount &before, const unsigned char *piece,
                  size_t len, size_t stop, CharCount *after)
{
    size_t chars = before.chars;
    size_t k = 0;
    if (before.pendingLen > 0) {
        // The unfinished sequence, completed from this piece if it can be.
        unsigned char joined[4];
        size_t more = len < 4 - before.pendingLen ? len : 4 - before.pendingLen;
        memcpy(joined, before.pending, before.pendingLen);
        memcpy(joined + before.pendingLen, piece, more);
        size_t need = utf8SequenceLen(joined, before.pendingLen + more);
        if (need > 0) {
            k = need - before.pendingLen; // its first byte counted it
        } else {
            chars += before.pendingLen - 1; // each of its bytes is one
        }
    }
    size_t atStop = static_cast<size_t>(-1);
    size_t pendingLen = 0;
    while (k < len) {
        if (k >= stop && atStop == static_cast<size_t>(-1)) {
            atStop = chars;
            if (after == nullptr) {
                return atStop;
            }
        }
        if (piece[k] < 0x80) {
            // A run of ASCII, as far as the stop or the end: eight bytes at
            // a time while none has its high bit set, then byte by byte.
            size_t limit = k < stop ? stop : len;
            size_t run = k;
            while (limit - run >= sizeof(uint64_t)) {
                uint64_t word = 0;
                memcpy(&word, piece + run, sizeof word);
                if ((word & highBits) != 0) {
                    break;
                }
                run += sizeof word;
            }
            while (run < limit && piece[run] < 0x80) {
                run++;
            }
            chars += run - k;
            k = run;
            continue;
        }
        size_t n = validPrefix(piece + k, len - k);
        chars++;
        if (n > len - k) {
            // Valid as far as the piece goes: the next may complete it.
            pendingLen = len - k;
            break;
        }
        k += n == 0 ? 1 : n;
    }
    if (after != nullptr) {
        after->chars = chars;
        after->pendingLen = pendingLen;
        memcpy(after->pending, piece + len - pendingLen, pendingLen);
    }
    return atStop == static_cast<size_t>(-1) ? chars : atStop;
}
