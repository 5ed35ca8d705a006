// What every output format shares: the events' default handling, the writes
// to standard output, and the check of one file from its opening to its
// closing.
#include "report.h"

#include <cstdio>
#include <cstdlib>

#include "format.h"

const OutputOptions defaultOutputOptions = {FORMAT_REPORT, false, false, false};

void flushOutput()
{
    if (!outputFailed()) {
        (void)fflush(stdout);
    }
}

char *appendWarningMessage(char *out, const Verdict *verdict,
                           const Warning *warning)
{
    switch (warning->kind) {
    case WARN_BOM:
        return appendText(out, "file begins with a byte order mark");
    case WARN_LEADING_ZERO:
        return appendText(
            out,
            "address number with a leading zero: other tools read it as octal");
    case WARN_ADDRESS_RANGE:
        out = appendText(out, "address number over 255, taken as ");
        return appendNumber(out, warning->value);
    case WARN_PORT_RANGE:
        if (warning->zeroPort) {
            return appendText(out, "port number 0 is not usable");
        }
        out = appendText(out, "port number over 65535, taken as ");
        return appendNumber(out, warning->value);
    case WARN_COUNT_RANGE:
        out = appendText(out, "connection count over 65535, taken as ");
        return appendNumber(out, warning->value);
    case WARN_DUPLICATE_TARGET:
        out = appendText(out, "target ");
        out = appendAddress(out, verdict->addr);
        out = appendText(out, " port ");
        out = appendNumber(out, verdict->port);
        out = appendText(out, " also defined on line ");
        return appendNumber(out, warning->value);
    case WARN_TRAILING_TEXT:
        return appendText(out,
                          "text after the login parameters is not checked");
    case WARN_CARRIAGE_RETURN:
        return appendText(
            out,
            "line ends with a carriage return: the file has CRLF line ends");
    case WARN_LONG_LINE:
    case WARN_KIND_COUNT:
        break;
    }
    return appendText(out, "line longer than 512 bytes: the text from here on "
                           "is judged as a line of its own");
}

char *appendWarningName(char *out, const Warning *warning)
{
    out = appendText(out, " [-W");
    out = appendText(out, warningInfo(warning->kind)->name);
    return appendText(out, "]");
}

char *appendDiagnosticMessage(char *out, const Verdict *verdict,
                              const Diagnostic *diagnostic)
{
    if (diagnostic->warning != nullptr) {
        return appendWarningMessage(out, verdict, diagnostic->warning);
    }
    return appendMessage(out, verdict);
}

size_t checkIndex(const Diagnostic *diagnostic)
{
    // Every fault kind but FAULT_NONE is a check, then every warning kind.
    if (diagnostic->warning != nullptr) {
        return size_t{FAULT_KIND_COUNT} - 1 +
               static_cast<size_t>(diagnostic->warning->kind);
    }
    return static_cast<size_t>(diagnostic->fault) - 1;
}

char *LineBuffer::reserve(size_t n)
{
    // Even for nothing: memcpy and the writers take no null pointer.
    if (len_ + n > capacity_ || data_ == nullptr) {
        size_t grown = capacity_ < 256 ? 256 : capacity_;
        while (grown < len_ + n) {
            grown *= 2;
        }
        void *moved = realloc(data_, grown);
        // As operator new would. (A line's storage does not fail in the
        // tests.)
        if (moved == nullptr) {
            abort(); // GCOVR_EXCL_LINE
        }
        data_ = static_cast<char *>(moved);
        capacity_ = grown;
    }
    return data_ + len_;
}

