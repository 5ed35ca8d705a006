// Client configuration reader: splits the file into lines, parses each target
// statement in one left-to-right pass and judges its login parameters. The
// verdict on each statement goes to the caller's hook; nothing is printed.
#include "config.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "targets.h"

// Bytes of one line the reader holds; longer lines are judged in pieces.
static const size_t lineBufSize = 512;

// The fault kinds: whether a position is reported, name, message and
// summary. The messages are the checker's fixed texts, without the prefix and
// trailing space that a format adds.
// clang-format off
constexpr FaultInfo faultTable[FAULT_KIND_COUNT] = {
    {FAULT_NONE, false, "", "",
     ""},
    {FAULT_PARSE, true, "parse", "parse error",
     "A line that is neither empty nor a comment does not begin with the keyword target and an equals sign."},
    {FAULT_ADDRESS, true, "address", "error in address",
     "An address number has no digits, or the address is not followed by a space."},
    // followed by the character's code in octal
    {FAULT_ADDRESS_CHAR, true, "address-char", "illegal character in address 0",
     "A character other than a dot follows one of the first three address numbers."},
    {FAULT_PORT, true, "port", "error in port number",
     "The port has no digits, or is not followed by a space."},
    {FAULT_NO_CONNECTIONS, true, "no-connections", "no connections defined",
     "The login parameters are sound, but the connection count is 0 or absent."},
    {FAULT_MISSING_LOGIN_PARAMS, false, "missing-login-params", "missing Login Parameters",
     "The statement ends after its port or its connection count."},
    {FAULT_MISSING_KEYWORD, false, "missing-keyword", "missing 'Initiator:' keyword",
     "The login parameters do not begin with Initiator:."},
    {FAULT_MISSING_IDENTIFIER, false, "missing-identifier", "missing Initiator identifier",
     "A comma directly follows Initiator:."},
    {FAULT_IDENTIFIER_CHAR, false, "identifier-char", "illegal character in identifier",
     "The identifier holds a character other than a letter, a digit, a dot, a hyphen or an underscore."},
    {FAULT_MISSING_COMMA, false, "missing-comma", "missing ',' after identifier",
     "The login parameters end inside the identifier."},
    {FAULT_IDENTIFIER_TOO_LONG, false, "identifier-too-long", "identifier is too long",
     "The identifier is longer than 63 characters."},
    {FAULT_PASSWORD_CHAR, false, "password-char", "illegal character in 'password'",
     "The password holds a character other than a letter, a digit, a dot, a hyphen or an underscore."},
    {FAULT_CHARS_AFTER_PASSWORD, false, "chars-after-password", "illegal characters after 'password'",
     "Another character follows 16 password characters."},
    {FAULT_PASSWORD_TOO_LONG, false, "password-too-long", "'password' is too long",
     "The password is longer than 16 characters."},
};
// clang-format on

// Every kind has its row, found by its value.
static constexpr bool faultTableIsIndexed()
{
    for (size_t k = 0; k < FAULT_KIND_COUNT; k++) {
        if (faultTable[k].kind != static_cast<FaultKind>(k)) {
            return false;
        }
    }
    return sizeof faultTable / sizeof faultTable[0] == FAULT_KIND_COUNT;
}
// One row per fault kind, in its place.
static_assert(faultTableIsIndexed());

// The warning kinds, in the order that orders warnings at one column.
// clang-format off
static constexpr WarningInfo warningTable[] = {
    {WARN_BOM, "bom", "a byte order mark at the start of the file"},
    {WARN_LEADING_ZERO, "leading-zero", "an address number with a leading zero, which other tools read as octal"},
    {WARN_ADDRESS_RANGE, "address-range", "an address number over 255, which wraps"},
    {WARN_PORT_RANGE, "port-range", "a port of 0, or over 65535, which wraps"},
    {WARN_COUNT_RANGE, "count-range", "a connection count over 65535, the protocol's limit"},
    {WARN_DUPLICATE_TARGET, "duplicate-target", "an address and port defined on an earlier line"},
    {WARN_TRAILING_TEXT, "trailing-text", "text after the login parameters, which is not checked"},
    {WARN_CARRIAGE_RETURN, "carriage-return", "CRLF line ends"},
    {WARN_LONG_LINE, "long-line", "a line over 512 bytes, whose rest is judged as a line of its own"},
};
// clang-format on

static constexpr bool warningTableIsIndexed()
{
    for (size_t k = 0; k < WARN_KIND_COUNT; k++) {
        if (warningTable[k].kind != static_cast<WarningKind>(k)) {
            return false;
        }
    }
    return sizeof warningTable / sizeof warningTable[0] == WARN_KIND_COUNT;
}
// One row per warning kind, in its place.
static_assert(warningTableIsIndexed());

const WarningInfo *warningInfo(WarningKind kind)
{
    return &warningTable[kind];
}

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

