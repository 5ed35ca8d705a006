// The parts of the diagnostic step that turn a line's verdict into what a
// format shows: the message, the excerpt and the column in characters. Only
// the diagnostic step includes it.
#ifndef ISCSI_CONFIG_CHECK_DIAGNOSE_STEP_H
#define ISCSI_CONFIG_CHECK_DIAGNOSE_STEP_H

#include <cstddef>
#include <string_view>

#include "diagnose/diagnostic.h"
#include "reader/config.h"

// The message of `check` (CheckInfo::message, or with `report` its
// reportMessage) for a diagnostic on the line of `verdict` (and `warning`,
// for a warning's), its pattern filled in into `text`; `hidden` tells that
// an error's byte at fault lies at or past the line's hide point, and is not
// to be named.
std::string_view fillMessage(LineBuffer *text, const CheckInfo *check,
                             bool report, const Verdict *verdict,
                             const Warning *warning, bool hidden);

// Sets the excerpt of `diagnostic` from `piece`, whose line's hide point
// is `hide`, built in `shown`.
void setExcerpt(Diagnostic *diagnostic, const SourcePiece &piece, size_t hide,
                LineBuffer *shown);

// The column of the byte at `pos` of the physical line of `piece`, in
// characters from 1.
size_t characterColumn(const SourcePiece &piece, size_t pos);

// The fixes of one line, found once for all its diagnostics and notes,
// when first asked for.
struct LineFixesCache {
    LineFixes fixes;
    long long lineNum; // the line they are of; 0 before the first
};

// The fixes of the line of `verdict`, from `cache` or found there: none
// for a piece of a long line.
const LineFixes &fixesOf(LineFixesCache *cache, const Verdict *verdict);

// The notes on the error of `verdict` (of `check`) into `notes`, at most
// maxNotes; returns how many. A note's position is where its cause lies,
// never past the diagnostic's own; none quotes a byte, and a note that
// would tell what lies at or past the line's hide point is left out
// (`hidden`: the byte at fault lies there). A note that offers --fix does
// so only where the line's fixes (found in `fixes`) mend its cause.
size_t findNotes(const Verdict *verdict, const CheckInfo *check, bool hidden,
                 LineFixesCache *fixes, Note *notes);

// Whether the login-parameters field of `verdict` begins with a word close
// to "Initiator:" (its letter case, or two edits): a keyword mistyped, not
// missing.
bool fieldIsMistypedKeyword(const Verdict *verdict);

// Whether the error of `verdict`, of the fault `fault`, may have a note
// (`crlfTold`: the file's CRLF line ends have had theirs): a test of a few
// bytes, so that most errors never look further.
inline bool mayHaveNotes(const Verdict *verdict, FaultKind fault, bool crlfTold)
{
    const SourcePiece &piece = verdict->source;
    size_t at = verdict->pos - piece.offset;
    if (at >= piece.len) {
        // Where the text ends: after blanks alone, or a keyword cut short.
        return fault == FAULT_PARSE || fault == FAULT_MISSING_KEYWORD;
    }
    const char *text = piece.text;
    char c = text[at];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (verdict->lineNum == 1 && piece.offset == 0) {
        return true;
    }
    if (c == '\r') {
        // Once the file's line ends are told, only a line of blanks or a
        // keyword cut short by the carriage return has a note.
        return !crlfTold || fault == FAULT_PARSE ||
               fault == FAULT_MISSING_KEYWORD;
    }
    if (fault == FAULT_PARSE) {
        // A word, a comment, or what follows "target" and blanks (looked
        // back over by the note itself).
        char before = at > 0 ? text[at - 1] : '\0';
        return letter || c == '#' || before == 't' || before == ' ' ||
               before == '\t';
    }
    return fault == FAULT_MISSING_KEYWORD ||
           ((fault == FAULT_IDENTIFIER_CHAR || fault == FAULT_ADDRESS) &&
            c == ':');
}

// Whether --fix mends what the diagnostic of `check` on the line of
// `verdict` (and `warning`, for a warning's) is about, the line's fixes
// being `fixes`; with `edits`, the fix's deletions are put there, and their
// number in `*editCount` (0 where one would reach the line's hide point).
bool findFix(const Verdict *verdict, const CheckInfo *check,
             const Warning *warning, const LineFixes &fixes, FixEdit *edits,
             size_t *editCount);

#endif
