// The step between the reader and the formats: each verdict becomes the
// target of a sound statement or finished diagnostics, handed to the
// reporter; and what every format shares by default.
#include "report.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "format.h"

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
};

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
        line->append(strerror(errorNumber));
    }
}

void Reporter::reportFileFailure(const char *name, FileStatus status,
                                 int errorNumber)
{
    tellFileFailure(name, status, errorNumber);
}

// The output is flushed first so that a combined log keeps the order of
// events; a failure of either stream shows in the exit status through the
// output's error flag.
void Reporter::tellFileFailure(std::string_view shownName, FileStatus status,
                               int errorNumber)
{
    LineBuffer line;
    line.append(failureText(status));
    line.append(' ');
    appendUntrusted(&line, shownName, setup_.errIsTerminal);
    if (errorNumber != 0) {
        line.append(": ");
        line.append(strerror(errorNumber));
    }
    line.append('\n');
    flushOutput(setup_.out);
    line.write(setup_.err);
}

size_t hidePoint(const SourcePiece &piece)
{
    std::string_view text(piece.text, piece.len);
    LineHistory history = historyOf(piece);
    // The earlier pieces' first comma or colon, or else this piece's.
    auto first = [&text, &piece](size_t before, char c) {
        if (before != noPosition) {
            return before;
        }
        size_t here = text.find(c);
        return here == std::string_view::npos ? noPosition
                                              : piece.offset + here;
    };
    size_t comma = first(history.commaBefore, ',');
    size_t colon = first(history.colonBefore, ':');
    size_t point = comma != noPosition ? comma : colon;
    return point == noPosition ? noPosition : point + 1;
}

// Appends the name that a directive's warning points at, from the line: a
// character that no name holds as '?', so that nothing a file supplies
// reaches a message as it is.
static void appendWord(LineBuffer *text, const Verdict *verdict,
                       const Warning *warning)
{
    const SourcePiece &piece = verdict->source;
    size_t start = warning->pos - piece.offset;
    for (size_t k = start;
         k < start + static_cast<size_t>(warning->value) && k < piece.len;
         k++) {
        char c = piece.text[k];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        text->append(plain ? c : '?');
    }
}

// Fills in the message pattern of `check` for a diagnostic on the line of
// `verdict` (and `warning`, for a warning's) into `text`.
static std::string_view fillMessage(LineBuffer *text, const CheckInfo *check,
                                    const Verdict *verdict,
                                    const Warning *warning)
{
    std::string_view pattern = check->message;
    for (unsigned k = warning != nullptr ? warning->variant : 0; k > 0; k--) {
        pattern.remove_prefix(pattern.find('|') + 1);
    }
    pattern = headOf(pattern, pattern.find('|'));
    text->clear();
    for (;;) {
        size_t open = pattern.find('{');
        text->append(headOf(pattern, open));
        if (open == std::string_view::npos) {
            return text->view();
        }
        size_t close = pattern.find('}', open);
        std::string_view name = tailOf(headOf(pattern, close), open + 1);
        if (name == "octal") {
            text->append('0');
            text->appendNumber(verdict->charCode, 8);
        } else if (name == "value") {
            text->appendNumber(warning->value);
        } else if (name == "hex") {
            static const char hexDigits[] = "0123456789ABCDEF";
            text->append(hexDigits[(warning->value >> 4) & 0xF]);
            text->append(hexDigits[warning->value & 0xF]);
        } else if (name == "name") {
            appendWord(text, verdict, warning);
        } else if (name == "address") {
            appendAddress(text, verdict->addr);
        } else { // the table holds no other placeholder
            text->appendNumber(verdict->port);
        }
        pattern.remove_prefix(close + 1);
    }
}

namespace
{

// One file's inspection: where its events go, and the storage of what is
// handed over. The target and the diagnostic are built here rather than on
// the stack of each call, where the stack protector would guard them at a
// cost of a few percent of the default path's instructions.
struct Inspection {
    Reporter *reporter;
    LineBuffer message;
    Target target;
    Diagnostic diagnostic;
};

} // namespace

// Hands one diagnostic of the line of `verdict` to the reporter.
static void emit(Inspection *inspection, const Verdict *verdict,
                 const CheckInfo *check, size_t pos, const Warning *warning)
{
    Diagnostic *diagnostic = &inspection->diagnostic;
    diagnostic->check = check;
    diagnostic->lineNum = verdict->lineNum;
    diagnostic->pos = pos;
    diagnostic->message =
        check->patterned
            ? fillMessage(&inspection->message, check, verdict, warning)
            : check->message;
    diagnostic->source = &verdict->source;
    inspection->reporter->reportDiagnostic(*diagnostic);
}

