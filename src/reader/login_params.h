// The login-parameters field's grammar: the keyword, an identifier, a comma
// and a password, judged over a counted run of characters. Inline, since
// every statement's field passes here. Only the reader includes it.
#ifndef ISCSI_CONFIG_CHECK_READER_LOGIN_PARAMS_H
#define ISCSI_CONFIG_CHECK_READER_LOGIN_PARAMS_H

#include <cstddef>
#include <cstring>

#include "reader/config.h"

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

#endif
