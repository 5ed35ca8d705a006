// The regions of the manual page and of the README that the table of checks
// writes, and the rewriting of a document's regions; see check_docs.h.
#include "check_docs.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <iterator>

#include "checks/checks.h"

namespace
{

constexpr size_t npos = std::string_view::npos;

// The placeholders of a message pattern (see CheckInfo::message) as the
// documents show them: the value filled in begins with `prefix`, and
// `symbol`, in italics in the manual, stands for the rest. The manual
// follows a message that holds a placeholder with its `gloss`, if it has
// one, for a symbol that the check's explanation does not name; the first
// alternative that holds it gives it.
struct Placeholder {
    std::string_view field;
    std::string_view prefix;
    std::string_view symbol;
    std::string_view gloss;
};
constexpr Placeholder placeholders[] = {
    {"{octal}", "0", "OOO", {}},
    {"{char}",
     {},
     "CHAR",
     "CHAR is the character found, in quotes when it is printable ASCII, "
     "else 0x and its code in two hexadecimal digits"},
    {"{expected}", {}, "K", "K is the keyword's character in its place"},
    {"{length}", {}, "N", {}},
    {"{value}", {}, "N", {}},
    {"{hex}", {}, "XX", "the byte in two hexadecimal digits"},
    {"{name}", {}, "NAME", {}},
    {"{suggestion}", {}, "NAME", {}},
    {"{address}", {}, "A.B.C.D", {}},
    {"{port}", {}, "P", {}},
};

// A piece of a message: literal text, then a placeholder, or none at the
// end.
struct Piece {
    std::string_view text;
    const Placeholder *placeholder;
};

// The pieces of each alternative of a message pattern, the alternatives
// separated by "|".
bool splitMessage(std::string_view pattern,
                  std::vector<std::vector<Piece>> *alternatives,
                  std::string *error)
{
    alternatives->clear();
    std::string_view rest = pattern;
    while (true) {
        size_t bar = rest.find('|');
        std::string_view alternative = rest.substr(0, bar);
        std::vector<Piece> pieces;
        while (true) {
            size_t open = alternative.find('{');
            if (open == npos) {
                pieces.push_back({alternative, nullptr});
                break;
            }
            size_t close = alternative.find('}', open);
            std::string_view field = alternative.substr(
                open, close == npos ? npos : close - open + 1);
            const Placeholder *end = std::end(placeholders);
            const Placeholder *found = std::find_if(
                std::begin(placeholders), end,
                [field](const Placeholder &p) { return p.field == field; });
            if (found == end) {
                *error = "the placeholder " + std::string(field) +
                         " of the message \"" + std::string(pattern) +
                         "\" has no symbol in doc/check_docs.cpp";
                return false;
            }
            pieces.push_back({alternative.substr(0, open), found});
            alternative.remove_prefix(open + field.size());
        }
        alternatives->push_back(pieces);
        if (bar == npos) {
            return true;
        }
        rest.remove_prefix(bar + 1);
    }
}

// Whether `word` is one of the space-separated words of `italic`.
bool isItalic(std::string_view word, std::string_view italic)
{
    while (!italic.empty()) {
        size_t space = italic.find(' ');
        if (italic.substr(0, space) == word) {
            return true;
        }
        italic.remove_prefix(space == npos ? italic.size() : space + 1);
    }
    return false;
}

// A word of prose in roff. Its hyphens are minus signs when it is code: a
// check's name, an option, or a word with "=" or ":" in it (a directive,
// the program's name before a colon); in other words they are hyphens.
std::string proseWord(std::string_view word, std::string_view italic)
{
    size_t begin = word.find_first_not_of("(\"'");
    size_t end = word.find_last_not_of(".,;:)\"'");
    if (begin == npos || end < begin) {
        begin = end = 0;
    } else {
        end++;
    }
    std::string_view core = word.substr(begin, end - begin);
    bool code = word.find_first_of("=:") != npos ||
                (!core.empty() && core[0] == '-') || findCheck(core) != nullptr;
    std::string out;
    auto escape = [&out, code](std::string_view part) {
        for (char c : part) {
            if (c == '\\') {
                out += "\\e";
            } else if (c == '-' && code) {
                out += "\\-";
            } else {
                out += c;
            }
        }
    };
    escape(word.substr(0, begin));
    if (!core.empty() && isItalic(core, italic)) {
        out += "\\fI";
        escape(core);
        out += "\\fR";
    } else {
        escape(core);
    }
    escape(word.substr(end));
    return out;
}

// Ends a line of prose text. A line that begins with a dot or an apostrophe
// would be a request; one that ends in a full stop inside a sentence would
// get the space that follows a sentence.
void endProseLine(std::string *out, const std::string &line, bool inSentence)
{
    if (line.empty()) {
        return;
    }
    if (line[0] == '.' || line[0] == '\'') {
        *out += "\\&";
    }
    *out += line;
    size_t last = line.find_last_not_of(")\"'");
    if (inSentence && last != npos &&
        std::string_view(".!?").find(line[last]) != npos) {
        *out += "\\&";
    }
    *out += '\n';
}

// A message's alternatives as lines of the manual: each a bold line, its
// placeholders' symbols in italics, then the glosses of the placeholders
// that have one and are new in the entry, joined by lines of "or" (or, for
// a tag, by .TQ). *italic holds the entry's symbols, separated by spaces,
// and gets these.
bool writeMessageLines(std::string_view pattern, std::string_view join,
                       std::string *out, std::string *italic,
                       std::string *error)
{
    std::vector<std::vector<Piece>> alternatives;
    if (!splitMessage(pattern, &alternatives, error)) {
        return false;
    }
    for (size_t a = 0; a < alternatives.size(); a++) {
        if (a > 0) {
            *out += join;
        }
        // The macro's arguments alternate between bold and italic, starting
        // with bold: an empty bold argument, quoted, keeps them in step.
        std::vector<std::string> arguments;
        std::string bold;
        std::string gloss;
        for (const Piece &piece : alternatives[a]) {
            bold += roffCode(piece.text);
            if (piece.placeholder == nullptr) {
                continue;
            }
            const Placeholder &p = *piece.placeholder;
            bold += roffCode(p.prefix);
            arguments.push_back("\"" + bold + "\"");
            bold.clear();
            arguments.emplace_back(roffCode(p.symbol));
            if (!isItalic(p.symbol, *italic)) {
                *italic += std::string(italic->empty() ? "" : " ") +
                           std::string(p.symbol);
                if (!p.gloss.empty()) {
                    gloss += (gloss.empty() ? "" : "; ") + std::string(p.gloss);
                }
            }
        }
        if (!bold.empty()) {
            arguments.push_back("\"" + bold + "\"");
        }
        const char *macro = ".BI";
        if (arguments.size() == 1) {
            // One bold argument, which needs no quotes: the macro takes
            // the rest of the line.
            macro = ".B";
            arguments[0] = bold;
        } else if (arguments[0] == "\"\"") {
            macro = ".IB";
            arguments.erase(arguments.begin());
        }
        *out += macro;
        for (const std::string &argument : arguments) {
            *out += ' ' + argument;
        }
        *out += '\n';
        if (!gloss.empty()) {
            *out += roffProse("(" + gloss + ")", *italic);
        }
    }
    return true;
}

// What --fix does for the check, where it does anything, as a paragraph of
// its own after the explanation.
void writeFix(const CheckInfo &check, std::string *out)
{
    if (check.fix != nullptr) {
        *out += ".br\n" + roffProse(check.fix);
    }
}

void writeExamples(const CheckInfo &check, std::string *out)
{
    *out += ".br\nBad:\n.B \"" + roffCode(check.badLine) + "\"\n";
    *out += ".br\nFixed:\n.B \"" + roffCode(check.fixedLine) + "\"\n";
}

// The entries of the errors whose diagnostic gives a position, or of those
// that give none: the report format's message as the tag, then the name,
// the other formats' message where it differs, the summary, the
// explanation, what --fix does and the examples.
bool writeErrors(bool positioned, std::string *out, std::string *error)
{
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::error ||
            check.positioned != positioned) {
            continue;
        }
        std::string italic;
        *out += ".TP\n";
        if (!writeMessageLines(check.reportMessage, ".TQ\n", out, &italic,
                               error)) {
            return false;
        }
        *out += ".RB ( " + roffCode(check.name) + " )\n";
        if (check.message != check.reportMessage) {
            *out += ".br\nIn the other formats:\n";
            if (!writeMessageLines(check.message, "or\n", out, &italic,
                                   error)) {
                return false;
            }
            *out += ".br\n";
        }
        *out += roffProse(check.summary, italic);
        *out += roffProse(check.explanation, italic);
        writeFix(check, out);
        writeExamples(check, out);
    }
    return true;
}

