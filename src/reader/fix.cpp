// The safe fixes: what can be deleted from a line without changing what the
// file means, found from one scan of the line's shape; and the whole text
// mended. Every reader of a fix (--fix, --diff, the formats' fixable and
// edits, the notes that offer --fix) takes it from findLineFixes.
#include <cstring>

#include "reader/judge.h"

namespace
{

// A line's shape, scanned once: where its byte order marks end, where its
// text begins after them and its blanks, and where the carriage returns
// at its end begin.
struct LineShape {
    size_t marks;
    size_t text;
    size_t end;
};

} // namespace

// The most edits of each fix on one line: the marks, the blanks, the zeros
// of each of four numbers, the carriage returns. Every reader of a line's
// fixes holds this many.
static_assert(1 + 1 + 4 + 1 == maxLineFixes,
              "the bound on a line's fixes is not what the fixes make");

// The position of the first byte from `pos` to `end` that is not a blank.
static size_t skipBlanksTo(const char *line, size_t pos, size_t end)
{
    while (pos < end && isBlank(line[pos])) {
        pos++;
    }
    return pos;
}

// The shape of the `len` bytes at `line`; marks only on line 1.
static LineShape scanShape(const char *line, size_t len, bool firstLine)
{
    LineShape shape = {0, 0, len};
    const size_t mark = byteOrderMarkBytes.size();
    while (firstLine && len - shape.marks >= mark &&
           memcmp(line + shape.marks, byteOrderMarkBytes.data(), mark) == 0) {
        shape.marks += mark;
    }
    while (shape.end > shape.marks && line[shape.end - 1] == '\r') {
        shape.end--;
    }
    shape.text = skipBlanksTo(line, shape.marks, shape.end);
    return shape;
}

// Adds the leading zeros of the address numbers that the grammar reads
// from `pos` (a statement's text after its byte order marks, up to `end`)
// as fixes; the statement's own grammar reads the numbers the same way,
// and the value of each is the same without its zeros.
static size_t findLeadingZeros(const char *line, size_t pos, size_t end,
                               LineFix *fixes, size_t count)
{
    static const std::string_view keyword = "target";
    if (end - pos < keyword.size() ||
        memcmp(line + pos, keyword.data(), keyword.size()) != 0) {
        return count;
    }
    pos = skipBlanksTo(line, pos + keyword.size(), end);
    if (pos == end || line[pos] != '=') {
        return count;
    }
    pos = skipBlanksTo(line, pos + 1, end);
    for (size_t k = 0; k < 4; k++) {
        size_t digits = pos;
        while (pos < end && line[pos] >= '0' && line[pos] <= '9') {
            pos++;
        }
        size_t zeros = digits;
        while (zeros + 1 < pos && line[zeros] == '0') {
            zeros++;
        }
        if (zeros > digits) {
            fixes[count++] = {digits, zeros, FixCause::leadingZero};
        }
        if (pos == digits || k == 3 || pos == end || line[pos] != '.') {
            break;
        }
        pos++;
    }
    return count;
}

// Whether two readings of a line as a directive are the same: none,
// malformed, or the same warnings turned off in the same way, with the same
// complaints.
static bool sameReading(const DirectiveReading &a, const DirectiveReading &b)
{
    if (a.lineOff != b.lineOff || a.fileOff != b.fileOff ||
        a.complaintCount != b.complaintCount) {
        return false;
    }
    for (size_t k = 0; k < a.complaintCount; k++) {
        const Warning &x = a.complaints[k];
        const Warning &y = b.complaints[k];
        if (x.variant != y.variant || x.pos != y.pos || x.value != y.value ||
            x.suggestion != y.suggestion) {
            return false;
        }
    }
    return true;
}

// Whether a reading is of a directive that is not malformed: one that
// turns something off, or complains of its names only.
static bool readsAsFormedDirective(const DirectiveReading &reading)
{
    return reading.lineOff != 0 || reading.fileOff != 0 ||
           (reading.complaintCount != 0 && reading.complaints[0].variant != 0);
}

// Keeps every byte of the line, for `why`.
static void keepLine(LineFixes *found, KeptBy why)
{
    found->count = 0;
    found->keptBy = why;
}

