// The table of options, the reading of the command line that getopt_long
// does from it, and the settling of the run's settings.
#include "cli/options.h"

#include <climits>
#include <cstdlib>
#include <getopt.h>

#include "checks/checks.h"
#include "cli/settings_file.h"
#include "support/allocate.h"

// What the options that only the command line takes set.

static bool readSettingsFrom(CommandLine *command, const char *value,
                             Complaint *complaint)
{
    if (value[0] == '\0') {
        complaint->text.append("--config needs a file name");
        return false;
    }
    command->settingsPath = value;
    command->readsSettings = true;
    return true;
}

static bool skipSettingsFile(CommandLine *command, const char * /*value*/,
                             Complaint * /*complaint*/)
{
    command->readsSettings = false;
    return true;
}

static bool nameStandardInput(CommandLine *command, const char *value,
                              Complaint *complaint)
{
    if (value[0] == '\0') {
        complaint->text.append("--stdin-filename needs a name");
        return false;
    }
    command->stdinName = value;
    return true;
}

// --fix or --diff, not both.
static bool askFixMode(CommandLine *command, FixMode mode, Complaint *complaint)
{
    if (command->fixMode != FixMode::none && command->fixMode != mode) {
        complaint->text.append("--fix and --diff cannot be used together");
        return false;
    }
    command->fixMode = mode;
    return true;
}

static bool askFix(CommandLine *command, const char * /*value*/,
                   Complaint *complaint)
{
    return askFixMode(command, FixMode::fix, complaint);
}

static bool askDiff(CommandLine *command, const char * /*value*/,
                    Complaint *complaint)
{
    return askFixMode(command, FixMode::diff, complaint);
}

static bool askListChecks(CommandLine *command, const char * /*value*/,
                          Complaint * /*complaint*/)
{
    command->action = ACTION_LIST_CHECKS;
    return true;
}

static bool askExplain(CommandLine *command, const char *value,
                       Complaint *complaint)
{
    if (findCheck(value) == nullptr) {
        complainOfUnknownCheck(complaint, "check", value, false);
        return false;
    }
    command->explained = value;
    command->action = ACTION_EXPLAIN;
    return true;
}

static bool askLanguageServer(CommandLine *command, const char * /*value*/,
                              Complaint * /*complaint*/)
{
    command->action = ACTION_LSP;
    return true;
}

static bool askHelp(CommandLine *command, const char * /*value*/,
                    Complaint * /*complaint*/)
{
    command->action = ACTION_HELP;
    return true;
}

static bool askVersion(CommandLine *command, const char * /*value*/,
                       Complaint * /*complaint*/)
{
    command->action = ACTION_VERSION;
    return true;
}

// An option's effect, by the kind of its setter.
static constexpr OptionEffect sets(SettingSetter setter)
{
    OptionEffect effect;
    effect.setting = setter;
    effect.setsSetting = true;
    return effect;
}
static constexpr OptionEffect sets(CommandSetter setter)
{
    OptionEffect effect;
    effect.command = setter;
    return effect;
}

static constexpr char noLetter = '\0';
static constexpr const char *noValue = nullptr;
// Another spelling of the option above, which --help does not list.
static constexpr const char *otherSpelling = nullptr;
// An entry of --help that is all the list after it.
static constexpr const char *listOnly = "";

