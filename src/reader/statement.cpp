// The statement grammar: judges each line, or piece of a long line, parses
// a target statement in one left-to-right pass with its login parameters,
// and hands the verdict to the caller's hook; nothing is printed.
#include <cstring>

#include "reader/judge.h"
#include "reader/login_params.h"

static const char statementKeyword[] = "target";
static const size_t statementKeywordLen = sizeof statementKeyword - 1;

// True when the text at `text`, ended by a zero byte, begins with the
// statement's keyword: compared here rather than by strncmp, whose call
// costs more than the six bytes on every line.
static bool startsWithKeyword(const char *text)
{
    for (size_t k = 0; k < statementKeywordLen; k++) {
        if (text[k] != statementKeyword[k]) {
            return false; // the zero byte that ends a short line included
        }
    }
    return true;
}

// How most statements begin: the keyword, a blank, "=" and a blank.
static const char commonHead[] = "target = ";
static const size_t commonHeadLen = sizeof commonHead - 1;
static_assert(commonHeadLen == 9, "eight bytes compared at once, and one");

// True when the text at `line`, whose first `readable` bytes may be read,
// begins with the common head and no blank follows it: the address then
// starts right after it, as the grammar's blanks, keyword and "=" read one
// by one would find, which costs most lines some forty instructions more
// than comparing the first eight bytes as one word.
static bool startsWithCommonHead(const char *line, size_t readable)
{
    if (readable <= commonHeadLen) {
        return false;
    }
    uint64_t head = 0;
    uint64_t common = 0;
    memcpy(&head, line, sizeof head);
    memcpy(&common, commonHead, sizeof common);
    return head == common && line[commonHeadLen - 1] == ' ' &&
           !isBlank(line[commonHeadLen]);
}

// Returns the first position at or after `pos` that does not hold a blank,
// in a text whose first `readable` bytes may be read and that holds a byte
// other than a blank from `pos` on (the zero byte that ends it). As
// skipBlanks, but sixteen bytes at a time once two blanks are found, where
// the machine has SSE2 and the build does not ask for the byte-at-a-time
// scan: lines, and pieces of long lines, that are blank for hundreds of
// bytes cost some five instructions a byte one at a time.
static size_t skipBlankRun(const char *line, size_t pos,
                           [[maybe_unused]] size_t readable)
{
    if (!isBlank(line[pos]) || !isBlank(line[pos + 1])) {
        return isBlank(line[pos]) ? pos + 1 : pos;
    }
    pos += 2;
#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
    typedef char Chars __attribute__((vector_size(16)));
    while (pos + 16 <= readable) {
        Chars bytes;
        memcpy(&bytes, line + pos, sizeof bytes);
        auto blanks = static_cast<unsigned>(
            __builtin_ia32_pmovmskb128((bytes == ' ') | (bytes == '\t')));
        if (blanks != 0xFFFFU) {
            return pos + static_cast<size_t>(__builtin_ctz(~blanks));
        }
        pos += 16;
    }
#endif
    return skipBlanks(line, pos);
}

// True for an ASCII digit.
static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of the digit at `pos`, or more than 9 for a byte that is not
// one (the subtraction wraps).
static uint32_t digitAt(const char *line, size_t pos)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(line[pos])) - '0';
}

// Accumulates the digits from `pos` into `*value` modulo 2^32 (unsigned
// arithmetic wraps there); returns the position after the last digit. The
// address's and the port's moduli, 2^8 and 2^16, divide 2^32, so their low
// bits come out as if accumulated modulo those. The first four digits are
// read one after another without a loop: most numbers have no more, and a
// loop's own steps and exit cost as much again as the digits (some seventy
// instructions a statement).
[[gnu::always_inline]] inline static size_t
readNumber(const char *line, size_t pos, uint32_t *value)
{
    uint32_t d0 = digitAt(line, pos);
    if (d0 > 9) {
        *value = 0;
        return pos;
    }
    uint32_t d1 = digitAt(line, pos + 1);
    if (d1 > 9) {
        *value = d0;
        return pos + 1;
    }
    uint32_t d2 = digitAt(line, pos + 2);
    if (d2 > 9) {
        *value = d0 * 10U + d1;
        return pos + 2;
    }
    uint32_t d3 = digitAt(line, pos + 3);
    if (d3 > 9) {
        *value = d0 * 100U + d1 * 10U + d2;
        return pos + 3;
    }
    uint32_t acc = d0 * 1000U + d1 * 100U + d2 * 10U + d3;
    pos += 4;
    while (isDigit(line[pos])) {
        acc = acc * 10U + static_cast<uint32_t>(line[pos] - '0');
        pos++;
    }
    *value = acc;
    return pos;
}

