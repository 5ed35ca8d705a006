// What the parts of the reader share: the line buffer's size, the blanks,
// the warnings found on a line and what they remember across lines, and the
// steps one part hands to another. Only the reader includes it.
#ifndef ISCSI_CONFIG_CHECK_READER_JUDGE_H
#define ISCSI_CONFIG_CHECK_READER_JUDGE_H

#include <cstddef>
#include <cstdint>

#include "reader/config.h"
#include "reader/targets.h"

// Bytes of one line the reader holds; longer lines are judged in pieces.
constexpr size_t lineBufSize = 512;

// True for the blanks of the file format: space and horizontal tab.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Whether the line (or first piece) of `count` bytes at `line` is read as a
// statement: it is neither empty nor a comment, whose '#' is its very first
// byte. Directives are read only from the others, and a `disable=` reaches
// the next such line.
inline bool isStatementLine(const char *line, size_t count)
{
    return count > 0 && line[0] != '#';
}

// Returns the first position at or after `pos` that does not hold a blank.
inline size_t skipBlanks(const char *line, size_t pos)
{
    while (isBlank(line[pos])) {
        pos++;
    }
    return pos;
}

// Once the targets' slots outgrow the caches (from this many slots, 4 MB),
// the duplicate check of a sound line without other warnings waits for the
// lines after it: its slot, asked for as its port is read, arrives while
// they are judged, and the line's verdict is handed over, in its turn, when
// it leaves the queue. Up to heldLinesMax lines wait; each is a whole line
// (its text copied) whose next line lies whole in the same buffer, so that
// none waits while the reader waits for input.
constexpr size_t heldFromSlots = size_t{1} << 20;
constexpr unsigned heldLinesMax = 4;

// A line whose duplicate check waits.
struct HeldLine {
    Verdict verdict;
    uint64_t key;        // of its target
    uint64_t hash;       // and the key's hash
    WarningSet off;      // the warnings that the directives turn off on it
    bool settled;        // its target is remembered
    TargetMemory memory; // and what the table knew of it
    Warning duplicate;
    char text[lineBufSize + 1];
};

// The warnings asked for, what they remember across the lines of a file, and
// those found on the current line.
struct WarningState {
    WarningSet enabled;
    bool carriageReturnSeen; // the file's first such line is reported
    bool controlSeen;        // the current physical line's is reported
    bool statementSeen;      // the file holds a target statement
    TargetTable targets;     // used for WARN_DUPLICATE_TARGET only
    uint64_t targetHash;     // of the current statement's target, once read
    bool holdTarget;         // the current line's duplicate check waits
    // The lines that wait, oldest first from heldFirst, in a ring.
    HeldLine held[heldLinesMax];
    unsigned heldFirst;
    unsigned heldCount;
    Warning found[maxLineWarnings];
    size_t count;
    // What the file's directives turn off: for the next statement's line,
    // for that line's pieces, and to the end of the file.
    bool directives; // they are obeyed (malformed ones are told anyway)
    WarningSet nextLineOff;
    WarningSet lineOff;
    WarningSet fileOff;
    bool linesOff;     // nextLineOff or lineOff is not empty
    bool emptyFileOff; // disable-file=empty-file anywhere
    // Whether some of the warnings of the line itself (lineWarnings), or
    // of the numbers (numberWarnings), are asked for.
    bool lineChecks;
    bool numberChecks;
    // Where the current statement's line is looked at for control
    // characters up to: 0 unless lineChecks.
    size_t controlEnd;
};

// The warnings of the line itself, looked for on every line.
constexpr WarningSet lineWarnings =
    warningBit(WARN_BOM) | warningBit(WARN_LONG_LINE) |
    warningBit(WARN_CARRIAGE_RETURN) | warningBit(WARN_CONTROL_CHAR);

// The warnings judged on each number's digits.
constexpr WarningSet numberWarnings =
    warningBit(WARN_LEADING_ZERO) | warningBit(WARN_ADDRESS_RANGE) |
    warningBit(WARN_PORT_RANGE) | warningBit(WARN_COUNT_RANGE);

// Adds a warning of `kind` at `pos` when it is asked for.
inline void addWarning(WarningState *warn, WarningKind kind, size_t pos,
                       long long value = 0, unsigned variant = 0)
{
    if ((warn->enabled & warningBit(kind)) != 0 &&
        warn->count < maxLineWarnings) {
        warn->found[warn->count++] = {kind, variant, pos, value, nullptr};
    }
}

// One run of the reader: where its verdicts go, and its warnings (null when
// none is asked for).
struct ReaderRun {
    const ReaderHooks *hooks;
    WarningState *warn;
    bool stopped; // the consumer asked to stop
    // What the earlier pieces of the current physical line held, when it is
    // a long one and the hooks ask for it.
    LineHistory history;
    // A `disable=` directive has been read whose line is not yet reached
    // (with ReaderHooks::disableReach).
    bool disablePending;
};

