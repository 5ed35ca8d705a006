// A project's file of options, `.iscsi-config-check`: finding the one that
// applies to a checked file, judging it before a byte of it is read, and
// splitting its lines into words with their places. What the words set is
// decided by whoever applies them (resolve.h), as the command line's are.
#ifndef ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H
#define ISCSI_CONFIG_CHECK_CLI_SETTINGS_FILE_H

#include <climits>
#include <cstddef>
#include <string_view>

#include "support/line_buffer.h"

// Room for the path of the project's file of options: a folder's name and
// the file's.
constexpr size_t settingsPathSize = PATH_MAX + 32;

// The most a file of options may hold.
constexpr size_t maxSettingsFileSize = 65536;

// Why the settings of a run, or of one checked file, cannot be settled:
// the message to tell after the program's name ("FILE: REASON (use
// --config=FILE or --no-config)", "FILE:LINE: ..."), and the line of the
// file of options it is about (0 for none), for a caller that shows it at
// a place of its own rather than on standard error.
struct SettingsRefusal {
    LineBuffer message;
    long long line = 0;
};

// One line of a file of options that holds words: its number, and its
// words as a command line's, words[1] to words[count - 1] (words[0] stands
// for the program's name, words[count] is null).
struct SettingsLine {
    long long number;
    char **words;
    int count;
};

// The lines of a file of options that hold words, in order, with the text
// they point into.
class SettingsWords
{
  public:
    SettingsWords() = default;
    SettingsWords(const SettingsWords &) = delete;
    SettingsWords &operator=(const SettingsWords &) = delete;
    ~SettingsWords();

    // Splits `text` into lines and words: words are split at blanks (a
    // line's final carriage return aside), and a word that begins with '#'
    // starts a comment to the end of the line. False, with the line in
    // `refusal`, for a line that holds a zero byte, which would end a word
    // early and hide the rest of the line.
    bool split(std::string_view text, const char *path,
               SettingsRefusal *refusal);

    const SettingsLine *begin() const
    {
        return lines_;
    }
    const SettingsLine *end() const
    {
        return lines_ + lineCount_;
    }

  private:
    LineBuffer text_;
    char **words_ = nullptr;
    SettingsLine *lines_ = nullptr;
    size_t lineCount_ = 0;
};

// Reads the file of options `path` into `words`: the project's file that
// findSettingsFile found, or, when `given`, the one that --config names.
// False, with why it cannot be used in `refusal`. The project's file is
// read only when it is a regular file, not a link, owned by the user or
// root (by anyone when the user is root) and not writable by every user;
// the file given may be a link and have any owner, and the null device
// reads as empty. Neither may hold more than 64 KiB.
bool readSettingsFile(const char *path, bool given, SettingsWords *words,
                      SettingsRefusal *refusal);

// Appends "FILE" to `message` as a message on standard error names a file
// of options: as given, but with no newline and no "##[" that a CI runner
// would read as a command.
void appendSettingsPath(LineBuffer *message, std::string_view path);

// What the lookup of the project's file of options found.
enum class SettingsLookup { none, found, failed };

// Finds the project's file of options that applies to the checked file
// `checkedPath` (the name as given; null for the current folder itself):
// `.iscsi-config-check` in the file's own folder, then in each parent up to
// and including the first that holds a `.git` entry (only the file's own
// folder when none does). The folders are those of the name made absolute
// with the current folder, walked up by name: "." and ".." are taken as
// the shell's `cd` takes them, and no link is resolved. A folder that does
// not exist finds nothing; a folder that every user may write (/tmp) is
// not looked in, for a file of options or a `.git`: anyone could have put
// one there. Any entry of the name counts, a link or a folder too, so that
// one that cannot be read is refused rather than passed over. Writes its
// path to `path` (`size` bytes). When the lookup cannot be made (the
// current folder cannot be told, or a name is too long), says so with
// `path` naming the folder and errno the reason.
SettingsLookup findSettingsFile(const char *checkedPath, char *path,
                                size_t size);

// Writes the current folder to `folder` (`size` bytes) as the shell names
// it ($PWD, when it is an absolute name of this very folder: reached
// through a link, the repository around it is the one the user sees, and
// the names below it are the ones the user gives), or else as the system
// does. False, with errno set, when it cannot be told.
bool currentFolder(char *folder, size_t size);

// Writes to `refusal` "FOLDER: REASON (use --config=FILE or --no-config)"
// for a lookup that failed.
void refuseLookup(const char *folder, int error, SettingsRefusal *refusal);

#endif