// Reads a 32-bit pattern as the signed count the client stores.
static int32_t toSigned32(uint32_t value)
{
    int32_t result = 0;
    memcpy(&result, &value, sizeof result);
    return result;
}

// Records in `verdict` a fault found at `pos` of the physical line.
static void setFault(Verdict *verdict, FaultKind fault, size_t pos)
{
    verdict->fault = fault;
    verdict->pos = pos;
}

// The connection count that the protocol allows at most.
static const uint64_t maxConnections = 65535;

// The digits of each number up to 255 written without leading zeros: any
// other count of digits for the value gets a warning.
static constexpr struct WrittenDigits {
    unsigned char digits[256];
    constexpr WrittenDigits() : digits()
    {
        for (unsigned v = 0; v < 256; v++) {
            digits[v] = v < 10 ? 1 : v < 100 ? 2 : 3;
        }
    }
    constexpr size_t operator[](uint32_t value) const
    {
        return digits[value];
    }
} writtenDigits;

// Parses and judges one target statement, ended by its first zero byte, into
// `verdict`, reading no further than its first `readable` bytes; `offset` is
// where the text starts within its physical line.
// With `numbersWarned`, the warnings on its numbers that `warn` asks for are
// added there, even when a later fault ends the statement. Returns how many
// bytes from the start hold sound login parameters and what comes before
// them, which the grammar has seen to hold no control character; 0 when the
// login parameters are not sound (or not reached).
template <bool numbersWarned>
[[gnu::always_inline]] inline static size_t
judgeStatement(const char *line, size_t readable, size_t offset,
               Verdict *verdict, WarningState *warn)
{
    size_t pos = 0;
    if (startsWithCommonHead(line, readable)) {
        pos = commonHeadLen;
    } else {
        pos = skipBlankRun(line, 0, readable);
        if (!startsWithKeyword(line + pos)) {
            setFault(verdict, FAULT_PARSE, offset + pos);
            return 0;
        }
        pos = skipBlanks(line, pos + statementKeywordLen);
        if (line[pos] != '=') {
            setFault(verdict, FAULT_PARSE, offset + pos);
            return 0;
        }
        pos = skipBlanks(line, pos + 1);
    }
    size_t addressStart = pos;

    // The four numbers are told sound together: at most 255 each, and
    // together as many digits as they need. The loop is unrolled: its count
    // and the test of the last number are then known where each is read.
    uint32_t takenAll = 0;
    size_t digitsNeeded = 0;
#pragma GCC unroll 4
    for (size_t k = 0; k < 4; k++) {
        size_t digitsStart = pos;
        uint32_t taken = 0;
        pos = readNumber(line, pos, &taken);
        verdict->addr[k] = taken & 0xFFU;
        if (pos == digitsStart) {
            if (numbersWarned) {
                warnOnAddress(warn, line, addressStart, k, offset);
            }
            setFault(verdict, FAULT_ADDRESS, offset + pos);
            return 0;
        }
        if (numbersWarned) {
            takenAll |= taken;
            digitsNeeded += writtenDigits[taken & 0xFFU];
        }
        if (k < 3) {
            if (line[pos] != '.') {
                if (numbersWarned) {
                    warnOnAddress(warn, line, addressStart, k + 1, offset);
                }
                // The line's end shows as code 0.
                setFault(verdict, FAULT_ADDRESS_CHAR, offset + pos);
                verdict->charCode = static_cast<unsigned char>(line[pos]);
                return 0;
            }
            pos++;
        }
    }
    if (numbersWarned &&
        (takenAll > 255 || pos - addressStart - 3 != digitsNeeded)) {
        warnOnAddress(warn, line, addressStart, 4, offset);
    }
    if (line[pos] != ' ') {
        setFault(verdict, FAULT_ADDRESS, offset + pos);
        return 0;
    }
    pos = skipBlanks(line, pos + 1);

    size_t portStart = pos;
    uint32_t port = 0;
    pos = readNumber(line, pos, &port);
    verdict->port = port & 0xFFFFU;
    if (warn != nullptr &&
        (warn->enabled & warningBit(WARN_DUPLICATE_TARGET)) != 0) {
        warn->targetHash =
            targetHashOf(&warn->targets, verdict->addr, verdict->port);
        prefetchTargetSlot(&warn->targets, warn->targetHash);
    }
    // A port of 1 to 65535 in at most five digits has no warning.
    if (numbersWarned && pos != portStart &&
        (port - 1 >= 65535 || pos - portStart > 5)) {
        warnOnPort(warn, line, portStart, pos, offset, port);
    }
    if (pos == portStart || line[pos] != ' ') {
        setFault(verdict, FAULT_PORT, offset + pos);
        return 0;
    }
    pos = skipBlanks(line, pos + 1);

    uint32_t count = 0;
    size_t countStart = pos;
    pos = readNumber(line, pos, &count);
    if (numbersWarned && (count > maxConnections || pos - countStart > 9) &&
        writtenValue(line, countStart, pos, count) > maxConnections) {
        addWarning(warn, WARN_COUNT_RANGE, offset + countStart,
                   toSigned32(count));
    }
    size_t fieldStart = skipBlanks(line, pos);
    size_t fieldLen = 0;
    size_t comma = 0; // or where the fault lies
    FaultKind loginFault =
        judgeLoginField(line, fieldStart, readable, &fieldLen, &comma);
    pos = fieldStart + fieldLen;
    verdict->loginParams = line + fieldStart;
    verdict->loginParamsLen = fieldLen;
    verdict->nConnections = toSigned32(count);
    if (loginFault != FAULT_NONE) {
        // An empty field starts, and ends, where the text does.
        setFault(verdict, loginFault, offset + fieldStart + comma);
        return 0;
    }
    if (verdict->nConnections == 0) {
        setFault(verdict, FAULT_NO_CONNECTIONS, offset + pos);
        return pos;
    }
    verdict->fault = FAULT_NONE;
    verdict->commaPos = comma;
    // The rest of the line after the field, up to the statement's end: most
    // often nothing.
    verdict->restLen = fieldLen + (line[pos] == '\0' ? 0 : strlen(line + pos));
    return pos;
}

