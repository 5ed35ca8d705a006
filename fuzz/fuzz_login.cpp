// Judges arbitrary login-parameter fields: the first two bytes choose a length
// no greater than the rest, which is copied into a buffer of exactly its own
// size so that any read past the count is caught; a fault found lies in the
// field or just past it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "reader/config.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (freopen("/dev/null", "w", stdout) == nullptr) {
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    size_t restSize = size - 2;
    size_t len =
        (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) %
        (restSize + 1);
    std::unique_ptr<char[]> field(new char[restSize]);
    if (restSize > 0) {
        memcpy(field.get(), data + 2, restSize);
    }
    const char *counted = restSize == 0 ? nullptr : field.get();
    int result = checkLoginParams(1, counted, len);
    if (result != 0 && result != -1) {
        abort();
    }
    // A fault lies in the field, or just past it.
    size_t at = 0;
    FaultKind fault = findLoginParamsFault(counted, len, &at);
    if ((fault == FAULT_NONE) != (result == 0) || at > len) {
        abort();
    }
    return 0;
}
