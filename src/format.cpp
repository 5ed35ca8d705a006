// The line buffer and the writers that the output formats share.
#include "format.h"

#include <cstdlib>

#include "allocate.h"
#include "utf8.h"

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

// Calls `emit` with each piece of `text` as a terminal is to see it: a
// character, or "?" for a control character.
template <typename Emit>
static void forEachShown(std::string_view text, Emit emit)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    size_t k = 0;
    while (k < text.size()) {
        unsigned char c = bytes[k];
        size_t n = c < 0x80 ? 1 : utf8SequenceLen(bytes + k, text.size() - k);
        bool control = (c < 0x20 && c != '\t') || c == 0x7F ||
                       (n == 2 && c == 0xC2 && bytes[k + 1] < 0xA0) ||
                       (n == 0 && c < 0xA0);
        n = n == 0 ? 1 : n;
        emit(control ? std::string_view("?") : headOf(tailOf(text, k), n));
        k += n;
    }
}

void appendShownOnTerminal(LineBuffer *line, std::string_view text)
{
    forEachShown(text, [line](std::string_view piece) { line->append(piece); });
}

void writeUntrusted(FILE *out, std::string_view text, bool terminal)
{
    if (!terminal) {
        (void)fwrite(text.data(), 1, text.size(), out);
        return;
    }
    forEachShown(text, [out](std::string_view piece) {
        (void)fwrite(piece.data(), 1, piece.size(), out);
    });
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
            // The C1 controls, and the separators of lines and paragraphs
            // (U+2028, U+2029) that JavaScript and Python split lines on, as
            // escapes.
            if (n == 2 && c == 0xC2 && bytes[k + 1] < 0xA0) {
                line->append("\\u00");
                line->append(hexDigits[bytes[k + 1] >> 4]);
                line->append(hexDigits[bytes[k + 1] & 0xF]);
            } else if (n == 3 && c == 0xE2 && bytes[k + 1] == 0x80 &&
                       (bytes[k + 2] == 0xA8 || bytes[k + 2] == 0xA9)) {
                line->append(bytes[k + 2] == 0xA8 ? "\\u2028" : "\\u2029");
            } else {
                line->append(n == 0 ? std::string_view("\xEF\xBF\xBD") // U+FFFD
                                    : headOf(tailOf(text, k), n));
            }
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
