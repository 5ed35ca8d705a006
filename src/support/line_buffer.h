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
#include <type_traits>

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

// Standard output's own buffer, once main() has taken it
// (takeStandardOutput): every line of every format is copied into it and it
// goes out with write(2), where the C library's stream costs a tenth of the
// default path in its calls. It keeps what that stream did: blocks of its
// size to a file or a pipe, each write at once to a terminal, nothing more
// once a write has failed, and whatever it holds written by flushOutput.
// Other streams (standard error, and a test's stream in memory) go through
// the C library.
struct OwnOutput {
    static constexpr size_t size = 65536;
    FILE *file = nullptr; // the stream it stands for, once taken
    size_t len = 0;       // bytes held
    // Bytes a write may add without a system call: none on a terminal and
    // after a failure, so that those take the slow path.
    size_t room = 0;
    bool failed = false;
    bool terminal = false;
    char data[size];
};
extern OwnOutput ownOutput;

// Takes standard output over: from now on what is written to `stdout` here
// goes through ownOutput.
void takeStandardOutput();

// Writes to ownOutput what its room does not hold.
void writeOwnOutput(std::string_view text);

// True once a write to `out` has failed. From then on nothing more is written
// there: the C library drops its buffer when a flush fails, so a later write
// would land in the emptied buffer and come out at exit; ownOutput does the
// same.
inline bool outputFailed(FILE *out)
{
    return out == ownOutput.file ? ownOutput.failed : ferror_unlocked(out) != 0;
}

// Writes `text` to `out`, unless it has failed.
inline void writeOutput(FILE *out, std::string_view text)
{
    if (out != ownOutput.file) {
        if (!text.empty() && ferror_unlocked(out) == 0) {
            (void)fwrite_unlocked(text.data(), 1, text.size(), out);
        }
    } else if (text.size() <= ownOutput.room && !text.empty()) {
        memcpy(ownOutput.data + ownOutput.len, text.data(), text.size());
        ownOutput.len += text.size();
        ownOutput.room -= text.size();
    } else {
        writeOwnOutput(text);
    }
}

// Flushes `out` unless it has failed.
void flushOutput(FILE *out);

// Flushes standard output and closes it; false if anything written there
// failed to reach it.
bool closeStandardOutput();

// Writes `text` at `out`, which has room for it; returns its end. With
// LineBuffer::reserve, for the lines of every statement: room reserved once
// for a line's bound and filled without a check per piece costs a tenth of
// the default path's instructions less than appending piece by piece.
inline char *put(char *out, std::string_view text)
{
    memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The two digits of every number from 0 to 99, in order.
inline constexpr struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text()
    {
        for (size_t n = 0; n < 100; n++) {
            text[2 * n] = static_cast<char>('0' + n / 10);
            text[2 * n + 1] = static_cast<char>('0' + n % 10);
        }
    }
} digitPairs;

// Ten to the power of each index, for the count of digits of a number.
inline constexpr struct PowersOfTen {
    uint64_t value[20];
    constexpr PowersOfTen() : value()
    {
        uint64_t power = 1;
        for (uint64_t &entry : value) {
            entry = power;
            power *= 10;
        }
    }
} powersOfTen;

// Writes `value` in decimal at `out`; returns its end. By pairs of digits
// from a table, after short paths for the small numbers that most lines
// hold (counts, positions, lengths, ports): a general formatter costs four
// times as much on those.
inline char *putDecimal(char *out, uint64_t value)
{
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value < 100) {
        memcpy(out, digitPairs.text + 2 * value, 2);
        return out + 2;
    }
    if (value < 10000) {
        auto small = static_cast<uint32_t>(value);
        size_t high = small / 100U;
        size_t low = small % 100U;
        if (high < 10) {
            *out = static_cast<char>('0' + high);
            memcpy(out + 1, digitPairs.text + 2 * low, 2);
            return out + 3;
        }
        memcpy(out, digitPairs.text + 2 * high, 2);
        memcpy(out + 2, digitPairs.text + 2 * low, 2);
        return out + 4;
    }
    // The digits: from the count of bits, 1233 / 4096 being just under
    // log10(2), one too many at most.
    auto bits = static_cast<unsigned>(64 - __builtin_clzll(value));
    unsigned len = (bits * 1233U) >> 12U;
    len += value >= powersOfTen.value[len] ? 1U : 0U;
    char *end = out + len;
    char *at = end;
    while (value >= 100) {
        at -= 2;
        memcpy(at, digitPairs.text + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        memcpy(at - 2, digitPairs.text + 2 * value, 2);
    } else {
        at[-1] = static_cast<char>('0' + value);
    }
    return end;
}

