// The notes that follow an error, naming the causes people actually hit,
// and whether --fix mends what a diagnostic is about.
#include "diagnose/step.h"

static bool isBlankByte(char c)
{
    return c == ' ' || c == '\t';
}

// Whether the first `count` bytes of `text` are all blanks.
static bool allBlanks(const char *text, size_t count)
{
    for (size_t k = 0; k < count; k++) {
        if (!isBlankByte(text[k])) {
            return false;
        }
    }
    return true;
}

// Whether the bytes before `at` are blanks, then "target", then blanks (a
// letter right after the keyword would make another word).
static bool followsKeyword(const char *text, size_t at)
{
    // Blanks are looked at only so far back, and forward: a note is a
    // hint, and a long run of blanks before a fault is not worth one.
    const size_t farthest = 64;
    size_t end = at;
    while (end > 0 && at - end < maxBlanksAfterKeyword &&
           isBlankByte(text[end - 1])) {
        end--;
    }
    return end >= 6 && end - 6 <= farthest &&
           std::string_view(text + end - 6, 6) == "target" &&
           (end < at || !((text[at] >= 'a' && text[at] <= 'z') ||
                          (text[at] >= 'A' && text[at] <= 'Z'))) &&
           allBlanks(text, end - 6);
}

static bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether `word` is close to `keyword` but not it: the same but for letter
// case, or at most two edits away.
static bool closeTo(std::string_view word, std::string_view keyword)
{
    size_t longer = word.size() > keyword.size() ? word.size() - keyword.size()
                                                 : keyword.size() - word.size();
    if (word.empty() || longer > 2 || word == keyword) {
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
    // What the two share at either end costs no edit: only the rest is
    // compared.
    while (!word.empty() && word.front() == keyword.front()) {
        word.remove_prefix(1);
        keyword.remove_prefix(1);
    }
    while (!word.empty() && !keyword.empty() && word.back() == keyword.back()) {
        word.remove_suffix(1);
        keyword.remove_suffix(1);
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

bool fieldIsMistypedKeyword(const Verdict *verdict)
{
    const SourcePiece &piece = verdict->source;
    size_t field = static_cast<size_t>(verdict->loginParams - piece.text);
    return closeTo(wordAt(piece, field, piece.len, true), loginKeyword);
}

size_t findNotes(const Verdict *verdict, const CheckInfo *check, bool hidden,
                 Note *notes)
{
    const SourcePiece &piece = verdict->source;
    const char *text = piece.text;
    size_t len = piece.len;
    size_t at = verdict->pos - piece.offset; // the byte at fault, in the piece
    FaultKind fault = static_cast<FaultKind>(check->kind);
    size_t count = 0;
    auto add = [&](NoteKind kind, size_t pos) {
        notes[count++] = {kind, noteText(kind), piece.offset + pos, 0};
    };
    // A word is letters, with at most the colon that ends it: no hide point
    // falls inside one, nor before the first word of a line or the field,
    // which only blanks or the statement's numbers precede. Only an earlier
    // piece's hide point hides all of this one.
    bool pieceHidden = historyOf(piece).hideBefore != noPosition;

    // (Only where --fix deletes the mark, as the note says: not on a line
    // of 512 bytes or more, nor before a directive.)
    if (verdict->lineNum == 1 && piece.offset == 0 && at < 3 && len >= 3 &&
        std::string_view(text, 3) == byteOrderMarkBytes && piece.lastPiece &&
        len <= longestFixedLine && !(len > 3 && isDirective(text, 3, len))) {
        add(NOTE_BOM, 0);
    }
    // (Not after 16 password characters: the note would tell that the
    // password ends there.)
    if (piece.lastPiece && at < len && text[at] == '\r' &&
        fault != FAULT_CHARS_AFTER_PASSWORD) {
        size_t k = at;
        while (k < len && text[k] == '\r') {
            k++;
        }
        if (k == len) {
            add(NOTE_CRLF, at);
        }
    }
    if (fault == FAULT_PARSE) {
        // The grammar stops at the first byte that is not a blank, or after
        // "target" and its blanks: only the bytes before the fault are
        // looked at, and only where a note may follow.
        size_t end = at;
        while (end < len && text[end] == '\r') {
            end++;
        }
        if (at > 0 && end == len && piece.offset == 0 && piece.lastPiece &&
            allBlanks(text, at)) {
            add(NOTE_BLANK_LINE, 0);
        } else if (at > 0 && at < len && text[at] == '#' &&
                   allBlanks(text, at)) {
            add(isDirective(text, at, len) ? NOTE_INDENTED_DIRECTIVE
                                           : NOTE_INDENTED_COMMENT,
                at);
        } else if (!pieceHidden) {
            size_t word =
                at >= 6 && std::string_view(text + at - 6, 6) == "target"
                    ? at - 6
                    : at;
            if (closeTo(wordAt(piece, word, len, false), "target")) {
                add(NOTE_TARGET_KEYWORD, word);
            } else if (followsKeyword(text, at)) {
                add(NOTE_EQUALS, at);
            }
        }
    } else if (fault == FAULT_MISSING_KEYWORD) {
        if (!pieceHidden && fieldIsMistypedKeyword(verdict)) {
            add(NOTE_INITIATOR_KEYWORD,
                static_cast<size_t>(verdict->loginParams - text));
        }
    } else if (fault == FAULT_IDENTIFIER_CHAR && !hidden && at < len &&
               text[at] == ':') {
        add(NOTE_IQN_COLON, at);
    } else if (fault == FAULT_ADDRESS && !hidden && at < len &&
               text[at] == ':') {
        add(NOTE_ADDRESS_PORT, at);
    }
    // In order of position, as the line reads.
    for (size_t k = 1; k < count; k++) {
        for (size_t j = k; j > 0 && notes[j].pos < notes[j - 1].pos; j--) {
            Note moved = notes[j];
            notes[j] = notes[j - 1];
            notes[j - 1] = moved;
        }
    }
    return count;
}

bool findFix(const Verdict *verdict, const Warning *warning, FixEdit *edits,
             size_t *editCount)
{
    const SourcePiece &piece = verdict->source;
    if (piece.offset != 0 || !piece.lastPiece || piece.len > longestFixedLine) {
        return false;
    }
    bool firstLine = verdict->lineNum == 1;
    const char *text = piece.text;
    // An error is mended only by a fix at the line's start or end.
    if (warning == nullptr &&
        (piece.len == 0 ||
         !(text[piece.len - 1] == '\r' || isBlankByte(text[0]) ||
           (firstLine && text[0] == byteOrderMarkBytes[0])) ||
         !faultIsFixable(verdict))) {
        return false;
    }
    // A warning's cause is there by definition, and mended on such a line;
    // the carriage return that a password's fault is deletes bytes past the
    // hide point, which the comma before the password sets.
    if (edits == nullptr ||
        (warning == nullptr && verdict->fault == FAULT_PASSWORD_CHAR)) {
        return true;
    }
    LineFix fixes[maxLineFixes];
    size_t count =
        findLineFixes(text, piece.len, firstLine, fixes,
                      warning != nullptr && warning->kind == WARN_LEADING_ZERO);
    // The fixes that mend what the diagnostic is about: for an error, all
    // but the zeros; for a warning, its cause's.
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
            mends =
                fix.cause == FixCause::leadingZero && fix.start == warning->pos;
        }
        if (mends) {
            fixes[chosen++] = fix;
        }
    }
    if (chosen == 0) {
        return false;
    }
    // Each deleted byte lies before the hide point, or none is given: only
    // a colon or a comma before the last one can set it there.
    size_t last = fixes[chosen - 1].end;
    size_t hide = hidePointBefore(piece, last);
    *editCount = 0;
    if (hide != noPosition && last > hide) {
        return true;
    }
    for (size_t k = 0; k < chosen; k++) {
        edits[k] = {characterColumn(piece, fixes[k].start),
                    characterColumn(piece, fixes[k].end)};
    }
    *editCount = chosen;
    return true;
}