// Judges one line, or one piece of an over-long line (`lastPiece` tells that
// the line ends after it), and hands over its verdict: `count` bytes as read,
// which may include zero bytes, with room for one more after them, and
// `readable` bytes from `line` that may be read (at least count + 1: the
// bytes that follow in the same buffer let the statement's scans go on
// sixteen bytes at a time up to the line's end). Built for a run with
// warnings (`warned`, when run->warn is set) and for one without, as
// functions of their own so that neither weighs on the other's code: the
// reader calls the one its run needs, with no test on every line.
template <bool warned>
void judgeLine(char *line, size_t count, size_t readable, long long lineNum,
               size_t offset, bool lastPiece, ReaderRun *run);

// Notes in `history` the hide point that a piece at `offset`, which does
// not end its line, sets, unless an earlier piece set one, and with
// `chars` the characters before it (hide.cpp). Called before the piece's
// characters are added to the history.
void rememberHidePoint(LineHistory *history, const char *piece, size_t count,
                       size_t offset, bool chars);

// The warnings (warnings.cpp).

// The value of the digits from `start` to `end` as written, whatever their
// number: it saturates at the largest 64-bit value, over every limit.
// `taken` is their value modulo 2^32, which is the value itself for nine
// digits or fewer (the common case, which needs no second pass).
uint64_t writtenValue(const char *line, size_t start, size_t end,
                      uint32_t taken);

// The warnings on port digits, whose value modulo 2^32 is `taken`.
void warnOnPort(WarningState *warn, const char *line, size_t start, size_t end,
                size_t offset, uint32_t taken);

// Text after sound login parameters that nobody checks: anything but blanks
// and one final carriage return before the end (the first zero byte).
void warnOnTrailingText(WarningState *warn, const char *line, size_t fieldEnd,
                        size_t offset);

// The warnings on the four address numbers from `start`, the first
// `numbers` of them, each digits then a dot.
void warnOnAddress(WarningState *warn, const char *line, size_t start,
                   size_t numbers, size_t offset);

// The byte order mark warning, for the first piece of line 1.
void warnOnByteOrderMark(WarningState *warn, const char *line, size_t count);

// The warnings of the line itself but its control characters, whatever it
// holds: a byte order mark, a long line's second piece, a carriage return
// at the line's end (the file's first). Returns where control characters
// are looked for up to: the piece's end, less a final carriage return.
inline size_t warnOnLineEnds(WarningState *warn, const char *line, size_t count,
                             long long lineNum, size_t offset, bool lastPiece)
{
    if (offset == 0) {
        warn->controlSeen = false;
        if (lineNum == 1) {
            warnOnByteOrderMark(warn, line, count);
        }
    } else if (offset == lineBufSize && count > 0) {
        addWarning(warn, WARN_LONG_LINE, offset);
    }
    if (!lastPiece || count == 0 || line[count - 1] != '\r') {
        return count;
    }
    if (!warn->carriageReturnSeen &&
        (warn->enabled & warningBit(WARN_CARRIAGE_RETURN)) != 0) {
        warn->carriageReturnSeen = true;
        addWarning(warn, WARN_CARRIAGE_RETURN, offset + count - 1);
    }
    return count - 1;
}

// The first control character of the physical line, looked for from `from`
// to `end` of this piece unless an earlier piece had one.
void warnOnControl(WarningState *warn, const char *line, size_t from,
                   size_t end, size_t offset);

// Puts the line's warnings in order of position, then of kind.
void sortWarnings(WarningState *warn);

// Drops the line's warnings that the file's directives turn off.
void dropTurnedOff(WarningState *warn, WarningSet off);

// Reads the comment line of `count` bytes (room for one more after them) as
// a directive when it is one: "#", any blanks and "iscsi-config-check:"
// (directives.cpp).
void readDirectiveLine(WarningState *warn, char *line, size_t count);

// How a line reads as a directive on its own, whatever the file around it
// and the options say: what it turns off, and its complaints (all
// bad-directive warnings). Nothing when it is not a directive.
struct DirectiveReading {
    WarningSet lineOff; // disable=: for the line it reaches
    WarningSet fileOff; // disable-file=
    Warning complaints[maxLineWarnings];
    size_t complaintCount;
};

// Reads the line of `count` bytes at `line` (room for one more after
// them) into `reading` as readDirectiveLine reads a comment line, its
// complaints only with `complaints` (directives.cpp).
void readDirectiveAlone(char *line, size_t count, bool complaints,
                        DirectiveReading *reading);

// The same, complaints included, for a line of at most lineBufSize bytes
// that is not changed.
void readLineAsDirective(const char *line, size_t count,
                         DirectiveReading *reading);

#endif
