// gen_completions: writes the completion script of bash, zsh or fish for
// the program, from its table of options, the formats, the colour choices
// and the table of checks, so that a new option or check needs no edit here.
//
//   gen_completions bash|zsh|fish    prints the shell's script
//
// The build runs it for each shell; `make install` and the Debian package
// install what it writes where each shell looks for completions.
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "checks/checks.h"
#include "cli/options.h"
#include "cli/settings.h"
#include "formats/registry.h"

namespace
{

constexpr std::string_view program = "iscsi-config-check";

// What an option's value is, and so what completes it.
enum class Values { none, files, formats, colors, warnings, checks };

// A word that completes a value, with what it means (empty for none).
struct Word {
    std::string name;
    std::string summary;
};

// An option as the scripts offer it.
struct Option {
    std::string name;   // after "--"
    std::string letter; // after "-"; empty for none
    Values values;
    bool repeats; // worth giving more than once
    std::string summary;
};

// Whether the option's value names the check that the run explains: its
// setter, given a check's name, asks for --explain's action.
bool namesCheck(const OptionInfo &row)
{
    if (row.value == nullptr || row.effect.command == nullptr) {
        return false;
    }
    CommandLine probe;
    Complaint complaint;
    std::string name(checkTable[0].name);
    return row.effect.command(&probe, name.c_str(), &complaint) &&
           probe.action == ACTION_EXPLAIN;
}

Values valuesOf(const OptionInfo &row)
{
    if (row.value == nullptr) {
        return Values::none;
    }
    if (row.helpList == HelpList::formats) {
        return Values::formats;
    }
    if (row.helpList == HelpList::warnings) {
        return Values::warnings;
    }
    if (row.effect.setting == setColor) {
        return Values::colors;
    }
    return namesCheck(row) ? Values::checks : Values::files;
}

// An option's words of --help on one line, up to the end of their first
// sentence or clause: what a shell shows beside the option.
std::string summaryOf(const char *help)
{
    std::string text;
    for (const char *c = help; *c != '\0'; c++) {
        text += *c == '\n' ? ' ' : *c;
    }
    size_t end = text.size();
    for (std::string_view stop : {"; ", ". "}) {
        end = std::min(end, text.find(stop));
    }
    text.resize(end);
    return text;
}

// The options in the table's order; another spelling of an option takes
// the words of the row that it spells.
std::vector<Option> options()
{
    std::vector<Option> list;
    const char *help = "";
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &row = optionTable[k];
        if (row.help != nullptr) {
            help = row.help;
        }
        Values values = valuesOf(row);
        std::string letter;
        if (row.letter != '\0') {
            letter = row.letter;
        }
        list.push_back({row.name, letter, values, values == Values::warnings,
                        summaryOf(help)});
    }
    return list;
}

// The words that complete a value of `values`.
std::vector<Word> wordsOf(Values values)
{
    std::vector<Word> words;
    switch (values) {
    case Values::formats:
        for (size_t k = 0; k < formatCount; k++) {
            words.push_back({formatTable[k].name, {}});
        }
        break;
    case Values::colors:
        for (size_t k = 0; k < colorChoiceCount; k++) {
            words.push_back({colorChoices[k], {}});
        }
        break;
    case Values::warnings:
        // NAME turns a warning on and no-NAME off; all and no-all each one.
        words.push_back({"all", {}});
        words.push_back({"no-all", {}});
        for (const CheckInfo &check : checkTable) {
            if (check.severity == Severity::warning) {
                words.push_back({std::string(check.name), check.summary});
                words.push_back(
                    {"no-" + std::string(check.name), check.summary});
            }
        }
        break;
    case Values::checks:
        std::transform(std::begin(checkTable), std::end(checkTable),
                       std::back_inserter(words), [](const CheckInfo &check) {
                           return Word{std::string(check.name), check.summary};
                       });
        break;
    case Values::none:
    case Values::files:
        break;
    }
    return words;
}

// The lists of words that the scripts hold, by what they complete.
constexpr Values listed[] = {Values::formats, Values::colors, Values::warnings,
                             Values::checks};