// Hands the target of a sound statement to the reporter.
static void emitTarget(Inspection *inspection, const Verdict *verdict)
{
    Target *target = &inspection->target;
    target->lineNum = verdict->lineNum;
    target->addr = verdict->addr;
    target->port = verdict->port;
    target->nConnections = verdict->nConnections;
    target->loginParams = {verdict->loginParams, verdict->loginParamsLen};
    target->rest = {verdict->loginParams, verdict->restLen};
    inspection->reporter->reportTarget(*target);
}

// Hands the warnings of a line to the reporter.
static void emitWarnings(Inspection *inspection, const Verdict *verdict)
{
    for (size_t k = 0; k < verdict->warningCount; k++) {
        const Warning *warning = &verdict->warnings[k];
        emit(inspection, verdict, checkOf(warning->kind), warning->pos,
             warning);
    }
}

// Hands the outcome of a line and then its warnings to the reporter; stops
// the reading once nobody can see what it prints.
static int takeVerdict(void *context, const Verdict *verdict)
{
    auto *inspection = static_cast<Inspection *>(context);
    if (verdict->isStatement) {
        if (verdict->fault == FAULT_NONE) {
            emitTarget(inspection, verdict);
        } else {
            emit(inspection, verdict, checkOf(verdict->fault), verdict->pos,
                 nullptr);
        }
    }
    if (verdict->warningCount != 0) {
        emitWarnings(inspection, verdict);
    }
    return outputFailed(inspection->reporter->output()) ? 1 : 0;
}

// Shows what has been judged before the reader waits for more input.
static void showJudged(void *context)
{
    flushOutput(static_cast<Inspection *>(context)->reporter->output());
}

FileStatus inspectStream(FILE *file, const char *name, Reporter *reporter,
                         const InspectOptions &options, size_t readBlockSize)
{
    int errorNumber = errno;
    reporter->startFile(name);
    FileStatus status = FileStatus::openFailed;
    if (file != nullptr) {
        Inspection inspection = {reporter, {}, {}, {}};
        ReaderHooks hooks = {takeVerdict,
                             showJudged,
                             &inspection,
                             readBlockSize,
                             options.warnings,
                             options.directives,
                             0};
        switch (readConfigStream(file, &hooks)) {
        case ReadResult::ok:
            status = FileStatus::ok;
            break;
        case ReadResult::readFailed:
            status = FileStatus::readFailed;
            errorNumber = hooks.readErrno;
            break;
        case ReadResult::stopped:
            status = FileStatus::writeFailed;
            break;
        }
    }
    if (status == FileStatus::openFailed || status == FileStatus::readFailed) {
        reporter->reportFileFailure(name, status, errorNumber);
    }
    reporter->endFile();
    return status;
}

// True when `file` is the same regular file as `out`: reading it while the
// report grows it would never end.
static bool isSameFile(FILE *file, FILE *out)
{
    struct stat fileStatus = {};
    struct stat outStatus = {};
    return fstat(fileno(file), &fileStatus) == 0 &&
           fstat(fileno(out), &outStatus) == 0 && S_ISREG(fileStatus.st_mode) &&
           fileStatus.st_dev == outStatus.st_dev &&
           fileStatus.st_ino == outStatus.st_ino;
}

FileStatus inspectOpened(FILE *file, const char *name, Reporter *reporter,
                         const InspectOptions &options)
{
    if (file != nullptr && fileno(reporter->output()) >= 0 &&
        isSameFile(file, reporter->output())) {
        reporter->startFile(name);
        reporter->reportFileFailure(name, FileStatus::isOutput, 0);
        reporter->endFile();
        return FileStatus::isOutput;
    }
    return inspectStream(file, name, reporter, options);
}

FileStatus inspectFile(const char *name, Reporter *reporter,
                       const InspectOptions &options)
{
    FILE *file = fopen(name, "r");
    FileStatus status = inspectOpened(file, name, reporter, options);
    if (file != nullptr) {
        // Nothing was written to the file, so closing it cannot lose
        // anything.
        (void)fclose(file);
    }
    return status;
}
