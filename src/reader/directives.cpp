// Directives: comments that turn warnings off for the next statement or
// for the rest of the file.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "checks/checks.h"
#include "reader/judge.h"

// The directive's word, and what may follow it.
static const char directiveWord[] = "iscsi-config-check:";
static const size_t directiveWordLen = sizeof directiveWord - 1;

// Reads a comment line that begins "#", any blanks and
// "iscsi-config-check:": any blanks, "disable=" or "disable-file=" and
// names separated by commas, then blanks and a final carriage return at
// most. Turns the named warnings off as it says, where directives are
// obeyed, and tells what it cannot read as bad-directive warnings in any
// case (an unknown name with the closest warning's name).
static void readDirective(WarningState *warn, const char *line, size_t count,
                          size_t pos)
{
    pos = skipBlanks(line, pos + directiveWordLen);
    size_t start = pos;
    bool wholeFile = strncmp(line + pos, "disable-file=", 13) == 0;
    if (wholeFile) {
        pos += 13;
    } else if (strncmp(line + pos, "disable=", 8) == 0) {
        pos += 8;
    }
    size_t end = count;
    if (end > 0 && line[end - 1] == '\r') {
        end--;
    }
    while (end > pos && isBlank(line[end - 1])) {
        end--;
    }
    bool formed = pos > start && end > pos && line[pos] != ',' &&
                  line[end - 1] != ',' &&
                  memchr(line + pos, ' ', end - pos) == nullptr &&
                  memchr(line + pos, '\t', end - pos) == nullptr &&
                  memchr(line + pos, '\0', end - pos) == nullptr &&
                  strstr(line + pos, ",,") == nullptr;
    if (!formed) {
        addWarning(warn, WARN_BAD_DIRECTIVE, 0);
        return;
    }
    WarningSet off = 0;
    while (pos < end) {
        const char *comma =
            static_cast<const char *>(memchr(line + pos, ',', end - pos));
        size_t len = comma != nullptr ? static_cast<size_t>(comma - line) - pos
                                      : end - pos;
        std::string_view name(line + pos, len);
        const CheckInfo *check = findCheck(name);
        if (name == "all") {
            off |= allWarnings;
        } else if (check != nullptr && check->severity == Severity::warning) {
            off |= warningBit(warningKindOf(check));
        } else if (check != nullptr) {
            addWarning(warn, WARN_BAD_DIRECTIVE, pos,
                       static_cast<long long>(len), 2);
        } else if ((warn->enabled & warningBit(WARN_BAD_DIRECTIVE)) != 0) {
            // (The closest name is looked for only for a complaint.)
            const CheckInfo *close = closestCheck(name, true);
            addWarning(warn, WARN_BAD_DIRECTIVE, pos,
                       static_cast<long long>(len), close == nullptr ? 1 : 3);
            if (close != nullptr && warn->count > 0 &&
                warn->found[warn->count - 1].kind == WARN_BAD_DIRECTIVE) {
                warn->found[warn->count - 1].suggestion = close;
            }
        }
        pos += len + 1;
    }
    if (!warn->directives) {
        return;
    }
    if (wholeFile) {
        warn->fileOff |= off;
        warn->emptyFileOff =
            warn->emptyFileOff || (off & warningBit(WARN_EMPTY_FILE)) != 0;
    } else {
        warn->nextLineOff |= off;
        warn->linesOff = warn->linesOff || off != 0;
    }
}

// The position after `word` (lower case) when the text at `pos` begins with
// it in any letter case; `pos` itself otherwise. The text ends at a zero
// byte, which no letter of `word` matches.
static size_t skipWordAnyCase(const char *line, size_t pos,
                              std::string_view word)
{
    for (size_t k = 0; k < word.size(); k++) {
        char c = line[pos + k];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != word[k]) {
            return pos;
        }
    }
    return pos + word.size();
}

// Whether the comment text at `pos` (after its '#' and blanks) is meant as a
// directive though not in its form: the program's name in any letter case,
// blanks, a ':' or none, blanks, and "disable=" or "disable-file=" in any
// letter case. Prose that names the program is no such thing.
static bool meantAsDirective(const char *line, size_t pos)
{
    size_t word = skipWordAnyCase(line, pos, "iscsi-config-check");
    if (word == pos) {
        return false;
    }
    pos = skipBlanks(line, word);
    if (line[pos] == ':') {
        pos = skipBlanks(line, pos + 1);
    }
    return skipWordAnyCase(line, pos, "disable=") != pos ||
           skipWordAnyCase(line, pos, "disable-file=") != pos;
}

void readDirectiveLine(WarningState *warn, char *line, size_t count)
{
    if (count < 1) {
        return;
    }
    line[count] = '\0';
    size_t pos = skipBlanks(line, 1);
    if (count - pos >= directiveWordLen &&
        memcmp(line + pos, directiveWord, directiveWordLen) == 0) {
        readDirective(warn, line, count, pos);
    } else if (meantAsDirective(line, pos)) {
        addWarning(warn, WARN_BAD_DIRECTIVE, 0);
    }
}

void readDirectiveAlone(char *line, size_t count, bool complaints,
                        DirectiveReading *reading)
{
    reading->lineOff = 0;
    reading->fileOff = 0;
    reading->complaintCount = 0;
    // Only a comment line is read as a directive: what judgeLine hands to
    // readDirectiveLine.
    if (isStatementLine(line, count) || count == 0) {
        return;
    }
    // (Only what the directive reader uses is set: the rest of the state
    // is the whole file's.)
    WarningState state;
    state.enabled = complaints ? warningBit(WARN_BAD_DIRECTIVE) : 0U;
    state.count = 0;
    state.directives = true;
    state.nextLineOff = 0;
    state.fileOff = 0;
    state.linesOff = false;
    state.emptyFileOff = false;
    readDirectiveLine(&state, line, count);
    reading->lineOff = state.nextLineOff;
    reading->fileOff = state.fileOff;
    std::copy(state.found, state.found + state.count, reading->complaints);
    reading->complaintCount = state.count;
}

void readLineAsDirective(const char *line, size_t count,
                         DirectiveReading *reading)
{
    char copy[lineBufSize + 1];
    memcpy(copy, line, count);
    readDirectiveAlone(copy, count, true, reading);
}
