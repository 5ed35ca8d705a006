// The escapers of what others supply.
#include "support/escape.h"

#include <cstring>

#include "support/utf8.h"

const char upperHexDigits[] = "0123456789ABCDEF";
const char lowerHexDigits[] = "0123456789abcdef";

namespace
{

// A character of a text: its length in bytes (1 for a byte that is not part
// of valid UTF-8), and whether it is a control character: a C0 control,
// DEL, a C1 control in UTF-8 (C2 80 to C2 9F), or a lone byte from 0x80 to
// 0x9F, which a terminal may read as a C1 control.
struct Character {
    size_t len;
    bool control;
};

} // namespace

// The character that begins at byte `k` of `text`.
static Character characterAt(std::string_view text, size_t k)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    unsigned char c = bytes[k];
    size_t n = c < 0x80 ? 1 : utf8SequenceLen(bytes + k, text.size() - k);
    bool control = c < 0x20 || c == 0x7F ||
                   (n == 2 && c == 0xC2 && bytes[k + 1] < 0xA0) ||
                   (n == 0 && c < 0xA0);
    return {n == 0 ? 1 : n, control};
}

// Calls `emit` with each piece of `text` as a terminal is to see it: a
// character, or "?" for a control character but the tab.
template <typename Emit>
static void forEachShown(std::string_view text, Emit emit)
{
    size_t k = 0;
    while (k < text.size()) {
        Character character = characterAt(text, k);
        emit(character.control && text[k] != '\t'
                 ? std::string_view("?")
                 : headOf(tailOf(text, k), character.len));
        k += character.len;
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

// Appends "\u00XY" for the byte `c`.
static void appendUnicodeEscape(LineBuffer *line, unsigned char c)
{
    line->append("\\u00");
    line->append(lowerHexDigits[c >> 4]);
    line->append(lowerHexDigits[c & 0xF]);
}

// The bytes that a JSON string holds as they are: printable ASCII but the
// quote and the backslash.
static constexpr struct JsonPlain {
    bool plain[256];
    constexpr JsonPlain() : plain()
    {
        for (int c = 0x20; c < 0x7F; c++) {
            plain[c] = c != '"' && c != '\\';
        }
    }
} jsonPlain;

#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
// The bytes among sixteen at `bytes` that `special` tells, one bit each, in
// the compiler's vectors (SSE2's registers here).
template <typename Special>
static unsigned specialMask(const unsigned char *bytes, Special special)
{
    typedef char Chars __attribute__((vector_size(16)));
    Chars chunk;
    memcpy(&chunk, bytes, sizeof chunk);
    return static_cast<unsigned>(
        __builtin_ia32_pmovmskb128(reinterpret_cast<Chars>(special(chunk))));
}
#endif

// The first byte from `k` of the `len` bytes at `bytes` that `isSpecial`
// tells, or `len`: sixteen bytes at a time by `special`, which tells the
// same bytes in a vector, where the machine has SSE2 and the build does not
// ask for the byte-at-a-time scan (ICC_SCALAR_SCAN, as the reader's login
// scan); the rest one by one. Messages are mostly plain text, some fifty
// bytes long, that a byte-at-a-time loop costs some five instructions each.
template <typename IsSpecial, typename Special>
static size_t findSpecial(const unsigned char *bytes, size_t k, size_t len,
                          IsSpecial isSpecial, [[maybe_unused]] Special special)
{
#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
    while (k + 16 <= len) {
        unsigned found = specialMask(bytes + k, special);
        if (found != 0) {
            return k + static_cast<size_t>(__builtin_ctz(found));
        }
        k += 16;
    }
#endif
    while (k < len && !isSpecial(bytes[k])) {
        k++;
    }
    return k;
}

// The first byte from `k` that a JSON string does not hold as it is.
static size_t jsonPlainEnd(const unsigned char *bytes, size_t k, size_t len)
{
    return findSpecial(
        bytes, k, len, [](unsigned char c) { return !jsonPlain.plain[c]; },
        [](auto chunk) {
            // As signed bytes, those from 0x80 are below 0x20 too.
            typedef signed char Bytes __attribute__((vector_size(16)));
            auto b = reinterpret_cast<Bytes>(chunk);
            return (b < 0x20) | (b == 0x7F) | (b == '"') | (b == '\\');
        });
}

void appendJsonString(LineBuffer *line, std::string_view text)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    size_t len = text.size();
    line->append('"');
    size_t k = 0;
    while (k < len) {
        // Most text is plain ASCII, copied a run at a time.
        size_t run = jsonPlainEnd(bytes, k, len);
        line->append(headOf(tailOf(text, k), run - k));
        k = run;
        if (k == len) {
            break;
        }
        unsigned char c = bytes[k];
        if (c >= 0x80) {
            size_t n = utf8SequenceLen(bytes + k, len - k);
            if (n == 2 && c == 0xC2 && bytes[k + 1] < 0xA0) {
                appendUnicodeEscape(line, bytes[k + 1]);
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
        if (escape != nullptr) {
            line->append('\\');
            line->append(letters[escape - named]);
        } else {
            appendUnicodeEscape(line, c);
        }
    }
    line->append('"');
}

// Appends "%XY" for the byte `c`.
static void appendPercentEscape(LineBuffer *line, unsigned char c)
{
    line->append('%');
    line->append(upperHexDigits[c >> 4]);
    line->append(upperHexDigits[c & 0xF]);
}

void appendUriString(LineBuffer *line, std::string_view text)
{
    line->append('"');
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                          c == '_' || c == '~' || c == '/';
        if (unreserved) {
            line->append(byte);
        } else {
            appendPercentEscape(line, c);
        }
    }
    line->append('"');
}

// The bytes that a workflow command may need escaped: in a message (1) and
// in a property (2), where '#' is escaped only as the second of "##[", and
// where every byte that may begin a control character is looked at.
static constexpr struct CommandSpecial {
    unsigned char in[256];
    constexpr CommandSpecial() : in()
    {
        for (int c = 0; c < 256; c++) {
            in[c] = c < 0x20 || c >= 0x7F ? 2 : 0;
        }
        in[static_cast<unsigned char>('%')] = 3;
        in[static_cast<unsigned char>('\r')] = 3;
        in[static_cast<unsigned char>('\n')] = 3;
        in[static_cast<unsigned char>(':')] = 2;
        in[static_cast<unsigned char>(',')] = 2;
        in[static_cast<unsigned char>('#')] = 2;
    }
} commandSpecial;

void appendCommandEscaped(LineBuffer *line, std::string_view text,
                          bool property)
{
    // The text is copied a run at a time, up to each character to escape.
    unsigned char mask = property ? 2 : 1;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    size_t runStart = 0;
    size_t k = 0;
    while (k < text.size()) {
        k = property ? k
                     : findSpecial(
                           bytes, k, text.size(),
                           [](unsigned char b) {
                               return (commandSpecial.in[b] & 1U) != 0;
                           },
                           [](auto chunk) {
                               return (chunk == '%') | (chunk == '\r') |
                                      (chunk == '\n');
                           });
        if (k == text.size()) {
            break;
        }
        char c = text[k];
        if ((commandSpecial.in[static_cast<unsigned char>(c)] & mask) == 0) {
            k++;
            continue;
        }
        const char *escaped = nullptr;
        size_t len = 1;
        if (c == '#') {
            if (k == 0 || text[k - 1] != '#' || k + 1 == text.size() ||
                text[k + 1] != '[') {
                k++;
                continue;
            }
            escaped = "%23";
        } else if (c == '%') {
            escaped = "%25";
        } else if (c == '\r') {
            escaped = "%0D";
        } else if (c == '\n') {
            escaped = "%0A";
        } else if (c == ':' || c == ',') {
            escaped = c == ':' ? "%3A" : "%2C";
        } else {
            // In a property, any other control character as "%XX" of each
            // of its bytes, which the runner leaves as they are.
            Character character = characterAt(text, k);
            if (!character.control) {
                k += character.len;
                continue;
            }
            len = character.len;
        }
        line->append(headOf(tailOf(text, runStart), k - runStart));
        if (escaped != nullptr) {
            line->append(escaped);
        } else {
            for (char byte : headOf(tailOf(text, k), len)) {
                appendPercentEscape(line, static_cast<unsigned char>(byte));
            }
        }
        k += len;
        runStart = k;
    }
    line->append(tailOf(text, runStart));
}

void appendToldName(LineBuffer *line, std::string_view name, bool colons)
{
    for (size_t k = 0; k < name.size(); k++) {
        char c = name[k];
        if (c == '#' && k > 0 && name[k - 1] == '#' && k + 1 < name.size() &&
            name[k + 1] == '[') {
            line->append("%23");
        } else if (c == '\r') {
            line->append("%0D");
        } else if (c == '\n') {
            line->append("%0A");
        } else if (colons && c == ':') {
            line->append("%3A");
        } else {
            line->append(c);
        }
    }
}

void appendName(LineBuffer *line, std::string_view name, NameStyle style,
                bool terminal)
{
    switch (style) {
    case NameStyle::asGiven:
        appendUntrusted(line, name, terminal);
        break;
    case NameStyle::command: {
        LineBuffer escaped;
        appendCommandEscaped(&escaped, name, true);
        appendUntrusted(line, escaped.view(), terminal);
        break;
    }
    case NameStyle::json:
        appendJsonString(line, name);
        break;
    case NameStyle::uri:
        appendUriString(line, name);
        break;
    }
}
