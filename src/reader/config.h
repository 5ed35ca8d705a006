// Client configuration reader: judges every line of an initiator's
// configuration file and hands the verdict on each line to its caller.
// readConfigStream and findLoginParamsFault never print. The two entry
// points at the end, readConfigFile and checkLoginParams, print in the
// report format: they join the reader to that format, so their code lives
// above both, in src/cli/config_print.cpp.
#ifndef ISCSI_CONFIG_CHECK_READER_CONFIG_H
#define ISCSI_CONFIG_CHECK_READER_CONFIG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <string_view>

#include "checks/checks.h"
#include "support/line_buffer.h"
#include "support/utf8.h"

// The byte order mark that some editors put at the start of a UTF-8 file.
constexpr std::string_view byteOrderMarkBytes("\xEF\xBB\xBF", 3);

// The keyword that begins the login-parameters field.
constexpr char loginKeyword[] = "Initiator:";
constexpr size_t loginKeywordLen = sizeof loginKeyword - 1;

// One warning on a line.
struct Warning {
    WarningKind kind;
    // Which of the kind's messages applies (a port written as 0 has one of
    // its own, and so have a zero byte and each fault of a directive).
    unsigned variant;
    size_t pos; // zero-based offset in the physical line
    // The number as taken (WARN_ADDRESS_RANGE, WARN_PORT_RANGE,
    // WARN_COUNT_RANGE), the line that first defined the target
    // (WARN_DUPLICATE_TARGET), the byte (WARN_CONTROL_CHAR), or the length
    // of the name at `pos` (WARN_BAD_DIRECTIVE).
    long long value;
    // A check whose name is close to the unknown name of a directive, or
    // null.
    const CheckInfo *suggestion;
};

// The most warnings one line can get: no kind is found more than once per
// address number.
constexpr size_t maxLineWarnings = size_t{4} * WARN_KIND_COUNT;

// No position: a line that holds no such character.
constexpr size_t noPosition = static_cast<size_t>(-1);

// What the earlier pieces of a physical line held, as far as the reader
// was asked to note it (ReaderHooks::history).
struct LineHistory {
    size_t hideBefore; // the hide point they set, or noPosition
    size_t hideChars;  // the characters before it (with HISTORY_CHARS)
    CharCount charsBefore;
};

// What the reader notes of the earlier pieces of a long line: the hide
// point (where a password may begin), and the characters.
enum : unsigned {
    HISTORY_HIDE = 1U,
    HISTORY_CHARS = 2U,
};

// The piece of a physical line that a verdict is about, as read (zero bytes
// included); valid while the verdict is handled.
struct SourcePiece {
    const char *text;
    size_t len;
    size_t offset; // where it starts in the physical line
    // What the earlier pieces held; read it through historyOf, since the
    // first piece of a line has none.
    const LineHistory *history;
    bool lastPiece; // the line ends with this piece
};

// What the earlier pieces of the line of `piece` held.
inline LineHistory historyOf(const SourcePiece &piece)
{
    return piece.offset == 0 ? LineHistory{noPosition, 0, {}} : *piece.history;
}

// Where a password may begin on the physical line of `piece`, as far as the
// line has been read: right after the first comma when it comes before the
// first colon or inside that colon's field (the bytes after the colon up to
// the next blank); otherwise right after the first colon; on a line with
// no colon, after the first comma; noPosition on a line with neither. A
// piece judged before its colon's field ends hides from the colon, and
// once a byte of a line is hidden every later byte of it is (an earlier
// piece's hide point stands). Every byte from there on is hidden wherever a
// line is shown, and no column of a diagnostic lies past it (HISTORY_HIDE
// must be asked for, for long lines).
size_t hidePoint(const SourcePiece &piece);

// The hide point of the line of `piece` when the colon or comma that sets it
// lies before `pos`, which puts it at or before `pos` but for a comma later
// in that colon's field; noPosition otherwise, at less cost than hidePoint
// for a position that no such byte precedes.
size_t hidePointBefore(const SourcePiece &piece, size_t pos);

