// The safe fixes: what can be deleted from a line without changing what a
// sound statement means, and the whole text mended.
#include <cstring>

#include "reader/judge.h"

// The position after the text `word` when the bytes from `pos` to `end`
// begin with it; `pos` itself otherwise.
static size_t skipWord(const char *line, size_t pos, size_t end,
                       std::string_view word)
{
    size_t len = word.size();
    return end - pos >= len && memcmp(line + pos, word.data(), len) == 0
               ? pos + len
               : pos;
}

// The position of the first byte from `pos` to `end` that is not a blank.
static size_t skipBlanksTo(const char *line, size_t pos, size_t end)
{
    while (pos < end && isBlank(line[pos])) {
        pos++;
    }
    return pos;
}

bool isDirective(const char *line, size_t pos, size_t end)
{
    pos = skipBlanksTo(line, pos + 1, end);
    return skipWord(line, pos, end, "iscsi-config-check:") != pos;
}

// Adds the leading zeros of the address numbers that the grammar reads
// from `pos` (a statement's text after its byte order marks, up to `end`)
// as fixes; the statement's own grammar reads the numbers the same way,
// and the value of each is the same without its zeros.
static size_t findLeadingZeros(const char *line, size_t pos, size_t end,
                               LineFix *fixes, size_t count)
{
    size_t keyword = skipWord(line, pos, end, "target");
    if (keyword == pos) {
        return count;
    }
    pos = skipBlanksTo(line, keyword, end);
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

size_t findLineFixes(const char *line, size_t len, bool firstLine,
                     LineFix *fixes, bool zeros)
{
    if (len > longestFixedLine) {
        return 0;
    }
    size_t count = 0;
    size_t start = 0;
    // Every mark, so that the line mended begins with none; but a mark
    // before a directive stays, which deleting would make take effect.
    while (firstLine &&
           skipWord(line, start, len, byteOrderMarkBytes) != start) {
        start += byteOrderMarkBytes.size();
    }
    if (start > 0 && start < len && line[start] == '#' &&
        isDirective(line, start, len)) {
        start = 0;
    }
    if (start > 0) {
        fixes[count++] = {0, start, FixCause::byteOrderMark};
    }
    // Every carriage return at the end, for the same reason.
    size_t end = len;
    while (end > start && line[end - 1] == '\r') {
        end--;
    }
    size_t text = skipBlanksTo(line, start, end);
    if (text == end && end > start) {
        fixes[count++] = {start, end, FixCause::blanks};
    } else if (text > start && line[text] == '#' &&
               !isDirective(line, text, end)) {
        fixes[count++] = {start, text, FixCause::blanks};
    } else if (zeros) {
        count = findLeadingZeros(line, text, end, fixes, count);
    }
    if (end < len) {
        fixes[count++] = {end, len, FixCause::carriageReturn};
    }
    return count;
}

size_t applyLineFixes(const char *line, size_t len, const LineFix *fixes,
                      size_t count, char *out)
{
    size_t written = 0;
    size_t from = 0;
    for (size_t k = 0; k <= count; k++) {
        size_t to = k < count ? fixes[k].start : len;
        memcpy(out + written, line + from, to - from);
        written += to - from;
        from = k < count ? fixes[k].end : len;
    }
    return written;
}

bool fixText(std::string_view text, LineBuffer *fixed)
{
    bool changed = false;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        const char *line = text.data() + lineStart;
        size_t rest = text.size() - lineStart;
        const auto *newline =
            static_cast<const char *>(memchr(line, '\n', rest));
        size_t len =
            newline != nullptr ? static_cast<size_t>(newline - line) : rest;
        LineFix fixes[maxLineFixes];
        size_t count = findLineFixes(line, len, lineStart == 0, fixes);
        char *out = fixed->reserve(len + 1);
        size_t written = applyLineFixes(line, len, fixes, count, out);
        changed = changed || count != 0;
        if (newline != nullptr) {
            out[written++] = '\n';
        }
        fixed->commit(out + written);
        lineStart += len + 1;
    }
    return changed;
}

bool faultIsFixable(const Verdict *verdict)
{
    const SourcePiece &piece = verdict->source;
    const char *line = piece.text;
    size_t len = piece.len;
    size_t at = verdict->pos;
    size_t start = 0;
    while (verdict->lineNum == 1 &&
           skipWord(line, start, len, byteOrderMarkBytes) != start) {
        start += byteOrderMarkBytes.size();
    }
    if (start > 0 && start < len && line[start] == '#' &&
        isDirective(line, start, len)) {
        start = 0; // the marks stay before a directive
    }
    size_t end = len;
    while (end > start && line[end - 1] == '\r') {
        end--;
    }
    size_t text = skipBlanksTo(line, start, end);
    // Mended to an empty line or a comment.
    if (text == end && (start > 0 || end < len || text > start)) {
        return true;
    }
    if (text < end && line[text] == '#' &&
        (start > 0 || end < len || text > start)) {
        return text == start || !isDirective(line, text, end);
    }
    // A statement after a mark, judged anew (line 1 only).
    if (start > 0) {
        return fixedLineIsSound(line, len, true);
    }
    // Login parameters sound but for the carriage return at their end: the
    // statement is sound unless its count is 0. (After 16 password
    // characters the line is mended too, but not told so: that would tell
    // the password's length.)
    return at == end && end < len && verdict->fault == FAULT_PASSWORD_CHAR &&
           verdict->nConnections != 0;
}
