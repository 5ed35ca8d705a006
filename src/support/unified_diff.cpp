// The unified diff of the safe fixes.
#include "support/unified_diff.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "support/allocate.h"
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

// Appends a file's name after "a/" or "b/" (`side`), or as given when it is
// absolute; quoted as git quotes names when it holds a byte that a patch
// line cannot hold as it is.
static void appendDiffName(LineBuffer *out, std::string_view side,
                           std::string_view name)
{
    // "./x" is "x" to a patch; git refuses the first.
    while (name.size() > 2 && name[0] == '.' && name[1] == '/') {
        name.remove_prefix(2);
    }
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

void appendUnifiedDiff(LineBuffer *out, std::string_view name,
                       std::string_view before, std::string_view after,
                       bool terminal)
{
    if (before == after) {
        return;
    }
    Lines old = {before, countLines(before)};
    Lines mended = {after, countLines(after)};
    // Where each text's lines begin, one pass over both, and whether each
    // line is changed; lines of the old text past the mended one's end
    // are gone.
    size_t lineCount = old.count;
    auto *starts = static_cast<size_t *>(
        allocateOrAbort(nullptr, sizeof(size_t) * 2 * (lineCount + 1)));
    size_t *newStarts = starts + lineCount + 1;
    size_t oldPos = 0;
    size_t newPos = 0;
    for (size_t k = 0; k < lineCount; k++) {
        starts[k] = oldPos;
        newStarts[k] = newPos;
        bool newline = false;
        oldPos += old.at(oldPos, &newline).size() + (newline ? 1 : 0);
        if (k < mended.count) {
            newPos += mended.at(newPos, &newline).size() + (newline ? 1 : 0);
        }
    }
    auto changed = [&](size_t k) {
        if (k >= mended.count) {
            return true;
        }
        bool oldNewline = false;
        bool newNewline = false;
        return old.at(starts[k], &oldNewline) !=
                   mended.at(newStarts[k], &newNewline) ||
               oldNewline != newNewline;
    };

    out->append("--- ");
    appendDiffName(out, "a/", name);
    out->append("\n+++ ");
    appendDiffName(out, "b/", name);
    out->append('\n');
    size_t k = 0;
    while (k < lineCount) {
        if (!changed(k)) {
            k++;
            continue;
        }
        // A hunk: from the context before this change to the context after
        // the last change that lies within twice the context of the next.
        size_t first = k > contextLines ? k - contextLines : 0;
        size_t last = k; // the last changed line
        for (size_t j = k + 1;
             j < lineCount && j <= last + 2 * contextLines + 1; j++) {
            if (changed(j)) {
                last = j;
            }
        }
        size_t end = last + 1 + contextLines < lineCount
                         ? last + 1 + contextLines
                         : lineCount;
        size_t newEnd = end < mended.count ? end : mended.count;
        out->append("@@ -");
        appendRange(out, first, end - first);
        out->append(" +");
        appendRange(out, first, newEnd > first ? newEnd - first : 0);
        out->append(" @@\n");
        size_t j = first;
        while (j < end) {
            if (!changed(j)) {
                appendHunkLine(out, ' ', old, starts[j], terminal);
                j++;
                continue;
            }
            size_t runEnd = j;
            while (runEnd < end && changed(runEnd)) {
                runEnd++;
            }
            for (size_t r = j; r < runEnd; r++) {
                appendHunkLine(out, '-', old, starts[r], terminal);
            }
            for (size_t r = j; r < runEnd && r < mended.count; r++) {
                appendHunkLine(out, '+', mended, newStarts[r], terminal);
            }
            j = runEnd;
        }
        k = end;
    }
    free(starts);
}
