// The hide point of a line: where a password may begin, so that no view of
// the line and no column of a diagnostic tells a password or its length.
#include <cstring>

#include "reader/judge.h"

// The hide point of the `len` bytes at `text` taken alone, counted from
// their start, or noPosition.
static size_t hidePointIn(const char *text, size_t len)
{
    const auto *colon = static_cast<const char *>(memchr(text, ':', len));
    const auto *comma = static_cast<const char *>(memchr(text, ',', len));
    if (colon == nullptr && comma == nullptr) {
        return noPosition;
    }
    if (colon == nullptr || (comma != nullptr && comma < colon)) {
        return static_cast<size_t>(comma - text) + 1;
    }
    // The colon's field: the bytes after it up to the next blank, or to the
    // end of what has been read.
    const char *end = text + len;
    const char *fieldEnd = colon + 1;
    while (fieldEnd < end && !isBlank(*fieldEnd)) {
        fieldEnd++;
    }
    if (comma != nullptr && comma < fieldEnd) {
        return static_cast<size_t>(comma - text) + 1;
    }
    return static_cast<size_t>(colon - text) + 1;
}

size_t hidePoint(const SourcePiece &piece)
{
    size_t before = historyOf(piece).hideBefore;
    if (before != noPosition) {
        return before;
    }
    size_t here = hidePointIn(piece.text, piece.len);
    return here == noPosition ? noPosition : piece.offset + here;
}

void rememberHidePoint(LineHistory *history, const char *piece, size_t count,
                       size_t offset, bool chars)
{
    if (history->hideBefore != noPosition) {
        return;
    }
    size_t here = hidePointIn(piece, count);
    if (here == noPosition) {
        return;
    }
    history->hideBefore = offset + here;
    if (chars) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(piece);
        history->hideChars =
            countChars(history->charsBefore, bytes, count, here);
    }
}
