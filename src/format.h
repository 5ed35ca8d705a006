// Pieces shared by the output formats: lines are built by hand in local
// buffers (formatting by hand costs a fraction of printf's) and handed to
// standard output whole.
#ifndef ISCSI_CONFIG_CHECK_FORMAT_H
#define ISCSI_CONFIG_CHECK_FORMAT_H

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "report.h"

// Room for any number written here: a signed 64-bit value in decimal.
constexpr size_t maxNumberLen = 24;

// The longest diagnostic line of the report format: prefix, message and code.
constexpr size_t maxDiagnosticLen = 128;

// Copies `text` to `out`; returns the end of the copy.
inline char *appendText(char *out, std::string_view text)
{
    memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Writes `value` in `base` to `out`, which has room for it; returns its end.
template <typename Number>
inline char *appendNumber(char *out, Number value, int base = 10)
{
    return std::to_chars(out, out + maxNumberLen, value, base).ptr;
}

// Writes an address as "A.B.C.D". Its numbers are 0 to 255, written by hand:
// every report holds four.
inline char *appendAddress(char *out, const uint32_t addr[4])
{
    for (size_t k = 0; k < 4; k++) {
        if (k > 0) {
            *out++ = '.';
        }
        uint32_t n = addr[k];
        if (n >= 100) {
            *out++ = static_cast<char>('0' + n / 100);
        }
        if (n >= 10) {
            *out++ = static_cast<char>('0' + n / 10 % 10);
        }
        *out++ = static_cast<char>('0' + n % 10);
    }
    return out;
}

// Writes the fault's message, and the character's octal code where the
// message names one.
inline char *appendMessage(char *out, const Verdict *verdict)
{
    out = appendText(out, faultInfo(verdict->fault)->message);
    if (verdict->fault == FAULT_ADDRESS_CHAR) {
        out = appendNumber(out, verdict->charCode, 8);
    }
    return out;
}

// The longest warning line after its file name: prefix, message (a
// duplicate's names an address, a port and a line) and name.
constexpr size_t maxWarningLen = 256;

// Writes the message of `warning`, found on the line of `verdict`.
char *appendWarningMessage(char *out, const Verdict *verdict,
                           const Warning *warning);

// Writes " [-WNAME]", which follows a warning's message in the line formats.
char *appendWarningName(char *out, const Warning *warning);

// One diagnostic of a line: its fault, or one of its warnings.
struct Diagnostic {
    FaultKind fault; // the fault, or FAULT_NONE for a warning
    bool isWarning;
    const char *name;       // the check's name
    size_t pos;             // zero-based offset in the physical line
    const Warning *warning; // the warning, or null for the fault
};

// The diagnostics of `verdict` in the order they are printed: the fault,
// then the warnings. Returns their number; `out` has room for
// maxLineWarnings + 1. (Inline: most lines have none.)
inline size_t listDiagnostics(const Verdict *verdict, Diagnostic *out)
{
    size_t count = 0;
    if (verdict->fault != FAULT_NONE) {
        out[count++] = {verdict->fault, false, faultInfo(verdict->fault)->name,
                        verdict->pos, nullptr};
    }
    for (size_t k = 0; k < verdict->warningCount; k++) {
        const Warning *warning = &verdict->warnings[k];
        out[count++] = {FAULT_NONE, true, warningInfo(warning->kind)->name,
                        warning->pos, warning};
    }
    return count;
}

// Writes the message of a diagnostic, without the " [-WNAME]" that the line
// formats add to a warning; room for maxWarningLen is enough.
char *appendDiagnosticMessage(char *out, const Verdict *verdict,
                              const Diagnostic *diagnostic);

// The index of a diagnostic's check among the rules of the machine formats:
// every error, then every warning.
size_t checkIndex(const Diagnostic *diagnostic);

// A line of output of no fixed length, built in storage that grows as
// needed and is kept for the next line.
class LineBuffer
{
  public:
    LineBuffer() = default;
    LineBuffer(const LineBuffer &) = delete;
    LineBuffer &operator=(const LineBuffer &) = delete;
    ~LineBuffer()
    {
        free(data_);
    }

    void clear()
    {
        len_ = 0;
    }
    // Room for `n` more bytes at the end; give the end of what was written
    // there to commit().
    char *reserve(size_t n);
    void commit(const char *end)
    {
        len_ = static_cast<size_t>(end - data_);
    }
    void append(std::string_view text)
    {
        commit(appendText(reserve(text.size()), text));
    }
    template <typename Number> void appendNumber(Number value)
    {
        commit(::appendNumber(reserve(maxNumberLen), value));
    }
    const char *data() const
    {
        return data_;
    }
    size_t size() const
    {
        return len_;
    }
    // Hands the line to standard output, unless the output has failed.
    void write() const
    {
        writeOutput(data_, data_ + len_);
    }

  private:
    char *data_ = nullptr;
    size_t len_ = 0;
    size_t capacity_ = 0;
};

// Appends `len` bytes from `text` as a JSON string, quotes included: `"` and
// `\` escaped, control characters and DEL as escapes, valid UTF-8 as is,
// and every byte that is not part of valid UTF-8 as U+FFFD, so that the
// result is valid JSON and valid UTF-8 whatever the bytes.
void appendJsonString(LineBuffer *line, const char *text, size_t len);

// Each format's reporter, set up for a run (see makeReporter).
Reporter *makeReportFormat(const OutputOptions *options, size_t fileCount);
Reporter *makeGccFormat();
Reporter *makeJsonFormat(const OutputOptions *options);
Reporter *makeSarifFormat();
Reporter *makeGithubFormat();
Reporter *makeTtyFormat(const OutputOptions *options);

#endif
