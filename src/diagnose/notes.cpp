// The notes that follow an error, naming the causes people actually hit,
// and whether --fix mends what a diagnostic is about.
#include "diagnose/step.h"

static const char byteOrderMark[] = "\xEF\xBB\xBF";

static bool isBlankByte(char c)
{
    return c == ' ' || c == '\t';
}

static bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether `word` is close to `keyword` but not it: the same but for letter
// case, or at most two edits away.
static bool closeTo(std::string_view word, std::string_view keyword)
{
    if (word.empty() || word == keyword) {
        return false;
    }
    if (word.size() == keyword.size()) {
        bool sameButCase = true;
        for (size_t k = 0; k < word.size() && sameButCase; k++) {
            sameButCase = (word[k] | 0x20) == (keyword[k] | 0x20);
        }
        if (sameButCase) {
            return true;
        }
    }
    return editDistance(word, keyword) <= 2;
}

// The word at `at` of the piece: its letters, and with `colon` a ':' after
// them; never past `end`.
static std::string_view wordAt(const SourcePiece &piece, size_t at, size_t end,
                               bool colon)
{
    size_t k = at;
    while (k < end && isLetter(piece.text[k])) {
        k++;
    }
    if (colon && k < end && piece.text[k] == ':') {
        k++;
    }
    return {piece.text + at, k - at};
}

size_t findNotes(const Verdict *verdict, const CheckInfo *check, Note *notes)
{
    const SourcePiece &piece = verdict->source;
    const char *text = piece.text;
    size_t len = piece.len;
    size_t at = verdict->pos - piece.offset; // the byte at fault, in the piece
    FaultKind fault = static_cast<FaultKind>(check->kind);
    size_t count = 0;
    auto add = [&](NoteKind kind, size_t pos) {
        notes[count++] = {noteText(kind), piece.offset + pos, 0};
    };
    // Where the line's bytes begin to be hidden, in the piece; the notes
    // that would tell of a byte from there on are left out.
    size_t hide = hidePoint(piece);
    hide = hide == noPosition ? len : hide > piece.offset ? hide - piece.offset : 0;

    if (verdict->lineNum == 1 && piece.offset == 0 && at < 3 && len >= 3 &&
        std::string_view(text, 3) == byteOrderMark) {
        add(NOTE_BOM, 0);
    }
    if (piece.lastPiece && at < len && text[at] == '\r') {
        size_t k = at;
        while (k < len && text[k] == '\r') {
            k++;
        }
        if (k == len) {
            add(NOTE_CRLF, at);
        }
    }
    if (fault == FAULT_PARSE) {
        size_t first = 0;
        while (first < len && isBlankByte(text[first])) {
            first++;
        }
        size_t end = len;
        while (end > first && text[end - 1] == '\r') {
            end--;
        }
        if (first > 0 && first == end && piece.offset == 0 && piece.lastPiece) {
            add(NOTE_BLANK_LINE, 0);
        } else if (first > 0 && first == at && at < len && text[at] == '#') {
            add(NOTE_INDENTED_COMMENT, at);
        } else if (first < hide &&
                   closeTo(wordAt(piece, first, hide, false), "target")) {
            add(NOTE_TARGET_KEYWORD, first);
        }
    } else if (fault == FAULT_MISSING_KEYWORD) {
        size_t field = static_cast<size_t>(verdict->loginParams - text);
        if (field < hide &&
            closeTo(wordAt(piece, field, hide, true), loginKeyword)) {
            add(NOTE_INITIATOR_KEYWORD, field);
        }
    } else if (fault == FAULT_IDENTIFIER_CHAR && at < hide &&
               text[at] == ':') {
        add(NOTE_IQN_COLON, at);
    }
    return count;
}

bool findFix(const Verdict *verdict, const Warning *warning, FixEdit *edits, size_t *editCount)
{
    const SourcePiece &piece = verdict->source;
    if (piece.offset != 0 || !piece.lastPiece ||
        piece.len > longestFixedLine) {
        return false;
    }
    bool firstLine = verdict->lineNum == 1;
    LineFix fixes[maxLineFixes];
    size_t count = findLineFixes(piece.text, piece.len, firstLine, fixes);
    // The fixes that mend what the diagnostic is about: for an error, all
    // but the zeros, when the line mended is sound; for a warning, its
    // cause's.
    bool fixable = false;
    size_t chosen = 0;
    for (size_t k = 0; k < count; k++) {
        const LineFix &fix = fixes[k];
        bool mends = false;
        if (warning == nullptr) {
            mends = fix.cause != FixCause::leadingZero;
        } else if (warning->kind == WARN_BOM) {
            mends = fix.cause == FixCause::byteOrderMark;
        } else if (warning->kind == WARN_CARRIAGE_RETURN) {
            mends = fix.cause == FixCause::carriageReturn;
        } else if (warning->kind == WARN_LEADING_ZERO) {
            mends = fix.cause == FixCause::leadingZero &&
                    fix.start == warning->pos;
        }
        if (mends) {
            fixes[chosen++] = fix;
        }
    }
    fixable = chosen > 0 && (warning != nullptr ||
                             fixedLineIsSound(piece.text, piece.len, firstLine));
    if (edits == nullptr || !fixable) {
        return fixable;
    }
    // Each deleted byte lies before the hide point, or none is given.
    size_t hide = hidePoint(piece);
    *editCount = 0;
    if (hide != noPosition && fixes[chosen - 1].end > hide) {
        return fixable;
    }
    for (size_t k = 0; k < chosen; k++) {
        edits[k] = {characterColumn(piece, fixes[k].start),
                    characterColumn(piece, fixes[k].end)};
    }
    *editCount = chosen;
    return fixable;
}
