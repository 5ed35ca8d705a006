// The line buffer that all output is built in, and that files are read
// into; and standard output's own buffer.
#include "support/line_buffer.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "support/allocate.h"

OwnOutput ownOutput;

void takeStandardOutput()
{
    ownOutput.file = stdout;
    ownOutput.len = 0;
    ownOutput.failed = false;
    ownOutput.terminal = isatty(STDOUT_FILENO) != 0;
    ownOutput.room = ownOutput.terminal ? 0 : OwnOutput::size;
}

// Writes `text` whole to standard output's descriptor; on a failure, marks
// the output failed and drops what it held.
static void writeThrough(std::string_view text)
{
    const char *at = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = write(STDOUT_FILENO, at, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ownOutput.failed = true;
            ownOutput.room = 0;
            ownOutput.len = 0;
            return;
        }
        at += written;
        left -= static_cast<size_t>(written);
    }
}

// Writes what the buffer holds and empties it.
static void flushOwnOutput()
{
    if (ownOutput.len > 0) {
        size_t held = ownOutput.len;
        ownOutput.len = 0;
        writeThrough({ownOutput.data, held});
    }
    if (!ownOutput.failed && !ownOutput.terminal) {
        ownOutput.room = OwnOutput::size;
    }
}

void writeOwnOutput(std::string_view text)
{
    if (ownOutput.failed || text.empty()) {
        return;
    }
    if (ownOutput.terminal) {
        // Each line at once, as a line-buffered stream gives it.
        writeThrough(text);
        return;
    }
    // As a fully buffered stream does: the buffer filled and written, whole
    // blocks written straight, and the rest kept.
    size_t first = text.size() < ownOutput.room ? text.size() : ownOutput.room;
    memcpy(ownOutput.data + ownOutput.len, text.data(), first);
    ownOutput.len += first;
    text.remove_prefix(first);
    flushOwnOutput();
    size_t blocks = text.size() - text.size() % OwnOutput::size;
    if (blocks > 0 && !ownOutput.failed) {
        writeThrough(headOf(text, blocks));
    }
    text.remove_prefix(blocks);
    if (!ownOutput.failed && !text.empty()) {
        memcpy(ownOutput.data, text.data(), text.size());
        ownOutput.len = text.size();
        ownOutput.room = OwnOutput::size - text.size();
    }
}

void flushOutput(FILE *out)
{
    if (out == ownOutput.file) {
        if (!ownOutput.failed) {
            flushOwnOutput();
        }
    } else if (!outputFailed(out)) {
        (void)fflush(out);
    }
}

bool closeStandardOutput()
{
    flushOutput(stdout);
    // Closed here, so that a failure that only closing shows (a full quota
    // on a network file system) is told too.
    bool ownFailed = stdout == ownOutput.file && ownOutput.failed;
    return !ownFailed && fflush(stdout) == 0 && ferror(stdout) == 0 &&
           fclose(stdout) == 0;
}

LineBuffer::~LineBuffer()
{
    free(data_);
}

void LineBuffer::grow(size_t n)
{
    size_t grown = capacity_ < 256 ? 256 : capacity_;
    while (grown < len_ + n) {
        grown *= 2;
    }
    data_ = static_cast<char *>(allocateOrAbort(data_, grown));
    capacity_ = grown;
}

bool readAll(int fd, LineBuffer *content)
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
