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

// True for an ASCII digit.
static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}


// Accumulates the digits from `pos` into `*value` modulo 2^32 (unsigned
// arithmetic wraps there); returns the position after the last digit. The
// address's and the port's moduli, 2^8 and 2^16, divide 2^32, so their low
// bits come out as if accumulated modulo those.
static size_t readNumber(const char *line, size_t pos, uint32_t *value)
{
    uint32_t acc = 0;
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

// The warnings judged on each number's digits.
static const WarningSet numberWarnings =
    warningBit(WARN_LEADING_ZERO) | warningBit(WARN_ADDRESS_RANGE) |
    warningBit(WARN_PORT_RANGE) | warningBit(WARN_COUNT_RANGE);

// Parses and judges one target statement, ended by its first zero byte, into
// `verdict`; `offset` is where the text starts within its physical line.
// When `warned`, the warnings that `warn` asks for are added there: a
// number's as soon as its digits end, so that a later fault does not hide
// them.
template <bool warned>
static void judgeStatement(const char *line, size_t offset, long long lineNum,
                           Verdict *verdict, WarningState *warn)
{
    bool numbersWarned = wants<warned>(warn, numberWarnings);
    size_t pos = skipBlanks(line, 0);
    if (!startsWithKeyword(line + pos)) {
        setFault(verdict, FAULT_PARSE, offset + pos);
        return;
    }
    pos = skipBlanks(line, pos + statementKeywordLen);
    if (line[pos] != '=') {
        setFault(verdict, FAULT_PARSE, offset + pos);
        return;
    }
    pos = skipBlanks(line, pos + 1);
    size_t addressStart = pos;

    for (size_t k = 0; k < 4; k++) {
        size_t digitsStart = pos;
        uint32_t taken = 0;
        pos = readNumber(line, pos, &taken);
        verdict->addr[k] = taken & 0xFFU;
        if (pos == digitsStart) {
            setFault(verdict, FAULT_ADDRESS, offset + pos);
            return;
        }
        if (numbersWarned) {
            warnOnAddressNumber(warn, line, digitsStart, pos, offset, taken);
        }
        if (k < 3) {
            if (line[pos] != '.') {
                // The line's end shows as code 0.
                setFault(verdict, FAULT_ADDRESS_CHAR, offset + pos);
                verdict->charCode = static_cast<unsigned char>(line[pos]);
                return;
            }
            pos++;
        }
    }
    if (line[pos] != ' ') {
        setFault(verdict, FAULT_ADDRESS, offset + pos);
        return;
    }
    pos = skipBlanks(line, pos + 1);

    size_t portStart = pos;
    uint32_t port = 0;
    pos = readNumber(line, pos, &port);
    verdict->port = port & 0xFFFFU;
    if (numbersWarned && pos != portStart) {
        warnOnPort(warn, line, portStart, pos, offset, port);
    }
    if (pos == portStart || line[pos] != ' ') {
        setFault(verdict, FAULT_PORT, offset + pos);
        return;
    }
    bool duplicatesWarned =
        wants<warned>(warn, warningBit(WARN_DUPLICATE_TARGET));
    pos = skipBlanks(line, pos + 1);

    uint32_t count = 0;
    size_t countStart = pos;
    pos = readNumber(line, pos, &count);
    if (numbersWarned &&
        writtenValue(line, countStart, pos, count) > maxConnections) {
        addWarning(warn, WARN_COUNT_RANGE, offset + countStart,
                   toSigned32(count));
    }
    size_t fieldStart = skipBlanks(line, pos);
    size_t fieldLen = strcspn(line + fieldStart, " \t");
    pos = fieldStart + fieldLen;
    size_t comma = 0;
    FaultKind loginFault = judgeLoginParams(line + fieldStart, fieldLen, &comma);
    if (loginFault != FAULT_NONE) {
        // An empty field starts, and ends, where the text does.
        setFault(verdict, loginFault, offset + fieldStart);
        return;
    }
    if (wants<warned>(warn, warningBit(WARN_TRAILING_TEXT))) {
        warnOnTrailingText(warn, line, pos, offset);
    }
    verdict->nConnections = toSigned32(count);
    if (verdict->nConnections == 0) {
        setFault(verdict, FAULT_NO_CONNECTIONS, offset + pos);
        return;
    }
    verdict->fault = FAULT_NONE;
    verdict->loginParams = line + fieldStart;
    verdict->loginParamsLen = fieldLen;
    verdict->commaPos = comma;
    verdict->restLen = fieldLen + strlen(line + pos);
    if (duplicatesWarned) {
        // An earlier piece of the same physical line counts as an earlier
        // definition too.
        TargetMemory memory = rememberTarget(
            &warn->targets, targetKey(verdict->addr, verdict->port), lineNum);
        if (!memory.isNew) {
            addWarning(warn, WARN_DUPLICATE_TARGET, offset + addressStart,
                       memory.firstLine);
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
        *history = {noPosition, noPosition, {}};
    }
    if ((asked & HISTORY_MARKS) != 0) {
        const auto *comma =
            static_cast<const char *>(memchr(piece, ',', count));
        const auto *colon =
            static_cast<const char *>(memchr(piece, ':', count));
        if (history->commaBefore == noPosition && comma != nullptr) {
            history->commaBefore = offset + static_cast<size_t>(comma - piece);
        }
        if (history->colonBefore == noPosition && colon != nullptr) {
            history->colonBefore = offset + static_cast<size_t>(colon - piece);
        }
    }
    if ((asked & HISTORY_CHARS) != 0) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(piece);
        countChars(history->charsBefore, bytes, count, count,
                   &history->charsBefore);
    }
}

// Judges one line, or one piece of an over-long line (`lastPiece` tells that
// the line ends after it), and hands over its verdict: `count` bytes as read,
// which may include zero bytes, with room for one more after them. An empty
// or comment line is handed over only for its warnings. Built twice, with
// and without warnings: the default path then carries none of their tests,
// which saves a tenth of its instructions.
template <bool warned>
static void judgeLineAs(char *line, size_t count, long long lineNum,
                        size_t offset, bool lastPiece, ReaderRun *run)
{
    WarningState *warn = run->warn;
    bool isStatement = count > 0 && line[0] != '#';
    WarningSet off = 0;
    if (warned) {
        warn->count = 0;
        warnOnLine(warn, line, count, lineNum, offset, lastPiece);
        off = warn->fileOff;
        if (isStatement) {
            // The directives before a statement's line hold for its pieces.
            if (offset == 0) {
                warn->lineOff = warn->nextLineOff;
                warn->nextLineOff = 0;
            }
            off |= warn->lineOff;
            warn->statementSeen = true;
        }
    }
    if (warned && !isStatement && warn->directives && offset == 0) {
        readDirectiveLine(warn, line, count);
    }
    if (warned && !isStatement) {
        dropTurnedOff(warn, off);
    }
    if (!isStatement && (!warned || warn->count == 0)) {
        return;
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
    verdict.source = {line, count, offset, &run->history};
    if (isStatement) {
        // The statement ends at the first zero byte: the one stored here,
        // or one read from the file.
        line[count] = '\0';
        judgeStatement<warned>(line, offset, lineNum, &verdict, warn);
    }
    if (warned) {
        // Suppressed warnings have had their effect: a carriage return is
        // not looked for again, a target is remembered. (Those of other
        // lines are dropped above.)
        if (isStatement) {
            dropTurnedOff(warn, off);
        }
        sortWarnings(warn);
        verdict.warnings = warn->found;
        verdict.warningCount = warn->count;
    }
    if (run->hooks->onVerdict(run->hooks->context, &verdict) != 0) {
        run->stopped = true;
    }
}

void judgeLine(char *line, size_t count, long long lineNum,
                      size_t offset, bool lastPiece, ReaderRun *run)
{
    if (run->warn != nullptr) {
        judgeLineAs<true>(line, count, lineNum, offset, lastPiece, run);
    } else {
        judgeLineAs<false>(line, count, lineNum, offset, lastPiece, run);
    }
    // The next piece of a long line learns what this one held.
    if (!lastPiece && run->hooks->history != 0) {
        rememberPiece(run, line, count, offset);
    }
}

