// --fix and --diff, file by file.
#include "cli/mend.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "cli/settings_file.h"
#include "reader/config.h"
#include "support/escape.h"
#include "support/rewrite.h"
#include "support/unified_diff.h"

// Reads what is left of the descriptor `fd` into `content`; false, with
// errno set, when a read fails.
static bool readAll(int fd, LineBuffer *content)
{
    const size_t block = 65536;
    for (;;) {
        char *out = content->reserve(block);
        ssize_t got = read(fd, out, block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        content->commit(out + got);
    }
}

// Tells the emitter that the file failed, as a check's failure is told.
static Mended fail(Emitter *emitter, const char *name, FileStatus status,
                   int errorNumber)
{
    emitter->beginFile(name);
    emitter->emitFileFailure(status, errorNumber);
    emitter->endFile();
    return {status, false};
}

// Reads the file `name` whole, as the check reads it; with `notRegular`,
// only what is a regular file once opened (what is opened is what is
// judged, should the name change meanwhile), and sets it for another, which
// is not read, nor told.
static bool readPlain(const char *name, LineBuffer *content, Emitter *emitter,
                      Mended *failed, bool *notRegular = nullptr)
{
    int fd = open(name, O_RDONLY | O_CLOEXEC |
                            (notRegular != nullptr ? O_NONBLOCK : 0));
    if (fd < 0) {
        *failed = fail(emitter, name, FileStatus::openFailed, errno);
        return false;
    }
    struct stat status = {};
    if (notRegular != nullptr &&
        (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        *notRegular = true;
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
// no symbolic link, or else, as the check reads it, a regular one that
// --fix refuses to write (`*refusal`, for when it needs a fix); for --diff,
// whatever the check itself reads.
static bool readToMend(const char *name, bool fromStdin, FixMode mode,
                       LineBuffer *content, struct stat *identity, int *refusal,
                       Emitter *emitter, const InspectOptions &options,
                       Mended *failed)
{
    if (fromStdin) {
        if (!readAll(STDIN_FILENO, content)) {
            *failed = fail(emitter, name, FileStatus::readFailed, errno);
            return false;
        }
        return true;
    }
    if (mode != FixMode::fix) {
        return readPlain(name, content, emitter, failed);
    }
    RewriteFailure failure;
    if (readForRewrite(name, content, identity, &failure)) {
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
    // the check reads it, a block at a time.
    content->clear();
    bool notRegular = false;
    if (readPlain(name, content, emitter, failed, &notRegular)) {
        return true;
    }
    if (notRegular) {
        (void)fail(emitter, name, FileStatus::notFixed, *refusal);
        (void)inspectFile(name, emitter, options);
        *failed = {FileStatus::notFixed, false};
    }
    return false;
}

// Appends `text` as a terminal may show it, line by line.
static void appendLinesShown(LineBuffer *shown, std::string_view text)
{
    while (!text.empty()) {
        size_t end = text.find('\n');
        appendShownOnTerminal(shown, headOf(text, end));
        if (end == std::string_view::npos) {
            break;
        }
        shown->append('\n');
        text.remove_prefix(end + 1);
    }
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

Mended mendFile(const char *name, bool fromStdin, FixMode mode,
                Emitter *emitter, const InspectOptions &options)
{
    LineBuffer content;
    struct stat identity = {};
    int refusal = 0;
    Mended mended = {FileStatus::ok, false};
    if (!readToMend(name, fromStdin, mode, &content, &identity, &refusal,
                    emitter, options, &mended)) {
        return mended;
    }
    LineBuffer fixed;
    mended.changed = fixText(content.view(), &fixed);
    bool written = true;
    if (mode == FixMode::diff) {
        // An absolute name is written for a patch run here.
        char here[settingsPathSize];
        bool told = name[0] == '/' && currentFolder(here, sizeof here);
        LineBuffer diff;
        appendUnifiedDiff(&diff, name, told ? here : "", content.view(),
                          fixed.view(), isatty(STDOUT_FILENO) != 0);
        diff.write(stdout);
    } else if (fromStdin) {
        // On a terminal, as a view: no control character from the file.
        if (isatty(STDOUT_FILENO) != 0) {
            LineBuffer shown;
            appendLinesShown(&shown, fixed.view());
            shown.write(stdout);
        } else {
            fixed.write(stdout);
        }
    } else if (mended.changed && refusal != 0) {
        (void)fail(emitter, name, FileStatus::notFixed, refusal);
        written = false;
    } else if (mended.changed) {
        RewriteFailure failure;
        if (!rewriteFile(name, identity, fixed.data(), fixed.view().size(),
                         &failure)) {
            int code = refusalCode(failure);
            (void)fail(emitter, name, FileStatus::notFixed,
                       code != 0 ? code : failure.errorNumber);
            written = false;
        }
    }
    if (mode == FixMode::fix && written && mended.changed) {
        emitter->emitFileFixed();
    }
    // What remains, as the check of the mended file would tell it (or of
    // the file as it is, when it could not be mended), after what standard
    // output holds, so that a combined log keeps the order.
    flushOutput(stdout);
    FileStatus status =
        inspectText(name, written ? &fixed : &content, emitter, options);
    mended.status = written ? status : FileStatus::notFixed;
    return mended;
}
