// A project's file of options, `.iscsi-config-check`: finding it, and
// reading the settings it holds, written as on the command line.
#ifndef ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H
#define ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H

#include <climits>
#include <cstddef>
#include <string_view>

#include "cli/settings.h"

// Room for the path of the project's file of options: the current folder's
// and the file's name.
constexpr size_t settingsPathSize = PATH_MAX + 32;

// The most a file of options may hold.
constexpr size_t maxSettingsFileSize = 65536;

// Reads the file of options `path` into `settings`: the project's file that
// findSettingsFile found, or, when `given`, the one that --config names.
// Returns false after telling on standard error why it cannot be used, as
// "PROGRAM: FILE: REASON (use --config=FILE or --no-config)", or what is
// wrong in it, as "PROGRAM: FILE:LINE: ...". The project's file is read
// only when it is a regular file, not a link, owned by the user or root
// (by anyone when the user is root) and not writable by every user; the
// file given may be a link and have any owner, and the null device reads
// as empty. Neither may hold more than 64 KiB.
bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings);

// Applies the lines of `text`, the content of the file of options `path`,
// to `settings`; false after telling what is wrong, as readSettingsFile.
// A line's words are split at blanks (a final carriage return aside), a
// word that begins with '#' starts a comment, and the words are read as the
// command line's are; a zero byte is refused.
bool applySettingsText(std::string_view text, const char *path,
                       const char *programName, Settings *settings);

// Finds the project's file of options: `.iscsi-config-check` in the current
// folder, then in each parent up to and including the first that holds a
// `.git` entry (only the current folder when none does). Any entry of that
// name counts, a link or a folder too, so that one that cannot be read is
// refused rather than passed over. Writes its path to `path` (`size`
// bytes). The current folder is the shell's ($PWD) where that names it. When
// the lookup cannot be made (the current folder or a name in it cannot be
// told), says so with `path` naming the folder and errno the reason.
enum class SettingsLookup { none, found, failed };

// Writes the current folder to `folder` (`size` bytes) as the shell names
// it ($PWD, when it is an absolute name of this very folder: reached
// through a link, the repository around it is the one the user sees, and
// the names below it are the ones the user gives), or else as the system
// does. False, with errno set, when it cannot be told.
bool currentFolder(char *folder, size_t size);

// Tells "PROGRAM: FOLDER: REASON (use --config=FILE or --no-config)" for a
// lookup that failed.
void tellLookupFailed(const char *programName, const char *folder, int error);
SettingsLookup findSettingsFile(char *path, size_t size);

#endif