bool writeStatementDiagnostics(std::string *out, std::string *error)
{
    return writeErrors(true, out, error);
}

bool writeLoginParameterDiagnostics(std::string *out, std::string *error)
{
    return writeErrors(false, out, error);
}

// The entries of the warnings: the name as the tag, the summary, the
// message, the explanation, what --fix does and the examples.
bool writeWarnings(std::string *out, std::string *error)
{
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::warning) {
            continue;
        }
        std::string italic;
        *out += ".TP\n.B " + roffCode(check.name) + "\n";
        *out += roffProse("(" + std::string(check.summary) + ")");
        *out += ".br\n";
        if (!writeMessageLines(check.message, "or\n", out, &italic, error)) {
            return false;
        }
        *out += ".br\n";
        *out += roffProse(check.explanation, italic);
        writeFix(check, out);
        writeExamples(check, out);
    }
    return true;
}

// Text in a cell of a markdown table.
std::string markdownText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (std::string_view("\\`*_[<|").find(c) != npos) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// Code in a cell of a markdown table: the table takes "\|" for a bar even
// there, and a code span that holds a backtick needs a longer fence.
std::string markdownCode(std::string_view code)
{
    std::string fence = code.find('`') == npos ? "`" : "`` ";
    std::string out = fence;
    for (char c : code) {
        if (c == '|') {
            out += '\\';
        }
        out += c;
    }
    if (fence.size() > 1) {
        return out + " ``";
    }
    return out + fence;
}

