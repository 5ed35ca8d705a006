// --fix and --diff, file by file.
#include "cli/mend.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "cli/settings_file.h"
#include "reader/config.h"
#include "support/allocate.h"
#include "support/escape.h"
#include "support/rewrite.h"
#include "support/unified_diff.h"

// Tells the emitter that the file failed, as a check's failure is told.
static Mended fail(Emitter *emitter, const char *name, FileStatus status,
                   int errorNumber)
{
    emitter->beginFile(name);
    emitter->emitFileFailure(status, errorNumber);
    emitter->endFile();
    return {status, false};
}

// Reads the file `name` whole, as the check reads it, noting what it is in
// `identity`; with `notRegular`, only what is a regular file once opened
// (what is opened is what is judged, should the name change meanwhile),
// and sets it to the type of another (S_IFMT bits), which is not read, nor
// told.
static bool readPlain(const char *name, LineBuffer *content,
                      struct stat *identity, Emitter *emitter, Mended *failed,
                      mode_t *notRegular = nullptr)
{
    int fd = open(name, O_RDONLY | O_CLOEXEC |
                            (notRegular != nullptr ? O_NONBLOCK : 0));
    if (fd < 0) {
        *failed = fail(emitter, name, FileStatus::openFailed, errno);
        return false;
    }
    bool known = fstat(fd, identity) == 0;
    if (!known) {
        *identity = {};
    }
    if (notRegular != nullptr && (!known || !S_ISREG(identity->st_mode))) {
        *notRegular = known ? identity->st_mode & S_IFMT : S_IFMT;
        (void)close(fd);
        return false;
    }
    bool read = readAll(fd, content);
    int errorNumber = errno;
    (void)close(fd);
    if (!read) {
        *failed = fail(emitter, name, FileStatus::readFailed, errorNumber);
    }
    return read;
}

// Reads the file to be mended: for --fix, a regular file with one link and
// no symbolic link, in the folder that `source` holds, or else, as the check
// reads it, a regular one that --fix refuses to write (`*refusal`, for when
// it needs a fix); for --diff, whatever the check itself reads.
static bool readToMend(const char *name, bool fromStdin, FixMode mode,
                       LineBuffer *content, RewriteSource *source, int *refusal,
                       Emitter *emitter, const InspectOptions &options,
                       Mended *failed)
{
    if (fromStdin) {
        if (fstat(STDIN_FILENO, &source->identity) != 0) {
            source->identity = {};
        }
        if (!readAll(STDIN_FILENO, content)) {
            *failed = fail(emitter, name, FileStatus::readFailed, errno);
            return false;
        }
        return true;
    }
    if (mode != FixMode::fix) {
        return readPlain(name, content, &source->identity, emitter, failed);
    }
    RewriteFailure failure;
    if (readForRewrite(name, content, source, &failure)) {
        return true;
    }
    *refusal = refusalCode(failure);
    if (*refusal == 0) {
        // A file that cannot be read is told as the check tells it.
        *failed =
            fail(emitter, name, FileStatus::openFailed, failure.errorNumber);
        return false;
    }
    // What is not a regular file (a FIFO, a device, standard input by name)
    // cannot be mended in place, whatever it holds: refused, and checked as
    // the check reads it, a block at a time. A folder cannot be read at
    // all, which the check alone tells.
    content->clear();
    mode_t notRegular = 0;
    if (readPlain(name, content, &source->identity, emitter, failed,
                  &notRegular)) {
        return true;
    }
    if (notRegular != 0) {
        bool folder = S_ISDIR(notRegular);
        if (!folder) {
            (void)fail(emitter, name, FileStatus::notFixed, *refusal);
        }
        FileStatus status = inspectFile(name, emitter, options);
        *failed = {folder ? status : FileStatus::notFixed, false};
    }
    return false;
}

void writeText(std::string_view text)
{
    if (isatty(STDOUT_FILENO) == 0) {
        writeOutput(stdout, text);
        return;
    }
    LineBuffer shown;
    while (!text.empty()) {
        size_t end = text.find('\n');
        appendShownOnTerminal(&shown, headOf(text, end));
        if (end == std::string_view::npos) {
            break;
        }
        shown.append('\n');
        text.remove_prefix(end + 1);
    }
    shown.write(stdout);
}

// Checks `text` as the content of the file `name`.
static FileStatus inspectText(const char *name, LineBuffer *text,
                              Emitter *emitter, const InspectOptions &options)
{
    char none = '\0'; // an empty text still needs a buffer
    size_t size = text->view().size();
    FILE *stream = fmemopen(size == 0 ? &none : text->data(), size, "r");
    FileStatus status = inspectStream(stream, name, emitter, options);
    if (stream != nullptr) {
        (void)fclose(stream);
    }
    return status;
}

// A slot of `file` in a table of `capacity` slots (a power of 2), from a
// mix of its device and inode numbers.
static size_t hashOf(const struct stat &file, size_t capacity)
{
    uint64_t key = static_cast<uint64_t>(file.st_ino) ^
                   static_cast<uint64_t>(file.st_dev) * 0x9E3779B97F4A7C15U;
    key ^= key >> 31;
    key *= 0xBF58476D1CE4E5B9U;
    key ^= key >> 29;
    return static_cast<size_t>(key) & (capacity - 1);
}

MendedFiles::~MendedFiles()
{
    free(slots_);
}