// Where the address of a statement whose address was read begins.
static size_t addressStartOf(const char *line)
{
    size_t pos = skipBlanks(line, 0);
    pos = skipBlanks(line, pos + statementKeywordLen);
    return skipBlanks(line, pos + 1);
}

// Remembers the target of a held line, unless that is done, in its turn:
// after the lines before it and before those after it.
static void settleHeldTarget(TargetTable *targets, HeldLine *held)
{
    if (!held->settled) {
        held->settled = true;
        held->memory = rememberHashedTarget(targets, held->key, held->hash,
                                            held->verdict.lineNum);
    }
}

// Remembers the targets of every held line, in their order.
[[gnu::noinline]] static void settleHeldTargets(WarningState *warn)
{
    for (unsigned k = 0; k < warn->heldCount; k++) {
        settleHeldTarget(&warn->targets,
                         &warn->held[(warn->heldFirst + k) % heldLinesMax]);
    }
}

// Hands over the verdicts of the held lines, oldest first, until `keep` are
// left, each with its duplicate warning when its target was defined before
// (unless its line turned that off). A consumer that asks to stop gets no
// more.
[[gnu::noinline]] static void releaseHeldLines(ReaderRun *run, unsigned keep)
{
    WarningState *warn = run->warn;
    while (warn->heldCount > keep) {
        HeldLine *held = &warn->held[warn->heldFirst];
        warn->heldFirst = (warn->heldFirst + 1) % heldLinesMax;
        warn->heldCount--;
        settleHeldTarget(&warn->targets, held);
        if (run->stopped) {
            continue;
        }
        if (!held->memory.isNew &&
            (held->off & warningBit(WARN_DUPLICATE_TARGET)) == 0) {
            held->duplicate = {WARN_DUPLICATE_TARGET, 0,
                               addressStartOf(held->text),
                               held->memory.firstLine, nullptr};
            held->verdict.warnings = &held->duplicate;
            held->verdict.warningCount = 1;
        }
        if (run->hooks->onVerdict(run->hooks->context, &held->verdict) != 0) {
            run->stopped = true;
        }
    }
}

