// The kinds of every check: the faults that make a line an error, and the
// warnings that can be asked for. The reader finds them; the table of
// checks (checks.h) describes them.
#ifndef ISCSI_CONFIG_CHECK_CHECKS_KINDS_H
#define ISCSI_CONFIG_CHECK_CHECKS_KINDS_H

// Every fault a line can show.
enum FaultKind {
    FAULT_NONE = 0, // a sound statement
    FAULT_PARSE,
    FAULT_ADDRESS,
    FAULT_ADDRESS_CHAR, // with the offending character's code
    FAULT_PORT,
    FAULT_NO_CONNECTIONS,
    // The login-parameter faults, from here to the end.
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

// What the format lets through but a user would want to know: values that
// wrap, duplicate targets, line-end and long-line traps. Each is off unless
// asked for. Warnings at one column are reported in this order.
enum WarningKind {
    WARN_BOM,              // the file begins with a byte order mark
    WARN_LEADING_ZERO,     // an address number such as 010
    WARN_ADDRESS_RANGE,    // an address number over 255
    WARN_PORT_RANGE,       // a port of 0, or over 65535
    WARN_COUNT_RANGE,      // a connection count over 65535
    WARN_DUPLICATE_TARGET, // an address and port defined before
    WARN_TRAILING_TEXT,    // text after sound login parameters
    WARN_CARRIAGE_RETURN,  // the first line that ends with a carriage return
    WARN_LONG_LINE,        // the second piece of a line over 512 bytes
    WARN_EMPTY_FILE,       // a file that defines no target
    WARN_CONTROL_CHAR,     // the first control character of a line
    WARN_BAD_DIRECTIVE,    // a comment that fails to be a directive
    WARN_KIND_COUNT
};

// The notes that can follow an error: the causes people actually hit.
enum NoteKind {
    NOTE_CRLF,       // the byte at fault is a line's final carriage return
    NOTE_BOM,        // the file begins with a byte order mark
    NOTE_BLANK_LINE, // the line holds only blanks
    NOTE_INDENTED_COMMENT,   // a '#' after leading blanks
    NOTE_INDENTED_DIRECTIVE, // a directive's '#' after leading blanks
    NOTE_IQN_COLON,          // a ':' in the identifier
    NOTE_TARGET_KEYWORD,     // a word close to "target"
    NOTE_INITIATOR_KEYWORD,  // a word close to "Initiator:"
    NOTE_EQUALS,             // "target" not followed by '='
    NOTE_ADDRESS_PORT,       // a ':' after the address
    NOTE_KIND_COUNT
};

// A set of warning kinds, one bit each.
using WarningSet = unsigned;
constexpr WarningSet warningBit(WarningKind kind)
{
    return 1U << static_cast<unsigned>(kind);
}
constexpr WarningSet allWarnings = (1U << WARN_KIND_COUNT) - 1;

// The safe fixes: deletions that cannot change what a sound statement
// means. A check's row names those that mend its diagnostics.
enum class FixCause : unsigned char {
    byteOrderMark,  // byte order marks at the start of the file
    carriageReturn, // carriage returns at the end of a line
    leadingZero,    // the leading zeros of an address number
    blanks,         // a line of only blanks, or the blanks before a '#'
};

// A set of fixes, one bit each.
using FixSet = unsigned;
constexpr FixSet fixBit(FixCause cause)
{
    return 1U << static_cast<unsigned>(cause);
}

// The most edits one line gets, whoever reads them (--fix, --diff, the
// formats): the marks, the blanks, the zeros of four numbers, the carriage
// returns. The reader holds its fixes to it.
constexpr unsigned maxLineFixes = 7;

#endif
