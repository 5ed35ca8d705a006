// The line buffer that all output is built in.
#include "support/line_buffer.h"

#include <cstdlib>

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
