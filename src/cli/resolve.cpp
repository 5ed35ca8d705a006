// The settling of the run's settings: which file of options applies to the
// checked files, and the words of that file and of the command line applied
// in their order.
#include "cli/resolve.h"

#include <cerrno>
#include <cstring>

#include "cli/command_line.h"

// Applies the file of options `path` (null for none; `named` when --config
// names it), then the command line's options, over the defaults.
static bool settle(const CommandLine *command, const char *path, bool named,
                   Settings *settled, SettingsRefusal *refusal)
{
    Settings settings; // the defaults
    if (path != nullptr) {
        SettingsWords words;
        if (!readSettingsFile(path, named, &words, refusal)) {
            return false;
        }
        for (const SettingsLine &line : words) {
            LineBuffer complaint;
            if (!applyOptionWords(line.count, line.words, &settings,
                                  &complaint)) {
                LineBuffer *message = &refusal->message;
                message->clear();
                appendSettingsPath(message, path);
                message->append(':');
                message->appendNumber(line.number);
                message->append(": ");
                message->append(complaint.view());
                refusal->line = line.number;
                return false;
            }
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
    *settled = settings;
    return true;
}

// Whether the project's file of options is looked up: neither --config nor
// --no-config.
static bool looksUp(const CommandLine *command)
{
    return command->readsSettings && command->settingsPath == nullptr;
}

// Sets `resolved->path` to the file of options that `checkedPath` takes.
static bool locate(const CommandLine *command, const char *checkedPath,
                   ResolvedSettings *resolved, SettingsRefusal *refusal)
{
    resolved->path = command->readsSettings ? command->settingsPath : nullptr;
    if (!looksUp(command)) {
        return true;
    }
    switch (findSettingsFile(checkedPath, resolved->found,
                             sizeof resolved->found)) {
    case SettingsLookup::found:
        resolved->path = resolved->found;
        return true;
    case SettingsLookup::failed:
        refuseLookup(resolved->found, errno, refusal);
        return false;
    case SettingsLookup::none:
        break;
    }
    return true;
}

bool resolveSettingsFor(const CommandLine *command, const char *checkedPath,
                        ResolvedSettings *resolved, SettingsRefusal *refusal)
{
    return locate(command, checkedPath, resolved, refusal) &&
           settle(command, resolved->path, command->settingsPath != nullptr,
                  &resolved->settings, refusal);
}

// The length of the folder part of `name`, up to its last "/" (0 for none).
static size_t folderPartOf(const char *name)
{
    const char *slash = strrchr(name, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - name) + 1;
}

// Writes "FILE1 and FILE2 have different files of options (A, B): ..." to
// `refusal`, A and B the files' paths or "none".
static void refuseMixed(const char *first, const char *other,
                        const char *firstPath, const char *otherPath,
                        SettingsRefusal *refusal)
{
    LineBuffer *message = &refusal->message;
    message->clear();
    appendSettingsPath(message, first);
    message->append(" and ");
    appendSettingsPath(message, other);
    message->append(" have different files of options (");
    appendSettingsPath(message, firstPath != nullptr ? firstPath : "none");
    message->append(", ");
    appendSettingsPath(message, otherPath != nullptr ? otherPath : "none");
    message->append("): check them in separate runs or name one with "
                    "--config=FILE");
    refusal->line = 0;
}

// Checks that every file named finds the file of options that the first
// one found (`resolved->path`). Names that share their folder part find the
// same file, and are looked up once.
static bool agree(const CommandLine *command, const ResolvedSettings *resolved,
                  SettingsRefusal *refusal)
{
    const char *looked = command->fileNames[0];
    for (size_t k = 1; k < command->fileCount; k++) {
        const char *name = command->fileNames[k];
        size_t part = folderPartOf(name);
        if (part == folderPartOf(looked) && memcmp(name, looked, part) == 0) {
            continue;
        }
        looked = name;
        char path[settingsPathSize];
        SettingsLookup lookup = findSettingsFile(name, path, sizeof path);
        if (lookup == SettingsLookup::failed) {
            refuseLookup(path, errno, refusal);
            return false;
        }
        const char *found = lookup == SettingsLookup::found ? path : nullptr;
        if ((found == nullptr) != (resolved->path == nullptr) ||
            (found != nullptr && strcmp(found, resolved->path) != 0)) {
            refuseMixed(command->fileNames[0], name, resolved->path, found,
                        refusal);
            return false;
        }
    }
    return true;
}

bool resolveSettings(const char *programName, CommandLine *command,
                     ResolvedSettings *resolved)
{
    const char *first = command->stdinName;
    if (first == nullptr && command->fileCount > 0) {
        first = command->fileNames[0];
    }
    SettingsRefusal refusal;
    bool settled =
        locate(command, first, resolved, &refusal) &&
        (!looksUp(command) || command->stdinName != nullptr ||
         command->fileCount == 0 || agree(command, resolved, &refusal)) &&
        settle(command, resolved->path, command->settingsPath != nullptr,
               &resolved->settings, &refusal);
    if (!settled) {
        tellProblem(programName, refusal.message.view());
        return false;
    }
    command->settings = resolved->settings;
    return true;
}
