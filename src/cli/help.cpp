// The text of --help. Each option's entry, and the summary, also stand in
// the manual page (the manual-page test checks that they agree). The words
// are laid out as the rows of the table wrap them, not as a formatter would.
#include "cli/help.h"

#include <string_view>

#include "checks/checks.h"
#include "cli/options.h"
#include "formats/registry.h"

static const char helpSummary[] =
    "Usage: iscsi-config-check [OPTION]... config_file_name...\n"
    "Check iSCSI initiator configuration files.\n"
    "\n";

// Where an entry's words begin, after the option padded with blanks (or two
// blanks after an option that reaches that far), and where its
// continuation lines begin.
static const size_t helpColumn = 23;
static const std::string_view helpIndent = "\n                         ";

// Appends `words` as wrapped by hand: each newline starts a continuation
// line.
static void appendWrapped(LineBuffer *help, std::string_view words)
{
    for (char c : words) {
        help->append(c == '\n' ? helpIndent : std::string_view(&c, 1));
    }
}

// The formats' parts, one after the other, as they are wrapped.
static void appendFormats(LineBuffer *help)
{
    for (size_t k = 0; k < formatCount; k++) {
        if (k > 0 && help->view().back() != ' ') {
            help->append(' ');
        }
        appendWrapped(help, formatTable[k].help);
    }
}

// The warnings' names, after a blank and separated by commas, wrapped to
// fit.
static void appendWarningNames(LineBuffer *help)
{
    size_t lineStart = help->view().rfind('\n') + 1;
    bool first = true;
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::warning) {
            continue;
        }
        size_t width = check.name.size() + (first ? 1 : 2);
        if (help->view().size() - lineStart + width + 1 > helpWidth) {
            help->append(',');
            help->append(helpIndent);
            lineStart = help->view().size() - helpIndent.size() + 1;
        } else {
            help->append(first ? " " : ", ");
        }
        help->append(check.name);
        first = false;
    }
}

// Appends the entry of `option`: "  -L, --NAME=VALUE" and its words.
static void appendEntry(LineBuffer *help, const OptionInfo &option)
{
    size_t start = help->view().size();
    if (option.letter != '\0') {
        help->append("  -");
        help->append(option.letter);
        help->append(", --");
    } else {
        help->append("      --");
    }
    help->append(option.name);
    if (option.value != nullptr) {
        help->append('=');
        help->append(option.value);
    }
    size_t width = help->view().size() - start;
    help->appendRepeated(' ', width < helpColumn ? helpColumn - width : 2);
    appendWrapped(help, option.help);
    switch (option.helpList) {
    case HelpList::formats:
        appendFormats(help);
        break;
    case HelpList::warnings:
        appendWarningNames(help);
        break;
    case HelpList::none:
        break;
    }
    help->append('\n');
}

void buildHelp(LineBuffer *help)
{
    help->append(helpSummary);
    for (size_t k = 0; k < optionCount; k++) {
        if (optionTable[k].help != nullptr) {
            appendEntry(help, optionTable[k]);
        }
    }
}
