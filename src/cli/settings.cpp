// The run's settings: the setters that the table of options names, the
// names they suggest for a mistyped check, and the colour default.
#include "cli/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <utility>

#include "checks/checks.h"
#include "support/escape.h"

void tellProblem(const char *programName, std::string_view text)
{
    bool terminal = isatty(STDERR_FILENO) != 0;
    // The name begins the line: written so that no CI runner takes it, or
    // what follows, for a workflow command.
    LineBuffer name;
    appendToldName(&name, programName, true);
    writeUntrusted(stderr, name.view(), terminal);
    (void)fputs(": ", stderr);
    writeUntrusted(stderr, text, terminal);
    (void)fputc('\n', stderr);
}

// The longest word a message quotes.
static const size_t maxQuotedLen = 64;

// Whether `c` may stand in a word that a message quotes.
static bool isPlainChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= '0' && c <= '9') || c == '=' || c == '_' || c == '.' ||
           c == ',' || c == '-';
}

bool isPlainWord(std::string_view word)
{
    // Up to two leading dashes, then 1 to 64 characters (dashes among
    // them): every character plain, and the length within the bound once
    // the dashes that the prefix may take are set aside.
    size_t dashes = 0;
    while (dashes < 2 && dashes < word.size() && word[dashes] == '-') {
        dashes++;
    }
    return !word.empty() && word.size() <= maxQuotedLen + dashes &&
           std::all_of(word.begin(), word.end(), isPlainChar);
}

void appendQuotedWord(Complaint *complaint, std::string_view word)
{
    if (isPlainWord(word)) {
        complaint->text.append(" '");
        complaint->text.append(word);
        complaint->text.append("'");
    } else {
        complaint->withheld = true;
    }
}

void appendSuggestion(Complaint *complaint, std::string_view prefix,
                      std::string_view name)
{
    complaint->text.append("; did you mean '");
    complaint->text.append(prefix);
    complaint->text.append(name);
    complaint->text.append("'?");
}

std::string_view warningPrefixOf(std::string_view value)
{
    return headOf(value, value.rfind("-W", 0) == 0 ? 2 : 0);
}

void complainOfUnknownCheck(Complaint *complaint, const char *what,
                            const char *name, bool warningsOnly)
{
    std::string_view given = name;
    size_t prefixLen = warningPrefixOf(given).size();
    if (warningsOnly && tailOf(given, prefixLen).rfind("no-", 0) == 0) {
        prefixLen += 3;
    }
    std::string_view prefix = headOf(given, prefixLen);
    std::string_view compared = tailOf(given, prefixLen);
    const CheckInfo *closest = closestCheck(compared, warningsOnly);
    std::string_view suggested =
        closest != nullptr ? std::string_view(closest->name) : "";
    // "all" stands among the warnings' names, at most two edits away too.
    std::string_view all = "all";
    size_t toAll = warningsOnly ? editDistance(compared, all, 3) : 3;
    if (toAll < 3 && (closest == nullptr ||
                      toAll < editDistance(compared, suggested, toAll + 1))) {
        suggested = all;
    }
    LineBuffer *text = &complaint->text;
    text->append("unknown ");
    text->append(what);
    appendQuotedWord(complaint, given);
    if (!suggested.empty()) {
        appendSuggestion(complaint, prefix, suggested);
    } else {
        text->append(" (--list-checks lists the checks)");
    }
}

bool setQuiet(Settings *settings, const char * /*value*/,
              Complaint * /*complaint*/)
{
    settings->quiet = true;
    return true;
}

bool setStrict(Settings *settings, const char * /*value*/,
               Complaint * /*complaint*/)
{
    settings->strict = true;
    return true;
}

bool setMaskPasswords(Settings *settings, const char * /*value*/,
                      Complaint * /*complaint*/)
{
    settings->maskPasswords = true;
    return true;
}

bool setFormat(Settings *settings, const char *value, Complaint *complaint)
{
    const FormatInfo *format = findFormat(value);
    if (format == nullptr) {
        complaint->text.append("unknown format");
        appendQuotedWord(complaint, value);
        complaint->text.append(" (");
        for (size_t k = 0; k < formatCount; k++) {
            complaint->text.append(k == 0 ? "" : ", ");
            complaint->text.append(formatTable[k].name);
        }
        complaint->text.append(")");
        return false;
    }
    settings->format = format;
    return true;
}

const char *const colorChoices[] = {"auto", "always", "never"};
const size_t colorChoiceCount = sizeof colorChoices / sizeof colorChoices[0];

bool setColor(Settings *settings, const char *value, Complaint *complaint)
{
    for (size_t k = 0; k < colorChoiceCount; k++) {
        if (strcmp(value, colorChoices[k]) == 0) {
            settings->color = static_cast<ColorChoice>(k);
            return true;
        }
    }
    complaint->text.append("unknown --color value");
    appendQuotedWord(complaint, value);
    complaint->text.append(" (auto, always, never)");
    return false;
}

bool setWarning(Settings *settings, const char *value, Complaint *complaint)
{
    std::string_view named = value;
    named = tailOf(named, warningPrefixOf(named).size());
    // An error's name, whole ("no-connections") or after "no-".
    bool on = named.rfind("no-", 0) != 0 || findCheck(named) != nullptr;
    if (!on) {
        named = tailOf(named, 3);
    }
    WarningSet bits = allWarnings;
    WarningSet kept = settings->keptOff; // what -W all leaves off
    if (named != "all") {
        const CheckInfo *check = findCheck(named);
        if (check != nullptr && check->severity == Severity::error) {
            // (A name of the table: always plain.)
            complaint->text.append("'");
            complaint->text.append(check->name);
            complaint->text.append(
                "' is an error, not a warning: errors are always checked");
            return false;
        }
        if (check == nullptr) {
            complainOfUnknownCheck(complaint, "warning", value, true);
            return false;
        }
        bits = warningBit(warningKindOf(check));
        kept = 0; // a warning named is turned on whatever came before
    }
    if (on) {
        settings->warnings |= bits & ~kept;
        settings->turnedOff &= ~bits;
    } else {
        settings->warnings &= ~bits;
        settings->turnedOff |= bits;
    }
    return true;
}

bool setNoDirectives(Settings *settings, const char * /*value*/,
                     Complaint * /*complaint*/)
{
    settings->directives = false;
    return true;
}

void appendSettingsWords(LineBuffer *words, const Settings &settings)
{
    words->append("--format=");
    words->append(settings.format->name);
    words->append(" --color=");
    words->append(colorChoices[settings.color]);
    const std::pair<bool, const char *> flags[] = {
        {settings.quiet, " --quiet"},
        {settings.strict, " --strict"},
        {settings.maskPasswords, " --mask-passwords"},
        {!settings.directives, " --no-directives"},
    };
    for (const auto &flag : flags) {
        if (flag.first) {
            words->append(flag.second);
        }
    }
    for (size_t k = errorCheckCount; k < checkCount; k++) {
        if ((settings.warnings & warningBit(warningKindOf(&checkTable[k]))) !=
            0) {
            words->append(" -W");
            words->append(checkTable[k].name);
        }
    }
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