// The outcome of judging one line (or one piece of a long line).
struct Verdict {
    // False for an empty or comment line, which is handed over only for its
    // warnings; such a line has no fault and no report.
    bool isStatement;
    FaultKind fault;
    long long lineNum;
    // Zero-based offset in the physical line: the byte at fault (for the
    // login parameters, as findLoginParamsFault tells it).
    size_t pos;
    unsigned charCode; // FAULT_ADDRESS_CHAR: the character found
    // The values of a sound statement; the connection count also of one
    // whose login parameters are at fault.
    int32_t nConnections;
    uint32_t addr[4];
    uint32_t port;
    // The login-parameters field, followed by the rest of its line, and the
    // field's length: of a sound statement, and of one whose connection
    // count or login parameters are at fault.
    const char *loginParams;
    size_t loginParamsLen;
    size_t commaPos; // where the field's comma stands
    size_t restLen;  // the field and the rest of its line
    // The line's warnings, in order of position, then of kind.
    const Warning *warnings;
    size_t warningCount;
    SourcePiece source;
    // A `disable=` directive that turns a warning off reaches this line
    // (it is the first line after the directive that is neither empty
    // nor a comment), whether directives are obeyed or not; told only
    // where the hooks ask (ReaderHooks::disableReach).
    bool reachedByDisable;
};

// How a reading ended.
enum class ReadResult {
    ok,         // at the end of the input
    readFailed, // a read failed part-way; what came before is judged
    stopped,    // the verdicts' consumer asked to stop
};

// Where the reader sends its verdicts, and how it reads.
struct ReaderHooks {
    // Takes the verdict on one line; a nonzero result stops the reading
    // before the next line.
    int (*onVerdict)(void *context, const Verdict *verdict);
    // Called before a read that may wait for its bytes (the input is a pipe
    // or a terminal), so that the verdicts so far can be shown; may be null.
    void (*beforeWait)(void *context);
    void *context;
    // Bytes asked for per read, at most maxReadBlockSize; 0 for the default.
    size_t readBlockSize;
    // The warnings to look for; with none, the reader needs no more than
    // its fixed storage.
    WarningSet warnings;
    // Whether the file's directives may turn warnings off.
    bool directives;
    // What to note of the earlier pieces of a long line (HISTORY_ bits).
    unsigned history;
    // Whether verdicts tell which line a `disable=` directive reaches
    // (Verdict::reachedByDisable), as --fix needs to know.
    bool disableReach;
    // Set by the reader when a read failed: the system's error number.
    int readErrno;
};

// The largest read block, and the default one.
constexpr size_t maxReadBlockSize = 65536;

// Judges every line read from an already opened stream and hands each
// verdict to `hooks`. Leaves the stream open and prints nothing; allocates
// only to remember targets for WARN_DUPLICATE_TARGET.
ReadResult readConfigStream(FILE *file, ReaderHooks *hooks);

// The first fault of a login-parameters field of `len` characters from
// `field` (not terminated), or FAULT_NONE when it is sound. Nothing at or past
// the count is read, and the pointer is not read at all when the count is 0.
FaultKind findLoginParamsFault(const char *field, size_t len);

// The same, and where the fault lies in the field, set in `*at` (0 for a
// sound field, and for an empty one): the first character that differs
// from the keyword, or the field's end when the field is the keyword's
// beginning; the comma right after the keyword; the first character that
// is not allowed in the identifier or the password; the field's end where
// the comma is missing; the 64th identifier character; the 17th password
// character.
FaultKind findLoginParamsFault(const char *field, size_t len, size_t *at);

// hidePointBefore at the fault of `verdict` (not FAULT_NONE), for less: what
// the grammar has read up to most faults tells where the line's first colon
// and comma stand. Before a fault in the statement's numbers, a missing
// field or keyword, none stands; past the identifier, they are the
// keyword's colon and the comma after the identifier, which holds no blank.
size_t faultHidePoint(const Verdict *verdict);

// What the message of the fault of `verdict` (not FAULT_NONE) names: the
// byte at fault, 0 where the statement or the field ends there; and the
// identifier's length (FAULT_IDENTIFIER_TOO_LONG: its characters after the
// keyword, however many) or the keyword's character that belongs at the
// fault (FAULT_MISSING_KEYWORD), else 0.
struct FaultDetail {
    unsigned charCode;
    size_t value;
};
FaultDetail faultDetail(const Verdict *verdict);

