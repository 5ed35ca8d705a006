// Judges arbitrary login-parameter fields: the first two bytes choose a length
// no greater than the rest, which is copied into a buffer of exactly its own
// size so that any read past the count is caught; a fault found lies in the
// field or just past it. The same bytes, ended by a zero byte, are also a
// statement's field found and judged in one pass, sixteen bytes at a time
// and one by one, which must tell what the field judged whole tells.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "reader/config.h"
#include "reader/login_params.h"

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

    std::unique_ptr<char[]> line(new char[restSize + 1]);
    if (restSize > 0) {
        memcpy(line.get(), data + 2, restSize);
    }
    line[restSize] = '\0';
    size_t wholeLen = strcspn(line.get(), " \t");
    size_t wholeAt = 0;
    FaultKind whole = judgeLoginParams(line.get(), wholeLen, &wholeAt);
    size_t lens[2] = {};
    size_t ats[2] = {};
    FaultKind faults[2] = {
        judgeLoginField<true>(line.get(), 0, restSize + 1, &lens[0], &ats[0]),
        judgeLoginField<false>(line.get(), 0, restSize + 1, &lens[1], &ats[1])};
    for (int k = 0; k < 2; k++) {
        if (faults[k] != whole || lens[k] != wholeLen || ats[k] != wholeAt) {
            abort();
        }
    }
    return 0;
}