// The name of a list of words in the scripts.
std::string_view listName(Values values)
{
    switch (values) {
    case Values::formats:
        return "formats";
    case Values::colors:
        return "colors";
    case Values::warnings:
        return "warnings";
    case Values::checks:
        return "checks";
    case Values::none:
    case Values::files:
        break;
    }
    return "";
}

// The shells' scripts hold names unquoted: a name of the tables holds only
// letters, digits and '-', and does not begin with '-'.
bool isPlainName(std::string_view name)
{
    if (name.empty() || name[0] == '-') {
        return false;
    }
    for (char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (c >= '0' && c <= '9') || c == '-';
        if (!plain) {
            return false;
        }
    }
    return true;
}

// `text` in single quotes for bash or zsh.
std::string shellQuoted(std::string_view text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// `text` in single quotes for fish, where a backslash escapes a quote or
// another backslash.
std::string fishQuoted(std::string_view text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "'";
}

// `text` as a description in an entry of zsh's _arguments: brackets and
// backslashes escaped.
std::string zshDescription(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '[' || c == ']' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

const char header[] =
    "# Completion of iscsi-config-check's options, their values and file\n"
    "# names, written by the build from the program's own tables.\n";

// Appends each of `parts` to `out`.
void add(std::string *out, std::initializer_list<std::string_view> parts)
{
    for (std::string_view part : parts) {
        out->append(part);
    }
}

// The option's spellings for a shell's `case`: "--NAME" or "--NAME|-L".
std::string caseLabel(const Option &option)
{
    std::string label = "--" + option.name;
    if (!option.letter.empty()) {
        add(&label, {"|-", option.letter});
    }
    return label;
}

std::string bashScript(const std::vector<Option> &list)
{
    std::string out = header;
    add(&out, {"\n_iscsi_config_check()\n{\n"
               "    local cur prev words cword split\n"
               "    _init_completion -s || return\n\n"});
    for (Values values : listed) {
        add(&out, {"    local ", listName(values), "='"});
        std::string_view gap;
        for (const Word &word : wordsOf(values)) {
            add(&out, {gap, word.name});
            gap = " ";
        }
        out += "'\n";
    }
    add(&out, {"\n    # After --, only file names.\n"
               "    local k\n"
               "    for ((k = 1; k < cword; k++)); do\n"
               "        [[ ${words[k]} == -- ]] && { _filedir; return; }\n"
               "    done\n\n"
               "    case $prev in\n"});
    // The options that take a value, by what completes it.
    for (Values values : {Values::formats, Values::colors, Values::warnings,
                          Values::checks, Values::files}) {
        std::string labels;
        for (const Option &option : list) {
            if (option.values == values) {
                add(&labels, {labels.empty() ? "" : "|", caseLabel(option)});
            }
        }
        if (labels.empty()) {
            continue;
        }
        add(&out, {"        ", labels, ")\n"});
        if (values == Values::files) {
            out += "            _filedir\n";
        } else {
            add(&out, {"            mapfile -t COMPREPLY < <(compgen -W \"$",
                       listName(values), "\" -- \"$cur\")\n"});
        }
        out += "            return ;;\n";
    }
    add(&out, {"    esac\n"
               "    $split && return\n\n"
               "    case $cur in\n"});
    // A warning's name in the word of its letter: -WNAME, -Wno-NAME.
    for (const Option &option : list) {
        if (option.values == Values::warnings && !option.letter.empty()) {
            add(&out, {"        -", option.letter, "*)\n",
                       "            mapfile -t COMPREPLY < <(compgen -P -",
                       option.letter, " -W \"$", listName(option.values),
                       "\" -- \"${cur#-", option.letter, "}\")\n",
                       "            return ;;\n"});
        }
    }
    add(&out, {"        -*)\n"
               "            mapfile -t COMPREPLY < <(compgen -W '"});
    std::string_view gap;
    for (const Option &option : list) {
        if (!option.letter.empty()) {
            add(&out, {gap, "-", option.letter});
            gap = " ";
        }
    }
    for (const Option &option : list) {
        add(&out,
            {gap, "--", option.name, option.values == Values::none ? "" : "="});
        gap = " ";
    }
    add(&out, {"' -- \"$cur\")\n"
               "            [[ ${COMPREPLY-} == *= ]] && compopt -o nospace\n"
               "            return ;;\n"
               "    esac\n"
               "    _filedir\n"
               "} &&\n"
               "    complete -F _iscsi_config_check iscsi-config-check\n"});
    return out;
}

std::string zshScript(const std::vector<Option> &list)
{
    std::string out = "#compdef iscsi-config-check\n";
    out += header;
    for (Values values : listed) {
        add(&out, {"\n_iscsi_config_check_", listName(values),
                   "() {\n    local -a names=(\n"});
        for (const Word &word : wordsOf(values)) {
            std::string entry = word.name;
            if (!word.summary.empty()) {
                add(&entry, {":", word.summary});
            }
            add(&out, {"        ", shellQuoted(entry), "\n"});
        }
        add(&out, {"    )\n    _describe -t ", listName(values), " ",
                   listName(values), " names\n}\n"});
    }
    out += "\n_arguments -s -S";
    for (const Option &option : list) {
        // What the option's entry holds after its spelling: its summary
        // and what completes its value.
        std::string rest;
        if (!option.summary.empty()) {
            add(&rest, {"[", zshDescription(option.summary), "]"});
        }
        if (option.values == Values::files) {
            add(&rest, {":", option.name, ":_files"});
        } else if (option.values != Values::none) {
            add(&rest, {":", listName(option.values), ":_iscsi_config_check_",
                        listName(option.values)});
        }
        // An option worth giving once is not offered again, in either
        // spelling.
        std::string exclusion = "*";
        if (!option.repeats) {
            exclusion = "(--" + option.name;
            if (!option.letter.empty()) {
                add(&exclusion, {" -", option.letter});
            }
            exclusion += ")";
        }
        bool valued = option.values != Values::none;
        std::string entry = exclusion;
        add(&entry, {"--", option.name, valued ? "=" : "", rest});
        add(&out, {" \\\n    ", shellQuoted(entry)});
        if (!option.letter.empty()) {
            entry = exclusion;
            add(&entry, {"-", option.letter, valued ? "+" : "", rest});
            add(&out, {" \\\n    ", shellQuoted(entry)});
        }
    }
    out += " \\\n    '*:file:_files'\n";
    return out;
}

std::string fishScript(const std::vector<Option> &list)
{
    std::string out = header;
    for (Values values : listed) {
        add(&out, {"\nfunction __iscsi_config_check_", listName(values),
                   "\n    printf '%s\\t%s\\n'"});
        for (const Word &word : wordsOf(values)) {
            add(&out,
                {" \\\n        ", word.name, " ", fishQuoted(word.summary)});
        }
        out += "\nend\n";
    }
    out += "\n";
    for (const Option &option : list) {
        add(&out, {"complete -c ", program});
        if (!option.letter.empty()) {
            add(&out, {" -s ", option.letter});
        }
        add(&out, {" -l ", option.name});
        if (option.values == Values::files) {
            out += " -r -F";
        } else if (option.values != Values::none) {
            add(&out, {" -x -a '(__iscsi_config_check_",
                       listName(option.values), ")'"});
        }
        if (!option.summary.empty()) {
            add(&out, {" -d ", fishQuoted(option.summary)});
        }
        out += "\n";
    }
    return out;
}

int usage()
{
    (void)fputs("usage: gen_completions bash|zsh|fish\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        return usage();
    }
    std::vector<Option> list = options();
    for (const Option &option : list) {
        if (!isPlainName(option.name)) {
            (void)fprintf(stderr, "gen_completions: option name %s\n",
                          option.name.c_str());
            return 1;
        }
    }
    for (Values values : listed) {
        for (const Word &word : wordsOf(values)) {
            if (!isPlainName(word.name)) {
                (void)fprintf(stderr, "gen_completions: value %s\n",
                              word.name.c_str());
                return 1;
            }
        }
    }
    std::string_view shell = argv[1];
    std::string script;
    if (shell == "bash") {
        script = bashScript(list);
    } else if (shell == "zsh") {
        script = zshScript(list);
    } else if (shell == "fish") {
        script = fishScript(list);
    } else {
        return usage();
    }
    if (fwrite(script.data(), 1, script.size(), stdout) != script.size() ||
        fflush(stdout) != 0) {
        (void)fputs("gen_completions: cannot write\n", stderr);
        return 1;
    }
    return 0;
}
