// The step between the reader and the formats: each verdict becomes the
// target of a sound statement or finished diagnostics, handed to the
// consumer; and the driver that reads one file.
#include "diagnose/inspect.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

#include "diagnose/step.h"

namespace
{

// One file's inspection: where its events go, what it needs, and the
// storage of what is handed over. The target and the diagnostic are built
// here rather than on the stack of each call, where the stack protector
// would guard them at a cost of a few percent of the default path's
// instructions.
struct Inspection {
    DiagnosticConsumer *consumer;
    bool excerpt;        // the consumer wants excerpts
    bool charColumn;     // and columns in characters
    bool hidesColumns;   // no column past the hide point, and messages
                         // that name what was found (ConsumerNeeds)
    bool restOnTerminal; // the rest of a line goes to a terminal
    bool notes;          // the consumer shows notes
    bool fixable;        // and whether --fix mends a diagnostic's cause
    bool fixEdits;       // and how
    bool targets;        // and sound statements
    // The file's line ends have been told of: like the carriage-return
    // warning, a fact of the whole file is told once, on its first error.
    bool crlfTold;
    LineBuffer message;
    LineBuffer excerptText;
    LineBuffer rest;
    Target target;
    Diagnostic diagnostic;
    Note notes_[maxNotes];
    FixEdit edits[maxLineFixes];
    LineFixesCache lineFixes;
};

} // namespace

// Sets the notes of the error of `verdict`, whose line's hide point is
// `hide` where it lies at or before the error: each held there, as the
// diagnostic's own column is; a note about a byte at or past it is left
// out, but for the line-end note.
static void addNotes(Inspection *inspection, const Verdict *verdict,
                     const CheckInfo *check, bool hidden, size_t hide)
{
    Diagnostic *diagnostic = &inspection->diagnostic;
    const SourcePiece &piece = verdict->source;
    Note *notes = inspection->notes_;
    size_t found =
        findNotes(verdict, check, hidden, &inspection->lineFixes, notes);
    // In a piece that an earlier one's hide point hides, every byte lies
    // past it.
    size_t held = piece.offset > 0 ? historyOf(piece).hideBefore : noPosition;
    if (held == noPosition) {
        held = hide;
    }
    size_t count = 0;
    for (size_t k = 0; k < found; k++) {
        bool isCrlf = notes[k].kind == NOTE_CRLF;
        if ((isCrlf && inspection->crlfTold) ||
            (!isCrlf && held != noPosition && notes[k].pos >= held)) {
            continue;
        }
        inspection->crlfTold = inspection->crlfTold || isCrlf;
        notes[count++] = notes[k];
    }
    if (count == 0) {
        return;
    }
    // A note lies at or before the byte at fault: past the diagnostic's
    // column only where that column was held at the hide point, which then
    // holds the note too; and in a piece that an earlier one's hide point
    // hides, at that point.
    for (size_t k = 0; k < count; k++) {
        Note *note = &inspection->notes_[k];
        if (held != noPosition && note->pos > held) {
            note->pos = held;
        } else if (note->pos > diagnostic->pos) {
            note->pos = diagnostic->pos;
        }
        if (inspection->charColumn) {
            // Most notes lie at the diagnostic's column, or at the line's
            // start.
            note->charColumn =
                note->pos == diagnostic->pos ? diagnostic->charColumn
                : note->pos == 0             ? 1
                                 : characterColumn(piece, note->pos);
        }
    }
    diagnostic->noteCount = count;
}

// Sets the notes of an error and whether --fix mends the diagnostic's
// cause, where the consumer shows them: apart, so that the step for the
// formats without them stays small.
[[gnu::noinline]] static void addNotesAndFix(Inspection *inspection,
                                             const Verdict *verdict,
                                             const CheckInfo *check,
                                             const Warning *warning, bool noted,
                                             bool hidden, size_t hide)
{
    Diagnostic *diagnostic = &inspection->diagnostic;
    if (noted) {
        addNotes(inspection, verdict, check, hidden, hide);
    }
    if (inspection->fixable && check->fix != nullptr) {
        diagnostic->fixable = findFix(
            verdict, check, warning, fixesOf(&inspection->lineFixes, verdict),
            inspection->fixEdits ? inspection->edits : nullptr,
            &diagnostic->editCount);
    }
}

// Hands one diagnostic of the line of `verdict` to the consumer.
static void emit(Inspection *inspection, const Verdict *verdict,
                 const CheckInfo *check, size_t pos, const Warning *warning)
{
    Diagnostic *diagnostic = &inspection->diagnostic;
    const SourcePiece &piece = verdict->source;
    // The hide point, where the consumer asks for it; for a consumer that
    // hides columns, only where it lies at or before `pos`, which a colon or
    // comma before `pos`, or an earlier piece's hide point, puts there.
    size_t hide = noPosition;
    if (inspection->excerpt) {
        hide = hidePoint(piece);
    } else if (inspection->hidesColumns) {
        hide = warning == nullptr ? faultHidePoint(verdict)
                                  : hidePointBefore(piece, pos);
    }
    // The byte at the diagnostic's position is hidden: its message names
    // neither it nor the length of what it ends.
    bool hidden = hide != noPosition && pos >= hide;
    // A column at or past the hide point would tell how long the password
    // is; the start of a later piece is fixed by the cut, and tells nothing.
    if (inspection->hidesColumns && hidden && pos > hide &&
        !(piece.offset > 0 && pos == piece.offset)) {
        pos = hide;
    }
    diagnostic->check = check;
    diagnostic->lineNum = verdict->lineNum;
    diagnostic->pos = pos;
    diagnostic->hidden = hidden && inspection->hidesColumns;
    // The report format keeps the original checker's messages; the others
    // name what was found, up to the hide point.
    if (!inspection->hidesColumns) {
        diagnostic->message = check->reportPatterned
                                  ? fillMessage(&inspection->message, check,
                                                true, verdict, warning, false)
                                  : check->reportMessage;
    } else {
        diagnostic->message = check->patterned
                                  ? fillMessage(&inspection->message, check,
                                                false, verdict, warning, hidden)
                                  : check->message;
    }
    // Only the empty-file warning comes with no line at all.
    diagnostic->wholeFile = !verdict->isStatement && verdict->source.len == 0;
    if (inspection->excerpt) {
        setExcerpt(diagnostic, piece, hide, &inspection->excerptText);
    }
    if (inspection->charColumn) {
        diagnostic->charColumn = characterColumn(piece, pos);
    }
    diagnostic->noteCount = 0;
    diagnostic->fixable = false;
    diagnostic->editCount = 0;
    bool noted = inspection->notes && warning == nullptr &&
                 mayHaveNotes(verdict, static_cast<FaultKind>(check->kind),
                              inspection->crlfTold);
    if (noted || (inspection->fixable && check->fix != nullptr)) {
        addNotesAndFix(inspection, verdict, check, warning, noted, hidden,
                       hide);
    }
    inspection->consumer->takeDiagnostic(*diagnostic);
}

