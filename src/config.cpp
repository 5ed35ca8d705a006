// Client configuration reader: splits the file into lines, parses each target
// statement in one left-to-right pass and judges its login parameters.
#include "config.h"

#include <cstdint>
#include <cstring>

const char *clientConfigFile = nullptr;

// Bytes of one line the reader holds; longer lines are judged in pieces.
static const size_t lineBufSize = 512;

// Login-parameters grammar: keyword, identifier limit, password limit.
static const char loginKeyword[] = "Initiator:";
static const size_t loginKeywordLen = sizeof loginKeyword - 1;
static const size_t lastIdentifierPos = 73;
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

// True for a character allowed in an identifier or a password.
static bool isIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) ||
           c == '.' || c == '-' || c == '_';
}

// Returns the first position at or after `pos` that does not hold a blank.
static size_t skipBlanks(const char *line, size_t len, size_t pos)
{
    while (pos < len && isBlank(line[pos])) {
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
    size_t comma = loginKeywordLen;
    while (comma < len && comma <= lastIdentifierPos && field[comma] != ',') {
        if (!isIdentifierChar(field[comma])) {
            return "illegal character in identifier\n";
        }
        comma++;
    }
    if (comma > lastIdentifierPos) {
        return "identifier is too long\n";
    }
    if (comma == len) {
        return "missing ',' after identifier\n";
    }
    if (comma == loginKeywordLen) {
        return "missing Initiator identifier\n";
    }
    size_t pos = comma + 1;
    while (pos < len && pos <= comma + maxPasswordLen) {
        if (!isIdentifierChar(field[pos])) {
            return "illegal character in 'password'\n";
        }
        pos++;
    }
    if (pos == len) {
        return nullptr;
    }
    return isIdentifierChar(field[pos]) ? "'password' is too long\n"
                                        : "illegal characters after 'password'\n";
}

int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen)
{
    const char *fault = findLoginParamsFault(loginParams, loginParamsLen);
    if (fault == nullptr) {
        return 0;
    }
    printf("line %lld: ", lineNum);
    printf("%s", fault);
    return -1;
}

// Prints a statement diagnostic: its line and position, then its message.
static void printStatementFault(long long lineNum, size_t pos,
                                const char *message)
{
    printf("line %lld, pos %zu, ", lineNum, pos);
    printf("%s", message);
}

// Accumulates the digits at `*pos` into `*value`, wrapped to `mask`; returns
// how many digits there were.
static size_t readNumber(const char *line, size_t len, size_t *pos,
                         uint32_t *value, uint32_t mask)
{
    size_t start = *pos;
    uint32_t acc = 0;
    while (*pos < len && isDigit(line[*pos])) {
        acc = (acc * 10U + static_cast<uint32_t>(line[*pos] - '0')) & mask;
        (*pos)++;
    }
    *value = acc;
    return *pos - start;
}

// Reads a 32-bit pattern as the signed count the client stores.
static int32_t toSigned32(uint32_t value)
{
    int32_t result = 0;
    memcpy(&result, &value, sizeof result);
    return result;
}

