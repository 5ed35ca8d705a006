// The consumer's shared part: a file's names prepared once, and the
// failures of files told on the error stream.
#include <cstring>

#include "diagnose/diagnostic.h"
#include "support/rewrite.h"

// What is told of each failure of a file: its text before the name, and its
// name as a record.
static const struct {
    const char *text;
    const char *check;
} failures[] = {
    {"failed to read file", "read-failed"}, // (ok and writeFailed: unused)
    {"failed to open file", "open-failed"},
    {"failed to read file", "read-failed"},
    {"failed to read file", "read-failed"},
    {"input file is output file", "input-is-output"},
    {"failed to fix file", "fix-failed"},
};

const char *failureReason(int errorNumber)
{
    return errorNumber < 0 ? rewriteRefusal(errorNumber)
                           : strerror(errorNumber);
}

const char *failureText(FileStatus status)
{
    return failures[static_cast<size_t>(status)].text;
}

const char *failureCheck(FileStatus status)
{
    return failures[static_cast<size_t>(status)].check;
}

void appendFailureMessage(LineBuffer *line, FileStatus status, int errorNumber)
{
    line->append(failureText(status));
    if (status != FileStatus::isOutput) {
        line->append(": ");
        line->append(failureReason(errorNumber));
    }
}

// Appends the name `given` as the messages on the error stream write it:
// as given, or escaped for workflow commands in that style, with the
// terminal rule when that stream is a terminal.
static void appendToldFileName(LineBuffer *line, std::string_view given,
                               const ConsumerNeeds &needs,
                               const ConsumerStreams &streams)
{
    appendName(line, given,
               needs.nameStyle == NameStyle::command ? NameStyle::command
                                                     : NameStyle::asGiven,
               streams.errIsTerminal);
}

void DiagnosticConsumer::beginFile(std::string_view given)
{
    shownName_.clear();
    appendName(&shownName_, given, needs_.nameStyle, streams_.outIsTerminal);
    toldName_.clear();
    appendToldFileName(&toldName_, given, needs_, streams_);
    name_ = {given, shownName_.view(), toldName_.view()};
    startFile();
}

void DiagnosticConsumer::emitFileFailure(FileStatus status, int errorNumber)
{
    tellFileFailure(status, errorNumber);
}

// A failure of either stream shows in the exit status through the output's
// error flag.
void DiagnosticConsumer::tellFileFailure(FileStatus status, int errorNumber)
{
    LineBuffer line;
    line.append(failureText(status));
    line.append(' ');
    line.append(name_.told);
    if (errorNumber != 0) {
        line.append(": ");
        line.append(failureReason(errorNumber));
    }
    line.append('\n');
    flushOutput(streams_.out);
    line.write(streams_.err);
}

void DiagnosticConsumer::tellFileFixed(std::string_view given, int flushError)
{
    LineBuffer line;
    line.append("fixed file ");
    appendToldFileName(&line, given, needs_, streams_);
    if (flushError != 0) {
        line.append(", but its folder could not be flushed: ");
        line.append(failureReason(flushError));
    }
    line.append('\n');
    flushOutput(streams_.out);
    line.write(streams_.err);
}
