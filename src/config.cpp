// Client configuration reader: splits the file into lines, parses each target
// statement in one left-to-right pass and judges its login parameters.
#include "config.h"

#include <cstdint>
#include <cstring>

const char *clientConfigFile = nullptr;

// Bytes of one line the reader holds; longer lines are judged in pieces.
static const size_t lineBufSize = 512;

// Bytes taken from the file per read call.
static const size_t readBlockSize = 65536;

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

// Returns the message for the first fault of a login-parameters field, or
// nullptr when the field is sound.
static const char *findLoginParamsFault(const char *field, size_t len)
{
    if (len == 0) {
        return "missing Login Parameters\n";
    }
    if (len < loginKeywordLen ||
        memcmp(field, loginKeyword, loginKeywordLen) != 0) {
        return "missing 'Initiator:' keyword\n";
    }
    // The identifier ends at a comma no later than lastCommaPos.
    size_t scanEnd = len < identifierScanEnd ? len : identifierScanEnd;
    size_t comma = loginKeywordLen;
    while (comma < scanEnd && isIdentifierChar(field[comma])) {
        comma++;
    }
    if (comma > lastCommaPos) {
        return "identifier is too long\n";
    }
    if (comma == len) {
        return "missing ',' after identifier\n";
    }
    if (field[comma] != ',') {
        return "illegal character in identifier\n";
    }
    if (comma == loginKeywordLen) {
        return "missing Initiator identifier\n";
    }
    size_t pos = comma + 1;
    scanEnd = len < pos + maxPasswordLen ? len : pos + maxPasswordLen;
    while (pos < scanEnd) {
        if (!isIdentifierChar(field[pos])) {
            return "illegal character in 'password'\n";
        }
        pos++;
    }
    if (pos == len) {
        return nullptr;
    }
    return isIdentifierChar(field[pos])
               ? "'password' is too long\n"
               : "illegal characters after 'password'\n";
}

// Output is built in small local buffers and handed to stdout's own buffer in
// one call per line: formatting by hand costs a fraction of printf's.

// Copies `len` bytes to `out`; returns the end of the copy.
static char *appendBytes(char *out, const char *text, size_t len)
{
    memcpy(out, text, len);
    return out + len;
}

// Copies a zero-terminated text to `out`; returns the end of the copy.
static char *appendText(char *out, const char *text)
{
    return appendBytes(out, text, strlen(text));
}

// The decimal digit pairs "00" to "99", for writing numbers two at a time.
static const char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

// Powers of ten up to 10^19, for sizing a decimal number without dividing.
static const unsigned long long powersOfTen[] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
    1000000000000000000ULL,
    10000000000000000000ULL,
};
static const size_t maxDecimalWidth =
    sizeof powersOfTen / sizeof powersOfTen[0];

// Writes `value` in decimal to `out`; returns its end.
static char *appendUnsigned(char *out, unsigned long long value)
{
    // The bound guards the table for values of 10^19 and more, which no
    // line number or position reaches; coverage cannot take that branch.
    size_t width = 1;
    // GCOVR_EXCL_BR_START
    while (width < maxDecimalWidth && value >= powersOfTen[width]) {
        width++;
    }
    // GCOVR_EXCL_BR_STOP
    char *last = out + width;
    while (value >= 100) {
        last -= 2;
        memcpy(last, digitPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        memcpy(last - 2, digitPairs + 2 * value, 2);
    } else {
        last[-1] = static_cast<char>('0' + value);
    }
    return out + width;
}

// Writes `value` in octal to `out`; returns its end.
static char *appendOctal(char *out, unsigned value)
{
    char digits[12];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 8U);
        value /= 8U;
    } while (value != 0);
    while (n > 0) {
        *out++ = digits[--n];
    }
    return out;
}

// Writes a signed decimal `value` to `out`; returns its end.
static char *appendSigned(char *out, long long value)
{
    if (value >= 0) {
        return appendUnsigned(out, static_cast<unsigned long long>(value));
    }
    *out++ = '-';
    return appendUnsigned(out, 0ULL - static_cast<unsigned long long>(value));
}

