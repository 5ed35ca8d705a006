// UTF-8 as the checker reads it: valid sequences, and the characters of a
// physical line counted across the pieces it is judged in (a valid sequence
// is one character, each byte that is not part of one is one more).
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_UTF8_H
#define ISCSI_CONFIG_CHECK_SUPPORT_UTF8_H

#include <cstddef>

// The length of the valid UTF-8 sequence that begins `text` (`len` bytes
// available), or 0 when the bytes there do not begin one.
size_t utf8SequenceLen(const unsigned char *text, size_t len);

// The characters of a physical line before a piece: how many begin in the
// earlier pieces, and the bytes of a sequence that the last of them left
// unfinished (counted already, if the next piece completes it).
struct CharCount {
    size_t chars;
    unsigned char pending[3];
    size_t pendingLen;
};

// Counts the characters that begin in the first `stop` of the `len` bytes of
// a piece, after `before`. Returns the count from the line's start; with
// `after`, also sets the count at the piece's end, for the next piece.
size_t countChars(const CharCount &before, const unsigned char *piece,
                  size_t len, size_t stop, CharCount *after = nullptr);

#endif
