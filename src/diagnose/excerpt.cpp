// What a view of a line shows: the piece judged, with every byte from the
// line's hide point on replaced by one mask, so that neither a password nor
// its length shows; and the columns in characters that SARIF declares.
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
    for (size_t k = 0; k < visible; k++) {
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
