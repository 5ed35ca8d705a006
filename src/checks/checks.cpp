// The table of checks: the one place where each check's texts are written.
// The manual page's entries and the README's table of warnings are
// generated from it (make docs; a test fails when they are stale).
#include "checks/checks.h"

#include <algorithm>
#include <cstdint>

// clang-format off
// What --fix does where a line's carriage returns are the fault.
static constexpr char crlfFix[] = "--fix deletes the carriage returns at the end of the line, when the line is sound without them (a file saved with CRLF line ends).";

constexpr CheckInfo checkTable[checkCount] = {
    withFix({FAULT_PARSE, "parse", true, "parse error",
     "A line that is neither empty nor a comment does not begin with the keyword target and an equals sign.",
     "The first non-blank characters are not target (the position is that of the first non-blank character), or the first character after the keyword and its blanks is not = (the position is that character's).",
     "targets = 10.0.0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
     fixBit(FixCause::byteOrderMark) | fixBit(FixCause::blanks) | fixBit(FixCause::carriageReturn),
     "--fix empties a line of only blanks, deletes the blanks before a comment's #, and deletes a byte order mark or the carriage returns at the end of a line when the line is sound without them."),
    {FAULT_ADDRESS, "address", true, "error in address",
     "An address number has no digits, or the address is not followed by a space.",
     "An address number without digits (the position is where the digit was expected), or a character other than a space directly after the fourth number: a tab, a fifth number, a letter or the end of the line (the position is that character's).",
     "target = 10..0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_ADDRESS_CHAR, "address-char", true, "illegal character in address {octal}",
     "address holds {char} where '.' belongs|address holds another character where '.' belongs|address ends where '.' belongs",
     "A character other than a dot follows one of the first three address numbers.",
     "The position is that character's. OOO is the character's code in octal, 0 to 377, behind a literal 0: a space gives 040, the end of the line 00.",
     "target = 10.0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_PORT, "port", true, "error in port number",
     "The port has no digits, or is not followed by a space.",
     "A port without digits (the position is where the digit was expected), or a character other than a space directly after its digits, the end of the line included (the position is that character's).",
     "target = 10.0.0.1 32a60 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_NO_CONNECTIONS, "no-connections", true, "no connections defined",
     "The login parameters are sound, but the connection count is 0 or absent.",
     "The position is just past the login-parameters field.",
     "target = 10.0.0.1 3260 0 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_MISSING_LOGIN_PARAMS, "missing-login-params", false, "missing Login Parameters",
     "login parameters missing: 'Initiator:' expected",
     "The statement ends after its port or its connection count.",
     "Nothing but blanks follows the port, or the count. The column is just past the line's text.",
     "target = 10.0.0.1 3260 2",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_MISSING_KEYWORD, "missing-keyword", false, "missing 'Initiator:' keyword",
     "login parameters hold {char} where 'Initiator:' has '{expected}'|login parameters do not begin with 'Initiator:'|login parameters end where 'Initiator:' has '{expected}'",
     "The login parameters do not begin with Initiator:.",
     "The field is shorter than ten characters, or its first ten differ from Initiator:, letter case included. The column is that of the first character that differs, or just past the field when the field is the keyword's beginning.",
     "target = 10.0.0.1 3260 2 initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_MISSING_IDENTIFIER, "missing-identifier", false, "missing Initiator identifier",
     "identifier is empty, at least 1 character",
     "A comma directly follows Initiator:.",
     "The identifier holds 1 to 63 characters. The column is the comma's.",
     "target = 10.0.0.1 3260 2 Initiator:,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {FAULT_IDENTIFIER_CHAR, "identifier-char", false, "illegal character in identifier",
     "identifier holds {char}, which is not allowed (letters, digits, '.', '-', '_')|identifier holds a character that is not allowed (letters, digits, '.', '-', '_')",
     "The identifier holds a character other than a letter, a digit, a dot, a hyphen or an underscore.",
     "Bytes from 0x80 on are none of these either. The column is that character's.",
     "target = 10.0.0.1 3260 2 Initiator:db#01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db-01,pw"},
    {FAULT_MISSING_COMMA, "missing-comma", false, "missing ',' after identifier",
     "login parameters end before the ',' after the identifier",
     "The login parameters end inside the identifier.",
     "The field ends inside the identifier, or right after the keyword: a comma and a password, which may be empty, must follow. The column is the line's hide point, right after the keyword: the field's end, where the comma is missing, lies past it.",
     "target = 10.0.0.1 3260 2 Initiator:db01",
     "target = 10.0.0.1 3260 2 Initiator:db01,"},
    {FAULT_IDENTIFIER_TOO_LONG, "identifier-too-long", false, "identifier is too long",
     "identifier is {length} characters long, at most 63|identifier is longer than 63 characters",
     "The identifier is longer than 63 characters.",
     "The 64 characters after the keyword are all identifier characters, whatever follows them. The column is that of the 64th.",
     "target = 10.0.0.1 3260 2 Initiator:iqn.2024-01.com.example.storage.array-00001.controller-a.port-01,pw",
     "target = 10.0.0.1 3260 2 Initiator:iqn.2024-01.com.example.array-00001.port-01,pw"},
    withFix({FAULT_PASSWORD_CHAR, "password-char", false, "illegal character in 'password'",
     "password holds a character that is not allowed",
     "The password holds a character other than a letter, a digit, a dot, a hyphen or an underscore.",
     "A second comma among the first 16 characters after the comma is such a character. The column is the password's first character's, wherever the fault lies in it.",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw!1",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw-1"},
     fixBit(FixCause::carriageReturn), crlfFix),
    withFix({FAULT_CHARS_AFTER_PASSWORD, "chars-after-password", false, "illegal characters after 'password'",
     "password is longer than 16 characters, and its 17th is not allowed",
     "Another character follows 16 password characters.",
     "It is not an identifier character. The column is the password's first character's.",
     "target = 10.0.0.1 3260 2 Initiator:db01,0123456789abcdef!",
     "target = 10.0.0.1 3260 2 Initiator:db01,0123456789abcdef"},
     fixBit(FixCause::carriageReturn), crlfFix),
    {FAULT_PASSWORD_TOO_LONG, "password-too-long", false, "'password' is too long",
     "password is longer than 16 characters",
     "The password is longer than 16 characters.",
     "An identifier character directly follows 16 password characters. The column is the password's first character's.",
     "target = 10.0.0.1 3260 2 Initiator:db01,0123456789abcdefg",
     "target = 10.0.0.1 3260 2 Initiator:db01,0123456789abcdef"},

    withFix({WARN_BOM, "bom", "file begins with a byte order mark",
     "a byte order mark at the start of the file",
     "On line 1, column 1, when the file's first three bytes are EF BB BF. Some editors put this mark at the start of a UTF-8 file; the checker sees it as part of the first line, which then gives parse error.",
     "(the bytes EF BB BF) target = 10.0.0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
     fixBit(FixCause::byteOrderMark), "--fix deletes the byte order mark."),
    withFix({WARN_LEADING_ZERO, "leading-zero", "address number with a leading zero: other tools read it as octal",
     "an address number with a leading zero, which other tools read as octal",
     "At the number's first digit, for an address number of two or more digits that begins with 0. The checker reads 010 as ten; inet_aton(3) and the many tools built on it read it as octal, eight: the same file names another target for them.",
     "target = 010.0.0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
     fixBit(FixCause::leadingZero), "--fix deletes the leading zeros: 010 becomes 10, the value the checker reads."),
    {WARN_ADDRESS_RANGE, "address-range", "address number over 255, taken as {value}",
     "an address number over 255, which wraps",
     "At the number's first digit, for an address number whose value as written is over 255; N is the value taken, modulo 256 (300 is taken as 44).",
     "target = 300.0.0.1 3260 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {WARN_PORT_RANGE, "port-range", "port number over 65535, taken as {value}|port number 0 is not usable",
     "a port of 0, or over 65535, which wraps",
     "At the port's first digit, for a port whose value as written is over 65535 (70000 is taken as 4464), or for a port written as 0.",
     "target = 10.0.0.1 70000 2 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {WARN_COUNT_RANGE, "count-range", "connection count over 65535, taken as {value}",
     "a connection count over 65535, the protocol's limit",
     "At the count's first digit, for a connection count whose value as written is over 65535, also when the login parameters then fail. A session holds at most 65535 connections, since the protocol numbers them in 16 bits; N is the count as the report prints it, a signed 32-bit number (2147483648 is taken as -2147483648).",
     "target = 10.0.0.1 3260 70000 Initiator:db01,pw",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    {WARN_DUPLICATE_TARGET, "duplicate-target", "target {address} port {port} also defined on line {value}",
     "an address and port defined on an earlier line",
     "At the address's first digit, for a sound statement (sound login parameters and a count other than 0) whose address and port, as taken, equal those of an earlier sound statement in the same file, an earlier piece of the same long line included; N is the first such line. This warning remembers every target of the file; its memory grows with the number of distinct targets, by at most 32 bytes each.",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw (a second time)",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw (once)"},
    withFix({WARN_TRAILING_TEXT, "trailing-text", "text after the login parameters is not checked",
     "text after the login parameters, which is not checked",
     "At the first byte of that text, for a statement whose login parameters are sound (a count of 0 included) with text after the field, up to the first zero byte, other than blanks and one final carriage return.",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw primary",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
     fixBit(FixCause::carriageReturn), "--fix deletes the carriage returns at the end of a line shorter than 512 bytes: text that is only such carriage returns (a line that ends in two or more) goes with them."),
    withFix({WARN_CARRIAGE_RETURN, "carriage-return", "line ends with a carriage return: the file has CRLF line ends",
     "CRLF line ends",
     "At that carriage return, for the first line of the file, of any kind, whose last byte before its newline (or the end of the file) is a carriage return; once per file. A carriage return is an ordinary character here, so a file saved with CRLF line ends gives faults wherever one lands in a checked field.",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw (then CR LF)",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw (then LF)"},
     fixBit(FixCause::carriageReturn), "--fix deletes the carriage returns at the end of every line shorter than 512 bytes: CRLF line ends become LF."),
    {WARN_LONG_LINE, "long-line", "line longer than 512 bytes: the text from here on is judged as a line of its own",
     "a line over 512 bytes, whose rest is judged as a line of its own",
     "At column 513, with the second piece of a line of more than 512 bytes, of any kind: a comment line too, whose text past byte 512 is judged as a statement. A line of exactly 512 bytes is one piece and gets no warning.",
     "# a comment of 600 bytes",
     "# comments of at most 511 bytes a line"},
    {WARN_EMPTY_FILE, "empty-file", "file defines no target",
     "a file that defines no target: empty, or only comments and empty lines",
     "On line 1, column 1, for a file read to its end that holds no target statement. A template that renders to nothing would deploy an initiator with no targets; a file meant to be empty says so with a directive, # iscsi-config-check: disable-file=empty-file, anywhere in it.",
     "(an empty file)",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
    withFix({WARN_CONTROL_CHAR, "control-char", "control character 0x{hex}|control character 0x00: the text after it is not checked",
     "a control character in a line",
     "At the first control character of a physical line, comment lines included: a byte from 0x00 to 0x1F but the tab, or 0x7F (a carriage return that ends the line is told by carriage-return). The text after a zero byte is never checked, and an escape byte can rewrite what a terminal shows.",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw (a zero byte) # old",
     "target = 10.0.0.1 3260 2 Initiator:db01,pw"},
     fixBit(FixCause::carriageReturn), "--fix deletes the carriage returns at the end of a line shorter than 512 bytes: a control character among them (a line that ends in two or more) goes with them."),
    {WARN_BAD_DIRECTIVE, "bad-directive", "malformed directive: # iscsi-config-check: disable=NAMES or disable-file=NAMES|unknown warning '{name}' in directive|'{name}' is an error: errors cannot be disabled|unknown warning '{name}' in directive; did you mean '{suggestion}'?",
     "a comment that looks like a directive but is not one",
     "At column 1 for a comment that begins # iscsi-config-check: but does not go on with disable= or disable-file= and warnings' names separated by commas, without blanks (all names every warning), and for one meant as a directive but not in its form (the program's name in another letter case or without its colon, then disable= or disable-file=); at its column for a name that is not a warning's, since an error cannot be disabled.",
     "# iscsi-config-check: disable=leading-zeroes",
     "# iscsi-config-check: disable=leading-zero"},
};
// clang-format on

// The notes, in the order of their kinds: each with the text given where
// --fix mends its line, and the text given where it does not (empty for a
// note that offers no fix). The blank-line and '#' notes then lose their
// clause.
namespace
{
struct NoteRow {
    std::string_view offered;
    std::string_view withoutFix;
};
constexpr std::string_view blankLineNote =
    "the line holds only blanks: a line of blanks is not an empty line (--fix "
    "empties it)";
constexpr std::string_view indentedNote =
    "a comment's '#' must be the line's first character (--fix deletes the "
    "blanks before it)";
constexpr std::string_view withoutClause(std::string_view text)
{
    return text.substr(0, text.rfind(" (--fix"));
}

// A text of fewer than N bytes, made at compile time.
template <size_t N> struct BuiltText {
    char bytes[N];
    size_t len;
};

// `text` without its first `piece`: a note whose --fix stands among its
// other remedies, written once.
template <size_t N>
constexpr BuiltText<N> withoutPiece(const char (&text)[N],
                                    std::string_view piece)
{
    size_t at = std::string_view(text, N - 1).find(piece);
    BuiltText<N> out = {{}, 0};
    for (size_t k = 0; k + 1 < N; k++) {
        if (k < at || k >= at + piece.size()) {
            out.bytes[out.len++] = text[k];
        }
    }
    return out;
}

constexpr char crlfNote[] =
    "the file has Windows (CRLF) line ends: convert it with --fix, sed -i "
    "'s/\\r$//' FILE or dos2unix FILE";
constexpr BuiltText<sizeof crlfNote> crlfNoteWithoutFix =
    withoutPiece(crlfNote, "--fix, ");
} // namespace
// clang-format off
static constexpr NoteRow noteTable[NOTE_KIND_COUNT] = {
    {crlfNote, {crlfNoteWithoutFix.bytes, crlfNoteWithoutFix.len}},
    {"the file begins with a byte order mark (the bytes EF BB BF), read as part of line 1: remove it with --fix or sed -i '1s/^\\xEF\\xBB\\xBF//' FILE", {}},
    {blankLineNote, withoutClause(blankLineNote)},
    {indentedNote, withoutClause(indentedNote)},
    {"a comment's '#' must be the line's first character: this one is a directive, which would then take effect (--fix leaves it)", {}},
    {"identifiers cannot hold ':', so an IQN-style name cannot be given as it is: use letters, digits, '.', '-' and '_' only", {}},
    {"did you mean 'target'?", {}},
    {"did you mean 'Initiator:'?", {}},
    {"'=' must follow the keyword 'target'", {}},
    {"the port follows the address after a space, not after a ':'", {}},
};
// clang-format on

std::string_view noteText(NoteKind kind, bool fixOffered)
{
    const NoteRow &row = noteTable[kind];
    return fixOffered || row.withoutFix.empty() ? row.offered : row.withoutFix;
}

// Each row stands at the place of its kind: a row moved, or a kind added
// without its row, fails to compile here.
static constexpr bool rowsMatchKinds()
{
    for (size_t k = 0; k < checkCount; k++) {
        bool isError = k < errorCheckCount;
        int expected = isError ? static_cast<int>(k + 1)
                               : static_cast<int>(k - errorCheckCount);
        if (checkTable[k].kind != expected ||
            (checkTable[k].severity == Severity::error) != isError) {
            return false;
        }
    }
    return true;
}
static_assert(rowsMatchKinds(), "the table of checks is out of kind order");

// Every placeholder is closed within its alternative, as the message step
// takes it; an error's report message has no alternatives.
static constexpr bool placeholdersClosed(std::string_view text)
{
    bool open = false;
    for (char c : text) {
        if (c == '{' || c == '|') {
            if (open) {
                return false;
            }
            open = c == '{';
        } else if (c == '}') {
            open = false;
        }
    }
    return !open;
}
static constexpr bool messagesWellFormed()
{
    for (size_t k = 0; k < checkCount; k++) {
        const CheckInfo &check = checkTable[k];
        if (!placeholdersClosed(check.message) ||
            !placeholdersClosed(check.reportMessage) ||
            (check.severity == Severity::error &&
             check.reportMessage.find('|') != std::string_view::npos)) {
            return false;
        }
    }
    return true;
}
static_assert(messagesWellFormed(),
              "a message of the table of checks is not well formed");

// The longest name compared for a suggestion; a longer one is far from all.
static const size_t maxComparedLen = 64;

// The Damerau-Levenshtein distance (optimal string alignment), in rows of
// bytes (no distance compared exceeds 64): suggestions and notes compare
// short words, often.
size_t editDistance(std::string_view a, std::string_view b, size_t limit)
{
    if (a.size() > maxComparedLen || b.size() > maxComparedLen) {
        return SIZE_MAX;
    }
    unsigned char rows[3][maxComparedLen + 1] =
        {}; // two back, one back, this one
    for (size_t j = 0; j <= b.size(); j++) {
        rows[1][j] = static_cast<unsigned char>(j);
    }
    // The least of the row before: once two rows in a row hold nothing
    // under the limit, no later one can (a swap reaches two rows up, and
    // adds one).
    size_t aboveLeast = 0;
    for (size_t i = 1; i <= a.size(); i++) {
        unsigned char *row = rows[(i + 1) % 3];
        const unsigned char *above = rows[i % 3];
        const unsigned char *twoUp = rows[(i + 2) % 3];
        row[0] = static_cast<unsigned char>(i);
        size_t least = i;
        for (size_t j = 1; j <= b.size(); j++) {
            unsigned cost = a[i - 1] == b[j - 1] ? 0U : 1U;
            unsigned best = above[j - 1] + cost;
            best = above[j] + 1U < best ? above[j] + 1U : best;
            best = row[j - 1] + 1U < best ? row[j - 1] + 1U : best;
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] &&
                a[i - 2] == b[j - 1] && twoUp[j - 2] + 1U < best) {
                best = twoUp[j - 2] + 1U;
            }
            row[j] = static_cast<unsigned char>(best);
            least = best < least ? best : least;
        }
        if (least >= limit && aboveLeast >= limit) {
            return limit;
        }
        aboveLeast = least;
    }
    return rows[(a.size() + 1) % 3][b.size()];
}

const CheckInfo *closestCheck(std::string_view name, bool warningsOnly)
{
    const CheckInfo *closest = nullptr;
    size_t closestDistance = 3;
    for (const CheckInfo &check : checkTable) {
        if (warningsOnly && check.severity != Severity::warning) {
            continue;
        }
        // Every edit changes the length by one at most: a name whose length
        // is that far off cannot come closer, and is not compared.
        size_t apart = name.size() > check.name.size()
                           ? name.size() - check.name.size()
                           : check.name.size() - name.size();
        if (apart >= closestDistance) {
            continue;
        }
        size_t distance = editDistance(name, check.name, closestDistance);
        if (distance < closestDistance) {
            closest = &check;
            closestDistance = distance;
        }
    }
    return closest;
}

const CheckInfo *findCheck(std::string_view name)
{
    const CheckInfo *end = checkTable + checkCount;
    const CheckInfo *found =
        std::find_if(checkTable, end, [name](const CheckInfo &check) {
            return check.name == name;
        });
    return found == end ? nullptr : found;
}
