// A stream in memory that a test hands to the checker as its output.
#ifndef ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H
#define ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H

#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/registry.h"

struct MemoryOutput {
    char *data = nullptr;
    size_t size = 0;
    FILE *file = open_memstream(&data, &size);

    ~MemoryOutput()
    {
        fclose(file);
        free(data);
    }
    // What was written so far.
    std::string text()
    {
        fflush(file);
        return {data, size};
    }
    // What `run` writes on standard output, pointed at such a stream.
    template <typename Run> static std::string ofStdout(Run run)
    {
        MemoryOutput out;
        FILE *saved = stdout;
        stdout = out.file;
        run();
        stdout = saved;
        return out.text();
    }
};

// The emitter of `format` set up for a test run: its options, and both
// streams (each taken for a terminal or not).
inline Emitter *startTestFormat(const FormatInfo *format, FILE *out, FILE *err,
                                size_t fileCount = 1, bool quiet = false,
                                bool maskPasswords = false, bool color = false,
                                bool terminals = false)
{
    EmitterSetup setup;
    setup.quiet = quiet;
    setup.maskPasswords = maskPasswords;
    setup.color = color;
    setup.fileCount = fileCount;
    setup.streams.out = out;
    setup.streams.err = err;
    setup.streams.outIsTerminal = terminals;
    setup.streams.errIsTerminal = terminals;
    return startFormat(format, setup);
}

#endif
