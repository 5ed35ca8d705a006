// The hide point of a line: where a password may begin, so that no view of
// the line and no column of a diagnostic tells a password or its length.
#include <cstring>

#include "reader/judge.h"

// The hide point of the `len` bytes at `text` taken alone, counted from
// their start, when the colon or comma that sets it lies among the first
// `upTo` of them; noPosition otherwise.
static size_t hidePointIn(const char *text, size_t len, size_t upTo)
{
    const auto *colon = static_cast<const char *>(memchr(text, ':', upTo));
    const auto *comma = static_cast<const char *>(memchr(text, ',', upTo));
    if (colon == nullptr && comma == nullptr) {
        return noPosition;
    }
    if (colon == nullptr || (comma != nullptr && comma < colon)) {
        return static_cast<size_t>(comma - text) + 1;
    }
    // The first comma after the colon, which is the line's first: it sets
    // the hide point when it stands in the colon's field, the bytes after
    // the colon up to the next blank or to the end of what has been read.
    if (comma == nullptr && upTo < len) {
        comma = static_cast<const char *>(memchr(text + upTo, ',', len - upTo));
    }
    if (comma == nullptr) {
        return static_cast<size_t>(colon - text) + 1;
    }
    size_t between = static_cast<size_t>(comma - colon);
    if (memchr(colon, ' ', between) != nullptr ||
        memchr(colon, '\t', between) != nullptr) {
        return static_cast<size_t>(colon - text) + 1;
    }
    return static_cast<size_t>(comma - text) + 1;
}

size_t hidePoint(const SourcePiece &piece)
{
    size_t before = historyOf(piece).hideBefore;
    if (before != noPosition) {
        return before;
    }
    size_t here = hidePointIn(piece.text, piece.len, piece.len);
    return here == noPosition ? noPosition : piece.offset + here;
}

size_t hidePointBefore(const SourcePiece &piece, size_t pos)
{
    size_t before = historyOf(piece).hideBefore;
    if (before != noPosition) {
        return before;
    }
    size_t upTo =
        pos - piece.offset < piece.len ? pos - piece.offset : piece.len;
    size_t here = hidePointIn(piece.text, piece.len, upTo);
    return here == noPosition ? noPosition : piece.offset + here;
}

size_t faultHidePoint(const Verdict *verdict)
{
    const SourcePiece &piece = verdict->source;
    size_t before = historyOf(piece).hideBefore;
    if (before != noPosition) {
        return before;
    }
    switch (verdict->fault) {
    case FAULT_PARSE:
    case FAULT_ADDRESS:
    case FAULT_ADDRESS_CHAR:
    case FAULT_PORT:
    case FAULT_MISSING_LOGIN_PARAMS:
    case FAULT_MISSING_KEYWORD:
        // Blanks, "target", "=", digits and dots, and the beginning of the
        // keyword up to its colon.
        return noPosition;
    case FAULT_MISSING_IDENTIFIER:
    case FAULT_PASSWORD_CHAR:
    case FAULT_CHARS_AFTER_PASSWORD:
    case FAULT_PASSWORD_TOO_LONG: {
        // The comma that ends the identifier, at or before the fault.
        const char *identifier = verdict->loginParams + loginKeywordLen;
        size_t upTo = verdict->pos - piece.offset -
                      static_cast<size_t>(identifier - piece.text) + 1;
        const auto *comma =
            static_cast<const char *>(memchr(identifier, ',', upTo));
        if (comma != nullptr) {
            return piece.offset + static_cast<size_t>(comma - piece.text) + 1;
        }
        break;
    }
    case FAULT_IDENTIFIER_CHAR:
    case FAULT_MISSING_COMMA:
    case FAULT_IDENTIFIER_TOO_LONG: {
        // The keyword's colon; the identifier's characters before the fault
        // hold neither comma nor blank, so the line's first comma, if the
        // colon's field holds it, stands at or past the fault.
        const char *colon = verdict->loginParams + loginKeywordLen - 1;
        const char *at = piece.text + (verdict->pos - piece.offset);
        size_t rest = piece.len - (verdict->pos - piece.offset);
        const auto *comma = static_cast<const char *>(memchr(at, ',', rest));
        const char *hide = colon + 1;
        if (comma != nullptr) {
            auto between = static_cast<size_t>(comma - at);
            if (memchr(at, ' ', between) == nullptr &&
                memchr(at, '\t', between) == nullptr) {
                hide = comma + 1;
            }
        }
        return piece.offset + static_cast<size_t>(hide - piece.text);
    }
    default:
        break;
    }
    return hidePointBefore(piece, verdict->pos);
}

void rememberHidePoint(LineHistory *history, const char *piece, size_t count,
                       size_t offset, bool chars)
{
    if (history->hideBefore != noPosition) {
        return;
    }
    size_t here = hidePointIn(piece, count, count);
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
