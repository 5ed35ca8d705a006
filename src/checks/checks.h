// The checks: every fault the reader finds (an error) and every warning it
// can be asked for, in one table that gives each its name, severity, message,
// summary and explanation. Formats, options and documents all read it.
#ifndef ISCSI_CONFIG_CHECK_CHECKS_CHECKS_H
#define ISCSI_CONFIG_CHECK_CHECKS_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checks/kinds.h"

enum class Severity { error, warning };

// The most alternatives a message has: a table row with more fails to
// compile.
constexpr size_t maxAlternatives = 4;

// The word for a severity, as every format writes it: "error" or "warning".
constexpr std::string_view severityName(Severity severity)
{
    return severity == Severity::error ? "error" : "warning";
}

// What is known of one check.
struct CheckInfo {
    std::string_view name; // stable, as in -W NAME and the machine formats
    // The message in every format but the report. A pattern may hold
    // placeholders, filled in from the line: {octal} (the character's code
    // in octal behind a literal 0), {char} (the byte at fault: quoted when
    // printable ASCII, else 0x and two hexadecimal digits), {expected} (the
    // keyword's character that belongs there), {length} (the identifier's
    // length), {value} (the warning's number), {hex} (that number in two
    // hexadecimal digits), {name} (the name at the warning's position, the
    // number its length), {suggestion} (the name of the check closest to
    // that name), {address} and {port} (the statement's); and alternatives
    // separated by "|", of which a warning's variant picks one. An error's
    // first alternative quotes the byte at fault or states a length; its
    // second, for a byte at or past the line's hide point, quotes and
    // states nothing; its third, for a fault where the field or the
    // statement ends, names no byte. Where a pattern lacks the alternative
    // asked for, its first stands.
    std::string_view message;
    // The report format's message, the original checker's, as a pattern
    // too; an error's has no alternatives. The message itself where the
    // row gives only one.
    std::string_view reportMessage;
    const char *summary;     // what it finds, in a sentence or a phrase
    const char *explanation; // the manual's description, after the summary
    const char *badLine;     // a line that the check finds
    const char *fixedLine;   // that line mended
    // What --fix does for the check's diagnostics, or null when it does
    // nothing for them, and the fixes that mend them (withFix sets both): a
    // warning's, when one of them deletes the byte it lies at; an error's,
    // when its line mended holds no fault.
    const char *fix;
    FixSet fixes;
    Severity severity;
    int kind; // the FaultKind of an error, the WarningKind of a warning
    // True when the report format gives the diagnostic's position; the
    // login-parameter faults are reported without one.
    bool positioned;
    bool patterned;       // the message holds a placeholder or a "|"
    bool reportPatterned; // the report's message holds a placeholder
    // The message's alternatives, and where each ends (at its "|", or at
    // the message's end), so that the message step finds one at once.
    uint8_t alternativeCount;
    uint16_t alternativeEnds[maxAlternatives];

    // An error's row, with one message for every format or the report's
    // and the others', and a warning's: the kind comes first, so that the
    // table can be held to the kinds' order.
    constexpr CheckInfo(FaultKind fault, std::string_view checkName,
                        bool isPositioned, std::string_view text,
                        const char *checkSummary, const char *longer,
                        const char *bad, const char *fixed)
        : CheckInfo(Severity::error, fault, checkName, isPositioned, text, text,
                    checkSummary, longer, bad, fixed)
    {
    }
    constexpr CheckInfo(FaultKind fault, std::string_view checkName,
                        bool isPositioned, std::string_view reportText,
                        std::string_view text, const char *checkSummary,
                        const char *longer, const char *bad, const char *fixed)
        : CheckInfo(Severity::error, fault, checkName, isPositioned, reportText,
                    text, checkSummary, longer, bad, fixed)
    {
    }
    constexpr CheckInfo(WarningKind warning, std::string_view checkName,
                        std::string_view text, const char *checkSummary,
                        const char *longer, const char *bad, const char *fixed)
        : CheckInfo(Severity::warning, warning, checkName, true, text, text,
                    checkSummary, longer, bad, fixed)
    {
    }

  private:
    constexpr CheckInfo(Severity checkSeverity, int checkKind,
                        std::string_view checkName, bool isPositioned,
                        std::string_view reportText, std::string_view text,
                        const char *checkSummary, const char *longer,
                        const char *bad, const char *fixed)
        : name(checkName), message(text), reportMessage(reportText),
          summary(checkSummary), explanation(longer), badLine(bad),
          fixedLine(fixed), fix(nullptr), fixes(0), severity(checkSeverity),
          kind(checkKind), positioned(isPositioned),
          patterned(text.find_first_of("{|") != std::string_view::npos),
          reportPatterned(reportText.find_first_of("{|") !=
                          std::string_view::npos),
          alternativeCount(0), alternativeEnds()
    {
        for (size_t k = 0; k <= text.size(); k++) {
            if (k == text.size() || text[k] == '|') {
                alternativeEnds[alternativeCount++] = static_cast<uint16_t>(k);
            }
        }
    }
};

// The row `check`, mended by `fixes`, which `text` describes.
constexpr CheckInfo withFix(CheckInfo check, FixSet fixes, const char *text)
{
    check.fix = text;
    check.fixes = fixes;
    return check;
}

// The text of a note, which follows an error whose cause it names; without
// `fixOffered`, the text that offers no --fix where the note has one (the
// line keeps its bytes).
std::string_view noteText(NoteKind kind, bool fixOffered = true);

// Every error, in the order of the fault kinds, then every warning, in the
// order of the warning kinds; checks.cpp refuses to compile otherwise.
constexpr size_t errorCheckCount = FAULT_KIND_COUNT - 1;
constexpr size_t checkCount = errorCheckCount + WARN_KIND_COUNT;
extern const CheckInfo checkTable[checkCount];

// The check of a fault (not FAULT_NONE), and of a warning kind.
inline const CheckInfo *checkOf(FaultKind fault)
{
    return &checkTable[static_cast<size_t>(fault) - 1];
}
inline const CheckInfo *checkOf(WarningKind kind)
{
    return &checkTable[errorCheckCount + static_cast<size_t>(kind)];
}

// The place of a check in the table.
inline size_t tableIndex(const CheckInfo *check)
{
    return static_cast<size_t>(check - checkTable);
}

// The check named `name`, or null.
const CheckInfo *findCheck(std::string_view name);

// The number of edits (insertions, deletions, substitutions, swaps of
// neighbours) that make `a` into `b`, as suggestions measure it; SIZE_MAX
// when either is longer than 64 characters, far from every name. Given a
// `limit`, it stops as soon as the count cannot come under it, and then
// gives some number not under it.
size_t editDistance(std::string_view a, std::string_view b,
                    size_t limit = SIZE_MAX);

// The check whose name is closest to `name`, at most two edits away (as
// editDistance counts them), or null; with `warningsOnly`, only a warning.
const CheckInfo *closestCheck(std::string_view name, bool warningsOnly);

// The warning kind of a check that is a warning.
inline WarningKind warningKindOf(const CheckInfo *check)
{
    return static_cast<WarningKind>(check->kind);
}

#endif
