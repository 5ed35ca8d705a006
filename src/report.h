// Output of the checker. The reader's verdicts are turned, once, into
// finished diagnostics (check, line, column and the whole message) and the
// targets of sound statements; a reporter turns those and the other events
// of a run into the bytes of one output format.
#ifndef ISCSI_CONFIG_CHECK_REPORT_H
#define ISCSI_CONFIG_CHECK_REPORT_H

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "checks.h"
#include "config.h"
#include "format.h"

// One diagnostic, finished: formats only lay it out.
struct Diagnostic {
    const CheckInfo *check;
    long long lineNum;
    size_t pos;                // zero-based byte offset in the physical line
    std::string_view message;  // the whole text, values filled in
    const SourcePiece *source; // the piece of the line judged
};

// Where a password may begin on the physical line of `piece`, as far as the
// line has been read: the byte after its first comma, or on a line without
// one, after its first colon; noPosition on a line with neither. Every byte
// from there on is hidden wherever a line is shown.
size_t hidePoint(const SourcePiece &piece);

// A sound statement: what it defines.
struct Target {
    long long lineNum;
    const uint32_t *addr; // four numbers, 0 to 255
    uint32_t port;
    int32_t nConnections;
    // The login-parameters field, and the field with the rest of its line.
    std::string_view loginParams;
    std::string_view rest;
};

// How the check of one file ended.
enum class FileStatus {
    ok = 0,
    openFailed = 1,  // the file could not be opened
    readFailed = 2,  // reading failed part-way
    writeFailed = 3, // the output failed, which ends the run
    isOutput = 4,    // the file is the output itself, and is not read
};

// The words before the name in the message of a file that could not be
// read: "failed to open file", "failed to read file", "input file is output
// file".
const char *failureText(FileStatus status);

// The name of such a failure as a record of the run ("open-failed",
// "read-failed", "input-is-output"), and its message there: "failed to open
// file: REASON", "input file is output file".
const char *failureCheck(FileStatus status);
void appendFailureMessage(LineBuffer *line, FileStatus status, int errorNumber);

// What every format is given when it is set up for a run.
struct ReporterSetup {
    bool quiet;         // no banner and no reports
    bool maskPasswords; // passwords in reports replaced by a fixed mask
    bool color;         // the tty format colours its output
    size_t fileCount;   // files the run checks
    FILE *out;          // where the format writes
    FILE *err;          // where failures of the run are told
    // Each stream is a terminal: what files and their names supply is
    // written there with its control characters as '?'.
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

// The events of one run, in this order: startRun; for each file startFile,
// then reportTarget or reportDiagnostic for each line's outcome and each of
// its warnings, or reportFileFailure, then endFile; endRun. Each format
// overrides what it prints; by default an event prints nothing. Reporters
// live in static storage, so that the checker needs no heap and no C++
// runtime library: they are never deleted through this interface.
class Reporter
{
  public:
    Reporter(const Reporter &) = delete;
    Reporter &operator=(const Reporter &) = delete;

    // Sets the reporter up for a run, its own state included; each format's
    // factory calls it.
    Reporter *setUp(const ReporterSetup &setup)
    {
        setup_ = setup;
        errorCount_ = 0;
        warningCount_ = 0;
        reset();
        return this;
    }

    // `programName` is the name the checker was started under.
    virtual void startRun(const char * /*programName*/)
    {
    }
    virtual void startFile(const char * /*name*/)
    {
    }
    virtual void reportTarget(const Target & /*target*/)
    {
    }
    // Counts the diagnostic, then lets the format emit it.
    void reportDiagnostic(const Diagnostic &diagnostic)
    {
        if (diagnostic.check->severity == Severity::error) {
            errorCount_++;
        } else {
            warningCount_++;
        }
        emitDiagnostic(diagnostic);
    }
    // The file could not be opened or read, or is the output: "failed to
    // open file NAME", "failed to read file NAME" or "input file is output
    // file NAME" on the error stream, in every format, with ": REASON"
    // after it where the system gave one (`errorNumber` not 0).
    virtual void reportFileFailure(const char *name, FileStatus status,
                                   int errorNumber);
    virtual void endFile()
    {
    }
    virtual void endRun()
    {
    }
    // The run ends at once, for want of memory: a format whose output is
    // one document closes it, without allocating, so that it stays valid.
    virtual void abandonRun()
    {
    }

    long long errorCount() const
    {
        return errorCount_;
    }
    long long warningCount() const
    {
        return warningCount_;
    }
    FILE *output() const
    {
        return setup_.out;
    }

  protected:
    Reporter() = default;
    ~Reporter() = default;
    // Writes "TEXT NAME: REASON" on the error stream for a file that could
    // not be read, the name as the format shows it.
    void tellFileFailure(std::string_view shownName, FileStatus status,
                         int errorNumber);
    // Sets the format's own state up for a run.
    virtual void reset()
    {
    }
    virtual void emitDiagnostic(const Diagnostic & /*diagnostic*/)
    {
    }

    ReporterSetup setup_ = {false, false, false, 0, stdout, stderr};

  private:
    long long errorCount_ = 0;
    long long warningCount_ = 0;
};

// How the lines of a file are judged: the warnings asked for, and whether
// the file's directives may turn them off.
struct InspectOptions {
    WarningSet warnings = 0;
    bool directives = true;

    // cppcheck-suppress noExplicitConstructor ; a set of warnings is one
    InspectOptions(WarningSet asked = 0, bool obeyed = true) // NOLINT
        : warnings(asked), directives(obeyed)
    {
    }
};

// Opens, reads and closes the file `name`, handing its events to `reporter`
// (startFile to endFile).
FileStatus inspectFile(const char *name, Reporter *reporter,
                       const InspectOptions &options = {});

// inspectFile on an already opened stream, named `name`, which is left
// open, unless it is the reporter's output itself.
FileStatus inspectOpened(FILE *file, const char *name, Reporter *reporter,
                         const InspectOptions &options);

// inspectOpened without the check that the stream is not the output; a
// null `file` is one that could not be opened, for the reason `errno` gives.
// `readBlockSize` as in ReaderHooks.
FileStatus inspectStream(FILE *file, const char *name, Reporter *reporter,
                         const InspectOptions &options = {},
                         size_t readBlockSize = 0);

#endif