// Whether the table is large enough for the duplicate checks to wait: held
// lines, and a check that waits, exist only then (the table never shrinks
// while a file is read).
static bool targetsLarge(const WarningState *warn)
{
    return warn->targets.mask >= heldFromSlots - 1;
}

// Remembers the target of the sound statement judged into `verdict`, after
// those of the held lines, and warns when it was defined before.
[[gnu::always_inline]] inline static void
rememberStatementTarget(WarningState *warn, const char *line, size_t offset,
                        const Verdict *verdict)
{
    // An earlier piece of the same physical line counts as an earlier
    // definition too.
    TargetMemory memory = rememberHashedTarget(
        &warn->targets, targetKey(verdict->addr, verdict->port),
        warn->targetHash, verdict->lineNum);
    if (!memory.isNew) {
        addWarning(warn, WARN_DUPLICATE_TARGET, offset + addressStartOf(line),
                   memory.firstLine);
    }
}

// The duplicate check of a sound statement on a large table: it waits
// (holdTarget) when the statement is a whole line without warnings so far
// and the next line lies whole in the same buffer, which it is judged
// before the reader reads (or waits) again; or else it is done now, after
// the held lines' targets are remembered.
[[gnu::noinline]] static void checkOnLargeTable(WarningState *warn,
                                                const char *line,
                                                size_t readable,
                                                const Verdict *verdict)
{
    size_t count = verdict->source.len;
    if (warn->count == 0 && verdict->source.offset == 0 &&
        verdict->source.lastPiece && count < lineBufSize &&
        readable > count + 1 &&
        memchr(line + count + 1, '\n', readable - count - 1) != nullptr) {
        warn->holdTarget = true;
        return;
    }
    settleHeldTargets(warn);
    rememberStatementTarget(warn, line, verdict->source.offset, verdict);
}

// Keeps the verdict of the line at `line`, judged into `verdict` without a
// warning, until its duplicate check is done; the oldest held line leaves
// first when the queue is full.
static void holdLine(ReaderRun *run, const char *line, const Verdict *verdict)
{
    WarningState *warn = run->warn;
    if (warn->heldCount == heldLinesMax) {
        releaseHeldLines(run, heldLinesMax - 1);
    }
    HeldLine *held =
        &warn->held[(warn->heldFirst + warn->heldCount) % heldLinesMax];
    warn->heldCount++;
    size_t len = verdict->source.len;
    memcpy(held->text, line, len + 1);
    held->verdict = *verdict;
    held->verdict.source.text = held->text;
    held->verdict.loginParams = held->text + (verdict->loginParams - line);
    held->key = targetKey(verdict->addr, verdict->port);
    held->hash = warn->targetHash;
    held->off = warn->fileOff | warn->lineOff;
    held->settled = false;
}

// On a large table, before the verdict of the line at `line` is handed
// over: holds it when its check waits and it still has no warning, or else
// hands over the held lines before it (its own check done now if it was to
// wait). Returns whether the verdict is handed over now.
[[gnu::noinline]] static bool holdOrRelease(ReaderRun *run, const char *line,
                                            Verdict *verdict)
{
    WarningState *warn = run->warn;
    // Only a sound statement's check waits.
    bool waits = warn->holdTarget;
    warn->holdTarget = false;
    if (waits && verdict->isStatement && verdict->fault == FAULT_NONE) {
        if (warn->count == 0) {
            holdLine(run, line, verdict);
            return false;
        }
        // A warning came after the check was to wait: it is done now, its
        // warning put with the others.
        settleHeldTargets(warn);
        rememberStatementTarget(warn, line, verdict->source.offset, verdict);
        dropTurnedOff(warn, warn->fileOff | warn->lineOff);
        if (warn->count > 1) {
            sortWarnings(warn);
        }
        verdict->warnings = warn->count != 0 ? warn->found : nullptr;
        verdict->warningCount = warn->count;
    }
    releaseHeldLines(run, 0);
    return !run->stopped;
}