// Parses and judges one target statement of `len` bytes (no zero byte among
// them); `offset` is where the text starts within its physical line.
static void judgeStatement(const char *line, size_t len, long long lineNum,
                           size_t offset)
{
    size_t pos = skipBlanks(line, len, 0);
    if (len - pos < statementKeywordLen ||
        memcmp(line + pos, statementKeyword, statementKeywordLen) != 0) {
        printStatementFault(lineNum, offset + pos, "parse error \n");
        return;
    }
    pos = skipBlanks(line, len, pos + statementKeywordLen);
    if (pos == len || line[pos] != '=') {
        printStatementFault(lineNum, offset + pos, "parse error \n");
        return;
    }
    pos = skipBlanks(line, len, pos + 1);

    uint32_t addr[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < 4; k++) {
        if (readNumber(line, len, &pos, &addr[k], 0xFFU) == 0) {
            printStatementFault(lineNum, offset + pos, "error in address \n");
            return;
        }
        if (k == 3) {
            break;
        }
        if (pos == len || line[pos] != '.') {
            unsigned code = pos == len ? 0U : static_cast<unsigned char>(line[pos]);
            printf("line %lld, pos %zu, ", lineNum, offset + pos);
            printf("illegal character in address 0%o \n", code);
            return;
        }
        pos++;
    }
    if (pos == len || line[pos] != ' ') {
        printStatementFault(lineNum, offset + pos, "error in address \n");
        return;
    }
    pos = skipBlanks(line, len, pos + 1);

    uint32_t port = 0;
    if (readNumber(line, len, &pos, &port, 0xFFFFU) == 0 || pos == len ||
        line[pos] != ' ') {
        printStatementFault(lineNum, offset + pos, "error in port number \n");
        return;
    }
    pos = skipBlanks(line, len, pos + 1);

    uint32_t count = 0;
    size_t fieldStart = pos;
    size_t fieldLen = 0;
    if (pos < len) {
        readNumber(line, len, &pos, &count, 0xFFFFFFFFU);
        fieldStart = skipBlanks(line, len, pos);
        pos = fieldStart;
        while (pos < len && !isBlank(line[pos])) {
            pos++;
        }
        fieldLen = pos - fieldStart;
    }
    if (checkLoginParams(lineNum, line + fieldStart, fieldLen) < 0) {
        return;
    }
    int32_t nConnections = toSigned32(count);
    if (nConnections == 0) {
        printStatementFault(lineNum, offset + fieldStart + fieldLen,
                            "no connections defined \n");
        return;
    }
    printf("line %lld, nConnections = %d, target addr = %u.%u.%u.%u, "
           "portNum = %u, loginParamsLen = %zu, loginParams = %.*s \n",
           lineNum, nConnections, addr[0], addr[1], addr[2], addr[3], port,
           fieldLen, static_cast<int>(len - fieldStart), line + fieldStart);
}

// Judges one line or one piece of an over-long line: `count` bytes as read,
// which may include zero bytes.
static void judgeLine(const char *line, size_t count, long long lineNum,
                      size_t offset)
{
    if (count == 0 || line[0] == '#') {
        return;
    }
    // A zero byte ends the text that the statement parse looks at.
    const void *zero = memchr(line, '\0', count);
    size_t len = zero == nullptr ? count
                                 : static_cast<size_t>(
                                       static_cast<const char *>(zero) - line);
    judgeStatement(line, len, lineNum, offset);
}

int readConfigStream(FILE *file, const char *name)
{
    char lineBuf[lineBufSize];
    size_t count = 0;
    size_t offset = 0;
    long long lineNum = 1;
    char byte = 0;

    while (fread(&byte, 1, 1, file) == 1) {
        if (byte == '\n') {
            judgeLine(lineBuf, count, lineNum, offset);
            lineNum++;
            count = 0;
            offset = 0;
            continue;
        }
        lineBuf[count++] = byte;
        if (count == lineBufSize) {
            // A full buffer is judged as a piece of the same physical line.
            judgeLine(lineBuf, count, lineNum, offset);
            offset += count;
            count = 0;
        }
    }
    judgeLine(lineBuf, count, lineNum, offset);

    if (ferror(file) != 0) {
        fflush(stdout);
        fprintf(stderr, "failed to read file %s\n", name);
        return CONFIG_READ_FAILED;
    }
    return CONFIG_OK;
}

int readConfigFile()
{
    FILE *file = fopen(clientConfigFile, "r");
    if (file == nullptr) {
        fflush(stdout);
        fprintf(stderr, "failed to open file %s\n", clientConfigFile);
        return CONFIG_OPEN_FAILED;
    }
    int result = readConfigStream(file, clientConfigFile);
    fclose(file);
    return result;
}