// The grammar of the login-parameters field (see findLoginParamsFault); kept
// internal so that the statement parser's call can be inlined.
static FaultKind loginParamsFault(const char *field, size_t len)
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

FaultKind findLoginParamsFault(const char *field, size_t len)
{
    return loginParamsFault(field, len);
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
    TargetTable targets;     // used for WARN_DUPLICATE_TARGET only
    Warning found[maxLineWarnings];
    size_t count;
};

// Adds a warning of `kind` at `pos` when it is asked for.
static Warning *addWarning(WarningState *warn, WarningKind kind, size_t pos,
                           long long value = 0)
{
    if ((warn->enabled & warningBit(kind)) == 0 ||
        warn->count == maxLineWarnings) {
        return nullptr;
    }
    Warning *warning = &warn->found[warn->count++];
    *warning = {kind, false, pos, value};
    return warning;
}

// The value of the digits from `start` to `end` as written, whatever their
// number: it saturates at the largest 64-bit value, over every limit.
static uint64_t writtenValue(const char *line, size_t start, size_t end)
{
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
// places them in the physical line), taken as `taken`.
static void checkAddressNumber(WarningState *warn, const char *line,
                               size_t start, size_t end, size_t offset,
                               uint32_t taken)
{
    if (end - start >= 2 && line[start] == '0') {
        addWarning(warn, WARN_LEADING_ZERO, offset + start);
    }
    if (writtenValue(line, start, end) > 255) {
        addWarning(warn, WARN_ADDRESS_RANGE, offset + start, taken);
    }
}

// The warnings on port digits, taken as `taken`.
static void checkPort(WarningState *warn, const char *line, size_t start,
                      size_t end, size_t offset, uint32_t taken)
{
    uint64_t written = writtenValue(line, start, end);
    if (written == 0) {
        Warning *warning = addWarning(warn, WARN_PORT_RANGE, offset + start);
        if (warning != nullptr) {
            warning->zeroPort = true;
        }
    } else if (written > 65535) {
        addWarning(warn, WARN_PORT_RANGE, offset + start, taken);
    }
}

// Text after sound login parameters that nobody checks: anything but blanks
// and one final carriage return before the end (the first zero byte).
static void checkTrailingText(WarningState *warn, const char *line,
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

// Parses and judges one target statement, ended by its first zero byte, into
// `verdict`; `offset` is where the text starts within its physical line. With
// `warn`, the warnings asked for are added there: a number's as soon as its
// digits end, so that a later fault does not hide them. Inlined into both
// callers, so that the one without warnings carries none of their tests.
__attribute__((always_inline)) static inline void
judgeStatement(const char *line, size_t offset, long long lineNum,
               Verdict *verdict, WarningState *warn)
{
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
        pos = readNumber(line, pos, &verdict->addr[k]);
        verdict->addr[k] &= 0xFFU;
        if (pos == digitsStart) {
            setFault(verdict, FAULT_ADDRESS, offset + pos);
            return;
        }
        if (warn != nullptr) {
            checkAddressNumber(warn, line, digitsStart, pos, offset,
                               verdict->addr[k]);
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
    pos = readNumber(line, pos, &verdict->port);
    verdict->port &= 0xFFFFU;
    if (warn != nullptr && pos != portStart) {
        checkPort(warn, line, portStart, pos, offset, verdict->port);
    }
    if (pos == portStart || line[pos] != ' ') {
        setFault(verdict, FAULT_PORT, offset + pos);
        return;
    }
    if (warn != nullptr &&
        (warn->enabled & warningBit(WARN_DUPLICATE_TARGET)) != 0) {
        // Looked up once the login parameters are judged.
        prefetchTarget(&warn->targets, targetKey(verdict->addr, verdict->port));
    }

    pos = skipBlanks(line, pos + 1);

    uint32_t count = 0;
    size_t countStart = pos;
    pos = readNumber(line, pos, &count);
    if (warn != nullptr &&
        writtenValue(line, countStart, pos) > maxConnections) {
        addWarning(warn, WARN_COUNT_RANGE, offset + countStart,
                   toSigned32(count));
    }
    size_t fieldStart = skipBlanks(line, pos);
    size_t fieldLen = strcspn(line + fieldStart, " \t");
    pos = fieldStart + fieldLen;
    FaultKind loginFault = loginParamsFault(line + fieldStart, fieldLen);
    if (loginFault != FAULT_NONE) {
        // An empty field starts, and ends, where the text does.
        setFault(verdict, loginFault, offset + fieldStart);
        return;
    }
    if (warn != nullptr) {
        checkTrailingText(warn, line, pos, offset);
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
    if (warn != nullptr &&
        (warn->enabled & warningBit(WARN_DUPLICATE_TARGET)) != 0) {
        long long firstLine = rememberTarget(
            &warn->targets, targetKey(verdict->addr, verdict->port), lineNum);
        if (firstLine != lineNum) {
            addWarning(warn, WARN_DUPLICATE_TARGET, offset + addressStart,
                       firstLine);
        }
    }
}

// One run of the reader: where its verdicts go, and its warnings (null when
// none is asked for).
struct ReaderRun {
    const ReaderHooks *hooks;
    WarningState *warn;
    bool stopped; // the consumer asked to stop
};

// Hands `verdict` over; remembers whether the consumer asked to stop.
static void handOver(ReaderRun *run, const Verdict *verdict)
{
    if (run->hooks->onVerdict(run->hooks->context, verdict) != 0) {
        run->stopped = true;
    }
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

// The byte order mark of UTF-8, which some editors put at a file's start.
static const char byteOrderMark[] = {'\xEF', '\xBB', '\xBF'};

// judgeLine when warnings are asked for: also the warnings of the line
// itself, on comment and empty lines too. `lastPiece` tells that the line
// ends after this piece.
static void judgeLineWarned(char *line, size_t count, long long lineNum,
                            size_t offset, bool lastPiece, ReaderRun *run)
{
    WarningState *warn = run->warn;
    warn->count = 0;
    if (lineNum == 1 && offset == 0 && count >= sizeof byteOrderMark &&
        memcmp(line, byteOrderMark, sizeof byteOrderMark) == 0) {
        addWarning(warn, WARN_BOM, 0);
    }
    if (offset == lineBufSize && count > 0) {
        addWarning(warn, WARN_LONG_LINE, offset);
    }
    if (lastPiece && count > 0 && line[count - 1] == '\r' &&
        !warn->carriageReturnSeen) {
        warn->carriageReturnSeen = addWarning(warn, WARN_CARRIAGE_RETURN,
                                              offset + count - 1) != nullptr;
    }
    Verdict verdict = {};
    verdict.lineNum = lineNum;
    verdict.text = line;
    verdict.textLen = count;
    verdict.textOffset = offset;
    verdict.isStatement = count > 0 && line[0] != '#';
    if (verdict.isStatement) {
        line[count] = '\0';
        judgeStatement(line, offset, lineNum, &verdict, warn);
    } else if (warn->count == 0) {
        return;
    }
    sortWarnings(warn);
    verdict.warnings = warn->found;
    verdict.warningCount = warn->count;
    handOver(run, &verdict);
}

// Judges one line, or one piece of an over-long line, and hands over its
// verdict: `count` bytes as read, which may include zero bytes, with room for
// one more after them.
static void judgeLine(char *line, size_t count, long long lineNum,
                      size_t offset, bool lastPiece, ReaderRun *run)
{
    if (run->warn != nullptr) {
        judgeLineWarned(line, count, lineNum, offset, lastPiece, run);
        return;
    }
    if (count == 0 || line[0] == '#') {
        return;
    }
    // The statement ends at the first zero byte: the one stored here, or
    // one read from the file.
    line[count] = '\0';
    // Only what every line has is set here; the statement's values are set
    // as they are parsed, and read only where the verdict says they exist.
    Verdict verdict;
    verdict.isStatement = true;
    verdict.lineNum = lineNum;
    verdict.charCode = 0;
    verdict.warnings = nullptr;
    verdict.warningCount = 0;
    verdict.text = line;
    verdict.textLen = count;
    verdict.textOffset = offset;
    judgeStatement(line, offset, lineNum, &verdict, nullptr);
    handOver(run, &verdict);
}

// Where the reader takes its bytes from: the descriptor of a stream that has
// one, read as cat does (whatever is available, a signal's interruption
// retried), or else the stream itself.
struct ByteSource {
    FILE *file;
    int fd;
    bool mayWait; // a pipe or a terminal, whose reads wait for a writer
    bool failed;
};

static ByteSource openSource(FILE *file)
{
    ByteSource source = {file, fileno(file), false, false};
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
        return got;
    }
    for (;;) {
        ssize_t got = read(source->fd, buf, size);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            source->failed = true;
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
static int readLines(ByteSource *source, const ReaderHooks *hooks,
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
            return CONFIG_WRITE_FAILED;
        }
        // A failed read may still have delivered bytes; they are judged above,
        // and nothing after the failure is read.
        if (source->failed) {
            break;
        }
    }
    judgeLine(lineBuf, count, lineNum, offset, true, run);
    if (source->failed) {
        return CONFIG_READ_FAILED;
    }
    return run->stopped ? CONFIG_WRITE_FAILED : CONFIG_OK;
}

int readConfigStream(FILE *file, const ReaderHooks *hooks)
{
    ByteSource source = openSource(file);
    ReaderRun run = {hooks, nullptr, false};
    if (hooks->warnings == 0) {
        return readLines(&source, hooks, &run);
    }
    WarningState warn = {};
    warn.enabled = hooks->warnings;
    warn.targets = emptyTargetTable;
    run.warn = &warn;
    int result = readLines(&source, hooks, &run);
    clearTargetTable(&warn.targets);
    return result;
}
