// The options, one row each in optionTable: how the command line and a file
// of options spell them, their entries in --help, and what each sets.
// getopt_long's description of the options (option_reader.h), the words a
// file of options accepts and the text of --help are all made from the
// table, so that an option is one row and the code that uses what it sets.
#ifndef ISCSI_CONFIG_CHECK_CLI_OPTIONS_H
#define ISCSI_CONFIG_CHECK_CLI_OPTIONS_H

#include <cstddef>

#include "cli/mend.h"
#include "cli/settings.h"

// What the command line asks for.
enum Action {
    ACTION_CHECK,
    ACTION_HELP,
    ACTION_VERSION,
    ACTION_USAGE,
    ACTION_LIST_CHECKS,
    ACTION_EXPLAIN,
    ACTION_SHOW_SETTINGS,
    ACTION_LSP,
};

struct OptionInfo;

// An option of the command line that sets a setting, with its value (null
// for none), kept to be applied over the file of options.
struct GivenSetting {
    const OptionInfo *option;
    const char *value;
};

// What the command line asks for, and, once resolveSettings has settled
// them, the settings of the run.
struct CommandLine {
    Action action = ACTION_CHECK;
    const char *settingsPath = nullptr; // --config=FILE
    bool readsSettings = true;          // no --no-config
    const char *explained = nullptr;    // the check that --explain names
    const char *stdinName = nullptr;    // --stdin-filename=NAME
    FixMode fixMode = FixMode::none;    // --fix, --diff
    // The file names in the order given: at most one per argument.
    const char **fileNames = nullptr;
    size_t fileCount = 0;
    // The options that set settings, in the order given (room for
    // `givenRoom`).
    GivenSetting *given = nullptr;
    size_t givenCount = 0;
    size_t givenRoom = 0;
    Settings settings;
};

// How an option sets what the command line alone asks for, as a setting's
// setter does (settings.h).
using CommandSetter = bool (*)(CommandLine *command, const char *value,
                               Complaint *complaint);

// What an option sets: a setting, or what the command line alone asks for;
// the other setter is null.
struct OptionEffect {
    SettingSetter setting = nullptr;
    CommandSetter command = nullptr;
    bool setsSetting = false; // the setter is `setting`
};

// Whether a file of options may hold an option.
enum class InFile : unsigned char { no, yes };

// What --help lists after an option's own words: the formats' parts, or the
// warnings' names.
enum class HelpList : unsigned char { none, formats, warnings };

struct OptionInfo {
    const char *name; // the long option, after "--"
    // The value it requires, by its name in --help (FORMAT in
    // --format=FORMAT); null for an option that takes none.
    const char *value;
    // Its words in --help after the option, wrapped by hand: a newline
    // starts a continuation line. Null for another spelling of the option
    // in the row above: --help does not list it, and getopt_long takes the
    // one for the other (so that an abbreviation of both is no ambiguity).
    const char *help;
    OptionEffect effect;
    char letter; // the short option, after "-"; '\0' for none
    InFile inFile;
    HelpList helpList;

    // A row, in the order the table reads.
    constexpr OptionInfo(const char *longName, char shortName,
                         const char *valueName, InFile where,
                         const char *helpWords, HelpList listed,
                         const OptionEffect &sets)
        : name(longName), value(valueName), help(helpWords), effect(sets),
          letter(shortName), inFile(where), helpList(listed)
    {
    }
};

// Every option, in the order of --help.
constexpr size_t optionCount = 19;
extern const OptionInfo optionTable[optionCount];

// The setters of --fix and --stdin-filename, which asksToMendInput looks
// for.
bool askFix(CommandLine *command, const char *value, Complaint *complaint);
bool nameStandardInput(CommandLine *command, const char *value,
                       Complaint *complaint);

// Frees what parseCommandLine allocated.
void releaseCommandLine(CommandLine *command);

#endif
