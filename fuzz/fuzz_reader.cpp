// Feeds arbitrary bytes through the whole reader as a file's content: any
// byte value, lines of any length, zero bytes, no final newline.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reports are not examined here; discarding them keeps runs fast.
    if (freopen("/dev/null", "w", stdout) == nullptr) {
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // fmemopen wants a writable buffer of at least one byte.
    std::vector<char> content(data, data + size);
    content.push_back('\0');
    FILE *file = fmemopen(content.data(), size == 0 ? 1 : size, "r");
    if (file == nullptr) {
        abort();
    }
    if (size == 0) {
        // An empty file: consume the placeholder byte so nothing is read.
        fgetc(file);
    }
    int result = readConfigStream(file, "fuzz");
    fclose(file);
    if (result != CONFIG_OK) {
        abort();
    }
    return 0;
}
