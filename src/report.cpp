// Output formats of the checker. Each line of output is built in a small
// local buffer and handed to standard output's buffer in one call: formatting
// by hand costs a fraction of printf's.
#include "report.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

const OutputOptions defaultOutputOptions = {FORMAT_REPORT, false, false};

// The message of each fault kind, in the order of FaultKind.
static constexpr std::string_view faultMessages[] = {
    "",
    "parse error",
    "error in address",
    "illegal character in address 0", // followed by the code in octal
    "error in port number",
    "no connections defined",
    "missing Login Parameters",
    "missing 'Initiator:' keyword",
    "missing Initiator identifier",
    "illegal character in identifier",
    "missing ',' after identifier",
    "identifier is too long",
    "illegal character in 'password'",
    "illegal characters after 'password'",
    "'password' is too long",
};
// One message for every fault kind.
static_assert(sizeof faultMessages / sizeof faultMessages[0] ==
              FAULT_KIND_COUNT);

// Room for any number written here: a signed 64-bit value in decimal.
static const size_t maxNumberLen = 24;

// The longest diagnostic in the report format: prefix, message and code.
static const size_t maxDiagnosticLen = 128;

// Bytes of a report line besides its loginParams text.
static const size_t maxReportFrameLen = 256;

// True for the faults found by the statement parser, which are printed with
// their position; the login-parameter faults follow them in FaultKind.
static bool hasPosition(FaultKind fault)
{
    return fault < FAULT_MISSING_LOGIN_PARAMS;
}

// Copies `text` to `out`; returns the end of the copy.
static char *appendText(char *out, std::string_view text)
{
    memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Writes `value` in `base` to `out`, which has room for it; returns its end.
template <typename Number>
static char *appendNumber(char *out, Number value, int base = 10)
{
    return std::to_chars(out, out + maxNumberLen, value, base).ptr;
}

// Writes "line N", which begins every line of the report format.
static char *appendLineNum(char *out, long long lineNum)
{
    return appendNumber(appendText(out, "line "), lineNum);
}

// Writes the fault's message, and the character's octal code where the
// message names one.
static char *appendMessage(char *out, const Verdict *verdict)
{
    out = appendText(out, faultMessages[verdict->fault]);
    if (verdict->fault == FAULT_ADDRESS_CHAR) {
        out = appendNumber(out, verdict->charCode, 8);
    }
    return out;
}

// Hands the bytes from `start` to `end` to standard output.
static void writeOutput(const char *start, const char *end)
{
    fwrite_unlocked(start, 1, static_cast<size_t>(end - start), stdout);
}

// Prints the report of a sound statement: its values, then the line from the
// login-parameters field to its end, the password masked if asked.
static void printReport(const Verdict *verdict, bool maskPasswords)
{
    char text[maxReportFrameLen + 512];
    char *out = appendLineNum(text, verdict->lineNum);
    out = appendText(out, ", nConnections = ");
    out = appendNumber(out, verdict->nConnections);
    out = appendText(out, ", target addr = ");
    for (size_t k = 0; k < 4; k++) {
        out = appendNumber(out, verdict->addr[k]);
        *out++ = k < 3 ? '.' : ',';
    }
    out = appendText(out, " portNum = ");
    out = appendNumber(out, verdict->port);
    out = appendText(out, ", loginParamsLen = ");
    out = appendNumber(out, verdict->loginParamsLen);
    out = appendText(out, ", loginParams = ");
    char *field = out;
    out = appendText(out, {verdict->loginParams, verdict->restLen});
    if (maskPasswords) {
        // A sound field holds its comma; the password runs to its end.
        char *comma =
            static_cast<char *>(memchr(field, ',', verdict->loginParamsLen));
        char *password = comma + 1;
        memset(password, '*',
               verdict->loginParamsLen - static_cast<size_t>(password - field));
    }
    out = appendText(out, " \n");
    writeOutput(text, out);
}

// Prints a diagnostic in the report format: "line N, pos P, MESSAGE \n" for a
// statement fault, "line N: MESSAGE\n" for a login-parameter fault.
static void printDiagnostic(const Verdict *verdict)
{
    char text[maxDiagnosticLen];
    char *out = appendLineNum(text, verdict->lineNum);
    if (hasPosition(verdict->fault)) {
        out = appendText(out, ", pos ");
        out = appendNumber(out, verdict->pos);
        out = appendText(out, ", ");
        out = appendMessage(out, verdict);
        out = appendText(out, " \n");
    } else {
        out = appendText(out, ": ");
        out = appendMessage(out, verdict);
        out = appendText(out, "\n");
    }
    writeOutput(text, out);
}

// Prints a diagnostic as "FILE:LINE:COLUMN: error: MESSAGE\n", the form that
// editors and CI tools read; the column counts from 1.
static void printGccDiagnostic(const Verdict *verdict, const char *fileName)
{
    // The name is written on its own: it may be longer than any buffer.
    writeOutput(fileName, fileName + strlen(fileName));
    char text[maxDiagnosticLen];
    char *out = appendText(text, ":");
    out = appendNumber(out, verdict->lineNum);
    out = appendText(out, ":");
    out = appendNumber(out, verdict->pos + 1);
    out = appendText(out, ": error: ");
    out = appendMessage(out, verdict);
    out = appendText(out, "\n");
    writeOutput(text, out);
}

void printBanner(const char *programName, const OutputOptions *options)
{
    if (options->format == FORMAT_REPORT && !options->quiet) {
        printf("%s....\n", programName);
    }
}

void printVerdict(const Verdict *verdict, const OutputOptions *options,
                  const char *fileName)
{
    if (verdict->fault != FAULT_NONE) {
        if (options->format == FORMAT_GCC) {
            printGccDiagnostic(verdict, fileName);
        } else {
            printDiagnostic(verdict);
        }
    } else if (options->format == FORMAT_REPORT && !options->quiet) {
        printReport(verdict, options->maskPasswords);
    }
}
