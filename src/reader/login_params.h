// The login-parameters field's grammar: the keyword, an identifier, a comma
// and a password, judged over a counted run of characters. Inline, since
// every statement's field passes here. Only the reader includes it.
#ifndef ISCSI_CONFIG_CHECK_READER_LOGIN_PARAMS_H
#define ISCSI_CONFIG_CHECK_READER_LOGIN_PARAMS_H

#include <cstddef>
#include <cstring>

#include "reader/config.h"

// Sixteen bytes at a time where the machine has SSE2 (every x86-64) and the
// build does not ask for the byte-at-a-time scan (ICC_SCALAR_SCAN, which CI
// builds to test the scalar path on x86-64 too).
#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
constexpr bool vectorScan = true;
#else
constexpr bool vectorScan = false;
#endif

// Login-parameters grammar: the keyword, an identifier of at most
// maxIdentifierLen characters (so its comma stands at lastCommaPos at the
// latest), a comma and a password of at most maxPasswordLen characters.
constexpr size_t maxIdentifierLen = 63;
constexpr size_t lastCommaPos = loginKeywordLen + maxIdentifierLen;
constexpr size_t identifierScanEnd = lastCommaPos + 1;
constexpr size_t maxPasswordLen = 16;

// Builds the table of characters allowed in an identifier or a password:
// ASCII letters and digits, ".", "-" and "_".
inline constexpr struct IdentifierTable {
    bool allowed[256];
    constexpr IdentifierTable() : allowed()
    {
        for (int c = 0; c < 256; c++) {
            allowed[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                         c == '_';
        }
    }
} identifierTable;

// True for a character allowed in an identifier or a password.
inline bool isIdentifierChar(char c)
{
    return identifierTable.allowed[static_cast<unsigned char>(c)];
}

// The position of the first byte from `pos` that is not an identifier
// character: the first `readable` bytes of `text` may be read, and one of
// them from `pos` on is not one (a zero byte that ends the text does).
// With `vector`, sixteen bytes are told at once while they lie within
// `readable`, and the rest one by one; without, all one by one. Both give
// the same position: the tests and the fuzz targets run both.
template <bool vector = vectorScan>
inline size_t skipIdentifierChars(const char *text, size_t pos, size_t readable)
{
#if defined(__SSE2__) && !defined(ICC_SCALAR_SCAN)
    if (vector) {
        // Letters (either case, by setting bit 0x20) and digits by a signed
        // compare after moving their range to the bottom of the signed
        // bytes; '.', '-' and '_' each by equality. Sixteen bytes in the
        // compiler's vectors, which are SSE2's registers here.
        typedef char Chars __attribute__((vector_size(16)));
        typedef signed char Bytes __attribute__((vector_size(16)));
        // Adding 128 - 'a' (wrapping) moves 'a' to -128, so the letters
        // are the bytes then below -128 + 26; likewise the digits.
        constexpr signed char toLetters = 128 - 'a';
        constexpr signed char lettersEnd = -128 + 26;
        constexpr signed char toDigits = 128 - '0';
        constexpr signed char digitsEnd = -128 + 10;
        while (pos + 16 <= readable) {
            Bytes bytes;
            memcpy(&bytes, text + pos, sizeof bytes);
            Bytes letter = ((bytes | 0x20) + toLetters) < lettersEnd;
            Bytes digit = (bytes + toDigits) < digitsEnd;
            Bytes marks = (bytes == '.') | (bytes == '-') | (bytes == '_');
            auto allowed = static_cast<unsigned>(__builtin_ia32_pmovmskb128(
                reinterpret_cast<Chars>(letter | digit | marks)));
            if (allowed != 0xFFFFU) {
                return pos + static_cast<size_t>(__builtin_ctz(~allowed));
            }
            pos += 16;
        }
    }
#else
    (void)readable;
#endif
    while (isIdentifierChar(text[pos])) {
        pos++;
    }
    return pos;
}

// Where the field first differs from the keyword, which it does not begin
// with: the first character that differs, or the field's end when it is
// the keyword's beginning. Not inlined: in the statements' path, its loop
// would cost sound statements a few instructions each.
[[gnu::noinline]] inline size_t keywordMismatch(const char *field, size_t len)
{
    size_t at = 0;
    while (at < len && at < loginKeywordLen && field[at] == loginKeyword[at]) {
        at++;
    }
    return at;
}

// findLoginParamsFault: sets `*at` to the comma's position in a sound field,
// and to the fault's in a faulty one, as findLoginParamsFault tells it.
inline FaultKind judgeLoginParams(const char *field, size_t len, size_t *at)
{
    if (len == 0) {
        *at = 0;
        return FAULT_MISSING_LOGIN_PARAMS;
    }
    if (len < loginKeywordLen ||
        memcmp(field, loginKeyword, loginKeywordLen) != 0) {
        *at = keywordMismatch(field, len);
        return FAULT_MISSING_KEYWORD;
    }
    // The identifier ends at a comma no later than lastCommaPos.
    size_t scanEnd = len < identifierScanEnd ? len : identifierScanEnd;
    size_t pos = loginKeywordLen;
    while (pos < scanEnd && isIdentifierChar(field[pos])) {
        pos++;
    }
    if (pos > lastCommaPos) {
        *at = lastCommaPos; // the 64th identifier character
        return FAULT_IDENTIFIER_TOO_LONG;
    }
    *at = pos; // the comma, or where it is missing, or what stands there
    if (pos == len) {
        return FAULT_MISSING_COMMA;
    }
    if (field[pos] != ',') {
        return FAULT_IDENTIFIER_CHAR;
    }
    if (pos == loginKeywordLen) {
        return FAULT_MISSING_IDENTIFIER;
    }
    pos++;
    scanEnd = len < pos + maxPasswordLen ? len : pos + maxPasswordLen;
    while (pos < scanEnd) {
        if (!isIdentifierChar(field[pos])) {
            *at = pos;
            return FAULT_PASSWORD_CHAR;
        }
        pos++;
    }
    if (pos == len) {
        return FAULT_NONE;
    }
    *at = pos; // the 17th password character
    return isIdentifierChar(field[pos]) ? FAULT_PASSWORD_TOO_LONG
                                        : FAULT_CHARS_AFTER_PASSWORD;
}

// The blanks that end the login-parameters field, for strcspn. Aligned:
// libc's SSE4.2 strcspn loads the set in one step from an aligned address,
// and takes a longer path, on every statement, from one that the layout of
// the constants around it happens to give.
alignas(16) inline constexpr char loginFieldEnds[] = " \t";

// True for a byte that ends the login-parameters field: a blank, or the
// zero byte that ends the statement.
inline bool endsLoginField(char c)
{
    return c == ' ' || c == '\t' || c == '\0';
}

// Finds the login-parameters field that starts at `start` in `line`, whose
// first `readable` bytes may be read and hold a zero byte from `start` on,
// and judges it: sets `*len` to the field's length (up to a blank or the
// zero byte) and `*at` as judgeLoginParams does, and returns the fault. A
// sound field is told in one pass: the keyword, the identifier up to its
// comma and the password up to the field's end, each scan finding the
// first byte outside the set at once; anything else is judged as before,
// the field's end found first, so that every fault and position is the
// same.
template <bool vector = vectorScan>
inline FaultKind judgeLoginField(const char *line, size_t start,
                                 size_t readable, size_t *len, size_t *at)
{
    if (readable - start >= loginKeywordLen &&
        memcmp(line + start, loginKeyword, loginKeywordLen) == 0) {
        size_t idStart = start + loginKeywordLen;
        size_t comma = skipIdentifierChars<vector>(line, idStart, readable);
        if (line[comma] == ',' && comma != idStart &&
            comma - start <= lastCommaPos) {
            size_t end = skipIdentifierChars<vector>(line, comma + 1, readable);
            if (end - comma - 1 <= maxPasswordLen &&
                endsLoginField(line[end])) {
                *len = end - start;
                *at = comma - start;
                return FAULT_NONE;
            }
        }
    }
    *len = strcspn(line + start, loginFieldEnds);
    return judgeLoginParams(line + start, *len, at);
}

#endif
