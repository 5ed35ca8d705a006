// The options that the command line and a file of options share, and the
// reading and finding of that file.
#include "cli/settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

static const char *const colorChoices[] = {"auto", "always", "never"};

void tellProblem(const char *programName, std::string_view text)
{
    bool terminal = isatty(STDERR_FILENO) != 0;
    writeUntrusted(stderr, programName, terminal);
    (void)fputs(": ", stderr);
    writeUntrusted(stderr, text, terminal);
    (void)fputc('\n', stderr);
}

// The longest name compared for a suggestion; a longer one is far from all.
static const size_t maxComparedLen = 64;

// The Damerau-Levenshtein distance (optimal string alignment) between `a`
// and `b`: insertions, deletions, substitutions and swaps of neighbours.
static size_t editDistance(std::string_view a, std::string_view b)
{
    size_t rows[3][maxComparedLen + 1] = {}; // two back, one back, this one
    for (size_t j = 0; j <= b.size(); j++) {
        rows[1][j] = j;
    }
    for (size_t i = 1; i <= a.size(); i++) {
        size_t *row = rows[(i + 1) % 3];
        const size_t *above = rows[i % 3];
        const size_t *twoUp = rows[(i + 2) % 3];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); j++) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            size_t best = above[j - 1] + cost;
            best = above[j] + 1 < best ? above[j] + 1 : best;
            best = row[j - 1] + 1 < best ? row[j - 1] + 1 : best;
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] &&
                a[i - 2] == b[j - 1] && twoUp[j - 2] + 1 < best) {
                best = twoUp[j - 2] + 1;
            }
            row[j] = best;
        }
    }
    return rows[(a.size() + 1) % 3][b.size()];
}

void complainOfUnknownCheck(LineBuffer *complaint, const char *what,
                            const char *name, bool warningsOnly)
{
    std::string_view given = name;
    std::string_view prefix = given.rfind("no-", 0) == 0 && warningsOnly
                                  ? std::string_view("no-")
                                  : std::string_view();
    std::string_view compared = tailOf(given, prefix.size());
    const CheckInfo *closest = nullptr;
    size_t closestDistance = 3;
    for (const CheckInfo &check : checkTable) {
        if ((warningsOnly && check.severity != Severity::warning) ||
            compared.size() > maxComparedLen ||
            check.name.size() > maxComparedLen) {
            continue;
        }
        size_t distance = editDistance(compared, check.name);
        if (distance < closestDistance) {
            closest = &check;
            closestDistance = distance;
        }
    }
    complaint->append("unknown ");
    complaint->append(what);
    complaint->append(" '");
    complaint->append(given);
    if (closest != nullptr) {
        complaint->append("'; did you mean '");
        complaint->append(prefix);
        complaint->append(closest->name);
        complaint->append("'?");
    } else {
        complaint->append("' (--list-checks lists the checks)");
    }
}

// Turns the warnings named by `name` on (NAME or all) or off (no-NAME or
// no-all).
static bool applyWarning(Settings *settings, const char *name,
                         LineBuffer *complaint)
{
    std::string_view named = name;
    // An error's name, whole ("no-connections") or after "no-".
    bool on = named.rfind("no-", 0) != 0 || findCheck(named) != nullptr;
    if (!on) {
        named = tailOf(named, 3);
    }
    WarningSet bits = allWarnings;
    if (named != "all") {
        const CheckInfo *check = findCheck(named);
        if (check != nullptr && check->severity == Severity::error) {
            complaint->append("'");
            complaint->append(check->name);
            complaint->append(
                "' is an error, not a warning: errors are always checked");
            return false;
        }
        if (check == nullptr) {
            complainOfUnknownCheck(complaint, "warning", name, true);
            return false;
        }
        bits = warningBit(warningKindOf(check));
    }
    if (on) {
        settings->warningsOn |= bits;
        settings->warningsOff &= ~bits;
    } else {
        settings->warningsOff |= bits;
        settings->warningsOn &= ~bits;
    }
    return true;
}

bool applySetting(Settings *settings, int code, const char *value,
                  LineBuffer *complaint)
{
    switch (code) {
    case OPTION_QUIET:
        settings->quiet = true;
        return true;
    case OPTION_STRICT:
        settings->strict = true;
        return true;
    case OPTION_MASK_PASSWORDS:
        settings->maskPasswords = true;
        return true;
    case OPTION_WARN:
        return applyWarning(settings, value, complaint);
    case OPTION_FORMAT:
        settings->format = findFormat(value);
        if (settings->format == nullptr) {
            complaint->append("unknown format '");
            complaint->append(value);
            complaint->append("' (");
            for (size_t k = 0; k < formatCount; k++) {
                complaint->append(k == 0 ? "" : ", ");
                complaint->append(formatTable[k].name);
            }
            complaint->append(")");
            return false;
        }
        return true;
    default: // OPTION_COLOR
        size_t k = 0;
        while (k < COLOR_UNKNOWN && strcmp(value, colorChoices[k]) != 0) {
            k++;
        }
        settings->color = static_cast<ColorChoice>(k);
        if (settings->color == COLOR_UNKNOWN) {
            complaint->append("unknown --color value '");
            complaint->append(value);
            complaint->append("' (auto, always, never)");
            return false;
        }
        return true;
    }
}

