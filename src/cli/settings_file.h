// A project's file of options, `.iscsi-config-check`: finding it, and
// reading the settings it holds, written as on the command line.
#ifndef ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H
#define ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H

#include <cstddef>
#include <string_view>

#include "cli/settings.h"

// Reads the file of options `path` into `settings`. Returns false after
// telling on standard error, as "PROGRAM: FILE:LINE: ...", what is wrong;
// a file that cannot be opened is "failed to open file FILE" when `given`
// (named with --config), and a file that others could have written is
// ignored, with a word on standard error.
bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings);

// Applies the lines of `text`, the content of the file of options `path`,
// to `settings`; false after telling what is wrong, as readSettingsFile.
bool applySettingsText(std::string_view text, const char *path,
                       const char *programName, Settings *settings);

// Finds the project's file of options: `.iscsi-config-check` in the current
// folder, then in each parent up to and including the first that holds a
// `.git` entry (only the current folder when none does). Writes its path to
// `path` (`size` bytes); false when there is none.
bool findSettingsFile(char *path, size_t size);

#endif