// Each row: the long option, its letter, the value it requires and whether
// a file of options may hold it; its words of --help, wrapped by hand as
// printed; what --help lists after them, and what the option sets.
// clang-format off
constexpr OptionInfo optionTable[] = {
    {"quiet", 'q', noValue, InFile::yes,
     "print no banner and no reports, only the diagnostics",
     HelpList::none, sets(setQuiet)},
    {"strict", 's', noValue, InFile::yes,
     "exit with status 2 when a file holds a fault or, if\n"
     "asked for, a warning",
     HelpList::none, sets(setStrict)},
    {"mask-passwords", noLetter, noValue, InFile::yes,
     "print every password in a report as ********",
     HelpList::none, sets(setMaskPasswords)},
    {"format", noLetter, "FORMAT", InFile::yes,
     listOnly,
     HelpList::formats, sets(setFormat)},
    {"color", noLetter, "WHEN", InFile::yes,
     "colour the tty format: auto (the default), always or\n"
     "never",
     HelpList::none, sets(setColor)},
    {"colour", noLetter, "WHEN", InFile::yes,
     otherSpelling,
     HelpList::none, sets(setColor)},
    {"warn", 'W', "NAME", InFile::yes,
     "turn on the warning NAME (all: every warning but those\n"
     "the file of options turns off); no-NAME turns it off.\n"
     "Warnings:",
     HelpList::warnings, sets(setWarning)},
    {"config", noLetter, "FILE", InFile::no,
     "read the options in FILE, not in the project's\n"
     ".iscsi-config-check",
     HelpList::none, sets(readSettingsFrom)},
    {"no-config", noLetter, noValue, InFile::no,
     "read no file of options",
     HelpList::none, sets(skipSettingsFile)},
    {"no-directives", noLetter, noValue, InFile::yes,
     "let no directive in a file turn a warning off",
     HelpList::none, sets(setNoDirectives)},
    {"stdin-filename", noLetter, "NAME", InFile::no,
     "check standard input as the file NAME",
     HelpList::none, sets(nameStandardInput)},
    {"fix", noLetter, noValue, InFile::no,
     "make the safe fixes in place (carriage returns at line\n"
     "ends, a byte order mark, leading zeros of address\n"
     "numbers, blanks on their own or before a comment's #),\n"
     "then report what remains; with --stdin-filename,\n"
     "write the mended text on standard output",
     HelpList::none, sets(askFix)},
    {"diff", noLetter, noValue, InFile::no,
     "print the safe fixes as a unified diff (which holds the\n"
     "lines' passwords), change nothing, and report what\n"
     "remains on standard error",
     HelpList::none, sets(askDiff)},
    {"list-checks", noLetter, noValue, InFile::no,
     "list every check, whether it is on and what it finds,\n"
     "and exit",
     HelpList::none, sets(askListChecks)},
    {"explain", noLetter, "NAME", InFile::no,
     "print what the check NAME finds, with a bad line and\n"
     "its fixed form, and exit",
     HelpList::none, sets(askExplain)},
    {"lsp", noLetter, noValue, InFile::no,
     "serve an editor as a language server on standard input\n"
     "and output, each document with its own folder's\n"
     ".iscsi-config-check",
     HelpList::none, sets(askLanguageServer)},
    {"help", noLetter, noValue, InFile::no,
     "print this help and exit",
     HelpList::none, sets(askHelp)},
    {"version", noLetter, noValue, InFile::no,
     "print the version and exit",
     HelpList::none, sets(askVersion)},
};
// clang-format on
const size_t optionCount = sizeof optionTable / sizeof optionTable[0];

// getopt_long's code for the option of row `k`: its letter, or a code past
// every character; another spelling takes the code of the option it spells.
static constexpr int codeOf(size_t k)
{
    while (optionTable[k].help == nullptr) {
        k--;
    }
    return optionTable[k].letter != noLetter
               ? optionTable[k].letter
               : UCHAR_MAX + 1 + static_cast<int>(k);
}

