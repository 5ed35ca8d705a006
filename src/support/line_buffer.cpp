// The line buffer that all output is built in, and that files are read into.
#include "support/line_buffer.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "support/allocate.h"

void flushOutput(FILE *out)
{
    if (!outputFailed(out)) {
        (void)fflush(out);
    }
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
