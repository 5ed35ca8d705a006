// Client configuration reader: splits the file into lines, parses each target
// statement in one left-to-right pass and judges its login parameters. The
// verdict on each statement goes to the caller's hook; nothing is printed.
#include "config.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// Bytes of one line the reader holds; longer lines are judged in pieces.
static const size_t lineBufSize = 512;

// The fault kinds: whether a position is reported, name and message. The
// messages are the checker's fixed texts, without the prefix and trailing
// space that a format adds.
// clang-format off
static constexpr FaultInfo faultTable[] = {
    {FAULT_NONE, false, "", ""},
    {FAULT_PARSE, true, "parse", "parse error"},
    {FAULT_ADDRESS, true, "address", "error in address"},
    // followed by the character's code in octal
    {FAULT_ADDRESS_CHAR, true, "address-char", "illegal character in address 0"},
    {FAULT_PORT, true, "port", "error in port number"},
    {FAULT_NO_CONNECTIONS, true, "no-connections", "no connections defined"},
    {FAULT_MISSING_LOGIN_PARAMS, false, "missing-login-params", "missing Login Parameters"},
    {FAULT_MISSING_KEYWORD, false, "missing-keyword", "missing 'Initiator:' keyword"},
    {FAULT_MISSING_IDENTIFIER, false, "missing-identifier", "missing Initiator identifier"},
    {FAULT_IDENTIFIER_CHAR, false, "identifier-char", "illegal character in identifier"},
    {FAULT_MISSING_COMMA, false, "missing-comma", "missing ',' after identifier"},
    {FAULT_IDENTIFIER_TOO_LONG, false, "identifier-too-long", "identifier is too long"},
    {FAULT_PASSWORD_CHAR, false, "password-char", "illegal character in 'password'"},
    {FAULT_CHARS_AFTER_PASSWORD, false, "chars-after-password", "illegal characters after 'password'"},
    {FAULT_PASSWORD_TOO_LONG, false, "password-too-long", "'password' is too long"},
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

const FaultInfo *faultInfo(FaultKind fault)
{
    return &faultTable[fault];
}

// Login-parameters grammar: the keyword, an identifier of at most
// maxIdentifierLen characters (so its comma stands at lastCommaPos at the
// latest), a comma and a password of at most maxPasswordLen characters.
static const char loginKeyword[] = "Initiator:";
static const size_t loginKeywordLen = sizeof loginKeyword - 1;
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

// Parses and judges one target statement, ended by its first zero byte, into
// `verdict`; `offset` is where the text starts within its physical line.
static void judgeStatement(const char *line, size_t offset, Verdict *verdict)
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

    for (size_t k = 0; k < 4; k++) {
        size_t digitsStart = pos;
        pos = readNumber(line, pos, &verdict->addr[k]);
        verdict->addr[k] &= 0xFFU;
        if (pos == digitsStart) {
            setFault(verdict, FAULT_ADDRESS, offset + pos);
            return;
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
    if (pos == portStart || line[pos] != ' ') {
        setFault(verdict, FAULT_PORT, offset + pos);
        return;
    }
    pos = skipBlanks(line, pos + 1);

    uint32_t count = 0;
    pos = readNumber(line, pos, &count);
    size_t fieldStart = skipBlanks(line, pos);
    size_t fieldLen = strcspn(line + fieldStart, " \t");
    pos = fieldStart + fieldLen;
    FaultKind loginFault = loginParamsFault(line + fieldStart, fieldLen);
    if (loginFault != FAULT_NONE) {
        // An empty field starts, and ends, where the text does.
        setFault(verdict, loginFault, offset + fieldStart);
        return;
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
}

// One run of the reader: where its verdicts go.
struct ReaderRun {
    const ReaderHooks *hooks;
    bool stopped; // the consumer asked to stop
};

// Judges one line, or one piece of an over-long line, and hands over its
// verdict: `count` bytes as read, which may include zero bytes, with room for
// one more after them.
static void judgeLine(char *line, size_t count, long long lineNum,
                      size_t offset, ReaderRun *run)
{
    if (count == 0 || line[0] == '#') {
        return;
    }
    // The statement ends at the first zero byte: the one stored here, or
    // one read from the file.
    line[count] = '\0';
    Verdict verdict = {};
    verdict.lineNum = lineNum;
    judgeStatement(line, offset, &verdict);
    if (run->hooks->onVerdict(run->hooks->context, &verdict) != 0) {
        run->stopped = true;
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

int readConfigStream(FILE *file, const ReaderHooks *hooks)
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
    ReaderRun run = {hooks, false};
    ByteSource source = openSource(file);

    for (;;) {
        if (source.mayWait && hooks->beforeWait != nullptr) {
            hooks->beforeWait(hooks->context);
        }
        size_t got = readSome(&source, block, blockSize);
        if (got == 0) {
            break;
        }
        char *pos = block;
        char *end = block + got;
        while (pos < end && !run.stopped) {
            size_t room = lineBufSize - count;
            size_t avail = static_cast<size_t>(end - pos);
            size_t take = avail < room ? avail : room;
            char *newline = static_cast<char *>(memchr(pos, '\n', take));
            if (newline != nullptr && count == 0) {
                // The whole line lies in the block: judge it there, its
                // newline becoming its terminator.
                judgeLine(pos, static_cast<size_t>(newline - pos), lineNum,
                          offset, &run);
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
                judgeLine(lineBuf, count, lineNum, offset, &run);
                pos++;
                lineNum++;
                count = 0;
                offset = 0;
            } else if (count == lineBufSize) {
                // A full buffer is judged as a piece of the same physical
                // line; a newline right after it then ends that line.
                judgeLine(lineBuf, count, lineNum, offset, &run);
                offset += count;
                count = 0;
            }
        }
        if (run.stopped) {
            return CONFIG_WRITE_FAILED;
        }
        // A failed read may still have delivered bytes; they are judged above,
        // and nothing after the failure is read.
        if (source.failed) {
            break;
        }
    }
    judgeLine(lineBuf, count, lineNum, offset, &run);
    if (source.failed) {
        return CONFIG_READ_FAILED;
    }
    return run.stopped ? CONFIG_WRITE_FAILED : CONFIG_OK;
}
