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

// findLoginParamsFault, which also sets `*comma` to the comma's position in
// a sound field.
inline FaultKind judgeLoginParams(const char *field, size_t len, size_t *comma)
{
    if (len == 0) {
        return FAULT_MISSING_LOGIN_PARAMS;
    }
    if (len < loginKeywordLen ||
        memcmp(field, loginKeyword, loginKeywordLen) != 0) {
        return FAULT_MISSING_KEYWORD;
    }
    // The identifier ends at a comma no later than lastCommaPos.
    size_t scanEnd = len < identifierScanEnd ? len : identifierScanEnd;
    size_t at = loginKeywordLen;
    while (at < scanEnd && isIdentifierChar(field[at])) {
        at++;
    }
    if (at > lastCommaPos) {
        return FAULT_IDENTIFIER_TOO_LONG;
    }
    if (at == len) {
        return FAULT_MISSING_COMMA;
    }
    if (field[at] != ',') {
        return FAULT_IDENTIFIER_CHAR;
    }
    if (at == loginKeywordLen) {
        return FAULT_MISSING_IDENTIFIER;
    }
    *comma = at;
    size_t pos = at + 1;
    scanEnd = len < pos + maxPasswordLen ? len : pos + maxPasswordLen;
    while (pos < scanEnd) {
        if (!isIdentifierChar(field[pos])) {
            return FAULT_PASSWORD_CHAR;
        }
        pos++;
    }
    if (pos == len) {
        return FAULT_NONE;
    }
    return isIdentifierChar(field[pos]) ? FAULT_PASSWORD_TOO_LONG
                                        : FAULT_CHARS_AFTER_PASSWORD;
}

#endif
