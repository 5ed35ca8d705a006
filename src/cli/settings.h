// What a run is asked to do, from the command line and from a project's
// file of options, `.iscsi-config-check`: the values of the options that
// both take, judged alike, with a message that says what is wrong.
#ifndef ISCSI_CONFIG_CHECK_CLI_SETTINGS_H
#define ISCSI_CONFIG_CHECK_CLI_SETTINGS_H

#include <cstddef>

#include "support/line_buffer.h"
#include "formats/registry.h"

// When the tty format colours its output, in the order of colorChoices.
enum ColorChoice { COLOR_AUTO, COLOR_ALWAYS, COLOR_NEVER, COLOR_UNKNOWN };

// The options that a file of options may hold too. Warnings named are
// turned on in `warningsOn` and off in `warningsOff`, the later winning, so
// that options given later apply over those of the file.
struct Settings {
    const FormatInfo *format; // null: not given
    ColorChoice color;        // COLOR_UNKNOWN: not given
    bool quiet;
    bool strict;
    bool maskPasswords;
    WarningSet warningsOn;
    WarningSet warningsOff;
};

// Codes of the options, as getopt_long returns them.
enum OptionCode {
    OPTION_QUIET = 'q',
    OPTION_STRICT = 's',
    OPTION_WARN = 'W',
    OPTION_MASK_PASSWORDS = 256,
    OPTION_FORMAT,
    OPTION_COLOR,
    OPTION_HELP,
    OPTION_VERSION,
    OPTION_CONFIG,
    OPTION_NO_CONFIG,
    OPTION_NO_DIRECTIVES,
    OPTION_LIST_CHECKS,
    OPTION_EXPLAIN,
    OPTION_STDIN_FILENAME,
};

// Applies the option `code` with `value` (null for none) to `settings`.
// Returns false, with what is wrong in `complaint` ("unknown format 'x'
// (...)", without the program's name), for a value that it does not take.
bool applySetting(Settings *settings, int code, const char *value,
                  LineBuffer *complaint);

// Appends to `complaint` the message for an unknown check `name` (after a
// "no-" for a warning turned off): with the closest known name when one is
// near. `what` is "warning" or "check"; with `warningsOnly`, only the
// warnings' names are offered.
void complainOfUnknownCheck(LineBuffer *complaint, const char *what,
                            const char *name, bool warningsOnly);

// Writes "PROGRAM: TEXT" and a newline on standard error, control
// characters as '?' when it is a terminal: the name and the text may come
// from whoever started the program, or from a file.
void tellProblem(const char *programName, std::string_view text);

// Reads the file of options `path` into `settings`. Returns false after
// telling on standard error, as "PROGRAM: FILE:LINE: ...", what is wrong;
// a file that cannot be opened is "failed to open file FILE" when `given`
// (named with --config), and a file that others could have written is
// ignored, with a word on standard error.
bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings);

// Finds the project's file of options: `.iscsi-config-check` in the current
// folder, then in each parent up to and including the first that holds a
// `.git` entry (only the current folder when none does). Writes its path to
// `path` (`size` bytes); false when there is none.
bool findSettingsFile(char *path, size_t size);

#endif
