// The reader's input: reads the stream a block at a time, as cat does, and
// splits it into lines and the 512-byte pieces of long lines.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "reader/judge.h"

// Where the reader takes its bytes from: the descriptor of a stream that has
// one, read as cat does (whatever is available, a signal's interruption
// retried), or else the stream itself.
struct ByteSource {
    FILE *file;
    int fd;
    bool mayWait; // a pipe or a terminal, whose reads wait for a writer
    bool failed;
    int errorNumber; // why it failed
};

static ByteSource openSource(FILE *file)
{
    ByteSource source = {file, fileno(file), false, false, 0};
    struct stat status = {};
    if (source.fd >= 0 && fstat(source.fd, &status) == 0) {
        source.mayWait = !S_ISREG(status.st_mode);
    }
    return source;
}

// Reads up to `size` bytes; returns how many arrived, 0 at the end of the
// input or after a failure (which sets `failed`). Bytes delivered by a stream
// whose read then failed are returned, with `failed` set.
static size_t readSome(ByteSource *source, char *buf, size_t size)
{
    if (source->fd < 0) {
        size_t got = fread(buf, 1, size, source->file);
        source->failed = ferror(source->file) != 0;
        source->errorNumber = source->failed ? errno : 0;
        return got;
    }
    for (;;) {
        ssize_t got = read(source->fd, buf, size);
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            source->failed = true;
            source->errorNumber = errno;
            return 0;
        }
    }
}

// Judges a full line buffer, a piece of a longer line, once `next`, the byte
// after it, shows whether the line ends there: a newline right after a full
// piece ends that same line. Returns where the reading goes on.
template <bool warned>
static char *judgeFullPiece(char *lineBuf, char *next, long long *lineNum,
                            size_t *offset, ReaderRun *run)
{
    bool lineEnds = *next == '\n';
    judgeLine<warned>(lineBuf, lineBufSize, lineBufSize + 1, *lineNum, *offset,
                      lineEnds, run);
    *offset += lineBufSize;
    if (!lineEnds) {
        return next;
    }
    ++*lineNum;
    *offset = 0;
    return next + 1;
}

// Splits the bytes read into lines and judges them. A full line buffer is a
// piece of a longer line; it is judged once the next byte shows whether the
// line ends there (a newline, or the end of the input). Built for a run
// with warnings (`warned`) and for one without, as judgeLine is.
template <bool warned>
static ReadResult readLines(ByteSource *source, const ReaderHooks *hooks,
                            ReaderRun *run)
{
    char block[maxReadBlockSize];
    char lineBuf[lineBufSize + 1]; // a piece and its terminating zero
    size_t blockSize = hooks->readBlockSize;
    if (blockSize == 0 || blockSize > maxReadBlockSize) {
        blockSize = maxReadBlockSize;
    }
    size_t count = 0;  // bytes of the current piece held in lineBuf
    size_t offset = 0; // where that piece starts in its physical line
    long long lineNum = 1;

    for (;;) {
        if (source->mayWait && hooks->beforeWait != nullptr) {
            hooks->beforeWait(hooks->context);
        }
        size_t got = readSome(source, block, blockSize);
        if (got == 0) {
            break;
        }
        char *pos = block;
        char *end = block + got;
        if (count == lineBufSize) {
            pos = judgeFullPiece<warned>(lineBuf, pos, &lineNum, &offset, run);
            count = 0;
        }
        while (pos < end && !run->stopped) {
            size_t room = lineBufSize - count;
            size_t avail = static_cast<size_t>(end - pos);
            size_t take = avail < room ? avail : room;
            char *newline = static_cast<char *>(memchr(pos, '\n', take));
            if (newline != nullptr && count == 0) {
                // The whole line lies in the block: judge it there, its
                // newline becoming its terminator.
                judgeLine<warned>(pos, static_cast<size_t>(newline - pos),
                                  static_cast<size_t>(end - pos), lineNum,
                                  offset, true, run);
                pos = newline + 1;
                lineNum++;
                offset = 0;
                continue;
            }
            if (newline != nullptr) {
                take = static_cast<size_t>(newline - pos);
            }
            memcpy(lineBuf + count, pos, take);
            count += take;
            pos += take;
            if (newline != nullptr) {
                judgeLine<warned>(lineBuf, count, count + 1, lineNum, offset,
                                  true, run);
                pos++;
                lineNum++;
                count = 0;
                offset = 0;
            } else if (count == lineBufSize && pos < end) {
                pos = judgeFullPiece<warned>(lineBuf, pos, &lineNum, &offset,
                                             run);
                count = 0;
            }
        }
        if (run->stopped) {
            return ReadResult::stopped;
        }
        // A failed read may still have delivered bytes; they are judged above,
        // and nothing after the failure is read.
        if (source->failed) {
            break;
        }
    }
    judgeLine<warned>(lineBuf, count, count + 1, lineNum, offset, true, run);
    if (source->failed) {
        return ReadResult::readFailed;
    }
    return run->stopped ? ReadResult::stopped : ReadResult::ok;
}

ReadResult readConfigStream(FILE *file, ReaderHooks *hooks)
{
    ByteSource source = openSource(file);
    ReaderRun run = {};
    run.hooks = hooks;
    if (hooks->warnings == 0) {
        ReadResult result = readLines<false>(&source, hooks, &run);
        hooks->readErrno = source.errorNumber;
        return result;
    }
    WarningState warn = {};
    warn.enabled = hooks->warnings;
    warn.directives = hooks->directives;
    warn.lineChecks = (warn.enabled & lineWarnings) != 0;
    warn.numberChecks = (warn.enabled & numberWarnings) != 0;
    warn.targets = newTargetTable();
    run.warn = &warn;
    ReadResult result = readLines<true>(&source, hooks, &run);
    clearTargetTable(&warn.targets);
    if (result == ReadResult::ok && !warn.statementSeen && !warn.emptyFileOff &&
        (warn.enabled & warningBit(WARN_EMPTY_FILE)) != 0) {
        // A file read to its end that defines no target: told on line 1.
        Warning empty = {WARN_EMPTY_FILE, 0, 0, 0, nullptr};
        Verdict verdict = {};
        verdict.lineNum = 1;
        verdict.warnings = &empty;
        verdict.warningCount = 1;
        verdict.source = {"", 0, 0, &run.history, true};
        if (hooks->onVerdict(hooks->context, &verdict) != 0) {
            result = ReadResult::stopped;
        }
    }
    hooks->readErrno = source.errorNumber;
    return result;
}