// Hands the target of a sound statement to the consumer.
static void emitTarget(Inspection *inspection, const Verdict *verdict)
{
    Target *target = &inspection->target;
    target->lineNum = verdict->lineNum;
    target->addr = verdict->addr;
    target->port = verdict->port;
    target->nConnections = verdict->nConnections;
    target->loginParams = {verdict->loginParams, verdict->loginParamsLen};
    target->identifier = {verdict->loginParams + loginKeywordLen,
                          verdict->commaPos - loginKeywordLen};
    target->rest = {verdict->loginParams, verdict->restLen};
    if (inspection->restOnTerminal) {
        inspection->rest.clear();
        appendShownOnTerminal(&inspection->rest, target->rest);
        target->rest = inspection->rest.view();
    }
    inspection->consumer->emitTarget(*target);
}

// Hands the warnings of a line to the consumer.
static void emitWarnings(Inspection *inspection, const Verdict *verdict)
{
    for (size_t k = 0; k < verdict->warningCount; k++) {
        const Warning *warning = &verdict->warnings[k];
        emit(inspection, verdict, checkOf(warning->kind), warning->pos,
             warning);
    }
}

// Hands the outcome of a line and then its warnings to the consumer; stops
// the reading once nobody can see what it prints.
static int takeVerdict(void *context, const Verdict *verdict)
{
    auto *inspection = static_cast<Inspection *>(context);
    if (verdict->isStatement) {
        if (verdict->fault != FAULT_NONE) {
            emit(inspection, verdict, checkOf(verdict->fault), verdict->pos,
                 nullptr);
        } else if (inspection->targets) {
            emitTarget(inspection, verdict);
        }
    }
    if (verdict->warningCount != 0) {
        emitWarnings(inspection, verdict);
    }
    return outputFailed(inspection->consumer->output()) ? 1 : 0;
}

// Shows what has been judged before the reader waits for more input.
static void showJudged(void *context)
{
    flushOutput(static_cast<Inspection *>(context)->consumer->output());
}

FileStatus inspectStream(FILE *file, const char *name,
                         DiagnosticConsumer *consumer,
                         const InspectOptions &options, size_t readBlockSize)
{
    int errorNumber = errno;
    consumer->beginFile(name);
    FileStatus status = FileStatus::openFailed;
    if (file != nullptr) {
        const ConsumerNeeds &needs = consumer->needs();
        Inspection inspection = {consumer,
                                 needs.excerpt,
                                 needs.charColumn,
                                 needs.hidesColumns,
                                 consumer->streams().outIsTerminal,
                                 needs.notes,
                                 needs.fixable,
                                 needs.fixEdits,
                                 needs.targets,
                                 false,
                                 {},
                                 {},
                                 {},
                                 {},
                                 {},
                                 {},
                                 {},
                                 {{}, 0}};
        inspection.diagnostic.notes = inspection.notes_;
        inspection.diagnostic.edits = inspection.edits;
        ReaderHooks hooks = {};
        hooks.onVerdict = takeVerdict;
        hooks.beforeWait = showJudged;
        hooks.context = &inspection;
        hooks.readBlockSize = readBlockSize;
        hooks.warnings = options.warnings;
        hooks.directives = options.directives;
        hooks.disableReach = needs.notes || needs.fixable;
        hooks.history =
            (needs.excerpt || needs.hidesColumns ? HISTORY_HIDE : 0U) |
            (needs.charColumn ? HISTORY_CHARS : 0U);
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
        consumer->emitFileFailure(status, errorNumber);
    }
    consumer->endFile();
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

FileStatus inspectOpened(FILE *file, const char *name,
                         DiagnosticConsumer *consumer,
                         const InspectOptions &options)
{
    if (file != nullptr && fileno(consumer->output()) >= 0 &&
        isSameFile(file, consumer->output())) {
        consumer->beginFile(name);
        consumer->emitFileFailure(FileStatus::isOutput, 0);
        consumer->endFile();
        return FileStatus::isOutput;
    }
    return inspectStream(file, name, consumer, options);
}

FileStatus inspectFile(const char *name, DiagnosticConsumer *consumer,
                       const InspectOptions &options)
{
    FILE *file = fopen(name, "r");
    FileStatus status = inspectOpened(file, name, consumer, options);
    if (file != nullptr) {
        // Nothing was written to the file, so closing it cannot lose
        // anything.
        (void)fclose(file);
    }
    return status;
}