// The warnings on a statement judged into `verdict` but those on its
// numbers: text after sound login parameters, which end at `fieldEnd` (0 when
// they are not sound), and a target defined before.
static void warnOnStatement(WarningState *warn, const char *line,
                            size_t readable, const Verdict *verdict,
                            size_t fieldEnd)
{
    size_t offset = verdict->source.offset;
    // The field ends at a blank or at the statement's end: only a blank can
    // have text after it.
    if (fieldEnd != 0 && line[fieldEnd] != '\0' &&
        (warn->enabled & warningBit(WARN_TRAILING_TEXT)) != 0) {
        warnOnTrailingText(warn, line, fieldEnd, offset);
    }
    if (verdict->fault == FAULT_NONE &&
        (warn->enabled & warningBit(WARN_DUPLICATE_TARGET)) != 0) {
        if (targetsLarge(warn)) {
            checkOnLargeTable(warn, line, readable, verdict);
        } else {
            rememberStatementTarget(warn, line, offset, verdict);
        }
    }
}

// Notes what a piece at `offset` that does not end its line holds, for the
// next piece: as much as the hooks ask for.
static void rememberPiece(ReaderRun *run, const char *piece, size_t count,
                          size_t offset)
{
    LineHistory *history = &run->history;
    unsigned asked = run->hooks->history;
    if (offset == 0) {
        *history = {noPosition, 0, {}};
    }
    if ((asked & HISTORY_HIDE) != 0) {
        rememberHidePoint(history, piece, count, offset,
                          (asked & HISTORY_CHARS) != 0);
    }
    if ((asked & HISTORY_CHARS) != 0) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(piece);
        countChars(history->charsBefore, bytes, count, count,
                   &history->charsBefore);
    }
}

// Notes a comment line that is a `disable=` directive turning something
// off, read whatever the options say: the next line that is neither empty
// nor a comment is the one it reaches.
[[gnu::noinline]] static void noteDisable(ReaderRun *run, char *line,
                                          size_t count)
{
    DirectiveReading reading;
    readDirectiveAlone(line, count, false, &reading);
    run->disablePending = run->disablePending || reading.lineOff != 0;
}

// The warnings of an empty or comment line, directives read: true when it
// has some to hand over.
static bool warnOnOtherLine(WarningState *warn, char *line, size_t count,
                            long long lineNum, size_t offset, bool lastPiece)
{
    if (warn->lineChecks) {
        size_t controlEnd =
            warnOnLineEnds(warn, line, count, lineNum, offset, lastPiece);
        warnOnControl(warn, line, 0, controlEnd, offset);
    }
    // A disable-file= directive turns its warnings off on its own line too,
    // but never its complaints about itself: those are hidden only by what
    // was off before it.
    WarningSet complaintsOff = warn->fileOff | warn->lineOff;
    if (offset == 0 &&
        (warn->directives ||
         (warn->enabled & warningBit(WARN_BAD_DIRECTIVE)) != 0)) {
        readDirectiveLine(warn, line, count);
    }
    if (warn->count != 0) {
        const WarningSet complaint = warningBit(WARN_BAD_DIRECTIVE);
        dropTurnedOff(warn, ((warn->fileOff | warn->lineOff) & ~complaint) |
                                (complaintsOff & complaint));
    }
    return warn->count != 0;
}

// What a statement's line needs before it is parsed, when the file's
// directives have turned warnings off for it or the line's own warnings are
// asked for. Returns where control characters are looked for up to (0 for
// none).
static size_t warnBeforeStatement(WarningState *warn, const char *line,
                                  size_t count, long long lineNum,
                                  size_t offset, bool lastPiece)
{
    if (!warn->lineChecks) {
        return 0;
    }
    return warnOnLineEnds(warn, line, count, lineNum, offset, lastPiece);
}

