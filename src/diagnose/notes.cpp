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
// letter right after the keyword would make another word): however many
// blanks, each looked at once.
static bool followsKeyword(const char *text, size_t at)
{
    size_t end = at;
    while (end > 0 && isBlankByte(text[end - 1])) {
        end--;
    }
    return end >= 6 && std::string_view(text + end - 6, 6) == "target" &&
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

// Whether the line's fixes hold one for `cause`: --fix mends that cause.
static bool fixesHold(const LineFixes &fixes, FixCause cause)
{
    for (size_t k = 0; k < fixes.count; k++) {
        if (fixes.fixes[k].cause == cause) {
            return true;
        }
    }
    return false;
}

const LineFixes &fixesOf(LineFixesCache *cache, const Verdict *verdict)
{
    LineFixes *fixes = &cache->fixes;
    if (cache->lineNum == verdict->lineNum) {
        return *fixes;
    }
    cache->lineNum = verdict->lineNum;
    const SourcePiece &piece = verdict->source;
    if (piece.offset != 0 || !piece.lastPiece) {
        fixes->count = 0;
        fixes->keptBy = KeptBy::length;
        fixes->wouldDirect = false;
        return *fixes;
    }
    LinePlace place = {};
    place.firstLine = verdict->lineNum == 1;
    place.reachedByDisable = verdict->reachedByDisable;
    findLineFixes(piece.text, piece.len, place, fixes);
    return *fixes;
}

size_t findNotes(const Verdict *verdict, const CheckInfo *check, bool hidden,
                 LineFixesCache *fixes, Note *notes)
{
    const SourcePiece &piece = verdict->source;
    const char *text = piece.text;
    size_t len = piece.len;
    size_t at = verdict->pos - piece.offset; // the byte at fault, in the piece
    FaultKind fault = static_cast<FaultKind>(check->kind);
    size_t count = 0;
    auto add = [&](NoteKind kind, size_t pos, bool fixOffered = true) {
        notes[count++] = {kind, noteText(kind, fixOffered), piece.offset + pos,
                          0};
    };
    // A word is letters, with at most the colon that ends it: no hide point
    // falls inside one, nor before the first word of a line or the field,
    // which only blanks or the statement's numbers precede. Only an earlier
    // piece's hide point hides all of this one.
    bool pieceHidden = historyOf(piece).hideBefore != noPosition;

    // (Only where --fix deletes the mark, as the note says.)
    if (verdict->lineNum == 1 && piece.offset == 0 && at < 3 && len >= 3 &&
        std::string_view(text, 3) == byteOrderMarkBytes &&
        fixesHold(fixesOf(fixes, verdict), FixCause::byteOrderMark)) {
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
            add(NOTE_CRLF, at,
                fixesHold(fixesOf(fixes, verdict), FixCause::carriageReturn));
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
            add(NOTE_BLANK_LINE, 0,
                fixesHold(fixesOf(fixes, verdict), FixCause::blanks));
        } else if (at > 0 && at < len && text[at] == '#' &&
                   allBlanks(text, at)) {
            // Kept because it would read as a directive once mended: that
            // is why --fix leaves it.
            const LineFixes &found = fixesOf(fixes, verdict);
            if (found.keptBy == KeptBy::directive && found.wouldDirect) {
                add(NOTE_INDENTED_DIRECTIVE, at);
            } else {
                add(NOTE_INDENTED_COMMENT, at,
                    fixesHold(found, FixCause::blanks));
            }
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

bool findFix(const Verdict *verdict, const CheckInfo *check,
             const Warning *warning, const LineFixes &fixes, FixEdit *edits,
             size_t *editCount)
{
    // The fixes that the check's row names; for a warning, those that
    // delete the byte it lies at, which takes its cause away.
    LineFix chosen[maxLineFixes];
    size_t count = 0;
    for (size_t k = 0; k < fixes.count; k++) {
        const LineFix &fix = fixes.fixes[k];
        if ((check->fixes & fixBit(fix.cause)) != 0 &&
            (warning == nullptr ||
             (fix.start <= warning->pos && warning->pos < fix.end))) {
            chosen[count++] = fix;
        }
    }
    // An error is mended when its line holds no fault once mended; after
    // 16 password characters that is never told, since it would tell the
    // password's length.
    if (count == 0 ||
        (warning == nullptr && (verdict->fault == FAULT_CHARS_AFTER_PASSWORD ||
                                !faultIsFixable(verdict, fixes)))) {
        return false;
    }
    // Each deleted byte lies before the hide point, or none is given: only
    // a colon or a comma before the last one can set it there. (The
    // carriage return that a password's fault is lies past it.)
    const SourcePiece &piece = verdict->source;
    size_t last = chosen[count - 1].end;
    size_t hide = hidePointBefore(piece, last);
    *editCount = 0;
    if (edits == nullptr || (hide != noPosition && last > hide)) {
        return true;
    }
    for (size_t k = 0; k < count; k++) {
        edits[k] = {characterColumn(piece, chosen[k].start),
                    characterColumn(piece, chosen[k].end)};
    }
    *editCount = count;
    return true;
}
