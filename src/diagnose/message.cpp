// The messages of diagnostics: a check's pattern filled in from the line.
#include "diagnose/step.h"

// Appends the name that a directive's warning points at, from the line: a
// character that no name holds as '?', so that nothing a file supplies
// reaches a message as it is.
static void appendWord(LineBuffer *text, const Verdict *verdict,
                       const Warning *warning)
{
    const SourcePiece &piece = verdict->source;
    size_t start = warning->pos - piece.offset;
    for (size_t k = start;
         k < start + static_cast<size_t>(warning->value) && k < piece.len;
         k++) {
        char c = piece.text[k];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        text->append(plain ? c : '?');
    }
}

// Appends a byte as a message names it: in single quotes when it is
// printable ASCII, else as 0x and two hexadecimal digits, so that nothing
// a file supplies reaches a message as it is.
static void appendChar(LineBuffer *text, unsigned code)
{
    if (code >= 0x20 && code < 0x7F) {
        text->append('\'');
        text->append(static_cast<char>(code));
        text->append('\'');
    } else {
        text->append("0x");
        text->append(upperHexDigits[(code >> 4) & 0xFU]);
        text->append(upperHexDigits[code & 0xFU]);
    }
}

// The alternative `variant` of the message of `check` (see
// CheckInfo::message), counted from 0; the first where it has no such
// alternative.
static std::string_view alternativeOf(const CheckInfo *check, unsigned variant)
{
    if (variant >= check->alternativeCount) {
        variant = 0;
    }
    size_t start = variant == 0 ? 0 : check->alternativeEnds[variant - 1] + 1U;
    return headOf(tailOf(check->message, start),
                  check->alternativeEnds[variant] - start);
}

std::string_view fillMessage(LineBuffer *text, const CheckInfo *check,
                             bool report, const Verdict *verdict,
                             const Warning *warning, bool hidden)
{
    // An error's: the form that names nothing for a byte at or past the
    // hide point, the one for the end of the field or the statement, or
    // the first. The report's messages of errors have but one.
    FaultDetail detail = {0, 0};
    unsigned variant = 0;
    if (warning != nullptr) {
        variant = warning->variant;
    } else {
        detail = faultDetail(verdict);
        variant = hidden ? 1U : detail.charCode == 0 ? 2U : 0U;
        // Login parameters that differ from the keyword at once, and are
        // not close to it, hold some other word: the keyword is missing,
        // not mistyped.
        const SourcePiece &piece = verdict->source;
        if (variant == 0 && check->kind == FAULT_MISSING_KEYWORD &&
            verdict->pos - piece.offset ==
                static_cast<size_t>(verdict->loginParams - piece.text) &&
            !fieldIsMistypedKeyword(verdict)) {
            variant = 1;
        }
    }
    std::string_view pattern = report && check->severity == Severity::error
                                   ? check->reportMessage
                                   : alternativeOf(check, variant);
    text->clear();
    for (;;) {
        size_t open = pattern.find('{');
        text->append(headOf(pattern, open));
        if (open == std::string_view::npos) {
            return text->view();
        }
        // Every placeholder of the table is closed, its name a short word.
        size_t close = open + 1;
        while (pattern[close] != '}') {
            close++;
        }
        std::string_view name = tailOf(headOf(pattern, close), open + 1);
        if (name == "octal") {
            text->append('0');
            text->appendNumber(detail.charCode, 8);
        } else if (name == "char") {
            appendChar(text, detail.charCode);
        } else if (name == "expected") {
            text->append(static_cast<char>(detail.value));
        } else if (name == "length") {
            text->appendNumber(detail.value);
        } else if (name == "value") {
            text->appendNumber(warning->value);
        } else if (name == "hex") {
            text->append(upperHexDigits[(warning->value >> 4) & 0xF]);
            text->append(upperHexDigits[warning->value & 0xF]);
        } else if (name == "name") {
            appendWord(text, verdict, warning);
        } else if (name == "suggestion") {
            text->append(warning->suggestion->name);
        } else if (name == "address") {
            appendAddress(text, verdict->addr);
        } else { // the table holds no other placeholder
            text->appendNumber(verdict->port);
        }
        pattern.remove_prefix(close + 1);
    }
}