// Judges one line, or one piece of an over-long line (`lastPiece` tells that
// the line ends after it), and hands over its verdict: `count` bytes as read,
// which may include zero bytes, with room for one more after them. An empty
// or comment line is handed over only for its warnings. Built twice, with
// and without warnings: the default path then carries none of their tests,
// which saves a tenth of its instructions. With warnings, a statement's line
// pays for no more than what is asked: the line's own warnings, the
// numbers' (parsed by a build of the grammar of their own), text after the
// field and duplicate targets are each skipped on a flag when not asked for.
template <bool warned>
[[gnu::always_inline]] inline static void
judgeLineAs(char *line, size_t count, size_t readable, long long lineNum,
            size_t offset, bool lastPiece, ReaderRun *run)
{
    WarningState *warn = run->warn;
    bool isStatement = isStatementLine(line, count);
    if (!isStatement && offset == 0 && run->hooks->disableReach) {
        noteDisable(run, line, count);
    }
    if (!warned && !isStatement) {
        return;
    }
    if (warned) {
        warn->count = 0;
        // The directives before a physical line that is neither empty nor a
        // comment hold for every piece of it, and for nothing else.
        if (warn->linesOff && offset == 0) {
            warn->lineOff = isStatement ? warn->nextLineOff : 0;
            warn->nextLineOff = isStatement ? 0 : warn->nextLineOff;
            warn->linesOff = (warn->lineOff | warn->nextLineOff) != 0;
        }
        if (!isStatement) {
            // The held lines come before this one, handed over or not.
            if (warn->heldCount != 0) {
                releaseHeldLines(run, 0);
                if (run->stopped) {
                    return;
                }
            }
            if (!warnOnOtherLine(warn, line, count, lineNum, offset,
                                 lastPiece)) {
                return;
            }
        } else {
            warn->statementSeen = true;
            if (warn->lineChecks) {
                warn->controlEnd = warnBeforeStatement(
                    warn, line, count, lineNum, offset, lastPiece);
            }
        }
    }
    // Only what every line has is set here; the statement's values are set
    // as they are parsed, and read only where the verdict says they exist.
    Verdict verdict;
    verdict.isStatement = isStatement;
    verdict.fault = FAULT_NONE;
    verdict.lineNum = lineNum;
    verdict.charCode = 0;
    verdict.warnings = nullptr;
    verdict.warningCount = 0;
    verdict.source = {line, count, offset, &run->history, lastPiece};
    verdict.reachedByDisable = false;
    if (run->disablePending && isStatement && offset == 0) {
        verdict.reachedByDisable = true;
        run->disablePending = false;
    }
    if (isStatement) {
        // The statement ends at the first zero byte: the one stored here,
        // or one read from the file.
        line[count] = '\0';
        if (!warned) {
            judgeStatement<false>(line, readable, offset, &verdict, nullptr);
        } else {
            size_t checked = warn->numberChecks
                                 ? judgeStatement<true>(line, readable, offset,
                                                        &verdict, warn)
                                 : judgeStatement<false>(line, readable, offset,
                                                         &verdict, warn);
            warnOnStatement(warn, line, readable, &verdict, checked);
            // The grammar has seen the bytes it accepted: a control
            // character can only come after them.
            if (checked < warn->controlEnd) {
                warnOnControl(warn, line, checked, warn->controlEnd, offset);
            }
            // Suppressed warnings have had their effect: a carriage return
            // is not looked for again, a target is remembered. (Those of
            // other lines are dropped above.)
            if (warn->count != 0) {
                dropTurnedOff(warn, warn->fileOff | warn->lineOff);
            }
        }
    }
    if (warned && warn->count != 0) {
        if (warn->count > 1) {
            sortWarnings(warn);
        }
        verdict.warnings = warn->found;
        verdict.warningCount = warn->count;
    }
    if (warned && targetsLarge(warn) && !holdOrRelease(run, line, &verdict)) {
        return;
    }
    if (run->hooks->onVerdict(run->hooks->context, &verdict) != 0) {
        run->stopped = true;
    }
}

// Judges a line as judgeLineAs does, then lets the next piece of a long line
// learn what this one held.
template <bool warned>
void judgeLine(char *line, size_t count, size_t readable, long long lineNum,
               size_t offset, bool lastPiece, ReaderRun *run)
{
    judgeLineAs<warned>(line, count, readable, lineNum, offset, lastPiece, run);
    if (!lastPiece && run->hooks->history != 0) {
        rememberPiece(run, line, count, offset);
    }
}

template void judgeLine<true>(char *line, size_t count, size_t readable,
                              long long lineNum, size_t offset, bool lastPiece,
                              ReaderRun *run);
template void judgeLine<false>(char *line, size_t count, size_t readable,
                               long long lineNum, size_t offset, bool lastPiece,
                               ReaderRun *run);

bool lineIsSound(const char *line, size_t len)
{
    if (!isStatementLine(line, len)) {
        return true;
    }
    char text[lineBufSize + 1];
    memcpy(text, line, len);
    text[len] = '\0';
    Verdict verdict = {};
    judgeStatement<false>(text, len + 1, 0, &verdict, nullptr);
    return verdict.fault == FAULT_NONE;
}
