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
                             LineBuffer * /*complaint*/)
{
    command->settingsPath = value;
    command->readsSettings = true;
    return true;
}

static bool skipSettingsFile(CommandLine *command, const char * /*value*/,
                             LineBuffer * /*complaint*/)
{
    command->readsSettings = false;
    return true;
}

static bool ignoreDirectives(CommandLine *command, const char * /*value*/,
                             LineBuffer * /*complaint*/)
{
    command->directives = false;
    return true;
}

static bool nameStandardInput(CommandLine *command, const char *value,
                              LineBuffer * /*complaint*/)
{
    command->stdinName = value;
    return true;
}

static bool askListChecks(CommandLine *command, const char * /*value*/,
                          LineBuffer * /*complaint*/)
{
    command->action = ACTION_LIST_CHECKS;
    return true;
}

static bool askExplain(CommandLine *command, const char *value,
                       LineBuffer *complaint)
{
    if (findCheck(value) == nullptr) {
        complainOfUnknownCheck(complaint, "check", value, false);
        return false;
    }
    command->explained = value;
    command->action = ACTION_EXPLAIN;
    return true;
}

static bool askHelp(CommandLine *command, const char * /*value*/,
                    LineBuffer * /*complaint*/)
{
    command->action = ACTION_HELP;
    return true;
}

static bool askVersion(CommandLine *command, const char * /*value*/,
                       LineBuffer * /*complaint*/)
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
     "turn on the warning NAME (all: every warning);\n"
     "no-NAME turns it off. Warnings:",
     HelpList::warnings, sets(setWarning)},
    {"config", noLetter, "FILE", InFile::no,
     "read the options in FILE, not in the project's\n"
     ".iscsi-config-check",
     HelpList::none, sets(readSettingsFrom)},
    {"no-config", noLetter, noValue, InFile::no,
     "read no file of options",
     HelpList::none, sets(skipSettingsFile)},
    {"no-directives", noLetter, noValue, InFile::no,
     "let no directive in a file turn a warning off",
     HelpList::none, sets(ignoreDirectives)},
    {"stdin-filename", noLetter, "NAME", InFile::no,
     "check standard input as the file NAME",
     HelpList::none, sets(nameStandardInput)},
    {"list-checks", noLetter, noValue, InFile::no,
     "list every check, whether it is on and what it finds,\n"
     "and exit",
     HelpList::none, sets(askListChecks)},
    {"explain", noLetter, "NAME", InFile::no,
     "print what the check NAME finds, with a bad line and\n"
     "its fixed form, and exit",
     HelpList::none, sets(askExplain)},
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

// The option as written on the command line for a missing value: "-W", or
// the long option's word.
static void appendOptionWritten(LineBuffer *text, char **argv, int code)
{
    const char *word = argv[optind - 1];
    if (word[0] == '-' && word[1] == '-') {
        text->append(word);
    } else {
        text->append('-');
        text->append(static_cast<char>(code));
    }
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

Action parseCommandLine(int argc, char **argv, CommandLine *command,
                        LineBuffer *complaint)
{
    // Room for every argument as a file name.
    size_t room = static_cast<size_t>(argc > 0 ? argc : 1);
    command->fileNames = static_cast<const char **>(
        allocateOrAbort(nullptr, room * sizeof(const char *)));
    GetoptTable table;
    describeOptions(&table);
    opterr = 0; // the checker's own messages are the only complaints
    // A setting's value is judged as it comes; the setting is made once
    // the file of options has been read.
    Settings judged;
    int code = 0;
    while ((code = getopt_long(argc, argv, table.shortOptions,
                               table.longOptions, nullptr)) != -1) {
        if (code == 1) {
            // Before "--", a lone "-" looks like an option and is none.
            if (optarg[0] == '-') {
                return ACTION_USAGE;
            }
            command->fileNames[command->fileCount++] = optarg;
            continue;
        }
        if (code == ':') {
            complaint->append("option '");
            appendOptionWritten(complaint, argv, optopt);
            complaint->append("' needs a value");
            return ACTION_USAGE;
        }
        const OptionInfo *option = optionOfCode(code);
        if (option == nullptr) {
            return ACTION_USAGE;
        }
        const OptionEffect &effect = option->effect;
        if (effect.setsSetting) {
            if (!effect.setting(&judged, optarg, complaint)) {
                return ACTION_USAGE;
            }
            keepGiven(command, option, optarg);
        } else if (!effect.command(command, optarg, complaint)) {
            return ACTION_USAGE;
        }
        if (command->action == ACTION_HELP ||
            command->action == ACTION_VERSION) {
            return command->action;
        }
    }
    // Whatever follows "--" is a file name.
    for (int k = optind; k < argc; k++) {
        command->fileNames[command->fileCount++] = argv[k];
    }
    if (command->action != ACTION_CHECK) {
        return command->action;
    }
    bool named = command->fileCount > 0;
    return named == (command->stdinName != nullptr) ? ACTION_USAGE
                                                    : ACTION_CHECK;
}

bool resolveSettings(const char *programName, CommandLine *command)
{
    Settings settings; // the defaults
    if (command->readsSettings) {
        char found[PATH_MAX];
        const char *path = command->settingsPath;
        if (path == nullptr && findSettingsFile(found, sizeof found)) {
            path = found;
        }
        if (path != nullptr &&
            !readSettingsFile(path, command->settingsPath != nullptr,
                              programName, &settings)) {
            return false;
        }
    }
    // The values were judged as the command line was read.
    LineBuffer unused;
    for (size_t k = 0; k < command->givenCount; k++) {
        const GivenSetting &given = command->given[k];
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
