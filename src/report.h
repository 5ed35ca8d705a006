// Output of the checker: a reporter turns the events of a run (its start,
// each file, the verdict on each line, a file that could not be read, the
// end) into the bytes of one output format. Only the reporters write standard
// output; the reader returns verdicts.
#ifndef ISCSI_CONFIG_CHECK_REPORT_H
#define ISCSI_CONFIG_CHECK_REPORT_H

#include <cstddef>
#include <cstdio>

#include "config.h"

enum OutputFormat {
    FORMAT_REPORT, // banner, reports and diagnostics ("line N, ...")
    FORMAT_GCC,    // diagnostics only, as FILE:LINE:COLUMN: error: MESSAGE
    FORMAT_JSON,   // JSON Lines: a diagnostic or a target per line
    FORMAT_SARIF,  // one SARIF 2.1.0 log for the run
    FORMAT_GITHUB, // workflow annotations of CI systems
    FORMAT_TTY,    // gcc's lines with the source line and a caret, a summary
};

struct OutputOptions {
    OutputFormat format;
    bool quiet;         // no banner and no reports
    bool maskPasswords; // passwords in reports replaced by a fixed mask
    bool color;         // the tty format colours its output
};

// The output with no option given.
extern const OutputOptions defaultOutputOptions;

// The events of one run, in this order: startRun; for each file startFile,
// then reportVerdict for each statement or reportFileFailure, then endFile;
// endRun. Each format implements them; by default an event prints nothing.
// Reporters live in static storage, so that the checker needs no heap and
// no C++ runtime library: they are never deleted through this interface.
class Reporter
{
  public:
    Reporter(const Reporter &) = delete;
    Reporter &operator=(const Reporter &) = delete;

    // `programName` is the name the checker was started under.
    virtual void startRun(const char *programName);
    virtual void startFile(const char *name);
    virtual void reportVerdict(const Verdict *verdict);
    // The file could not be opened (CONFIG_OPEN_FAILED) or read
    // (CONFIG_READ_FAILED): "failed to open file NAME" or "failed to read
    // file NAME" on standard error, in every format.
    virtual void reportFileFailure(const char *name, int result);
    virtual void endFile();
    virtual void endRun();

  protected:
    Reporter() = default;
    ~Reporter() = default;
};

// The reporter of `options->format`, set up for a run that checks
// `fileCount` files. Each format has one reporter; a later call sets it up
// anew.
Reporter *makeReporter(const OutputOptions *options, size_t fileCount);

// What checking one file found.
struct FileResult {
    int result;             // a ConfigResult
    long long faultCount;   // statements with a fault
    long long warningCount; // warnings
};

// Opens, reads and closes the file `name`, handing its events to `reporter`
// (startFile to endFile), with the warnings in `warnings`.
FileResult checkFile(const char *name, Reporter *reporter,
                     WarningSet warnings = 0);

// checkFile on an already opened stream, named `name`, which is left open;
// a null `file` is one that could not be opened. `readBlockSize` as in
// ReaderHooks.
FileResult checkStream(FILE *file, const char *name, Reporter *reporter,
                       WarningSet warnings = 0, size_t readBlockSize = 0);

// Prints the outcome of one verdict in the report format: the report of a
// sound statement (unless `options->quiet`) or the diagnostic.
void printReportLine(const Verdict *verdict, const OutputOptions *options);

// True once a write to standard output has failed. From then on nothing more
// is written there: the C library drops its buffer when a flush fails, so a
// later write would land in the emptied buffer and come out at exit.
// (Inline: both run for every line of output.)
inline bool outputFailed()
{
    return ferror_unlocked(stdout) != 0;
}

// Hands the bytes from `start` to `end`, one whole line or more, to standard
// output, unless the output has failed.
inline void writeOutput(const char *start, const char *end)
{
    if (!outputFailed()) {
        fwrite_unlocked(start, 1, static_cast<size_t>(end - start), stdout);
    }
}

// Flushes standard output unless it has failed.
void flushOutput();

#endif