// Whether the texts `a` and `b` are the same, as strcmp tells at run time.
static constexpr bool sameText(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

// The table holds together: an option that a file of options may hold sets
// a setting; names and letters are unique; another spelling follows an
// option and differs from it only in its name. (Whether two setters are
// the same is not known at compile time where the code is instrumented.)
static constexpr bool tableHoldsTogether()
{
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &row = optionTable[k];
        if ((row.inFile == InFile::yes && !row.effect.setsSetting) ||
            (row.help == nullptr && row.helpList != HelpList::none)) {
            return false;
        }
        if (row.help == nullptr && k == 0) {
            return false;
        }
        if (row.help == nullptr) {
            const OptionInfo &above = optionTable[k - 1];
            if (row.letter != noLetter || row.inFile != above.inFile ||
                (row.value == nullptr) != (above.value == nullptr) ||
                row.effect.setsSetting != above.effect.setsSetting) {
                return false;
            }
        }
        for (size_t j = 0; j < k; j++) {
            if (sameText(row.name, optionTable[j].name) ||
                (row.letter != noLetter &&
                 row.letter == optionTable[j].letter)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(tableHoldsTogether(), "the table of options is inconsistent");

// getopt_long's view of the table: its options, and its short options
// after a "-" that returns every word in order (file names as code 1) and
// a ":" that tells a missing value from an unknown option.
struct GetoptTable {
    struct option longOptions[optionCount + 1];
    char shortOptions[2 + 2 * optionCount + 1];
};

static void describeOptions(GetoptTable *table)
{
    char *shortEnd = table->shortOptions;
    *shortEnd++ = '-';
    *shortEnd++ = ':';
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &row = optionTable[k];
        int hasArg = row.value != nullptr ? required_argument : no_argument;
        table->longOptions[k] = {row.name, hasArg, nullptr, codeOf(k)};
        if (row.letter != noLetter) {
            *shortEnd++ = row.letter;
            if (row.value != nullptr) {
                *shortEnd++ = ':';
            }
        }
    }
    table->longOptions[optionCount] = {nullptr, 0, nullptr, 0};
    *shortEnd = '\0';
}

// The option whose code getopt_long returned, or null.
static const OptionInfo *optionOfCode(int code)
{
    for (size_t k = 0; k < optionCount; k++) {
        if (codeOf(k) == code) {
            return &optionTable[k];
        }
    }
    return nullptr;
}

// What a word, or a letter of a word of letters, reads as.
enum class WordKind : unsigned char {
    option,       // an option of the table, with its value
    fileName,     // a word that is no option (a lone "-" too)
    missingValue, // an option that needs a value, given none
    notOption,    // unknown, ambiguous, or given a value it does not take
    optionsEnd,   // "--": every later word is a file name
    end,          // no word is left
};

struct WordRead {
    WordKind kind = WordKind::end;
    const OptionInfo *option = nullptr;
    const char *value = nullptr; // the option's value, or the file name
    int word = 0;                // the index of the word read
    int valueWord = 0;           // the index of the word that holds the value
    // The option's code, for a missing value; the letter, for a letter that
    // is no option.
    int letter = 0;
};

// Reads the next word of `argv` as getopt_long reads it from `table`; every
// reading of options, the command line's and a file's, goes through here.
// getopt_long does not advance past a word of letters until its last
// letter, so the word read is the one that optind names before the call.
static WordRead readWord(const GetoptTable &table, int argc, char **argv)
{
    WordRead read;
    read.word = optind > 0 ? optind : 1;
    int code =
        getopt_long(argc, argv, table.shortOptions, table.longOptions, nullptr);
    read.valueWord = optind - 1;
    switch (code) {
    case -1:
        read.kind = optind > read.word ? WordKind::optionsEnd : WordKind::end;
        break;
    case 1:
        read.kind = WordKind::fileName;
        read.value = optarg;
        break;
    case ':':
        read.kind = WordKind::missingValue;
        read.letter = optopt;
        break;
    default:
        read.option = optionOfCode(code);
        read.kind =
            read.option != nullptr ? WordKind::option : WordKind::notOption;
        read.value = optarg;
        read.letter = optopt;
        break;
    }
    return read;
}

// Starts getopt_long afresh on a list of words, silently: the checker's own
// messages are the only complaints.
static void startReading(GetoptTable *table)
{
    describeOptions(table);
    optind = 0;
    opterr = 0;
}

// Appends "option 'OPTION' needs a value": "-W", or the long option as
// written (a prefix of its name, so plain).
static void appendMissingValue(LineBuffer *text, char **argv,
                               const WordRead &read)
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

// Appends what `wrong` tells, after "argument N: " (N = `word`, the index
// of the word that it is about) where it leaves the word out.
static void appendComplaint(LineBuffer *complaint, const Complaint &wrong,
                            int word)
{
    if (wrong.withheld) {
        complaint->append("argument ");
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

// Appends why the word that `read` found, which begins with "-", is no
// option of the command line: a lone "-", which would be standard input
// elsewhere, a long option, or a letter; else the word is unknown whole.
static void complainOfNotOption(LineBuffer *complaint, char **argv,
                                const WordRead &read)
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
    appendComplaint(complaint, wrong, read.word);
}

// Keeps a setting's option to apply it over the file of options.
static void keepGiven(CommandLine *command, const OptionInfo *option,
                      const char *value)
{
    if (command->givenCount == command->givenRoom) {
        command->givenRoom = command->givenRoom * 2 + 8;
        command->given = static_cast<GivenSetting *>(allocateOrAbort(
            command->given, command->givenRoom * sizeof(GivenSetting)));
    }
    command->given[command->givenCount++] = {option, value};
}

// Applies the option that `read` found on the command line: a setting's
// value is judged now (in `judged`) and kept, to be set once the file of
// options has been read. False, with what is wrong in `complaint`, for a
// value it does not take; "argument N: " comes first where the value is not
// quoted.
static bool takeOption(CommandLine *command, Settings *judged,
                       const WordRead &read, LineBuffer *complaint)
{
    const OptionEffect &effect = read.option->effect;
    Complaint wrong;
    bool taken = effect.setsSetting
                     ? effect.setting(judged, read.value, &wrong)
                     : effect.command(command, read.value, &wrong);
    if (!taken) {
        appendComplaint(complaint, wrong, read.valueWord);
        return false;
    }
    if (effect.setsSetting) {
        keepGiven(command, read.option, read.value);
    }
    return true;
}

// The action once every word has been read: file names go only with a
// check of files, which needs them unless standard input is checked.
static Action actionOfWords(const CommandLine *command, LineBuffer *complaint)
{
    bool named = command->fileCount > 0;
    switch (command->action) {
    case ACTION_LIST_CHECKS:
        if (named) {
            complaint->append("--list-checks takes no file name");
            return ACTION_USAGE;
        }
        return command->action;
    case ACTION_EXPLAIN:
        if (named) {
            complaint->append("--explain takes no file name");
            return ACTION_USAGE;
        }
        return command->action;
    case ACTION_LSP:
        if (named || command->stdinName != nullptr ||
            command->fixMode != FixMode::none) {
            complaint->append("--lsp reads its documents from the editor: no "
                              "file name, --stdin-filename, --fix or --diff "
                              "goes with it");
            return ACTION_USAGE;
        }
        return command->action;
    case ACTION_CHECK:
        if (named && command->stdinName != nullptr) {
            complaint->append("--stdin-filename checks standard input: no "
                              "file name goes with it");
            return ACTION_USAGE;
        }
        if (!named && command->stdinName == nullptr) {
            complaint->append("no file named");
            return ACTION_USAGE;
        }
        return command->action;
    case ACTION_HELP:
    case ACTION_VERSION:
    case ACTION_USAGE:
        break;
    }
    return command->action;
}

Action parseCommandLine(int argc, char **argv, CommandLine *command,
                        LineBuffer *complaint)
{
    // Room for every argument as a file name.
    size_t room = static_cast<size_t>(argc > 0 ? argc : 1);
    command->fileNames = static_cast<const char **>(
        allocateOrAbort(nullptr, room * sizeof(const char *)));
    GetoptTable table = {};
    startReading(&table);
    // A setting's value is judged as it comes; the setting is made once
    // the file of options has been read.
    Settings judged;
    for (;;) {
        WordRead read = readWord(table, argc, argv);
        switch (read.kind) {
        case WordKind::option:
            if (!takeOption(command, &judged, read, complaint)) {
                return ACTION_USAGE;
            }
            if (command->action == ACTION_HELP ||
                command->action == ACTION_VERSION) {
                return command->action;
            }
            continue;
        case WordKind::fileName:
            // Before "--", a lone "-" looks like an option and is none.
            if (read.value[0] == '-') {
                complainOfNotOption(complaint, argv, read);
                return ACTION_USAGE;
            }
            command->fileNames[command->fileCount++] = read.value;
            continue;
        case WordKind::missingValue:
            appendMissingValue(complaint, argv, read);
            return ACTION_USAGE;
        case WordKind::notOption:
            complainOfNotOption(complaint, argv, read);
            return ACTION_USAGE;
        case WordKind::optionsEnd:
        case WordKind::end:
            break;
        }
        break;
    }
    // Whatever follows "--" is a file name.
    for (int k = optind; k < argc; k++) {
        command->fileNames[command->fileCount++] = argv[k];
    }
    return actionOfWords(command, complaint);
}

bool asksToMendInput(int argc, char **argv)
{
    GetoptTable table = {};
    startReading(&table);
    bool fix = false;
    bool named = false;
    for (;;) {
        WordRead read = readWord(table, argc, argv);
        const OptionInfo *option = read.option;
        switch (read.kind) {
        case WordKind::option:
            fix = fix || option->effect.command == askFix;
            named = named || option->effect.command == nameStandardInput;
            continue;
        case WordKind::missingValue:
            option = optionOfCode(read.letter);
            named = named || (option != nullptr &&
                              option->effect.command == nameStandardInput);
            continue;
        case WordKind::fileName:
        case WordKind::notOption:
            continue;
        case WordKind::optionsEnd:
        case WordKind::end:
            break;
        }
        return fix && named;
    }
}

// Appends why the word that `read` found may not stand in a file of
// options: "'WORD' is not allowed here", or where the word is not plain,
// the option's own name when it is one, else "not an option".
static void refuseWord(LineBuffer *complaint, char **argv, const WordRead &read)
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

bool applyOptionWords(int count, char **words, Settings *settings,
                      LineBuffer *complaint)
{
    GetoptTable table = {};
    startReading(&table);
    for (;;) {
        WordRead read = readWord(table, count, words);
        switch (read.kind) {
        case WordKind::option:
            if (read.option->inFile == InFile::yes) {
                Complaint wrong;
                if (!read.option->effect.setting(settings, read.value,
                                                 &wrong)) {
                    complaint->append(wrong.text.view());
                    return false;
                }
                continue;
            }
            refuseWord(complaint, words, read);
            return false;
        case WordKind::missingValue:
            appendMissingValue(complaint, words, read);
            return false;
        case WordKind::fileName:
        case WordKind::notOption:
        case WordKind::optionsEnd:
            refuseWord(complaint, words, read);
            return false;
        case WordKind::end:
            break;
        }
        return true;
    }
}

bool resolveSettings(const char *programName, CommandLine *command)
{
    Settings settings; // the defaults
    if (command->readsSettings) {
        char found[settingsPathSize];
        const char *path = command->settingsPath;
        if (path == nullptr) {
            switch (findSettingsFile(found, sizeof found)) {
            case SettingsLookup::found:
                path = found;
                break;
            case SettingsLookup::failed:
                tellLookupFailed(programName, found, errno);
                return false;
            case SettingsLookup::none:
                break;
            }
        }
        if (path != nullptr &&
            !readSettingsFile(path, command->settingsPath != nullptr,
                              programName, &settings)) {
            return false;
        }
    }
    // The warnings the file turned off stay off under a -W all of the
    // command line.
    settings.keptOff = settings.turnedOff;
    // The values were judged as the command line was read.
    for (size_t k = 0; k < command->givenCount; k++) {
        const GivenSetting &given = command->given[k];
        Complaint unused;
        (void)given.option->effect.setting(&settings, given.value, &unused);
    }
    command->settings = settings;
    return true;
}

void releaseCommandLine(CommandLine *command)
{
    free(command->fileNames);
    free(command->given);
    command->fileNames = nullptr;
    command->given = nullptr;
    command->givenCount = 0;
    command->givenRoom = 0;
}
