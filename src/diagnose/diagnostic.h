// What the diagnostic step hands on: finished diagnostics (check, line,
// column, the whole message and, where the format asks, the excerpt of the
// line and the column in characters), the targets of sound statements, and
// the failures of files; and the consumer those go to, which each output
// format extends. Nothing here is the reader's: a consumer never sees how a
// line was read.
#ifndef ISCSI_CONFIG_CHECK_DIAGNOSE_DIAGNOSTIC_H
#define ISCSI_CONFIG_CHECK_DIAGNOSE_DIAGNOSTIC_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "checks/checks.h"
#include "support/escape.h"
#include "support/line_buffer.h"

// A note that follows an error: a cause that its line shows, said in a
// fixed text that quotes no byte of the line.
struct Note {
    NoteKind kind;
    std::string_view text;
    // Where the cause lies, as Diagnostic::pos (held at the hide point),
    // and its column in characters where the consumer asks for those.
    size_t pos;
    size_t charColumn;
};

// The most notes one diagnostic has.
constexpr size_t maxNotes = 3;

// One deletion of a diagnostic's fix, by columns in characters from 1 on
// the diagnostic's line, the end excluded.
struct FixEdit {
    size_t startColumn;
    size_t endColumn;
};

// One diagnostic, finished: formats only lay it out.
struct Diagnostic {
    const CheckInfo *check;
    long long lineNum;
    // Zero-based byte offset in the physical line: where the fault was
    // found, or the line's hide point for one found at or past it where the
    // consumer hides columns (but for the start of a later 512-byte piece,
    // which the cut fixes).
    size_t pos;
    // The byte at `pos` lies at or past the line's hide point, where the
    // consumer hides columns: nothing about it may be shown, not even its
    // width.
    bool hidden;
    std::string_view message; // the whole text, values filled in
    bool wholeFile;           // about the file, not one of its lines
    // Only where the consumer asks for them (ConsumerNeeds):
    // the column in characters, from 1 (a valid UTF-8 sequence is one
    // character, and so is each byte that is not part of one);
    size_t charColumn;
    // the piece of the line judged as a view may show it: printable ASCII
    // as itself, a tab as a space, any other byte as '?', and every byte
    // from the line's hide point on replaced by one "********";
    std::string_view excerpt;
    // and the diagnostic's column in it, zero-based (at the mask's first
    // '*' when the column lies among the hidden bytes);
    size_t excerptColumn;
    // the notes on an error's cause;
    const Note *notes;
    size_t noteCount;
    // whether --fix mends what it is about (for an error: the line holds no
    // fault once mended);
    bool fixable;
    // and the deletions of that fix, only where each lies before the
    // line's hide point (none otherwise: they would tell where a password
    // ends).
    const FixEdit *edits;
    size_t editCount;
};

// A sound statement: what it defines.
struct Target {
    long long lineNum;
    const uint32_t *addr; // four numbers, 0 to 255
    uint32_t port;
    int32_t nConnections;
    // The login-parameters field (keyword, identifier, comma, password),
    // its identifier, and the field with the rest of its line as the output
    // may show it (control characters as '?' on a terminal).
    std::string_view loginParams;
    std::string_view identifier;
    std::string_view rest;
};

// How the check of one file ended.
enum class FileStatus {
    ok = 0,
    openFailed = 1,  // the file could not be opened
    readFailed = 2,  // reading failed part-way
    writeFailed = 3, // the output failed, which ends the run
    isOutput = 4,    // the file is the output itself, and is not read
    notFixed = 5,    // --fix refused the file, or could not mend it
};

// Where --fix put a file's mended text.
enum class FixedInto : unsigned char {
    output, // standard output (--stdin-filename)
    place,  // the file itself, renamed over
};

// Why a file failed: the system's reason for an error number, or for a
// negative one the reason of --fix's refusal (support/rewrite.h).
const char *failureReason(int errorNumber);

// The words before the name in the message of a file that could not be
// read: "failed to open file", "failed to read file", "input file is output
// file", "failed to fix file".
const char *failureText(FileStatus status);

// The name of such a failure as a record of the run ("open-failed",
// "read-failed", "input-is-output", "fix-failed"), and its message there:
// "failed to open file: REASON", "input file is output file".
const char *failureCheck(FileStatus status);
void appendFailureMessage(LineBuffer *line, FileStatus status, int errorNumber);