// The length of the valid UTF-8 sequence at `text` (at most `len` bytes), or
// 0 when the byte there does not begin one.
static size_t utf8SequenceLen(const unsigned char *text, size_t len)
{
    unsigned char lead = text[0];
    size_t need = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (len <= need || text[1] < low || text[1] > high) {
        return 0;
    }
    for (size_t k = 2; k <= need; k++) {
        if ((text[k] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return need + 1;
}

void appendJsonString(LineBuffer *line, const char *text, size_t len)
{
    static const char hexDigits[] = "0123456789abcdef";
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    // The longest escape of one byte is \u00XX.
    char *out = line->reserve(len * 6 + 2);
    *out++ = '"';
    size_t k = 0;
    while (k < len) {
        unsigned char c = bytes[k];
        if (c >= 0x80) {
            size_t n = utf8SequenceLen(bytes + k, len - k);
            if (n == 0) {
                out = appendText(out, "\xEF\xBF\xBD"); // U+FFFD
                k++;
            } else {
                out = appendText(out, {text + k, n});
                k += n;
            }
            continue;
        }
        k++;
        switch (c) {
        case '"':
            out = appendText(out, "\\\"");
            break;
        case '\\':
            out = appendText(out, "\\\\");
            break;
        case '\n':
            out = appendText(out, "\\n");
            break;
        case '\r':
            out = appendText(out, "\\r");
            break;
        case '\t':
            out = appendText(out, "\\t");
            break;
        case '\b':
            out = appendText(out, "\\b");
            break;
        case '\f':
            out = appendText(out, "\\f");
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out = appendText(out, "\\u00");
                *out++ = hexDigits[c >> 4];
                *out++ = hexDigits[c & 0xF];
            } else {
                *out++ = static_cast<char>(c);
            }
        }
    }
    *out++ = '"';
    line->commit(out);
}

void Reporter::startRun(const char * /*programName*/)
{
}

void Reporter::startFile(const char * /*name*/)
{
}

void Reporter::reportVerdict(const Verdict * /*verdict*/)
{
}

// Standard output is flushed first so that a combined log keeps the order of
// events; a failure of either stream shows in the exit status through
// stdout's error flag.
void Reporter::reportFileFailure(const char *name, int result)
{
    flushOutput();
    const char *what = result == CONFIG_OPEN_FAILED ? "failed to open file"
                                                    : "failed to read file";
    (void)fprintf(stderr, "%s %s\n", what, name);
}

void Reporter::endFile()
{
}

void Reporter::endRun()
{
}

Reporter *makeReporter(const OutputOptions *options, size_t fileCount)
{
    switch (options->format) {
    case FORMAT_GCC:
        return makeGccFormat();
    case FORMAT_JSON:
        return makeJsonFormat(options);
    case FORMAT_SARIF:
        return makeSarifFormat();
    case FORMAT_GITHUB:
        return makeGithubFormat();
    case FORMAT_TTY:
        return makeTtyFormat(options);
    case FORMAT_REPORT:
        break;
    }
    return makeReportFormat(options, fileCount);
}

// One file's check: where its verdicts go and what they held.
struct FileCheck {
    Reporter *reporter;
    long long faultCount;
    long long warningCount;
};

// Hands a verdict to the reporter; stops the reading once nobody can see
// what it prints.
static int takeVerdict(void *context, const Verdict *verdict)
{
    auto *check = static_cast<FileCheck *>(context);
    if (verdict->fault != FAULT_NONE) {
        check->faultCount++;
    }
    check->warningCount += static_cast<long long>(verdict->warningCount);
    check->reporter->reportVerdict(verdict);
    return outputFailed() ? 1 : 0;
}

// Shows what has been judged before the reader waits for more input.
static void showJudged(void * /*context*/)
{
    flushOutput();
}

FileResult checkStream(FILE *file, const char *name, Reporter *reporter,
                       WarningSet warnings, size_t readBlockSize)
{
    FileCheck check = {reporter, 0, 0};
    reporter->startFile(name);
    int result = CONFIG_OPEN_FAILED;
    if (file != nullptr) {
        ReaderHooks hooks = {takeVerdict, showJudged, &check, readBlockSize,
                             warnings};
        result = readConfigStream(file, &hooks);
    }
    if (result == CONFIG_OPEN_FAILED || result == CONFIG_READ_FAILED) {
        reporter->reportFileFailure(name, result);
    }
    reporter->endFile();
    return {result, check.faultCount, check.warningCount};
}

FileResult checkFile(const char *name, Reporter *reporter, WarningSet warnings)
{
    FILE *file = fopen(name, "r");
    FileResult result = checkStream(file, name, reporter, warnings);
    if (file != nullptr) {
        // Nothing was written to the file, so closing it cannot lose
        // anything.
        (void)fclose(file);
    }
    return result;
}