// A message's alternatives in a cell of a markdown table, as code, joined
// by ", or ".
bool writeMessageCell(std::string_view pattern, std::string *out,
                      std::string *error)
{
    std::vector<std::string> shown;
    if (!shownMessages(pattern, &shown, error)) {
        return false;
    }
    for (size_t a = 0; a < shown.size(); a++) {
        *out += (a > 0 ? ", or " : "") + markdownCode(shown[a]);
    }
    return true;
}

// The README's table of warnings: name, summary and message of each. A
// line of text right after a table would join it as a row, and one right
// before it would take its head for text: empty lines part it from the
// markers.
bool writeWarningsTable(std::string *out, std::string *error)
{
    *out += "\n| name | when | message |\n|---|---|---|\n";
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::warning) {
            continue;
        }
        *out += "| " + markdownCode(check.name) + " | " +
                markdownText(check.summary) + " | ";
        if (!writeMessageCell(check.message, out, error)) {
            return false;
        }
        *out += " |\n";
    }
    *out += "\n";
    return true;
}

// The README's table of the errors' messages: name, the report format's
// message and the other formats' of each, set apart as the warnings'.
bool writeErrorsTable(std::string *out, std::string *error)
{
    *out += "\n| name | report format | other formats |\n|---|---|---|\n";
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::error) {
            continue;
        }
        *out += "| " + markdownCode(check.name) + " | ";
        if (!writeMessageCell(check.reportMessage, out, error)) {
            return false;
        }
        *out += " | ";
        if (!writeMessageCell(check.message, out, error)) {
            return false;
        }
        *out += " |\n";
    }
    *out += "\n";
    return true;
}