// A file's name, as each stream may show it.
struct FileName {
    // As given: only for writers that encode every byte (JSON).
    std::string_view given;
    // In the consumer's name style, for its output: escaped as the style
    // says, and with the terminal rule when the output is a terminal.
    std::string_view shown;
    // For messages on the error stream: as given, or escaped for workflow
    // commands in that style, with the terminal rule when that stream is a
    // terminal.
    std::string_view told;
};

// What a consumer asks of the diagnostic step beyond what every diagnostic
// carries.
struct ConsumerNeeds {
    bool excerpt = false;    // Diagnostic::excerpt and excerptColumn
    bool charColumn = false; // Diagnostic::charColumn
    // No column lies past its line's hide point, so that none tells a
    // password's length, and the messages are the checks' own
    // (CheckInfo::message), which name what was found but no byte from the
    // hide point on. False for the report format, whose positions and
    // messages (CheckInfo::reportMessage) are the original checker's.
    bool hidesColumns = false;
    bool notes = false;    // Diagnostic::notes
    bool fixable = false;  // Diagnostic::fixable
    bool fixEdits = false; // Diagnostic::edits
    // Sound statements are shown (emitTarget): where they are not, no
    // target is built for them.
    bool targets = false;
    NameStyle nameStyle = NameStyle::asGiven;
};

// Where a consumer writes, and whether each stream is a terminal: what files
// and their names supply is then written with control characters as '?'.
struct ConsumerStreams {
    FILE *out = stdout;
    FILE *err = stderr;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

// What the diagnostic step hands its products to, file by file: startFile,
// then a target or the diagnostics of each line (or a failure of the file),
// then endFile. The base counts errors and warnings and prepares the file's
// names, so that the plain way to write a name is the safe one; each event
// prints nothing by default. Consumers live in static storage, so that the
// checker needs no heap and no C++ runtime library: they are never deleted
// through this interface.
class DiagnosticConsumer
{
  public:
    DiagnosticConsumer(const DiagnosticConsumer &) = delete;
    DiagnosticConsumer &operator=(const DiagnosticConsumer &) = delete;

    // Prepares the names of the file `given`, then starts it.
    void beginFile(std::string_view given);
    virtual void emitTarget(const Target & /*target*/)
    {
    }
    // Counts the diagnostic, then lets the format emit it.
    void takeDiagnostic(const Diagnostic &diagnostic)
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
    virtual void emitFileFailure(FileStatus status, int errorNumber);
    virtual void endFile()
    {
    }
    // --fix mended the file `given`, onto standard output or in place,
    // where `flushError` is the error that kept its folder from being
    // flushed after the rename (0 when none): told before its check begins.
    virtual void emitFileFixed(std::string_view /*given*/, FixedInto /*into*/,
                               int /*flushError*/)
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
    const ConsumerNeeds &needs() const
    {
        return needs_;
    }
    const ConsumerStreams &streams() const
    {
        return streams_;
    }
    FILE *output() const
    {
        return streams_.out;
    }

  protected:
    DiagnosticConsumer() = default;
    ~DiagnosticConsumer() = default;

    // Sets the consumer up afresh: its streams and needs, no counts.
    void setUpConsumer(const ConsumerStreams &streams,
                       const ConsumerNeeds &needs)
    {
        streams_ = streams;
        needs_ = needs;
        errorCount_ = 0;
        warningCount_ = 0;
    }
    // A new file begins; `name_` holds its names.
    virtual void startFile()
    {
    }
    virtual void emitDiagnostic(const Diagnostic & /*diagnostic*/)
    {
    }
    // Writes "TEXT NAME: REASON" on the error stream for the current file
    // (the reason left out when `errorNumber` is 0), after flushing the
    // output so that a combined log keeps the order of events.
    void tellFileFailure(FileStatus status, int errorNumber);
    // Writes "fixed file NAME" on the error stream, for the file `given`
    // rewritten in place, or "fixed file NAME, but its folder could not be
    // flushed: REASON" when `flushError` is not 0; NAME as the failures'.
    void tellFileFixed(std::string_view given, int flushError);

    FileName name_; // the current file's
    ConsumerStreams streams_;
    ConsumerNeeds needs_;

  private:
    LineBuffer shownName_;
    LineBuffer toldName_;
    long long errorCount_ = 0;
    long long warningCount_ = 0;
};

#endif
