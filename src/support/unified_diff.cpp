// The unified diff of the safe fixes.
#include "support/unified_diff.h"

#include <algorithm>
#include <cstring>

#include "support/escape.h"

// Lines of context around each change.
static const size_t contextLines = 3;

namespace
{

// The lines of a text: where each begins, found as they are asked for in
// order.
struct Lines {
    std::string_view text;
    size_t count; // lines, a last one without a newline included

    // The line at `start` without its newline, and whether it has one.
    std::string_view at(size_t start, bool *newline) const
    {
        const auto *end = static_cast<const char *>(
            memchr(text.data() + start, '\n', text.size() - start));
        *newline = end != nullptr;
        size_t len = end != nullptr
                         ? static_cast<size_t>(end - text.data()) - start
                         : text.size() - start;
        return headOf(tailOf(text, start), len);
    }
};

} // namespace

static size_t countLines(std::string_view text)
{
    auto count =
        static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    return count + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// Whether `path` holds a ".." step, which leads out of where it starts.
static bool stepsUp(std::string_view path)
{
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find('/', start);
        end = end == std::string_view::npos ? path.size() : end;
        if (end - start == 2 && path[start] == '.' && path[start + 1] == '.') {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The name by which a patch run in the folder `here` finds the file `name`:
// without a leading "./" (nor the slashes after it), and, for an absolute
// name below `here` by its text (no link resolved) and with no ".." step,
// its part below `here`; else `name` as it is.
static std::string_view patchName(std::string_view name, std::string_view here)
{
    std::string_view rest = name;
    bool slashes = false; // the slashes that begin `rest` go too
    while (here.size() > 1 && here.back() == '/') {
        here.remove_suffix(1);
    }
    if (!here.empty() && here[0] == '/' && name.size() > here.size() &&
        name.compare(0, here.size(), here) == 0 &&
        (name[here.size()] == '/' || here.size() == 1) &&
        !stepsUp(tailOf(name, here.size()))) {
        rest = tailOf(name, here.size() == 1 ? 0 : here.size());
        slashes = true;
    }
    for (;;) {
        if (rest.size() > 2 && rest[0] == '.' && rest[1] == '/') {
            rest.remove_prefix(2);
            slashes = true;
        } else if (slashes && rest.size() > 1 && rest[0] == '/') {
            rest.remove_prefix(1);
        } else {
            break;
        }
    }
    // (A name that leaves only "/" names a folder, which is never diffed.)
    return !rest.empty() && rest[0] == '/' ? name : rest;
}

// Appends a file's name as patchName gives it, after "a/" or "b/" (`side`)
// unless it is absolute; quoted as git quotes names when it holds a byte
// that a patch line cannot hold as it is.
static void appendDiffName(LineBuffer *out, std::string_view side,
                           std::string_view name)
{
    bool absolute = !name.empty() && name[0] == '/';
    bool quoted = false;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        quoted = quoted || byte < 0x20 || byte > 0x7E || c == '"' || c == '\\';
    }
    if (!quoted) {
        out->append(absolute ? std::string_view() : side);
        out->append(name);
        // A name with a space ends at a tab, as git writes it, for patch.
        if (name.find(' ') != std::string_view::npos) {
            out->append('\t');
        }
        return;
    }
    out->append('"');
    out->append(absolute ? std::string_view() : side);
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        static const char escapes[] = "\a\b\t\n\v\f\r";
        static const char letters[] = "abtnvfr";
        const char *escape = byte != 0 ? strchr(escapes, c) : nullptr;
        if (c == '"' || c == '\\') {
            out->append('\\');
            out->append(c);
        } else if (escape != nullptr) {
            out->append('\\');
            out->append(letters[escape - escapes]);
        } else if (byte < 0x20 || byte > 0x7E) {
            out->append('\\');
            out->append(static_cast<char>('0' + (byte >> 6)));
            out->append(static_cast<char>('0' + ((byte >> 3) & 7U)));
            out->append(static_cast<char>('0' + (byte & 7U)));
        } else {
            out->append(c);
        }
    }
    out->append('"');
}

// Appends one line of a hunk: its mark, its bytes, and the note of a last
// line without a newline.
static void appendHunkLine(LineBuffer *out, char mark, const Lines &lines,
                           size_t start, bool terminal)
{
    bool newline = false;
    std::string_view line = lines.at(start, &newline);
    out->append(mark);
    appendUntrusted(out, line, terminal);
    out->append('\n');
    if (!newline) {
        out->append("\\ No newline at end of file\n");
    }
}

// Appends a hunk's range: its first line and, unless it is 1, its count
// (the line before it for an empty range), as diff writes them.
static void appendRange(LineBuffer *out, size_t start, size_t count)
{
    out->appendNumber(count == 0 ? start : start + 1);
    if (count != 1) {
        out->append(',');
        out->appendNumber(count);
    }
}

namespace
{

// A line of both texts at once: its number from 0 and where it begins in
// each (the mended text's lines correspond to the old one's, but for a
// last line that may be gone).
struct Cursor {
    size_t line;
    size_t oldPos;
    size_t newPos;
};

// The two texts, walked line by line with cursors: nothing is kept per
// line, so the diff needs no memory beyond its own text.
struct Walk {
    Lines old;
    Lines mended;

    void advance(Cursor *cursor) const
    {
        bool newline = false;
        cursor->oldPos += old.at(cursor->oldPos, &newline).size() + 1;
        if (cursor->line < mended.count) {
            cursor->newPos += mended.at(cursor->newPos, &newline).size() + 1;
        }
        cursor->line++;
    }

    bool changed(const Cursor &cursor) const
    {
        if (cursor.line >= mended.count) {
            return true;
        }
        bool oldNewline = false;
        bool newNewline = false;
        return old.at(cursor.oldPos, &oldNewline) !=
                   mended.at(cursor.newPos, &newNewline) ||
               oldNewline != newNewline;
    }
};

} // namespace

// Appends the hunk from the line at `first` to the line `end` (excluded).
static void appendHunk(LineBuffer *out, const Walk &walk, Cursor first,
                       size_t end, bool terminal)
{
    size_t newEnd = end < walk.mended.count ? end : walk.mended.count;
    out->append("@@ -");
    appendRange(out, first.line, end - first.line);
    out->append(" +");
    appendRange(out, first.line, newEnd > first.line ? newEnd - first.line : 0);
    out->append(" @@\n");
    Cursor at = first;
    while (at.line < end) {
        if (!walk.changed(at)) {
            appendHunkLine(out, ' ', walk.old, at.oldPos, terminal);
            walk.advance(&at);
            continue;
        }
        // A run of changed lines: the old ones, then the mended ones.
        Cursor run = at;
        while (at.line < end && walk.changed(at)) {
            appendHunkLine(out, '-', walk.old, at.oldPos, terminal);
            walk.advance(&at);
        }
        for (; run.line < at.line && run.line < walk.mended.count;
             walk.advance(&run)) {
            appendHunkLine(out, '+', walk.mended, run.newPos, terminal);
        }
    }
}

void appendUnifiedDiff(LineBuffer *out, std::string_view name,
                       std::string_view here, std::string_view before,
                       std::string_view after, bool terminal)
{
    if (before == after) {
        return;
    }
    Walk walk = {{before, countLines(before)}, {after, countLines(after)}};
    size_t lineCount = walk.old.count;
    name = patchName(name, here);
    out->append("--- ");
    appendDiffName(out, "a/", name);
    out->append("\n+++ ");
    appendDiffName(out, "b/", name);
    out->append('\n');
    // The last lines of context seen, the oldest first, for the next hunk.
    Cursor context[contextLines] = {};
    size_t contextCount = 0;
    Cursor at = {0, 0, 0};
    while (at.line < lineCount) {
        if (!walk.changed(at)) {
            if (contextCount == contextLines) {
                std::copy(context + 1, context + contextLines, context);
                contextCount--;
            }
            context[contextCount++] = at;
            walk.advance(&at);
            continue;
        }
        // A hunk: from the context before this change to the context after
        // the last change that lies within twice the context of the next.
        Cursor first = contextCount > 0 ? context[0] : at;
        size_t last = at.line;
        Cursor ahead = at;
        walk.advance(&ahead);
        for (; ahead.line < lineCount &&
               ahead.line <= last + 2 * contextLines + 1;
             walk.advance(&ahead)) {
            if (walk.changed(ahead)) {
                last = ahead.line;
            }
        }
        size_t end = last + 1 + contextLines < lineCount
                         ? last + 1 + contextLines
                         : lineCount;
        appendHunk(out, walk, first, end, terminal);
        // On from the hunk's end, with no context before it.
        while (at.line < end) {
            walk.advance(&at);
        }
        contextCount = 0;
    }
}
