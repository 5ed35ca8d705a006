// Client configuration reader: splits the file into lines, parses each target
// statement in one left-to-right pass and judges its login parameters. The
// verdict on each statement goes to the caller's hook; nothing is printed.
#include "config.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "checks.h"
#include "targets.h"

// Bytes of one line the reader holds; longer lines are judged in pieces.
static const size_t lineBufSize = 512;

// Login-parameters grammar: the keyword, an identifier of at most
// maxIdentifierLen characters (so its comma stands at lastCommaPos at the
// latest), a comma and a password of at most maxPasswordLen characters.
static const size_t maxIdentifierLen = 63;
static const size_t lastCommaPos = loginKeywordLen + maxIdentifierLen;
static const size_t identifierScanEnd = lastCommaPos + 1;
static const size_t maxPasswordLen = 16;

static const char statementKeyword[] = "target";
static const size_t statementKeywordLen = sizeof statementKeyword - 1;

// True for the blanks of the file format: space and horizontal tab.
static bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// True for an ASCII digit.
static bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Builds the table of characters allowed in an identifier or a password:
// ASCII letters and digits, ".", "-" and "_".
static constexpr struct IdentifierTable {
    bool allowed[256];
    constexpr IdentifierTable() : allowed()
    {
        for (int c = 0; c < 256; c++) {
            allowed[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                         c == '_';
        }
    }
} identifierTable;

// True for a character allowed in an identifier or a password.
static bool isIdentifierChar(char c)
{
    return identifierTable.allowed[static_cast<unsigned char>(c)];
}

// Returns the first position at or after `pos` that does not hold a blank.
static size_t skipBlanks(const char *line, size_t pos)
{
    while (isBlank(line[pos])) {
        pos++;
    }
    return pos;
}

FaultKind findLoginParamsFault(const char *field, size_t len)
{
    if (len == 0) {
        return FAULT_MISSING_LOGIN_PARAMS;
    }
    if (len < loginKeywordLen ||
        memcmp(field, loginKeyword, loginKeywordLen) != 0) {
        return FAULT_MISSING_KEYWORD;
    }
    // The identifier ends at a comma no later than lastCommaPos.
    size_t scanEnd = len < identifierScanEnd ? len : identifierScanEnd;
    size_t comma = loginKeywordLen;
    while (comma < scanEnd && isIdentifierChar(field[comma])) {
        comma++;
    }
    if (comma > lastCommaPos) {
        return FAULT_IDENTIFIER_TOO_LONG;
    }
    if (comma == len) {
        return FAULT_MISSING_COMMA;
    }
    if (field[comma] != ',') {
        return FAULT_IDENTIFIER_CHAR;
    }
    if (comma == loginKeywordLen) {
        return FAULT_MISSING_IDENTIFIER;
    }
    size_t pos = comma + 1;
    scanEnd = len < pos + maxPasswordLen ? len : pos + maxPasswordLen;
    while (pos < scanEnd) {
        if (!isIdentifierChar(field[pos])) {
            return FAULT_PASSWORD_CHAR;
        }
        pos++;
    }
    if (pos == len) {
        return FAULT_NONE;
    }
    return isIdentifierChar(field[pos]) ? FAULT_PASSWORD_TOO_LONG
                                        : FAULT_CHARS_AFTER_PASSWORD;
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

// The warnings asked for, what they remember across the lines of a file, and
// those found on the current line.
struct WarningState {
    WarningSet enabled;
    bool carriageReturnSeen; // the file's first such line is reported
    bool controlSeen;        // the current physical line's is reported
    bool statementSeen;      // the file holds a target statement
    TargetTable targets;     // used for WARN_DUPLICATE_TARGET only
    Warning found[maxLineWarnings];
    size_t count;
    // What the file's directives turn off: for the next statement's line,
    // for that line's pieces, and to the end of the file.
    bool directives; // they are obeyed
    WarningSet nextLineOff;
    WarningSet lineOff;
    WarningSet fileOff;
    bool emptyFileOff; // disable-file=empty-file anywhere
};

// True when warnings are `warned` for at all and `warn` asks for some of
// `kinds`.
template <bool warned>
static bool wants(const WarningState *warn, WarningSet kinds)
{
    return warned && (warn->enabled & kinds) != 0;
}

// Adds a warning of `kind` at `pos` when it is asked for.
static void addWarning(WarningState *warn, WarningKind kind, size_t pos,
                       long long value = 0, unsigned variant = 0)
{
    if ((warn->enabled & warningBit(kind)) != 0 &&
        warn->count < maxLineWarnings) {
        warn->found[warn->count++] = {kind, variant, pos, value};
    }
}

// The value of the digits from `start` to `end` as written, whatever their
// number: it saturates at the largest 64-bit value, over every limit.
// `taken` is their value modulo 2^32, which is the value itself for nine
// digits or fewer (the common case, which needs no second pass).
static uint64_t writtenValue(const char *line, size_t start, size_t end,
                             uint32_t taken)
{
    if (end - start <= 9) {
        return taken;
    }
    const uint64_t limit = (UINT64_MAX - 9) / 10;
    uint64_t value = 0;
    for (size_t k = start; k < end; k++) {
        if (value > limit) {
            return UINT64_MAX;
        }
        value = value * 10 + static_cast<uint64_t>(line[k] - '0');
    }
    return value;
}

// The warnings on address number digits from `start` to `end` (`offset`
// places them in the physical line), whose value modulo 2^32 is `taken`.
static void warnOnAddressNumber(WarningState *warn, const char *line,
                                size_t start, size_t end, size_t offset,
                                uint32_t taken)
{
    if (end - start >= 2 && line[start] == '0') {
        addWarning(warn, WARN_LEADING_ZERO, offset + start);
    }
    if (writtenValue(line, start, end, taken) > 255) {
        addWarning(warn, WARN_ADDRESS_RANGE, offset + start, taken & 0xFFU);
    }
}

// The warnings on port digits, whose value modulo 2^32 is `taken`.
static void warnOnPort(WarningState *warn, const char *line, size_t start,
                       size_t end, size_t offset, uint32_t taken)
{
    uint64_t written = writtenValue(line, start, end, taken);
    if (written == 0) {
        addWarning(warn, WARN_PORT_RANGE, offset + start, 0, 1);
    } else if (written > 65535) {
        addWarning(warn, WARN_PORT_RANGE, offset + start, taken & 0xFFFFU);
    }
}

// Text after sound login parameters that nobody checks: anything but blanks
// and one final carriage return before the end (the first zero byte).
static void warnOnTrailingText(WarningState *warn, const char *line,
                               size_t fieldEnd, size_t offset)
{
    size_t pos = skipBlanks(line, fieldEnd);
    if (line[pos] == '\0' || (line[pos] == '\r' && line[pos + 1] == '\0')) {
        return;
    }
    addWarning(warn, WARN_TRAILING_TEXT, offset + pos);
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
    if (strncmp(line + pos, statementKeyword, statementKeywordLen) != 0) {
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
    FaultKind loginFault = findLoginParamsFault(line + fieldStart, fieldLen);
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

// One run of the reader: where its verdicts go, and its warnings (null when
// none is asked for).
struct ReaderRun {
    const ReaderHooks *hooks;
    WarningState *warn;
    bool stopped; // the consumer asked to stop
    // What the earlier pieces of the current physical line held, when it is
    // a long one.
    LineHistory history;
};

// Notes what a piece at `offset` that does not end its line holds, for the
// next piece.
static void rememberPiece(ReaderRun *run, const char *piece, size_t count,
                          size_t offset)
{
    LineHistory *history = &run->history;
    if (offset == 0) {
        *history = {noPosition, noPosition, {}};
    }
    const auto *comma = static_cast<const char *>(memchr(piece, ',', count));
    const auto *colon = static_cast<const char *>(memchr(piece, ':', count));
    if (history->commaBefore == noPosition && comma != nullptr) {
        history->commaBefore = offset + static_cast<size_t>(comma - piece);
    }
    if (history->colonBefore == noPosition && colon != nullptr) {
        history->colonBefore = offset + static_cast<size_t>(colon - piece);
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(piece);
    countChars(history->charsBefore, bytes, count, count,
               &history->charsBefore);
}

// Puts the line's warnings in order of position, then of kind (a handful at
// most, so insertion sort).
static void sortWarnings(WarningState *warn)
{
    for (size_t k = 1; k < warn->count; k++) {
        Warning moved = warn->found[k];
        size_t j = k;
        while (j > 0 && (warn->found[j - 1].pos > moved.pos ||
                         (warn->found[j - 1].pos == moved.pos &&
                          warn->found[j - 1].kind > moved.kind))) {
            warn->found[j] = warn->found[j - 1];
            j--;
        }
        warn->found[j] = moved;
    }
}

// True for a control character: C0 but the tab, and DEL.
static bool isControl(unsigned char c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

// A high bit set for some byte of `word` that is under 0x20 or equal to
// 0x7F, and none when there is no such byte.
static uint64_t suspectBytes(uint64_t word)
{
    const uint64_t ones = 0x0101010101010101ULL;
    const uint64_t highs = 0x8080808080808080ULL;
    uint64_t del = word ^ (ones * 0x7F);
    return (((word - ones * 0x20) & ~word) | ((del - ones) & ~del)) & highs;
}

// The first control character of the `len` bytes at `bytes`, or
// noPosition. Sixteen bytes are looked at a time, for a byte under 0x20 or
// equal to 0x7F (a tab among them sends the sixteen to the byte-wise test):
// with -W all, every byte of the file passes here.
static size_t firstControl(const unsigned char *bytes, size_t len)
{
    const unsigned char *end = bytes + len;
    const unsigned char *at = bytes;
    for (; end - at >= 16; at += 16) {
        uint64_t words[2];
        memcpy(words, at, sizeof words);
        if ((suspectBytes(words[0]) | suspectBytes(words[1])) == 0) {
            continue;
        }
        for (const unsigned char *byte = at; byte < at + 16; byte++) {
            if (isControl(*byte)) {
                return static_cast<size_t>(byte - bytes);
            }
        }
    }
    for (; at < end; at++) {
        if (isControl(*at)) {
            return static_cast<size_t>(at - bytes);
        }
    }
    return noPosition;
}

// The directive's word, and what may follow it.
static const char directiveWord[] = "iscsi-config-check:";
static const size_t directiveWordLen = sizeof directiveWord - 1;

// Reads a comment line that begins "#", blanks and "iscsi-config-check:":
// "disable=" or "disable-file=" and names separated by commas, then blanks
// and a final carriage return at most. Turns the named warnings off as it
// says, and tells what it cannot read as bad-directive warnings.
static void readDirective(WarningState *warn, const char *line, size_t count,
                          size_t pos)
{
    pos = skipBlanks(line, pos + directiveWordLen);
    size_t start = pos;
    bool wholeFile = strncmp(line + pos, "disable-file=", 13) == 0;
    if (wholeFile) {
        pos += 13;
    } else if (strncmp(line + pos, "disable=", 8) == 0) {
        pos += 8;
    }
    size_t end = count;
    if (end > 0 && line[end - 1] == '\r') {
        end--;
    }
    while (end > pos && isBlank(line[end - 1])) {
        end--;
    }
    bool formed = pos > start && end > pos && line[pos] != ',' &&
                  line[end - 1] != ',' &&
                  memchr(line + pos, ' ', end - pos) == nullptr &&
                  memchr(line + pos, '\t', end - pos) == nullptr &&
                  memchr(line + pos, '\0', end - pos) == nullptr &&
                  strstr(line + pos, ",,") == nullptr;
    if (!formed) {
        addWarning(warn, WARN_BAD_DIRECTIVE, 0);
        return;
    }
    WarningSet off = 0;
    while (pos < end) {
        const char *comma =
            static_cast<const char *>(memchr(line + pos, ',', end - pos));
        size_t len = comma != nullptr ? static_cast<size_t>(comma - line) - pos
                                      : end - pos;
        std::string_view name(line + pos, len);
        const CheckInfo *check = findCheck(name);
        if (name == "all") {
            off |= allWarnings;
        } else if (check != nullptr && check->severity == Severity::warning) {
            off |= warningBit(warningKindOf(check));
        } else {
            addWarning(warn, WARN_BAD_DIRECTIVE, pos,
                       static_cast<long long>(len), check == nullptr ? 1 : 2);
        }
        pos += len + 1;
    }
    if (wholeFile) {
        warn->fileOff |= off;
        warn->emptyFileOff =
            warn->emptyFileOff || (off & warningBit(WARN_EMPTY_FILE)) != 0;
    } else {
        warn->nextLineOff |= off;
    }
}

// Drops the line's warnings that the file's directives turn off.
static void dropTurnedOff(WarningState *warn, WarningSet off)
{
    if (off == 0) {
        return;
    }
    size_t kept = 0;
    for (size_t k = 0; k < warn->count; k++) {
        if ((off & warningBit(warn->found[k].kind)) == 0) {
            warn->found[kept++] = warn->found[k];
        }
    }
    warn->count = kept;
}

// The byte order mark of UTF-8, which some editors put at a file's start.
static const char byteOrderMark[] = {'\xEF', '\xBB', '\xBF'};

// The warnings of the line itself, whatever it holds: a byte order mark, a
// long line's second piece, a carriage return at the line's end.
static void warnOnLine(WarningState *warn, const char *line, size_t count,
                       long long lineNum, size_t offset, bool lastPiece)
{
    if (lineNum == 1 && offset == 0 && count >= sizeof byteOrderMark &&
        memcmp(line, byteOrderMark, sizeof byteOrderMark) == 0) {
        addWarning(warn, WARN_BOM, 0);
    }
    if (offset == lineBufSize && count > 0) {
        addWarning(warn, WARN_LONG_LINE, offset);
    }
    bool endsInReturn = lastPiece && count > 0 && line[count - 1] == '\r';
    if (endsInReturn && !warn->carriageReturnSeen &&
        (warn->enabled & warningBit(WARN_CARRIAGE_RETURN)) != 0) {
        warn->carriageReturnSeen = true;
        addWarning(warn, WARN_CARRIAGE_RETURN, offset + count - 1);
    }
    if (offset == 0) {
        warn->controlSeen = false;
    }
    if (!warn->controlSeen &&
        (warn->enabled & warningBit(WARN_CONTROL_CHAR)) != 0) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(line);
        size_t at = firstControl(bytes, endsInReturn ? count - 1 : count);
        if (at != noPosition) {
            warn->controlSeen = true;
            addWarning(warn, WARN_CONTROL_CHAR, offset + at, bytes[at],
                       bytes[at] == 0 ? 1 : 0);
        }
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
    if (warned && !isStatement && warn->directives && count > 1 &&
        offset == 0 && isBlank(line[1])) {
        size_t pos = skipBlanks(line, 1);
        if (count - pos >= directiveWordLen &&
            memcmp(line + pos, directiveWord, directiveWordLen) == 0) {
            line[count] = '\0';
            readDirective(warn, line, count, pos);
        }
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

static void judgeLine(char *line, size_t count, long long lineNum,
                      size_t offset, bool lastPiece, ReaderRun *run)
{
    if (run->warn != nullptr) {
        judgeLineAs<true>(line, count, lineNum, offset, lastPiece, run);
    } else {
        judgeLineAs<false>(line, count, lineNum, offset, lastPiece, run);
    }
    // The next piece of a long line learns what this one held.
    if (!lastPiece) {
        rememberPiece(run, line, count, offset);
    }
}

// Where the reader takes its bytes from: the descriptor of a stream that has
// one, read as cat does (whatever is available, a signal's interruption
// retried), or else the stream itself.
struct ByteSource {
    FILE *file;
    int fd;
    bool mayWait; // a pipe or a terminal, whose reads wait for a writer
    bool failed;
    int errorNumber; // why it failed
};

static ByteSource openSource(FILE *file)
{
    ByteSource source = {file, fileno(file), false, false, 0};
    struct stat status = {};
    if (source.fd >= 0 && fstat(source.fd, &status) == 0) {
        source.mayWait = !S_ISREG(status.st_mode);
    }
    return source;
}

// Reads up to `size` bytes; returns how many arrived, 0 at the end of the
// input or after a failure (which sets `failed`). Bytes delivered by a stream
// whose read then failed are returned, with `failed` set.
static size_t readSome(ByteSource *source, char *buf, size_t size)
{
    if (source->fd < 0) {
        size_t got = fread(buf, 1, size, source->file);
        source->failed = ferror(source->file) != 0;
        source->errorNumber = source->failed ? errno : 0;
        return got;
    }
    for (;;) {
        ssize_t got = read(source->fd, buf, size);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            source->failed = true;
            source->errorNumber = errno;
            return 0;
        }
    }
}

// Judges a full line buffer, a piece of a longer line, once `next`, the byte
// after it, shows whether the line ends there: a newline right after a full
// piece ends that same line. Returns where the reading goes on.
static char *judgeFullPiece(char *lineBuf, char *next, long long *lineNum,
                            size_t *offset, ReaderRun *run)
{
    bool lineEnds = *next == '\n';
    judgeLine(lineBuf, lineBufSize, *lineNum, *offset, lineEnds, run);
    *offset += lineBufSize;
    if (!lineEnds) {
        return next;
    }
    ++*lineNum;
    *offset = 0;
    return next + 1;
}

// Splits the bytes read into lines and judges them. A full line buffer is a
// piece of a longer line; it is judged once the next byte shows whether the
// line ends there (a newline, or the end of the input).
static ReadResult readLines(ByteSource *source, const ReaderHooks *hooks,
                            ReaderRun *run)
{
    char block[maxReadBlockSize];
    char lineBuf[lineBufSize + 1]; // a piece and its terminating zero
    size_t blockSize = hooks->readBlockSize;
    if (blockSize == 0 || blockSize > maxReadBlockSize) {
        blockSize = maxReadBlockSize;
    }
    size_t count = 0;  // bytes of the current piece held in lineBuf
    size_t offset = 0; // where that piece starts in its physical line
    long long lineNum = 1;

    for (;;) {
        if (source->mayWait && hooks->beforeWait != nullptr) {
            hooks->beforeWait(hooks->context);
        }
        size_t got = readSome(source, block, blockSize);
        if (got == 0) {
            break;
        }
        char *pos = block;
        char *end = block + got;
        if (count == lineBufSize) {
            pos = judgeFullPiece(lineBuf, pos, &lineNum, &offset, run);
            count = 0;
        }
        while (pos < end && !run->stopped) {
            size_t room = lineBufSize - count;
            size_t avail = static_cast<size_t>(end - pos);
            size_t take = avail < room ? avail : room;
            char *newline = static_cast<char *>(memchr(pos, '\n', take));
            if (newline != nullptr && count == 0) {
                // The whole line lies in the block: judge it there, its
                // newline becoming its terminator.
                judgeLine(pos, static_cast<size_t>(newline - pos), lineNum,
                          offset, true, run);
                pos = newline + 1;
                lineNum++;
                offset = 0;
                continue;
            }
            if (newline != nullptr) {
                take = static_cast<size_t>(newline - pos);
            }
            memcpy(lineBuf + count, pos, take);
            count += take;
            pos += take;
            if (newline != nullptr) {
                judgeLine(lineBuf, count, lineNum, offset, true, run);
                pos++;
                lineNum++;
                count = 0;
                offset = 0;
            } else if (count == lineBufSize && pos < end) {
                pos = judgeFullPiece(lineBuf, pos, &lineNum, &offset, run);
                count = 0;
            }
        }
        if (run->stopped) {
            return ReadResult::stopped;
        }
        // A failed read may still have delivered bytes; they are judged above,
        // and nothing after the failure is read.
        if (source->failed) {
            break;
        }
    }
    judgeLine(lineBuf, count, lineNum, offset, true, run);
    if (source->failed) {
        return ReadResult::readFailed;
    }
    return run->stopped ? ReadResult::stopped : ReadResult::ok;
}

ReadResult readConfigStream(FILE *file, ReaderHooks *hooks)
{
    ByteSource source = openSource(file);
    ReaderRun run = {hooks, nullptr, false, {}};
    if (hooks->warnings == 0) {
        ReadResult result = readLines(&source, hooks, &run);
        hooks->readErrno = source.errorNumber;
        return result;
    }
    WarningState warn = {};
    warn.enabled = hooks->warnings;
    warn.directives = hooks->directives;
    warn.targets = newTargetTable();
    run.warn = &warn;
    ReadResult result = readLines(&source, hooks, &run);
    clearTargetTable(&warn.targets);
    if (result == ReadResult::ok && !warn.statementSeen && !warn.emptyFileOff &&
        (warn.enabled & warningBit(WARN_EMPTY_FILE)) != 0) {
        // A file read to its end that defines no target: told on line 1.
        Warning empty = {WARN_EMPTY_FILE, 0, 0, 0};
        Verdict verdict = {};
        verdict.lineNum = 1;
        verdict.warnings = &empty;
        verdict.warningCount = 1;
        verdict.source = {"", 0, 0, &run.history};
        if (hooks->onVerdict(hooks->context, &verdict) != 0) {
            result = ReadResult::stopped;
        }
    }
    hooks->readErrno = source.errorNumber;
    return result;
}
