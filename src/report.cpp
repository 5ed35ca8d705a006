// What every output format shares: the events' default handling, the writes
// to standard output, and the check of one file from its opening to its
// closing.
#include "report.h"

#include <cstdio>
#include <cstdlib>

#include "format.h"

const OutputOptions defaultOutputOptions = {FORMAT_REPORT, false, false};

void flushOutput()
{
    if (!outputFailed()) {
        (void)fflush(stdout);
    }
}

char *lineStorage(size_t len)
{
    static char *storage = nullptr;
    static size_t capacity = 0;
    if (len > capacity) {
        void *grown = realloc(storage, len);
        // As operator new would: no output can be built without it. (An
        // allocation the size of a name does not fail in the tests.)
        if (grown == nullptr) {
            abort(); // GCOVR_EXCL_LINE
        }
        storage = static_cast<char *>(grown);
        capacity = len;
    }
    return storage;
}

void writeFramedLine(std::string_view before, const char *name,
                     std::string_view after)
{
    size_t nameLen = strlen(name);
    char *line = lineStorage(before.size() + nameLen + after.size());
    char *out = appendText(line, before);
    out = appendText(out, {name, nameLen});
    out = appendText(out, after);
    writeOutput(line, out);
}

void Reporter::startRun(const char * /*programName*/)
{
}

void Reporter::startFile(const char * /*name*/)
{
}

void Reporter::reportVerdict(const Verdict * /*verdict*/)
{
}

// Standard output is flushed first so that a combined log keeps the order of
// events; a failure of either stream shows in the exit status through
// stdout's error flag.
void Reporter::reportFileFailure(const char *name, int result)
{
    flushOutput();
    const char *what = result == CONFIG_OPEN_FAILED ? "failed to open file"
                                                    : "failed to read file";
    (void)fprintf(stderr, "%s %s\n", what, name);
}

void Reporter::endFile()
{
}

void Reporter::endRun()
{
}

Reporter *makeReporter(const OutputOptions *options, size_t fileCount)
{
    if (options->format == FORMAT_GCC) {
        return makeGccFormat();
    }
    return makeReportFormat(options, fileCount);
}

// One file's check: where its verdicts go and what they held.
struct FileCheck {
    Reporter *reporter;
    long long faultCount;
};

// Hands a verdict to the reporter; stops the reading once nobody can see
// what it prints.
static int takeVerdict(void *context, const Verdict *verdict)
{
    auto *check = static_cast<FileCheck *>(context);
    if (verdict->fault != FAULT_NONE) {
        check->faultCount++;
    }
    check->reporter->reportVerdict(verdict);
    return outputFailed() ? 1 : 0;
}

// Shows what has been judged before the reader waits for more input.
static void showJudged(void * /*context*/)
{
    flushOutput();
}

FileResult checkStream(FILE *file, const char *name, Reporter *reporter,
                       size_t readBlockSize)
{
    FileCheck check = {reporter, 0};
    reporter->startFile(name);
    int result = CONFIG_OPEN_FAILED;
    if (file != nullptr) {
        ReaderHooks hooks = {takeVerdict, showJudged, &check, readBlockSize};
        result = readConfigStream(file, &hooks);
    }
    if (result == CONFIG_OPEN_FAILED || result == CONFIG_READ_FAILED) {
        reporter->reportFileFailure(name, result);
    }
    reporter->endFile();
    return {result, check.faultCount};
}

FileResult checkFile(const char *name, Reporter *reporter)
{
    FILE *file = fopen(name, "r");
    FileResult result = checkStream(file, name, reporter);
    if (file != nullptr) {
        // Nothing was written to the file, so closing it cannot lose
        // anything.
        (void)fclose(file);
    }
    return result;
}