// The slot that holds `file`, or the free one where it would go.
size_t MendedFiles::slotOf(const struct stat &file) const
{
    size_t at = hashOf(file, capacity_);
    while (slots_[at].inode != 0 && (slots_[at].inode != file.st_ino ||
                                     slots_[at].device != file.st_dev)) {
        at = (at + 1) & (capacity_ - 1);
    }
    return at;
}

bool MendedFiles::contains(const struct stat &file) const
{
    return count_ > 0 && file.st_ino != 0 && slots_[slotOf(file)].inode != 0;
}

void MendedFiles::add(const struct stat &file)
{
    if (file.st_ino == 0 || contains(file)) {
        return;
    }
    // At most half full: the table doubles, and every file is placed anew.
    if (2 * (count_ + 1) > capacity_) {
        Slot *old = slots_;
        size_t oldCapacity = capacity_;
        capacity_ = capacity_ == 0 ? 16 : capacity_ * 2;
        slots_ = static_cast<Slot *>(
            allocateOrAbort(nullptr, capacity_ * sizeof(Slot)));
        memset(slots_, 0, capacity_ * sizeof(Slot));
        for (size_t k = 0; k < oldCapacity; k++) {
            if (old[k].inode != 0) {
                struct stat moved = {};
                moved.st_dev = old[k].device;
                moved.st_ino = old[k].inode;
                slots_[slotOf(moved)] = old[k];
            }
        }
        free(old);
    }
    slots_[slotOf(file)] = {file.st_dev, file.st_ino};
    count_++;
}

// Rewrites the file `name` of `source` with `fixed` and tells how it went;
// false when the original is left as it was. Where only the folder's flush
// failed after the rename, the file is mended all the same, and that
// failure (status 1) is told in place of the plain "fixed file".
static bool rewriteMended(const char *name, RewriteSource *source,
                          const LineBuffer &fixed, Emitter *emitter,
                          FileStatus *failedAs)
{
    RewriteFailure failure;
    Rewritten rewritten =
        rewriteFile(source, fixed.view().data(), fixed.view().size(), &failure);
    if (rewritten == Rewritten::no) {
        int code = refusalCode(failure);
        (void)fail(emitter, name, FileStatus::notFixed,
                   code != 0 ? code : failure.errorNumber);
        *failedAs = FileStatus::notFixed;
        return false;
    }
    bool flushed = rewritten == Rewritten::yes;
    emitter->emitFileFixed(name, FixedInto::place,
                           flushed ? 0 : failure.errorNumber);
    *failedAs = flushed ? FileStatus::ok : FileStatus::notFixed;
    return true;
}

bool writesTo(FILE *out, const struct stat &file)
{
    struct stat status = {};
    return S_ISREG(file.st_mode) && fstat(fileno(out), &status) == 0 &&
           status.st_dev == file.st_dev && status.st_ino == file.st_ino;
}

Mended mendFile(const char *name, bool fromStdin, FixMode mode,
                Emitter *emitter, const InspectOptions &options,
                MendedFiles *done)
{
    LineBuffer content;
    RewriteSource source;
    int refusal = 0;
    Mended mended = {FileStatus::ok, false};
    if (!readToMend(name, fromStdin, mode, &content, &source, &refusal, emitter,
                    options, &mended)) {
        releaseRewriteSource(&source);
        return mended;
    }
    // The file that standard output or standard error writes to (the diff,
    // the report, the lines that tell each file rewritten) is neither
    // mended nor checked, as the check leaves it: it would take in what the
    // run wrote before it, and a rewrite would send the rest to a file no
    // longer named. Standard input that is standard output's file would
    // get its mended text appended to it.
    if (writesTo(stdout, source.identity) ||
        (!fromStdin && writesTo(stderr, source.identity))) {
        releaseRewriteSource(&source);
        return fail(emitter, name, FileStatus::isOutput, 0);
    }
    // Another name of a file already diffed or rewritten: checked as the
    // fixes left it, but neither diffed nor rewritten again (a second diff
    // of one file would undo the first when applied).
    bool again = !fromStdin && done->contains(source.identity);
    LineBuffer fixed;
    mended.changed = fixText(content.view(), &fixed);
    bool written = true;
    FileStatus failedAs = FileStatus::ok;
    if (mode == FixMode::diff) {
        if (!again) {
            // An absolute name is written for a patch run here.
            char here[settingsPathSize];
            bool told = name[0] == '/' && currentFolder(here, sizeof here);
            LineBuffer diff;
            appendUnifiedDiff(&diff, name, told ? here : "", content.view(),
                              fixed.view(), isatty(STDOUT_FILENO) != 0);
            diff.write(stdout);
            done->add(source.identity);
        }
    } else if (fromStdin) {
        writeText(fixed.view());
        if (mended.changed) {
            emitter->emitFileFixed(name, FixedInto::output, 0);
        }
    } else if (again || !mended.changed) {
        written = false;
    } else if (refusal != 0) {
        (void)fail(emitter, name, FileStatus::notFixed, refusal);
        written = false;
        failedAs = FileStatus::notFixed;
    } else {
        written = rewriteMended(name, &source, fixed, emitter, &failedAs);
        if (written) {
            done->add(source.identity);
        }
    }
    releaseRewriteSource(&source);
    // What remains, as the check of the mended file would tell it (or of
    // the file as it is, when it was not mended), after what standard
    // output holds, so that a combined log keeps the order.
    flushOutput(stdout);
    FileStatus status =
        inspectText(name, written ? &fixed : &content, emitter, options);
    mended.status = failedAs != FileStatus::ok ? failedAs : status;
    return mended;
}