// Writes `value` in decimal at `out`, which has room for maxNumberLen bytes;
// returns its end.
template <typename Number> inline char *putNumber(char *out, Number value)
{
    static_assert(sizeof(Number) <= sizeof(uint64_t), "a 64-bit number");
    auto magnitude = static_cast<uint64_t>(value);
    if constexpr (std::is_signed_v<Number>) {
        if (value < 0) {
            *out++ = '-';
            magnitude = 0 - magnitude;
        }
    }
    return putDecimal(out, magnitude);
}

// The decimal text of a number that most often grows by one from one line of
// output to the next, as a file's line numbers do: kept from one call to the
// next and counted up in place, which costs a few instructions where writing
// it anew costs some forty (a division for each pair of digits).
class CountedDecimal
{
  public:
    // Writes `number`, which is not negative, in decimal at `out`, which has
    // room for maxNumberLen bytes; returns its end.
    template <typename Number> char *put(char *out, Number number)
    {
        auto value = static_cast<uint64_t>(number);
        if (value != value_) {
            if (value != value_ + 1 || !countUp()) {
                len_ = static_cast<size_t>(putDecimal(text_, value) - text_);
            }
            value_ = value;
        }
        // The whole text, whatever its length: a copy of fixed size is a
        // few moves, one of the length a call.
        memcpy(out, text_, sizeof text_);
        return out + len_;
    }

  private:
    // Adds one to the text; false when it needs one digit more (all nines,
    // which are zeros now).
    bool countUp()
    {
        for (size_t k = len_; k-- > 0;) {
            if (text_[k] != '9') {
                text_[k]++;
                return true;
            }
            text_[k] = '0';
        }
        return false;
    }

    uint64_t value_ = 0;
    char text_[maxNumberLen] = {'0'};
    size_t len_ = 1;
};

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
        commit(base == 10
                   ? putNumber(out, value)
                   : std::to_chars(out, out + maxNumberLen, value, base).ptr);
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
        writeOutput(out, view());
    }
    // Room for a line of at most `n` bytes bound for `out`, in place of
    // clear() and reserve(): in standard output's own buffer when that has
    // the room, so that the line is not copied again, else here. Give the
    // end of what was written there to send().
    char *reserveLine(const FILE *out, size_t n)
    {
        inOutput_ = out == ownOutput.file && n <= ownOutput.room;
        if (inOutput_) {
            return ownOutput.data + ownOutput.len;
        }
        clear();
        return reserve(n);
    }
    // Hands the line begun by reserveLine, which ends at `end`, to `out`.
    void send(FILE *out, const char *end)
    {
        if (inOutput_) {
            auto n =
                static_cast<size_t>(end - (ownOutput.data + ownOutput.len));
            ownOutput.len += n;
            ownOutput.room -= n;
            return;
        }
        commit(end);
        write(out);
    }

  private:
    void grow(size_t n);

    char *data_ = nullptr;
    size_t len_ = 0;
    size_t capacity_ = 0;
    bool inOutput_ = false; // the line begun is in standard output's buffer
};

// Each number from 0 to 255 in decimal followed by a dot, in four bytes,
// and its length without the dot.
inline constexpr struct OctetTexts {
    char text[256][4];
    unsigned char len[256];
    constexpr OctetTexts() : text(), len()
    {
        for (int n = 0; n < 256; n++) {
            int k = 0;
            if (n >= 100) {
                text[n][k++] = static_cast<char>('0' + n / 100);
            }
            if (n >= 10) {
                text[n][k++] = static_cast<char>('0' + n / 10 % 10);
            }
            text[n][k++] = static_cast<char>('0' + n % 10);
            text[n][k] = '.';
            len[n] = static_cast<unsigned char>(k);
        }
    }
} octetTexts;

// Writes an address as "A.B.C.D" at `out`, which has room for 16 bytes;
// returns its end. Its numbers are 0 to 255, each copied from a table with
// its dot: every report holds four.
inline char *putAddress(char *out, const uint32_t addr[4])
{
    for (size_t k = 0; k < 4; k++) {
        uint32_t n = addr[k] & 0xFFU;
        memcpy(out, octetTexts.text[n], 4);
        out += octetTexts.len[n] + (k < 3 ? 1 : 0);
    }
    return out;
}

// Appends an address as "A.B.C.D".
inline void appendAddress(LineBuffer *line, const uint32_t addr[4])
{
    line->commit(putAddress(line->reserve(16), addr));
}

// Appends what is left of the descriptor `fd` to `content`, read a block
// at a time; false, with errno set, when a read fails.
bool readAll(int fd, LineBuffer *content);

#endif
