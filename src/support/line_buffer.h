// What output is built with: a growable line buffer that is handed to its
// stream whole, and the writers of numbers and addresses into it; and the
// reading of a descriptor's rest into one.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_LINE_BUFFER_H
#define ISCSI_CONFIG_CHECK_SUPPORT_LINE_BUFFER_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

// Room for any number written here: a signed 64-bit value in decimal.
constexpr size_t maxNumberLen = 24;

// The first `n` bytes of `text` (all of it if shorter), and its bytes from
// `pos` on (none if past its end): string_view's substr without the
// exception, which would bring in the C++ runtime library.
inline std::string_view headOf(std::string_view text, size_t n)
{
    return {text.data(), n < text.size() ? n : text.size()};
}
inline std::string_view tailOf(std::string_view text, size_t pos)
{
    return pos < text.size()
               ? std::string_view(text.data() + pos, text.size() - pos)
               : std::string_view();
}

// True once a write to `out` has failed. From then on nothing more is written
// there: the C library drops its buffer when a flush fails, so a later write
// would land in the emptied buffer and come out at exit.
inline bool outputFailed(FILE *out)
{
    return ferror_unlocked(out) != 0;
}

// Flushes `out` unless it has failed.
void flushOutput(FILE *out);

// Writes `text` at `out`, which has room for it; returns its end. With
// LineBuffer::reserve, for the lines of every statement: room reserved once
// for a line's bound and filled without a check per piece costs a tenth of
// the default path's instructions less than appending piece by piece.
inline char *put(char *out, std::string_view text)
{
    memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Writes `value` in decimal at `out`, which has room for maxNumberLen bytes;
// returns its end.
template <typename Number> inline char *putNumber(char *out, Number value)
{
    return std::to_chars(out, out + maxNumberLen, value).ptr;
}

// A line of output of no fixed length, built in storage that grows as
// needed and is kept for the next line.
class LineBuffer
{
  public:
    LineBuffer() = default;
    LineBuffer(const LineBuffer &) = delete;
    LineBuffer &operator=(const LineBuffer &) = delete;
    ~LineBuffer();

    void clear()
    {
        len_ = 0;
    }
    // Room for `n` more bytes at the end; give the end of what was written
    // there to commit().
    char *reserve(size_t n)
    {
        // Even for nothing: memcpy takes no null pointer.
        if (len_ + n > capacity_ || data_ == nullptr) {
            grow(n);
        }
        return data_ + len_;
    }
    void commit(const char *end)
    {
        len_ = static_cast<size_t>(end - data_);
    }
    void append(std::string_view text)
    {
        char *out = reserve(text.size());
        // (An empty view may point nowhere, which memcpy may not be given.)
        if (!text.empty()) {
            memcpy(out, text.data(), text.size());
        }
        len_ += text.size();
    }
    void append(char c)
    {
        *reserve(1) = c;
        len_++;
    }
    template <typename Number> void appendNumber(Number value, int base = 10)
    {
        char *out = reserve(maxNumberLen);
        commit(std::to_chars(out, out + maxNumberLen, value, base).ptr);
    }
    // Appends `count` copies of `c`.
    void appendRepeated(char c, size_t count)
    {
        memset(reserve(count), c, count);
        len_ += count;
    }
    std::string_view view() const
    {
        return {data_, len_};
    }
    // The bytes written, for a reader that changes them in place.
    char *data()
    {
        return data_;
    }
    // Hands the line to `out` whole, unless the output has failed.
    void write(FILE *out) const
    {
        if (!outputFailed(out)) {
            fwrite_unlocked(data_, 1, len_, out);
        }
    }

  private:
    void grow(size_t n);

    char *data_ = nullptr;
    size_t len_ = 0;
    size_t capacity_ = 0;
};

// Writes an address as "A.B.C.D" at `out`, which has room for 15 bytes;
// returns its end. Its numbers are 0 to 255, written by hand and inline:
// every report holds four, and to_chars and a call cost a twentieth of the
// default path's instructions.
inline char *putAddress(char *out, const uint32_t addr[4])
{
    for (size_t k = 0; k < 4; k++) {
        if (k > 0) {
            *out++ = '.';
        }
        uint32_t n = addr[k];
        if (n >= 100) {
            *out++ = static_cast<char>('0' + n / 100);
        }
        if (n >= 10) {
            *out++ = static_cast<char>('0' + n / 10 % 10);
        }
        *out++ = static_cast<char>('0' + n % 10);
    }
    return out;
}

// Appends an address as "A.B.C.D".
inline void appendAddress(LineBuffer *line, const uint32_t addr[4])
{
    line->commit(putAddress(line->reserve(15), addr));
}

// Appends what is left of the descriptor `fd` to `content`, read a block
// at a time; false, with errno set, when a read fails.
bool readAll(int fd, LineBuffer *content);

#endif