void findLineFixes(const char *line, size_t len, LinePlace place,
                   LineFixes *found)
{
    found->count = 0;
    found->keptBy = KeptBy::nothing;
    found->wouldDirect = false;
    if (len > longestFixedLine) {
        found->keptBy = KeptBy::length;
        return;
    }
    LineShape shape = scanShape(line, len, place.firstLine);
    LineFix *fixes = found->fixes;
    size_t count = 0;
    if (shape.marks > 0) {
        fixes[count++] = {0, shape.marks, FixCause::byteOrderMark};
    }
    bool comment = shape.text < shape.end && line[shape.text] == '#';
    if (shape.text == shape.end && shape.end > shape.marks) {
        fixes[count++] = {shape.marks, shape.end, FixCause::blanks};
    } else if (shape.text > shape.marks && comment) {
        fixes[count++] = {shape.marks, shape.text, FixCause::blanks};
    } else if (!comment) {
        count = findLeadingZeros(line, shape.text, shape.end, fixes, count);
    }
    if (shape.end < len) {
        fixes[count++] = {shape.end, len, FixCause::carriageReturn};
    }
    found->count = count;
    if (count == 0) {
        return;
    }
    char mended[lineBufSize + 1];
    size_t mendedLen = applyLineFixes(line, len, *found, mended);
    // A fix never makes a directive take effect or stop, nor changes what
    // it names or complains of: the directive reader reads both lines.
    // Only a line that begins with '#' once mended can read as one.
    if (comment) {
        DirectiveReading before;
        DirectiveReading after;
        readLineAsDirective(line, len, &before);
        readLineAsDirective(mended, mendedLen, &after);
        if (!sameReading(before, after)) {
            keepLine(found, KeptBy::directive);
            found->wouldDirect = readsAsFormedDirective(after);
            return;
        }
    }
    // Nor moves a disable= on to a later line.
    if (place.reachedByDisable && !isStatementLine(mended, mendedLen)) {
        keepLine(found, KeptBy::disable);
    }
}

size_t applyLineFixes(const char *line, size_t len, const LineFixes &fixes,
                      char *out)
{
    size_t written = 0;
    size_t from = 0;
    for (size_t k = 0; k <= fixes.count; k++) {
        size_t to = k < fixes.count ? fixes.fixes[k].start : len;
        memcpy(out + written, line + from, to - from);
        written += to - from;
        from = k < fixes.count ? fixes.fixes[k].end : len;
    }
    return written;
}

bool faultIsFixable(const Verdict *verdict, const LineFixes &fixes)
{
    if (fixes.count == 0) {
        return false;
    }
    const SourcePiece &piece = verdict->source;
    char mended[lineBufSize + 1];
    size_t mendedLen = applyLineFixes(piece.text, piece.len, fixes, mended);
    return lineIsSound(mended, mendedLen);
}

void findTextFixes(std::string_view text, TakeLineFixes take, void *context)
{
    // A disable= directive read, whose line is not yet reached.
    bool disablePending = false;
    size_t lineStart = 0;
    long long lineNum = 1;
    while (lineStart < text.size()) {
        const char *line = text.data() + lineStart;
        size_t rest = text.size() - lineStart;
        const auto *newline =
            static_cast<const char *>(memchr(line, '\n', rest));
        size_t len =
            newline != nullptr ? static_cast<size_t>(newline - line) : rest;
        // The lines a directive reaches as the reader tells them: the next
        // that is neither empty nor a comment; a directive is read from a
        // long line's first piece.
        bool statementLine = isStatementLine(line, len);
        LinePlace place = {};
        place.firstLine = lineStart == 0;
        place.reachedByDisable = disablePending && statementLine;
        if (statementLine) {
            disablePending = false;
        } else if (len > 0) {
            DirectiveReading reading;
            readLineAsDirective(line, len < lineBufSize ? len : lineBufSize,
                                &reading);
            disablePending = disablePending || reading.lineOff != 0;
        }
        LineFixes fixes;
        findLineFixes(line, len, place, &fixes);
        take(context, lineNum, lineStart, len, newline != nullptr, fixes);
        lineStart += len + 1;
        lineNum++;
    }
}

namespace
{

// What fixText builds, line by line.
struct FixedText {
    std::string_view text;
    LineBuffer *fixed;
    bool changed;
};

} // namespace

static void appendFixedLine(void *context, long long /*lineNum*/, size_t start,
                            size_t len, bool newline, const LineFixes &fixes)
{
    auto *fixing = static_cast<FixedText *>(context);
    char *out = fixing->fixed->reserve(len + 1);
    size_t written =
        applyLineFixes(fixing->text.data() + start, len, fixes, out);
    fixing->changed = fixing->changed || fixes.count != 0;
    if (newline) {
        out[written++] = '\n';
    }
    fixing->fixed->commit(out + written);
}

bool fixText(std::string_view text, LineBuffer *fixed)
{
    FixedText fixing = {text, fixed, false};
    findTextFixes(text, appendFixedLine, &fixing);
    return fixing.changed;
}