// Prose in a cell of a markdown table, each option in it (a word that
// begins with "--", without the punctuation that ends it) as code.
std::string markdownProse(std::string_view text)
{
    std::string out;
    while (!text.empty()) {
        size_t space = text.find(' ');
        std::string_view word = text.substr(0, space);
        text.remove_prefix(space == npos ? text.size() : space + 1);
        size_t end = word.find_last_not_of(".,;:)") + 1;
        if (word.substr(0, 2) == "--" && end > 2) {
            out += markdownCode(word.substr(0, end)) +
                   markdownText(word.substr(end));
        } else {
            out += markdownText(word);
        }
        out += text.empty() ? "" : " ";
    }
    return out;
}

// The README's table of the checks that --fix mends: name, severity and
// what --fix does for each, in the table's order.
bool writeFixesTable(std::string *out, std::string * /*error*/)
{
    *out += "\n| name | severity | what `--fix` does |\n|---|---|---|\n";
    for (const CheckInfo &check : checkTable) {
        if (check.fix == nullptr) {
            continue;
        }
        *out += "| " + markdownCode(check.name) + " | " +
                (check.severity == Severity::error ? "error" : "warning") +
                " | " + markdownProse(check.fix) + " |\n";
    }
    *out += "\n";
    return true;
}

struct Region {
    std::string_view name;
    DocSyntax syntax;
    bool (*write)(std::string *out, std::string *error);
};
constexpr Region regions[] = {
    {"statement-diagnostics", DocSyntax::roff, writeStatementDiagnostics},
    {"login-parameter-diagnostics", DocSyntax::roff,
     writeLoginParameterDiagnostics},
    {"warnings", DocSyntax::roff, writeWarnings},
    {"warnings-table", DocSyntax::markdown, writeWarningsTable},
    {"errors-table", DocSyntax::markdown, writeErrorsTable},
    {"fixes-table", DocSyntax::markdown, writeFixesTable},
};

const Region *findRegion(std::string_view name)
{
    const Region *end = std::end(regions);
    const Region *found =
        std::find_if(std::begin(regions), end, [name](const Region &region) {
            return region.name == name;
        });
    return found == end ? nullptr : found;
}

