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

std::string_view fillMessage(LineBuffer *text, const CheckInfo *check,
                             const Verdict *verdict, const Warning *warning)
{
    std::string_view pattern = check->message;
    for (unsigned k = warning != nullptr ? warning->variant : 0; k > 0; k--) {
        pattern.remove_prefix(pattern.find('|') + 1);
    }
    pattern = headOf(pattern, pattern.find('|'));
    text->clear();
    for (;;) {
        size_t open = pattern.find('{');
        text->append(headOf(pattern, open));
        if (open == std::string_view::npos) {
            return text->view();
        }
        size_t close = pattern.find('}', open);
        std::string_view name = tailOf(headOf(pattern, close), open + 1);
        if (name == "octal") {
            text->append('0');
            text->appendNumber(verdict->charCode, 8);
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
