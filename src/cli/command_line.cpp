// The reading of words as options and what they set: the command line's,
// kept to be applied over the file of options, and a file of options' line.
#include "cli/command_line.h"

#include <cstdlib>

#include "cli/option_complaints.h"
#include "support/allocate.h"

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
        appendComplaint(complaint, wrong, WordPlace::argument, read.valueWord);
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
    case ACTION_SHOW_SETTINGS:
    case ACTION_CHECK:
        if (named && command->stdinName != nullptr) {
            complaint->append("--stdin-filename checks standard input: no "
                              "file name goes with it");
            return ACTION_USAGE;
        }
        // The settings shown without a name are the current folder's.
        if (command->action == ACTION_CHECK && !named &&
            command->stdinName == nullptr) {
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
                complainOfNotOption(complaint, argv, read, WordPlace::argument);
                return ACTION_USAGE;
            }
            command->fileNames[command->fileCount++] = read.value;
            continue;
        case WordKind::missingValue:
            appendMissingValue(complaint, argv, read);
            return ACTION_USAGE;
        case WordKind::notOption:
            complainOfNotOption(complaint, argv, read, WordPlace::argument);
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
                    appendComplaint(complaint, wrong, WordPlace::word,
                                    read.valueWord);
                    return false;
                }
                continue;
            }
            refuseWord(complaint, words, read);
            return false;
        case WordKind::missingValue:
            appendMissingValue(complaint, words, read);
            return false;
        case WordKind::notOption:
            complainOfNotOption(complaint, words, read, WordPlace::word);
            return false;
        case WordKind::fileName:
        case WordKind::optionsEnd:
            refuseWord(complaint, words, read);
            return false;
        case WordKind::end:
            break;
        }
        return true;
    }
}
