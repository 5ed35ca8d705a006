// The login parameter check as the reader's interface offers it.
#include "reader/login_params.h"

FaultKind findLoginParamsFault(const char *field, size_t len)
{
    size_t comma = 0;
    return judgeLoginParams(field, len, &comma);
}
