// Output of the checker: turns the verdict on one line into the bytes of the
// chosen format. The reader judges; only this module writes standard output.
#ifndef ISCSI_CONFIG_CHECK_REPORT_H
#define ISCSI_CONFIG_CHECK_REPORT_H

#include <cstddef>
#include <cstdint>

// Every fault a line can show. Statement faults carry a position; the
// login-parameter faults follow them, from FAULT_MISSING_LOGIN_PARAMS on.
enum FaultKind {
    FAULT_NONE = 0, // a sound statement
    FAULT_PARSE,
    FAULT_ADDRESS,
    FAULT_ADDRESS_CHAR, // with the offending character's code
    FAULT_PORT,
    FAULT_NO_CONNECTIONS,
    FAULT_MISSING_LOGIN_PARAMS,
    FAULT_MISSING_KEYWORD,
    FAULT_MISSING_IDENTIFIER,
    FAULT_IDENTIFIER_CHAR,
    FAULT_MISSING_COMMA,
    FAULT_IDENTIFIER_TOO_LONG,
    FAULT_PASSWORD_CHAR,
    FAULT_CHARS_AFTER_PASSWORD,
    FAULT_PASSWORD_TOO_LONG,
    FAULT_KIND_COUNT
};

// The outcome of judging one target statement (or one piece of a long line).
struct Verdict {
    FaultKind fault;
    long long lineNum;
    // Zero-based offset in the physical line: where a statement fault was
    // found, or where the login-parameters field begins.
    size_t pos;
    unsigned charCode; // FAULT_ADDRESS_CHAR: the character found
    // The values of a sound statement.
    int32_t nConnections;
    uint32_t addr[4];
    uint32_t port;
    const char *loginParams; // the field, followed by the rest of its line
    size_t loginParamsLen;   // the field's length
    size_t restLen;          // the field and the rest of its line
};

enum OutputFormat {
    FORMAT_REPORT, // banner, reports and diagnostics ("line N, ...")
    FORMAT_GCC,    // diagnostics only, as FILE:LINE:COLUMN: error: MESSAGE
};

struct OutputOptions {
    OutputFormat format;
    bool quiet;         // no banner and no reports
    bool maskPasswords; // passwords in reports printed as '*'
};

// The output with no option given.
extern const OutputOptions defaultOutputOptions;

// Prints the banner "NAME....", unless the options leave it out.
void printBanner(const char *programName, const OutputOptions *options);

// Prints the outcome of `verdict` in the chosen format; `fileName` names the
// file in the gcc format.
void printVerdict(const Verdict *verdict, const OutputOptions *options,
                  const char *fileName);

#endif
