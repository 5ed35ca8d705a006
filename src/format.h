// Pieces shared by the output formats: lines are built by hand in local
// buffers (formatting by hand costs a fraction of printf's) and handed to
// standard output whole.
#ifndef ISCSI_CONFIG_CHECK_FORMAT_H
#define ISCSI_CONFIG_CHECK_FORMAT_H

#include <charconv>
#include <cstring>
#include <string_view>

#include "report.h"

// Room for any number written here: a signed 64-bit value in decimal.
constexpr size_t maxNumberLen = 24;

// The longest diagnostic after its file name: prefix, message and code.
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

// Writes `before`, `name` and `after` as one line, handed over whole.
void writeFramedLine(std::string_view before, const char *name,
                     std::string_view after);

// The longest warning line after its file name: prefix, message (a
// duplicate's names an address, a port and a line) and name.
constexpr size_t maxWarningLen = 256;

// Writes the message of `warning`, found on the line of `verdict`.
char *appendWarningMessage(char *out, const Verdict *verdict,
                           const Warning *warning);

// Writes " [-WNAME]", which follows a warning's message in the line formats.
char *appendWarningName(char *out, const Warning *warning);

// Each format's reporter, set up for a run (see makeReporter).
Reporter *makeReportFormat(const OutputOptions *options, size_t fileCount);
Reporter *makeGccFormat();

#endif
