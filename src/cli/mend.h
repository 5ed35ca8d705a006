// --fix and --diff: each file's safe fixes made, in place or on standard
// output, or shown as a diff; then what remains checked as if the mended
// file had been.
#ifndef ISCSI_CONFIG_CHECK_CLI_MEND_H
#define ISCSI_CONFIG_CHECK_CLI_MEND_H

#include <sys/stat.h>

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

// The files whose fixes a run has shown or made, by device and inode, so
// that a file named twice is diffed or rewritten once.
class MendedFiles
{
  public:
    MendedFiles() = default;
    MendedFiles(const MendedFiles &) = delete;
    MendedFiles &operator=(const MendedFiles &) = delete;
    ~MendedFiles();

    bool contains(const struct stat &file) const;
    void add(const struct stat &file);

  private:
    struct Slot {
        dev_t device;
        ino_t inode; // 0 for a free slot
    };
    size_t slotOf(const struct stat &file) const;

    Slot *slots_ = nullptr;
    size_t capacity_ = 0; // a power of 2, or 0
    size_t count_ = 0;
};

// Mends the file `name` as `mode` says, or standard input, named `name`,
// when `fromStdin`, and hands what remains to `emitter`. The mended text of
// standard input (--fix) and the diff (--diff) go to standard output, whose
// failure shows in its error flag. A file in `done` (another name of one
// whose fixes were shown or made) is checked, but not diffed or rewritten
// again; one diffed or rewritten is added to it.
Mended mendFile(const char *name, bool fromStdin, FixMode mode,
                Emitter *emitter, const InspectOptions &options,
                MendedFiles *done);

// Writes `text`, standard input's text mended or as it came, on standard
// output: the bytes into a pipe or a file; on a terminal, as a view, no
// control character from the file.
void writeText(std::string_view text);

// True when the file read as `file` is the regular file that the stream
// `out` writes to.
bool writesTo(FILE *out, const struct stat &file);

#endif
