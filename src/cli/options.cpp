// The table of options, and what the options that only the command line
// takes set.
#include "cli/options.h"

#include <cstdlib>

#include "checks/checks.h"

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

bool nameStandardInput(CommandLine *command, const char *value,
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

bool askFix(CommandLine *command, const char * /*value*/, Complaint *complaint)
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
    // A warning's name as the diagnostics print it ("-Wbom") too.
    const char *name = value + warningPrefixOf(value).size();
    if (findCheck(name) == nullptr) {
        complainOfUnknownCheck(complaint, "check", value, false);
        return false;
    }
    command->explained = name;
    command->action = ACTION_EXPLAIN;
    return true;
}

static bool askShowSettings(CommandLine *command, const char * /*value*/,
                            Complaint * /*complaint*/)
{
    command->action = ACTION_SHOW_SETTINGS;
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
constexpr OptionInfo optionTable[optionCount] = {
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
    {"show-settings", noLetter, noValue, InFile::no,
     "print the file of options that applies to the files\n"
     "named and the options it all comes to, and exit",
     HelpList::none, sets(askShowSettings)},
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

void releaseCommandLine(CommandLine *command)
{
    free(command->fileNames);
    free(command->given);
    command->fileNames = nullptr;
    command->given = nullptr;
    command->givenCount = 0;
    command->givenRoom = 0;
}
