// The run's settings: what the options that a project's file of options may
// hold too (`.iscsi-config-check`) ask for, with their defaults, and the
// setters that judge an option's value and say what is wrong with it.
#ifndef ISCSI_CONFIG_CHECK_CLI_SETTINGS_H
#define ISCSI_CONFIG_CHECK_CLI_SETTINGS_H

#include <cstddef>
#include <string_view>

#include "checks/kinds.h"
#include "formats/registry.h"
#include "support/line_buffer.h"

// When the tty format colours its output.
enum ColorChoice { COLOR_AUTO, COLOR_ALWAYS, COLOR_NEVER };

// The values of --color, in the order of ColorChoice.
extern const char *const colorChoices[];
extern const size_t colorChoiceCount;

// The settings, each at its default until an option sets it. The file of
// options is applied first, then the command line's options in their order,
// so that a later value wins (--format, --color), a flag stays set (--quiet,
// --strict, --mask-passwords, --no-directives), and each -W turns warnings
// on or off over what came before.
struct Settings {
    const FormatInfo *format = reportFormat();
    ColorChoice color = COLOR_AUTO;
    bool quiet = false;
    bool strict = false;
    bool maskPasswords = false;
    bool directives = true;  // a file's directives may turn warnings off
    WarningSet warnings = 0; // the warnings turned on
    // The warnings whose last -W so far was a no-: no-NAME, or no-all.
    WarningSet turnedOff = 0;
    // The warnings that -W all leaves off: those the file of options turned
    // off, once it has been read, so that the team's choice holds under a
    // command line's -W all; naming one turns it on.
    WarningSet keptOff = 0;
};

// What is wrong with an option's value, to be told after the program's
// name. A word that others supply is quoted in it only when it is plainly
// harmless (isPlainWord); otherwise it is left out, and whoever tells the
// complaint names where the word stands instead.
struct Complaint {
    LineBuffer text;
    bool withheld = false; // a word was left out
};

// Whether `word` is one that a message may quote: -{0,2}[A-Za-z0-9=_.,-]{1,64},
// so that it holds no control character, no quote, no blank and nothing that
// a CI runner reads as a workflow command.
bool isPlainWord(std::string_view word);

// Appends " 'WORD'" to `complaint` when `word` is plain; else leaves it out
// and marks the complaint as withheld.
void appendQuotedWord(Complaint *complaint, std::string_view word);

// Appends "; did you mean 'PREFIXNAME'?" to `complaint`: NAME is a name of
// the program's own tables, so always plain.
void appendSuggestion(Complaint *complaint, std::string_view prefix,
                      std::string_view name);

// How an option sets a setting: with `value` (null for an option that takes
// none); false, with what is wrong in `complaint` ("unknown format 'x'
// (...)", without the program's name), for a value that it does not take.
using SettingSetter = bool (*)(Settings *settings, const char *value,
                               Complaint *complaint);

// The setters, one for each option that sets a setting.
bool setQuiet(Settings *settings, const char *value, Complaint *complaint);
bool setStrict(Settings *settings, const char *value, Complaint *complaint);
bool setMaskPasswords(Settings *settings, const char *value,
                      Complaint *complaint);
bool setFormat(Settings *settings, const char *value, Complaint *complaint);
bool setColor(Settings *settings, const char *value, Complaint *complaint);
// NAME or all turns on (all but the warnings kept off), no-NAME or no-all
// off.
bool setWarning(Settings *settings, const char *value, Complaint *complaint);
bool setNoDirectives(Settings *settings, const char *value,
                     Complaint *complaint);

// Appends `settings` as the words of a command line that sets them over
// the defaults: "--format=FORMAT --color=WHEN", each flag that is set, and
// "-WNAME" for each warning turned on, separated by spaces.
void appendSettingsWords(LineBuffer *words, const Settings &settings);

// Whether the tty format colours: always, never, or by default where a
// person reads (standard output is a terminal, NO_COLOR is unset or empty,
// and TERM is set, not empty and not dumb).
bool colorsOutput(const Settings *settings);

// "-W" when `value` begins with it, else nothing: -W, --warn and --explain
// take a warning's name as the diagnostics print it ("[-Wbom]") too.
std::string_view warningPrefixOf(std::string_view value);

// Appends to `complaint` the message for an unknown check `name` (after a
// "-W", and a "no-" for a warning turned off): with the closest known name
// when one is near, after the same prefix. `what` is "warning" or "check";
// with `warningsOnly`, only the warnings' names and "all" are offered.
void complainOfUnknownCheck(Complaint *complaint, const char *what,
                            const char *name, bool warningsOnly);

// Writes "PROGRAM: TEXT" and a newline on standard error, control
// characters as '?' when it is a terminal: the name and the text may come
// from whoever started the program, or from a file.
void tellProblem(const char *programName, std::string_view text);

#endif
