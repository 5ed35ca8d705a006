// Feeds arbitrary bytes through the whole reader as a file's content: any
// byte value, lines of any length, zero bytes, no final newline. The first
// byte chooses the options (quiet, masked passwords, colour, every warning,
// directives obeyed, streams taken for terminals) and the second the output
// format, from the table of formats: a new format is fuzzed too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "diagnose/inspect.h"
#include "formats/registry.h"
#include "reader/config.h"

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
    if (size < 2) {
        return 0;
    }
    const FormatInfo *format = &formatTable[data[1] % formatCount];
    EmitterSetup setup;
    setup.quiet = (data[0] & 8U) != 0;
    setup.maskPasswords = (data[0] & 16U) != 0;
    setup.color = (data[0] & 32U) != 0;
    setup.fileCount = 2;
    setup.streams.err = stdout;
    setup.streams.outIsTerminal = (data[0] & 4U) != 0;
    setup.streams.errIsTerminal = (data[0] & 4U) != 0;
    InspectOptions options;
    options.warnings = (data[0] & 64U) != 0 ? allWarnings : 0;
    options.directives = (data[0] & 128U) == 0;
    data += 2;
    size -= 2;

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
    Emitter *reporter = startFormat(format, setup);
    reporter->beginRun("fuzz");
    FileStatus status = inspectStream(file, "fuzz", reporter, options);
    reporter->endRun();
    fclose(file);
    // Every fault is on a line of its own: no more faults than bytes, and
    // no more warnings than a line can hold.
    if (status != FileStatus::ok ||
        static_cast<size_t>(reporter->errorCount()) > size ||
        static_cast<size_t>(reporter->warningCount()) >
            maxLineWarnings * (size + 1)) {
        abort();
    }
    return 0;
}