// Hands the bytes from `start` to `end` to standard output.
static void writeOutput(const char *start, const char *end)
{
    fwrite_unlocked(start, 1, static_cast<size_t>(end - start), stdout);
}

int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen)
{
    const char *fault = findLoginParamsFault(loginParams, loginParamsLen);
    if (fault == nullptr) {
        return 0;
    }
    char text[128];
    char *out = appendText(text, "line ");
    out = appendSigned(out, lineNum);
    out = appendText(out, ": ");
    out = appendText(out, fault);
    writeOutput(text, out);
    return -1;
}

// Starts a statement diagnostic in `text`: "line N, pos P, ". Returns its end.
static char *appendFaultPrefix(char *text, long long lineNum, size_t pos)
{
    char *out = appendText(text, "line ");
    out = appendSigned(out, lineNum);
    out = appendText(out, ", pos ");
    out = appendUnsigned(out, pos);
    return appendText(out, ", ");
}

// Prints a statement diagnostic: its line and position, then its message.
static void printStatementFault(long long lineNum, size_t pos,
                                const char *message)
{
    char text[128];
    char *out = appendFaultPrefix(text, lineNum, pos);
    out = appendText(out, message);
    writeOutput(text, out);
}

// Prints the octal code of a character found where a "." belongs.
static void printAddressCharFault(long long lineNum, size_t pos, unsigned code)
{
    char text[128];
    char *out = appendFaultPrefix(text, lineNum, pos);
    out = appendText(out, "illegal character in address 0");
    out = appendOctal(out, code);
    out = appendText(out, " \n");
    writeOutput(text, out);
}

