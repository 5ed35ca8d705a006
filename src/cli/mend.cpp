// --fix and --diff, file by file.
#include "cli/mend.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "reader/config.h"
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

// Reads the file to be mended: for --fix, only a regular file with one
// link and no symbolic link; for --diff, whatever the check itself reads.
static bool readToMend(const char *name, bool fromStdin, FixMode mode,
                       LineBuffer *content, struct stat *identity,
                       Emitter *emitter, Mended *failed)
{
    if (fromStdin) {
        if (!readAll(STDIN_FILENO, content)) {
            *failed = fail(emitter, name, FileStatus::readFailed, errno);
            return false;
        }
        return true;
    }
    if (mode == FixMode::fix) {
        RewriteFailure failure;
        if (!readForRewrite(name, content, identity, &failure)) {
            // A file that cannot be read is told as the check tells it.
            int code = refusalCode(failure);
            *failed = code != 0
                          ? fail(emitter, name, FileStatus::notFixed, code)
                          : fail(emitter, name, FileStatus::openFailed,
                                 failure.errorNumber);
            return false;
        }
        return true;
    }
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *failed = fail(emitter, name, FileStatus::openFailed, errno);
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

Mended mendFile(const char *name, bool fromStdin, FixMode mode,
                Emitter *emitter, const InspectOptions &options)
{
    LineBuffer content;
    struct stat identity = {};
    Mended mended = {FileStatus::ok, false};
    if (!readToMend(name, fromStdin, mode, &content, &identity, emitter,
                    &mended)) {
        return mended;
    }
    LineBuffer fixed;
    mended.changed = fixText(content.view(), &fixed);
    if (mode == FixMode::diff) {
        LineBuffer diff;
        appendUnifiedDiff(&diff, name, content.view(), fixed.view(),
                          isatty(STDOUT_FILENO) != 0);
        diff.write(stdout);
    } else if (fromStdin) {
        fixed.write(stdout);
    } else if (mended.changed) {
        RewriteFailure failure;
        if (!rewriteFile(name, identity, fixed.data(), fixed.view().size(),
                         &failure)) {
            int code = refusalCode(failure);
            return fail(emitter, name, FileStatus::notFixed,
                        code != 0 ? code : failure.errorNumber);
        }
    }
    // What remains, as the check of the mended file would tell it, after
    // what standard output holds, so that a combined log keeps the order.
    flushOutput(stdout);
    std::string_view text = fixed.view();
    char none = '\0'; // an empty text still needs a buffer
    FILE *stream =
        fmemopen(text.empty() ? &none : fixed.data(), text.size(), "r");
    mended.status = inspectStream(stream, name, emitter, options);
    if (stream != nullptr) {
        (void)fclose(stream);
    }
    return mended;
}