// The option a word of a file of options sets, and its value there: -q, -s,
// --quiet, --strict, --mask-passwords, --format=, --color=, --colour=,
// --warn= and -WNAME; 0 for any other word. "-W" alone takes the next word.
static int optionOfWord(const char *word, const char **value)
{
    static const struct {
        const char *word;
        int code;
    } words[] = {{"-q", OPTION_QUIET},
                 {"--quiet", OPTION_QUIET},
                 {"-s", OPTION_STRICT},
                 {"--strict", OPTION_STRICT},
                 {"--mask-passwords", OPTION_MASK_PASSWORDS},
                 {"--format=", OPTION_FORMAT},
                 {"--color=", OPTION_COLOR},
                 {"--colour=", OPTION_COLOR},
                 {"--warn=", OPTION_WARN},
                 {"-W", OPTION_WARN}};
    for (const auto &entry : words) {
        size_t len = strlen(entry.word);
        bool takesValue = entry.word[len - 1] == '=' || entry.code == 'W';
        if (strncmp(word, entry.word, len) == 0 &&
            (takesValue || word[len] == '\0')) {
            *value = word + len;
            return entry.code;
        }
    }
    return 0;
}

// Tells "PROGRAM: FILE:LINE: TEXT".
static void tellAtLine(const char *programName, const char *path,
                       long long lineNum, std::string_view text)
{
    LineBuffer message;
    message.append(path);
    message.append(':');
    message.appendNumber(lineNum);
    message.append(": ");
    message.append(text);
    tellProblem(programName, message.view());
}

// Applies the words of one line of a file of options; false after telling
// what is wrong.
static bool applyLine(char *line, const char *path, long long lineNum,
                      const char *programName, Settings *settings)
{
    const char *pendingWarning = nullptr; // "-W" waits for its name
    for (char *word = strtok(line, " \t"); word != nullptr;
         word = strtok(nullptr, " \t")) {
        LineBuffer complaint;
        if (pendingWarning != nullptr) {
            pendingWarning = nullptr;
            if (!applySetting(settings, OPTION_WARN, word, &complaint)) {
                tellAtLine(programName, path, lineNum, complaint.view());
                return false;
            }
            continue;
        }
        if (word[0] == '#') {
            return true;
        }
        // Short options together, as "-qs".
        if (word[0] == '-' && word[1] != '\0' && word[2] != '\0' &&
            strspn(word + 1, "qs") == strlen(word + 1)) {
            settings->quiet = settings->quiet || strchr(word, 'q') != nullptr;
            settings->strict = settings->strict || strchr(word, 's') != nullptr;
            continue;
        }
        const char *value = nullptr;
        int code = optionOfWord(word, &value);
        if (code == OPTION_WARN && value[0] == '\0' && word[1] == 'W') {
            pendingWarning = word;
            continue;
        }
        if (code == 0) {
            complaint.append("'");
            complaint.append(word);
            complaint.append("' is not allowed here");
        }
        if (code == 0 || !applySetting(settings, code, value, &complaint)) {
            tellAtLine(programName, path, lineNum, complaint.view());
            return false;
        }
    }
    if (pendingWarning != nullptr) {
        LineBuffer complaint;
        complaint.append("option '");
        complaint.append("-W");
        complaint.append("' needs a value");
        tellAtLine(programName, path, lineNum, complaint.view());
        return false;
    }
    return true;
}

bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings)
{
    FILE *file = fopen(path, "r");
    if (file == nullptr) {
        if (given) {
            (void)fputs("failed to open file ", stderr);
            writeUntrusted(stderr, path, isatty(STDERR_FILENO) != 0);
            (void)fputc('\n', stderr);
        }
        return !given;
    }
    struct stat status = {};
    if (!given && fstat(fileno(file), &status) == 0) {
        const char *why = nullptr;
        if (status.st_uid != getuid() && status.st_uid != 0) {
            why = ": owned by another user";
        } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            why = ": writable by others";
        }
        if (why != nullptr) {
            LineBuffer message;
            message.append("ignoring ");
            message.append(path);
            message.append(why);
            tellProblem(programName, message.view());
            (void)fclose(file);
            return true;
        }
    }
    LineBuffer line;
    bool sound = true;
    long long lineNum = 0;
    int c = 0;
    while (sound && c != EOF) {
        line.clear();
        while ((c = fgetc(file)) != EOF && c != '\n') {
            line.append(static_cast<char>(c));
        }
        lineNum++;
        if (!line.view().empty() && line.view().back() == '\r') {
            line.commit(line.reserve(0) - 1); // a final carriage return
        }
        line.append('\0');
        sound = applyLine(line.data(), path, lineNum, programName, settings);
    }
    (void)fclose(file);
    return sound;
}

// Writes "FOLDER/NAME" for the first `len` bytes of `folder` (the root is
// "/") to `path`; true when that entry exists.
static bool entryExists(char *path, size_t size, const char *folder, size_t len,
                        const char *name)
{
    int shown = len == 1 ? 0 : static_cast<int>(len);
    (void)snprintf(path, size, "%.*s/%s", shown, folder, name);
    struct stat status = {};
    return stat(path, &status) == 0;
}

// The length of the parent of the first `len` bytes of `folder`.
static size_t parentOf(const char *folder, size_t len)
{
    while (len > 1 && folder[len - 1] != '/') {
        len--;
    }
    return len > 1 ? len - 1 : 1;
}

bool findSettingsFile(char *path, size_t size)
{
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) {
        return false;
    }
    // The top of the repository: the first folder up from here that holds
    // a .git entry; without one, only the current folder is looked in.
    size_t top = strlen(folder);
    while (!entryExists(path, size, folder, top, ".git") && top > 1) {
        top = parentOf(folder, top);
    }
    if (!entryExists(path, size, folder, top, ".git")) {
        top = strlen(folder);
    }
    for (size_t len = strlen(folder);; len = parentOf(folder, len)) {
        if (entryExists(path, size, folder, len, ".iscsi-config-check")) {
            return true;
        }
        if (len <= top) {
            return false;
        }
    }
}