// One fix: the bytes from `start` to `end` of a line deleted, for `cause`.
struct LineFix {
    size_t start;
    size_t end;
    FixCause cause;
};

// The lines a fix may touch are shorter than this: a deletion in a longer
// line would move the cut between its pieces, and a sound statement in a
// later piece could break.
constexpr size_t longestFixedLine = 511;

// Where a line stands, as far as its fixes are concerned.
struct LinePlace {
    bool firstLine; // line 1, whose byte order marks are a fault
    // A `disable=` directive reaches the line (Verdict::reachedByDisable).
    bool reachedByDisable;
};

// Why a line keeps every byte under --fix, though it has a fault a fix
// mends.
enum class KeptBy : unsigned char {
    nothing,   // its fixes are made (or it needs none)
    length,    // it is longestFixedLine bytes or more (or one piece of it)
    directive, // its fixes would change how it reads as a directive
    disable,   // a disable= reaches it, and it would become empty or a
               // comment: the directive would reach a later line
};

// The edits --fix makes on one line: what --fix applies, what --diff
// shows, what the formats call fixable and describe, and what a note that
// offers --fix promises.
struct LineFixes {
    LineFix fixes[maxLineFixes]; // in order of position
    size_t count;                // 0 where the line keeps its bytes
    KeptBy keptBy;
    // With KeptBy::directive: the line mended would read as a directive
    // that is not malformed.
    bool wouldDirect;
};

// The fixes of the line of `len` bytes at `line` (without its newline) at
// `place`, into `found`: the byte order marks of line 1, a line of only
// blanks or the blanks before a '#', the leading zeros of the address
// numbers, the carriage returns at the end; none where the line keeps its
// bytes (KeptBy). The line, mended, needs no more fixes.
void findLineFixes(const char *line, size_t len, LinePlace place,
                   LineFixes *found);

// Copies the line with its fixes applied to `out` (room for `len` bytes);
// returns the length of the result.
size_t applyLineFixes(const char *line, size_t len, const LineFixes &fixes,
                      char *out);

// True when the line of `len` bytes at `line`, of at most longestFixedLine
// bytes, holds no fault: a sound statement, or a line that is not a
// statement (the statement's grammar, statement.cpp).
bool lineIsSound(const char *line, size_t len);

// True when --fix mends the fault of `verdict`, on a line whose fixes are
// `fixes`: it changes the line, and the line mended holds no fault.
bool faultIsFixable(const Verdict *verdict, const LineFixes &fixes);

// Appends `text` to `fixed`, every line of it mended; returns whether
// anything changed. Lines keep their numbers, but a last line without a
// newline that is left empty.
bool fixText(std::string_view text, LineBuffer *fixed);

// Takes the fixes of one line of a text: its number from 1, where it
// starts in the text, its length without the newline, and whether a
// newline ends it.
using TakeLineFixes = void (*)(void *context, long long lineNum, size_t start,
                               size_t len, bool newline,
                               const LineFixes &fixes);

// Finds the fixes of every line of `text` as fixText makes them, and hands
// each line's to `take`: the one walk that --fix and the editors' fixes
// share.
void findTextFixes(std::string_view text, TakeLineFixes take, void *context);

// The entry points that print, in the report format with no option
// (defined in src/cli/config_print.cpp).

// Name of the configuration file that readConfigFile reads; points at the
// command-line argument itself, which lives for the whole run.
extern const char *clientConfigFile;

// Reads and judges the file named by clientConfigFile, printing a report or a
// diagnostic for every target statement on standard output and an open or
// read failure on standard error. Returns 0 when the file was read to its
// end, 1 when it could not be opened, 2 when reading failed part-way and 3
// when standard output failed.
int readConfigFile();

// Judges one login-parameters field, as findLoginParamsFault does. Returns 0
// for a sound field, or -1 after printing its diagnostic on standard output,
// prefixed with `lineNum`.
int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen);

#endif