// The region's name on a marker line after `prefix`: lower-case letters,
// digits and hyphens.
std::string_view markerName(std::string_view line, std::string_view prefix)
{
    std::string_view rest = line.substr(prefix.size());
    size_t end = 0;
    while (end < rest.size() &&
           (std::islower(static_cast<unsigned char>(rest[end])) != 0 ||
            std::isdigit(static_cast<unsigned char>(rest[end])) != 0 ||
            rest[end] == '-')) {
        end++;
    }
    return rest.substr(0, end);
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool writeRegion(std::string_view name, std::string *text, std::string *error)
{
    const Region *region = findRegion(name);
    if (region == nullptr) {
        *error =
            "no region is named \"" + std::string(name) + "\"; the regions:";
        for (const Region &each : regions) {
            *error += " " + std::string(each.name);
        }
        return false;
    }
    text->clear();
    return region->write(text, error);
}

bool rewriteRegions(DocSyntax syntax, std::string_view document,
                    std::string *result, std::string *error)
{
    bool roff = syntax == DocSyntax::roff;
    std::string_view beginPrefix =
        roff ? ".\\\" BEGIN GENERATED " : "<!-- BEGIN GENERATED ";
    std::string_view endPrefix =
        roff ? ".\\\" END GENERATED " : "<!-- END GENERATED ";
    result->clear();
    std::vector<std::string_view> seen;
    const Region *open = nullptr;
    size_t openedOn = 0;
    size_t lineNumber = 0;
    while (!document.empty()) {
        size_t newline = document.find('\n');
        std::string_view line =
            document.substr(0, newline == npos ? npos : newline + 1);
        document.remove_prefix(line.size());
        lineNumber++;
        std::string where = "line " + std::to_string(lineNumber) + ": ";
        bool begins = startsWith(line, beginPrefix);
        if (begins || startsWith(line, endPrefix)) {
            std::string_view name =
                markerName(line, begins ? beginPrefix : endPrefix);
            const Region *region = findRegion(name);
            if (region == nullptr || region->syntax != syntax) {
                *error = where + "no region of this document is named \"" +
                         std::string(name) + "\"";
                return false;
            }
            if (begins && open != nullptr) {
                *error = where + "the region " + std::string(name) +
                         " begins inside the region " +
                         std::string(open->name) + " of line " +
                         std::to_string(openedOn);
                return false;
            }
            if (begins &&
                std::find(seen.begin(), seen.end(), name) != seen.end()) {
                *error =
                    where + "the region " + std::string(name) + " stands twice";
                return false;
            }
            if (!begins && open != region) {
                *error = where + "the region " + std::string(name) +
                         " ends where it did not begin";
                return false;
            }
            if (begins) {
                seen.push_back(name);
                open = region;
                openedOn = lineNumber;
            } else {
                std::string text;
                if (!region->write(&text, error)) {
                    return false;
                }
                *result += text;
                open = nullptr;
            }
            *result += line;
        } else if (open == nullptr) {
            *result += line;
        }
    }
    if (open != nullptr) {
        *error = "line " + std::to_string(openedOn) + ": the region " +
                 std::string(open->name) + " does not end";
        return false;
    }
    for (const Region &region : regions) {
        if (region.syntax == syntax &&
            std::find(seen.begin(), seen.end(), region.name) == seen.end()) {
            *error = "the region " + std::string(region.name) +
                     " is missing: its BEGIN GENERATED and END GENERATED "
                     "lines are not there";
            return false;
        }
    }
    return true;
}

std::string roffCode(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\e";
            break;
        case '-':
            out += "\\-";
            break;
        case '\'':
            out += "\\(aq";
            break;
        case '"':
            out += "\\(dq";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string roffProse(std::string_view text, std::string_view italic)
{
    const size_t width = 78;
    std::string out;
    std::string line;
    while (!text.empty()) {
        // A sentence ends at a full stop, a question or an exclamation mark
        // followed by a space and no lower-case letter.
        size_t end = 0;
        while (
            end < text.size() &&
            !(std::string_view(".!?").find(text[end]) != npos &&
              end + 2 < text.size() && text[end + 1] == ' ' &&
              std::islower(static_cast<unsigned char>(text[end + 2])) == 0)) {
            end++;
        }
        std::string_view sentence = text.substr(0, end + 1);
        text.remove_prefix(std::min(text.size(), end + 2));
        while (!sentence.empty()) {
            size_t space = sentence.find(' ');
            std::string_view word = sentence.substr(0, space);
            sentence.remove_prefix(space == npos ? sentence.size() : space + 1);
            if (word.empty()) {
                continue;
            }
            std::string roffWord = proseWord(word, italic);
            if (!line.empty() && line.size() + 1 + roffWord.size() > width) {
                endProseLine(&out, line, true);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + roffWord;
        }
        endProseLine(&out, line, false);
        line.clear();
    }
    return out;
}

bool shownMessages(std::string_view pattern, std::vector<std::string> *shown,
                   std::string *error)
{
    std::vector<std::vector<Piece>> alternatives;
    if (!splitMessage(pattern, &alternatives, error)) {
        return false;
    }
    shown->clear();
    for (const std::vector<Piece> &pieces : alternatives) {
        std::string text;
        for (const Piece &piece : pieces) {
            text += piece.text;
            if (piece.placeholder != nullptr) {
                text += piece.placeholder->prefix;
                text += piece.placeholder->symbol;
            }
        }
        shown->push_back(text);
    }
    return true;
}
