// The login parameter check as the reader's interface offers it, and what a
// login-parameter fault's message names.
#include "reader/login_params.h"

FaultKind findLoginParamsFault(const char *field, size_t len)
{
    size_t at = 0;
    return judgeLoginParams(field, len, &at);
}

FaultKind findLoginParamsFault(const char *field, size_t len, size_t *at)
{
    size_t found = 0;
    FaultKind fault = judgeLoginParams(field, len, &found);
    *at = fault == FAULT_NONE ? 0 : found;
    return fault;
}

FaultDetail faultDetail(const Verdict *verdict)
{
    if (verdict->fault < FAULT_MISSING_LOGIN_PARAMS) {
        return {verdict->charCode, 0};
    }
    // The fault's place in the field, which starts where the verdict's
    // piece holds it.
    const char *field = verdict->loginParams;
    size_t len = verdict->loginParamsLen;
    size_t at = verdict->pos - verdict->source.offset -
                static_cast<size_t>(field - verdict->source.text);
    FaultDetail detail = {at < len ? static_cast<unsigned char>(field[at]) : 0U,
                          0};
    if (verdict->fault == FAULT_MISSING_KEYWORD) {
        detail.value = static_cast<unsigned char>(loginKeyword[at]);
    } else if (verdict->fault == FAULT_IDENTIFIER_TOO_LONG) {
        size_t end = loginKeywordLen;
        while (end < len && isIdentifierChar(field[end])) {
            end++;
        }
        detail.value = end - loginKeywordLen;
    }
    return detail;
}
