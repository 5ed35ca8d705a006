// --fix and --diff: each file's safe fixes made, in place or on standard
// output, or shown as a diff; then what remains checked as if the mended
// file had been.
#ifndef ISCSI_CONFIG_CHECK_CLI_MEND_H
#define ISCSI_CONFIG_CHECK_CLI_MEND_H

#include "diagnose/inspect.h"
#include "formats/emitter.h"

enum class FixMode : unsigned char {
    none,
    fix,  // --fix: mend the file in place, or standard input onto the output
    diff, // --diff: print the fixes as a unified diff and change nothing
};

// How one file's mending ended, beside its check's status.
struct Mended {
    FileStatus status;
    bool changed; // the fixes changed something (the diff is not empty)
};

// Mends the file `name` as `mode` says, or standard input, named `name`,
// when `fromStdin`, and hands what remains to `emitter`. The mended text of
// standard input (--fix) and the diff (--diff) go to standard output, whose
// failure shows in its error flag.
Mended mendFile(const char *name, bool fromStdin, FixMode mode,
                Emitter *emitter, const InspectOptions &options);

// Reads what is left of the descriptor `fd` into `content`; false, with
// errno set, when a read fails.
bool readAll(int fd, LineBuffer *content);

// Writes `text`, standard input's text mended or as it came, on standard
// output: the bytes into a pipe or a file; on a terminal, as a view, no
// control character from the file.
void writeText(std::string_view text);

#endif
