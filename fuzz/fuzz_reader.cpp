// Feeds arbitrary bytes through the whole reader as a file's content: any
// byte value, lines of any length, zero bytes, no final newline. The first
// byte chooses the output options and whether every warning is on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "report.h"

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
    if (size == 0) {
        return 0;
    }
    static const OutputFormat formats[] = {FORMAT_REPORT, FORMAT_GCC,
                                           FORMAT_JSON,   FORMAT_SARIF,
                                           FORMAT_GITHUB, FORMAT_TTY};
    OutputOptions options = defaultOutputOptions;
    options.format = formats[(data[0] & 7U) % 6];
    options.quiet = (data[0] & 8U) != 0;
    options.maskPasswords = (data[0] & 16U) != 0;
    options.color = (data[0] & 32U) != 0;
    WarningSet warnings = (data[0] & 64U) != 0 ? allWarnings : 0;
    data++;
    size--;

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
    // Several files in one run, to exercise the headers too.
    Reporter *reporter = makeReporter(&options, 2);
    reporter->startRun("fuzz");
    FileResult result = checkStream(file, "fuzz", reporter, warnings);
    reporter->endRun();
    fclose(file);
    // Every fault is on a line of its own: no more faults than bytes, and
    // no more warnings than a line can hold.
    if (result.result != CONFIG_OK || result.faultCount < 0 ||
        static_cast<size_t>(result.faultCount) > size ||
        static_cast<size_t>(result.warningCount) >
            maxLineWarnings * (size + 1)) {
        abort();
    }
    return 0;
}
