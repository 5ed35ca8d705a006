// The line buffer and the writers that the output formats share.
#include "format.h"

#include <cstdlib>

#include "allocate.h"

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

// The length of the valid UTF-8 sequence at `text` (at most `len` bytes), or
// 0 when the byte there does not begin one.
static size_t utf8SequenceLen(const unsigned char *text, size_t len)
{
    unsigned char lead = text[0];
    size_t need = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (len <= need || text[1] < low || text[1] > high) {
        return 0;
    }
    for (size_t k = 2; k <= need; k++) {
        if ((text[k] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return need + 1;
}

void appendJsonString(LineBuffer *line, std::string_view text)
{
    static const char hexDigits[] = "0123456789abcdef";
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    size_t len = text.size();
    line->append('"');
    size_t k = 0;
    while (k < len) {
        // Most text is plain ASCII, copied a run at a time.
        size_t run = k;
        while (run < len && bytes[run] >= 0x20 && bytes[run] < 0x7F &&
               bytes[run] != '"' && bytes[run] != '\\') {
            run++;
        }
        line->append(headOf(tailOf(text, k), run - k));
        k = run;
        if (k == len) {
            break;
        }
        unsigned char c = bytes[k];
        if (c >= 0x80) {
            size_t n = utf8SequenceLen(bytes + k, len - k);
            line->append(n == 0 ? std::string_view("\xEF\xBF\xBD") // U+FFFD
                                : headOf(tailOf(text, k), n));
            k += n == 0 ? 1 : n;
            continue;
        }
        k++;
        // The characters with an escape of their own, and their letters.
        static const char named[] = "\"\\\n\r\t\b\f";
        static const char letters[] = "\"\\nrtbf";
        const auto *escape =
            static_cast<const char *>(memchr(named, c, sizeof named - 1));
        line->append('\\');
        if (escape != nullptr) {
            line->append(letters[escape - named]);
        } else {
            line->append("u00");
            line->append(hexDigits[c >> 4]);
            line->append(hexDigits[c & 0xF]);
        }
    }
    line->append('"');
}
