// The settling of the settings that apply to the checked files: the
// defaults, then the file of options that the files find (or the one that
// --config names, or none), then the command line's options in their order.
#ifndef ISCSI_CONFIG_CHECK_CLI_RESOLVE_H
#define ISCSI_CONFIG_CHECK_CLI_RESOLVE_H

#include "cli/options.h"
#include "cli/settings.h"
#include "cli/settings_file.h"

// The settings that apply to a checked file, and the file of options they
// came from.
struct ResolvedSettings {
    ResolvedSettings() = default;
    ResolvedSettings(const ResolvedSettings &) = delete;
    ResolvedSettings &operator=(const ResolvedSettings &) = delete;

    Settings settings;
    // The file of options read (--config's, or `found`), or null for none.
    const char *path = nullptr;
    char found[settingsPathSize] = {};
};

// Settles in `resolved` the settings of the checked file `checkedPath`
// (its name as given, as findSettingsFile takes it; null for the current
// folder's): the file of options is --config's, none under --no-config,
// or the project's that the file finds. Prints nothing: false, with what
// is wrong in `refusal` (the text to tell after the program's name, and
// the line of the file of options it is about), when the lookup cannot be
// made or the file of options cannot be used or holds what it may not.
bool resolveSettingsFor(const CommandLine *command, const char *checkedPath,
                        ResolvedSettings *resolved, SettingsRefusal *refusal);

// Settles the run's settings in `resolved` and `command->settings`, for
// the files named, standard input by its --stdin-filename, or the current
// folder where neither is given. Every file must find the same file of
// options, or all none; otherwise "FILE1 and FILE2 have different files of
// options (A, B): ..." stops the run. False after telling on standard
// error what is wrong.
bool resolveSettings(const char *programName, CommandLine *command,
                     ResolvedSettings *resolved);

#endif
