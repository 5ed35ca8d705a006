// The wording of the complaints about words that are not options, or not
// options that may stand where they are.
#include "cli/option_complaints.h"

#include "checks/checks.h"

void appendMissingValue(LineBuffer *text, char **argv, const WordRead &read)
{
    const char *word = argv[read.word];
    text->append("option '");
    if (word[0] == '-' && word[1] == '-') {
        text->append(word);
    } else {
        text->append('-');
        text->append(static_cast<char>(read.letter));
    }
    text->append("' needs a value");
}

void appendComplaint(LineBuffer *complaint, const Complaint &wrong,
                     WordPlace place, int word)
{
    if (wrong.withheld) {
        complaint->append(place == WordPlace::argument ? "argument " : "word ");
        complaint->appendNumber(word);
        complaint->append(": ");
    }
    complaint->append(wrong.text.view());
}

// Appends "unknown option 'WORD'": for a long option, with the option
// closest to it, at most two edits away; for -h, where the help is.
static void complainOfUnknownOption(Complaint *wrong, std::string_view written)
{
    wrong->text.append("unknown option");
    appendQuotedWord(wrong, written);
    if (written == "-h") {
        wrong->text.append(" (--help prints the help)");
        return;
    }
    if (written.rfind("--", 0) != 0) {
        return;
    }
    const OptionInfo *closest = nullptr;
    size_t closestDistance = 3;
    for (size_t k = 0; k < optionCount; k++) {
        size_t distance = editDistance(tailOf(written, 2), optionTable[k].name);
        if (distance < closestDistance) {
            closest = &optionTable[k];
            closestDistance = distance;
        }
    }
    if (closest != nullptr) {
        appendSuggestion(wrong, "--", closest->name);
    }
}

// Whether `name` abbreviates the option of row `k`, or names it whole.
static bool abbreviates(std::string_view name, size_t k)
{
    return !name.empty() &&
           std::string_view(optionTable[k].name).rfind(name, 0) == 0;
}

// Appends why getopt_long refused `word` as a long option: it abbreviates
// several options (the other spelling of an option is the same option,
// and a name given whole is that option's alone), or it gives a value to
// an option that takes none, or it names no option.
static void complainOfLongOption(Complaint *wrong, std::string_view word)
{
    std::string_view written = headOf(word, word.find('='));
    std::string_view name = tailOf(written, 2);
    bool whole = false;
    bool ambiguous = false;
    int code = 0; // getopt_long's code of an option abbreviated; 0 for none
    for (size_t k = 0; k < optionCount; k++) {
        if (abbreviates(name, k)) {
            whole = whole || name == optionTable[k].name;
            ambiguous = ambiguous || (code != 0 && codeOf(k) != code);
            code = codeOf(k);
        }
    }
    if (code == 0) {
        complainOfUnknownOption(wrong, name.empty() ? word : written);
        return;
    }
    wrong->text.append("option");
    appendQuotedWord(wrong, written);
    if (whole || !ambiguous) {
        wrong->text.append(" takes no value");
        return;
    }
    wrong->text.append(" is ambiguous (");
    const char *separator = "";
    for (size_t k = 0; k < optionCount; k++) {
        if (abbreviates(name, k)) {
            wrong->text.append(separator);
            wrong->text.append("--");
            wrong->text.append(optionTable[k].name);
            separator = ", ";
        }
    }
    wrong->text.append(")");
}

void complainOfNotOption(LineBuffer *complaint, char **argv,
                         const WordRead &read, WordPlace place)
{
    std::string_view word = argv[read.word];
    Complaint wrong;
    if (word == "-") {
        wrong.text.append(
            "'-' is not standard input here: use --stdin-filename=NAME");
    } else if (word.rfind("--", 0) == 0) {
        complainOfLongOption(&wrong, word);
    } else if (read.kind == WordKind::notOption && read.letter != '-') {
        // The letter alone; a "-" among letters would read as "--".
        const char letter[] = {'-', static_cast<char>(read.letter)};
        complainOfUnknownOption(&wrong, std::string_view(letter, 2));
    } else {
        complainOfUnknownOption(&wrong, word);
    }
    appendComplaint(complaint, wrong, place, read.word);
}

void refuseWord(LineBuffer *complaint, char **argv, const WordRead &read)
{
    const char *word = argv[read.word];
    if (isPlainWord(word)) {
        complaint->append("'");
        complaint->append(word);
        complaint->append("' is not allowed here");
    } else if (read.kind == WordKind::option) {
        complaint->append("'--");
        complaint->append(read.option->name);
        complaint->append("' is not allowed here");
    } else {
        complaint->append("not an option");
    }
}
