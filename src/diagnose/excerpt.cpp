// What a view of a line shows: the piece judged, with every byte from the
// line's hide point on replaced by one mask, so that neither a password nor
// its length shows; and the columns in characters that SARIF declares.
#include <cstring>

#include "diagnose/step.h"

// What stands for the hidden bytes of a line, whatever their number.
static const std::string_view passwordMask = "********";

// How a byte of the line is shown: printable ASCII as itself, a tab as a
// space, anything else as '?', so that every byte takes one column.
static char shownByte(char c)
{
    if (c == '\t') {
        return ' ';
    }
    return c >= 0x20 && c < 0x7F ? c : '?';
}

void setExcerpt(Diagnostic *diagnostic, const SourcePiece &piece, size_t hide,
                LineBuffer *shown)
{
    size_t column = diagnostic->pos - piece.offset;
    size_t visible = piece.len;
    if (hide != noPosition && hide < piece.offset + piece.len) {
        visible = hide > piece.offset ? hide - piece.offset : 0;
    }
    shown->clear();
    char *out = shown->reserve(visible + passwordMask.size());
    size_t k = 0;
#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
    // Sixteen bytes at a time where the machine has SSE2 and the build does
    // not ask for the byte-at-a-time scan (as the reader's login scan): a
    // byte at a time costs every diagnostic of the tty format some six
    // instructions for each byte of its line. As signed bytes, those from
    // 0x80 on are below 0x20 too.
    typedef signed char Bytes __attribute__((vector_size(16)));
    for (; k + 16 <= visible; k += 16) {
        Bytes bytes;
        memcpy(&bytes, piece.text + k, sizeof bytes);
        Bytes printable = (bytes >= 0x20) & (bytes != 0x7F);
        Bytes tab = bytes == '\t';
        Bytes other = (tab & ' ') | (~tab & '?');
        Bytes result = (bytes & printable) | (other & ~printable);
        memcpy(out + k, &result, sizeof result);
    }
#endif
    for (; k < visible; k++) {
        out[k] = shownByte(piece.text[k]);
    }
    shown->commit(out + visible);
    if (visible < piece.len) {
        shown->append(passwordMask);
        column = column < visible ? column : visible;
    }
    diagnostic->excerpt = shown->view();
    diagnostic->excerptColumn = column;
}

size_t characterColumn(const SourcePiece &piece, size_t pos)
{
    if (pos < piece.offset) {
        // An earlier piece's hide point, to which the column was held.
        return historyOf(piece).hideChars + 1;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(piece.text);
    return countChars(historyOf(piece).charsBefore, bytes, piece.len,
                      pos - piece.offset) +
           1;
}