// Prints the report of a sound statement; `rest` is the line from the
// login-parameters field to its end.
static void printReport(long long lineNum, int32_t nConnections,
                        const uint32_t addr[4], uint32_t port,
                        size_t loginParamsLen, const char *rest, size_t restLen)
{
    char text[256 + lineBufSize];
    char *out = appendText(text, "line ");
    out = appendSigned(out, lineNum);
    out = appendText(out, ", nConnections = ");
    out = appendSigned(out, nConnections);
    out = appendText(out, ", target addr = ");
    for (size_t k = 0; k < 4; k++) {
        out = appendUnsigned(out, addr[k]);
        *out++ = k < 3 ? '.' : ',';
    }
    out = appendText(out, " portNum = ");
    out = appendUnsigned(out, port);
    out = appendText(out, ", loginParamsLen = ");
    out = appendUnsigned(out, loginParamsLen);
    out = appendText(out, ", loginParams = ");
    out = appendBytes(out, rest, restLen);
    out = appendText(out, " \n");
    writeOutput(text, out);
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

// Parses and judges one target statement, ended by its first zero byte;
// `offset` is where the text starts within its physical line.
static void judgeStatement(const char *line, long long lineNum, size_t offset)
{
    size_t pos = skipBlanks(line, 0);
    if (strncmp(line + pos, statementKeyword, statementKeywordLen) != 0) {
        printStatementFault(lineNum, offset + pos, "parse error \n");
        return;
    }
    pos = skipBlanks(line, pos + statementKeywordLen);
    if (line[pos] != '=') {
        printStatementFault(lineNum, offset + pos, "parse error \n");
        return;
    }
    pos = skipBlanks(line, pos + 1);

    uint32_t addr[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < 4; k++) {
        size_t digitsStart = pos;
        pos = readNumber(line, pos, &addr[k]);
        addr[k] &= 0xFFU;
        if (pos == digitsStart) {
            printStatementFault(lineNum, offset + pos, "error in address \n");
            return;
        }
        if (k < 3) {
            if (line[pos] != '.') {
                // The line's end shows as code 0.
                printAddressCharFault(lineNum, offset + pos,
                                      static_cast<unsigned char>(line[pos]));
                return;
            }
            pos++;
        }
    }
    if (line[pos] != ' ') {
        printStatementFault(lineNum, offset + pos, "error in address \n");
        return;
    }
    pos = skipBlanks(line, pos + 1);

    uint32_t port = 0;
    size_t portStart = pos;
    pos = readNumber(line, pos, &port);
    port &= 0xFFFFU;
    if (pos == portStart || line[pos] != ' ') {
        printStatementFault(lineNum, offset + pos, "error in port number \n");
        return;
    }
    pos = skipBlanks(line, pos + 1);

    uint32_t count = 0;
    pos = readNumber(line, pos, &count);
    size_t fieldStart = skipBlanks(line, pos);
    size_t fieldLen = strcspn(line + fieldStart, " \t");
    pos = fieldStart + fieldLen;
    if (checkLoginParams(lineNum, line + fieldStart, fieldLen) < 0) {
        return;
    }
    int32_t nConnections = toSigned32(count);
    if (nConnections == 0) {
        printStatementFault(lineNum, offset + pos, "no connections defined \n");
        return;
    }
    printReport(lineNum, nConnections, addr, port, fieldLen, line + fieldStart,
                fieldLen + strlen(line + pos));
}

// Judges one line, or one piece of an over-long line: `count` bytes as read,
// which may include zero bytes, with room for one more after them.
static void judgeLine(char *line, size_t count, long long lineNum,
                      size_t offset)
{
    if (count == 0 || line[0] == '#') {
        return;
    }
    // The statement ends at the first zero byte: the one stored here, or
    // one read from the file.
    line[count] = '\0';
    judgeStatement(line, lineNum, offset);
}

// Reports a fault of the file itself on standard error. Standard output is
// flushed first so that a combined log keeps the order of events; a failure of
// either stream shows in the exit status through stdout's error flag.
static void reportFileFault(const char *what, const char *name)
{
    (void)fflush(stdout);
    (void)fprintf(stderr, "%s %s\n", what, name);
}

// True once a write to standard output has failed: nothing more is judged,
// since nobody would see its outcome.
static bool outputFailed()
{
    return ferror_unlocked(stdout) != 0;
}

int readConfigStream(FILE *file, const char *name)
{
    char block[readBlockSize];
    char lineBuf[lineBufSize + 1]; // a piece and its terminating zero
    size_t count = 0;              // bytes of the current piece held in lineBuf
    size_t offset = 0; // where that piece starts in its physical line
    long long lineNum = 1;
    size_t got = 0;

    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        char *pos = block;
        char *end = block + got;
        while (pos < end && !outputFailed()) {
            size_t room = lineBufSize - count;
            size_t avail = static_cast<size_t>(end - pos);
            size_t take = avail < room ? avail : room;
            char *newline = static_cast<char *>(memchr(pos, '\n', take));
            if (newline != nullptr && count == 0) {
                // The whole line lies in the block: judge it there, its
                // newline becoming its terminator.
                judgeLine(pos, static_cast<size_t>(newline - pos), lineNum,
                          offset);
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
                judgeLine(lineBuf, count, lineNum, offset);
                pos++;
                lineNum++;
                count = 0;
                offset = 0;
            } else if (count == lineBufSize) {
                // A full buffer is judged as a piece of the same physical
                // line; a newline right after it then ends that line.
                judgeLine(lineBuf, count, lineNum, offset);
                offset += count;
                count = 0;
            }
        }
        if (outputFailed()) {
            return CONFIG_WRITE_FAILED;
        }
        // A failed read may still have delivered bytes; they are judged above,
        // and nothing after the failure is read.
        if (ferror_unlocked(file) != 0) {
            break;
        }
    }
    judgeLine(lineBuf, count, lineNum, offset);

    if (ferror_unlocked(file) != 0) {
        reportFileFault("failed to read file", name);
        return CONFIG_READ_FAILED;
    }
    return CONFIG_OK;
}

int readConfigFile()
{
    FILE *file = fopen(clientConfigFile, "r");
    if (file == nullptr) {
        reportFileFault("failed to open file", clientConfigFile);
        return CONFIG_OPEN_FAILED;
    }
    int result = readConfigStream(file, clientConfigFile);
    // Nothing was written to the file, so closing it cannot lose anything.
    (void)fclose(file);
    return result;
}
