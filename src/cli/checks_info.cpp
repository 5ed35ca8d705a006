// The checks as --list-checks and --explain print them on standard output.
#include "cli/checks_info.h"

#include <cstdio>
#include <string_view>

#include "cli/help.h"
#include "support/line_buffer.h"

void listChecks(WarningSet warnings)
{
    LineBuffer line;
    for (size_t k = 0; k < checkCount; k++) {
        const CheckInfo &check = checkTable[k];
        bool isError = k < errorCheckCount; // the table's first rows
        bool on = isError || ((warnings >> (k - errorCheckCount)) & 1U) != 0;
        line.append(check.name);
        line.append(isError ? "\terror\t" : "\twarning\t");
        line.append(on ? "on\t" : "off\t");
        line.append(check.summary);
        line.append(check.fix != nullptr ? "\tfix\n" : "\t-\n");
    }
    line.write(stdout);
}

// Appends the words of `rest` as a paragraph wrapped at the help's width.
static void appendWrapped(LineBuffer *out, std::string_view rest)
{
    LineBuffer &text = *out;
    size_t lineStart = text.view().size();
    while (!rest.empty()) {
        size_t end = rest.find(' ');
        std::string_view word = headOf(rest, end);
        rest = tailOf(rest, word.size() + 1);
        if (text.view().size() > lineStart &&
            text.view().size() - lineStart + 1 + word.size() > helpWidth) {
            text.append('\n');
            lineStart = text.view().size();
        } else if (text.view().size() > lineStart) {
            text.append(' ');
        }
        text.append(word);
    }
}

void appendExplanation(LineBuffer *out, const CheckInfo *check)
{
    LineBuffer &text = *out;
    text.append(check->name);
    text.append(check->severity == Severity::error ? " (error): "
                                                   : " (warning): ");
    text.append(check->summary);
    text.append("\n\n");
    appendWrapped(&text, check->explanation);
    if (check->fix != nullptr) {
        text.append("\n\n");
        appendWrapped(&text, check->fix);
    }
    text.append("\n\n  bad:   ");
    text.append(check->badLine);
    text.append("\n  fixed: ");
    text.append(check->fixedLine);
    text.append('\n');
}

void explainCheck(const CheckInfo *check)
{
    LineBuffer text;
    appendExplanation(&text, check);
    text.write(stdout);
}
