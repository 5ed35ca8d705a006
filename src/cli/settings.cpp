// The run's settings: the setters that the table of options names, the
// names they suggest for a mistyped check, and the colour default.
#include "cli/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "checks/checks.h"
#include "support/escape.h"

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

bool setQuiet(Settings *settings, const char * /*value*/,
              LineBuffer * /*complaint*/)
{
    settings->quiet = true;
    return true;
}

bool setStrict(Settings *settings, const char * /*value*/,
               LineBuffer * /*complaint*/)
{
    settings->strict = true;
    return true;
}

bool setMaskPasswords(Settings *settings, const char * /*value*/,
                      LineBuffer * /*complaint*/)
{
    settings->maskPasswords = true;
    return true;
}

bool setFormat(Settings *settings, const char *value, LineBuffer *complaint)
{
    const FormatInfo *format = findFormat(value);
    if (format == nullptr) {
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
    settings->format = format;
    return true;
}

// The values of --color, in the order of ColorChoice.
static const char *const colorChoices[] = {"auto", "always", "never"};

bool setColor(Settings *settings, const char *value, LineBuffer *complaint)
{
    for (size_t k = 0; k < sizeof colorChoices / sizeof colorChoices[0]; k++) {
        if (strcmp(value, colorChoices[k]) == 0) {
            settings->color = static_cast<ColorChoice>(k);
            return true;
        }
    }
    complaint->append("unknown --color value '");
    complaint->append(value);
    complaint->append("' (auto, always, never)");
    return false;
}

bool setWarning(Settings *settings, const char *value, LineBuffer *complaint)
{
    std::string_view named = value;
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
            complainOfUnknownCheck(complaint, "warning", value, true);
            return false;
        }
        bits = warningBit(warningKindOf(check));
    }
    if (on) {
        settings->warnings |= bits;
    } else {
        settings->warnings &= ~bits;
    }
    return true;
}

bool colorsOutput(const Settings *settings)
{
    if (settings->color != COLOR_AUTO) {
        return settings->color == COLOR_ALWAYS;
    }
    const char *noColor = getenv("NO_COLOR");
    const char *term = getenv("TERM");
    return isatty(STDOUT_FILENO) != 0 &&
           (noColor == nullptr || noColor[0] == '\0') && term != nullptr &&
           term[0] != '\0' && strcmp(term, "dumb") != 0;
}
