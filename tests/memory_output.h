// A stream in memory that a test hands to the checker as its output.
#ifndef ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H
#define ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H

#include <cstdio>
#include <cstdlib>
#include <string>

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

#endif
