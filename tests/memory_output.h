// A stream in memory that a test hands to the checker as its output.
#ifndef ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H
#define ISCSI_CONFIG_CHECK_MEMORY_OUTPUT_H

#include <cstdio>
#include <cstdlib>
#include <string>

class MemoryOutput
{
  public:
    MemoryOutput() : file_(open_memstream(&data_, &size_))
    {
    }
    MemoryOutput(const MemoryOutput &) = delete;
    MemoryOutput &operator=(const MemoryOutput &) = delete;
    ~MemoryOutput()
    {
        fclose(file_);
        free(data_);
    }
    FILE *file() const
    {
        return file_;
    }
    // What was written so far.
    std::string text()
    {
        fflush(file_);
        return {data_, size_};
    }
    // What `run` writes on standard output, which points at such a stream
    // meanwhile.
    template <typename Run> static std::string ofStdout(Run run)
    {
        MemoryOutput out;
        FILE *saved = stdout;
        stdout = out.file();
        run();
        stdout = saved;
        return out.text();
    }

  private:
    char *data_ = nullptr;
    size_t size_ = 0;
    FILE *file_;
};

#endif
