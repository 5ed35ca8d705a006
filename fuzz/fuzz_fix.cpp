// Mends files with the safe fixes and holds what makes them safe. The
// input is a recipe for a file rich in what fixes touch: directives (valid,
// malformed, near misses, indented, after a byte order mark), lines of
// blanks, indented comments, runs of carriage returns, leading zeros, long
// lines and raw bytes. Held:
// - mending twice changes nothing more, every line keeps its number, and
//   every sound statement reports the same values once mended;
// - a diagnostic is fixable exactly when --fix changes its line and takes
//   its cause away (a warning gone from the line, an error's line without
//   error; never past 16 password characters), and a note offers --fix
//   exactly where --fix changes its line and takes the note's cause away;
// - the mended file, checked with every warning, reports what the
//   original reported less what was fixable, but for empty-file, the
//   once-per-file carriage-return, and what a deleted byte order mark or
//   carriage return had kept from being read on its line (another error,
//   or the warnings of a statement now sound, duplicates included).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "diagnose/inspect.h"
#include "reader/config.h"

namespace
{

// What a sound statement reports.
struct Values {
    long long lineNum;
    size_t offset;
    uint32_t addr[4];
    uint32_t port;
    int32_t nConnections;
    std::string loginParams;

    bool operator==(const Values &other) const
    {
        return lineNum == other.lineNum && offset == other.offset &&
               memcmp(addr, other.addr, sizeof addr) == 0 &&
               port == other.port && nConnections == other.nConnections &&
               loginParams == other.loginParams;
    }
};

int keepSound(void *context, const Verdict *verdict)
{
    if (verdict->isStatement && verdict->fault == FAULT_NONE) {
        Values values = {verdict->lineNum,
                         verdict->source.offset,
                         {},
                         verdict->port,
                         verdict->nConnections,
                         {verdict->loginParams, verdict->loginParamsLen}};
        memcpy(values.addr, verdict->addr, sizeof values.addr);
        static_cast<std::vector<Values> *>(context)->push_back(values);
    }
    return 0;
}

// A stream over `text`, which must outlive it.
FILE *openText(std::string *text)
{
    static char none = '\0';
    FILE *stream =
        fmemopen(text->empty() ? &none : &(*text)[0], text->size(), "r");
    if (stream == nullptr) {
        abort();
    }
    return stream;
}

// The sound statements of `text`, as the checker reads them.
std::vector<Values> soundStatements(std::string text)
{
    std::vector<Values> found;
    FILE *stream = openText(&text);
    ReaderHooks hooks = {};
    hooks.onVerdict = keepSound;
    hooks.context = &found;
    (void)readConfigStream(stream, &hooks);
    fclose(stream);
    return found;
}

// One diagnostic as a format with notes and fixes shows it.
struct Record {
    const CheckInfo *check;
    long long lineNum;
    bool fixable;
    std::vector<Note> notes;
};

// Keeps every diagnostic of a file.
class Collector : public DiagnosticConsumer
{
  public:
    Collector()
    {
        ConsumerNeeds needs;
        needs.hidesColumns = true;
        needs.notes = true;
        needs.fixable = true;
        needs.fixEdits = true;
        setUpConsumer(ConsumerStreams{}, needs);
    }
    std::vector<Record> records;

  protected:
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        records.push_back(
            {diagnostic.check,
             diagnostic.lineNum,
             diagnostic.fixable,
             {diagnostic.notes, diagnostic.notes + diagnostic.noteCount}});
    }
};

std::vector<Record> diagnose(std::string text, bool directives)
{
    Collector collector;
    FILE *stream = openText(&text);
    InspectOptions options;
    options.warnings = allWarnings;
    options.directives = directives;
    inspectStream(stream, "f", &collector, options);
    fclose(stream);
    return collector.records;
}

std::string mended(const std::string &text)
{
    LineBuffer fixed;
    fixText(text, &fixed);
    return std::string(fixed.view());
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The file the recipe `data` makes.
std::string generate(const uint8_t *data, size_t size)
{
    static const char *const names[] = {
        "all",     "bom",         "leading-zero",     "duplicate-target",
        "bogus",   "parse",       "carriage-return",  "control-char",
        "bom,all", "leading-zer", "empty-file,bogus", "trailing-text"};
    static const char *const heads[] = {
        "# iscsi-config-check: disable=",
        "# iscsi-config-check: disable-file=",
        "#iscsi-config-check:disable=",
        "# iscsi-config-check: ",
        "# iscsi-config-check disable=",
        "# ISCSI-CONFIG-CHECK: Disable=",
        "# iscsi-config-check runs in CI ",
        "# old entry ",
    };
    static const char *const statements[] = {
        "target = 010.0.0.1 3260 2 Initiator:x,pw",
        "target = 10.0.0.1 3260 2 Initiator:y,pw",
        "target = 1.2.3.4 1 0 Initiator:a,b",
        "target = 00.01.000.1 1 1 Initiator:h,0123456789abcdef",
        "target = 1.2.3.4 1 1 Initiator:a,b ",
        "target\t =  1.2.3",
        "target = 1.2.3.4 1 1 Initiator:a,",
    };
    std::string text;
    size_t k = 0;
    auto next = [&]() -> unsigned { return k < size ? data[k++] : 0U; };
    while (k < size) {
        unsigned choice = next();
        unsigned arg = next();
        switch (choice % 12) {
        case 0:
        case 1:
            text += heads[arg % 8];
            text += names[(arg / 8) % 12];
            break;
        case 2:
            text += std::string(arg % 4, (arg & 4) != 0 ? '\t' : ' ');
            break;
        case 3:
            text += "\xEF\xBB\xBF";
            break;
        case 4:
            text += std::string(1 + arg % 3, '\r');
            break;
        case 5:
        case 6:
            text += statements[arg % 7];
            break;
        case 7:
            text += std::string(480 + arg % 64, (arg & 1) != 0 ? ' ' : 'x');
            break;
        case 8:
            text += static_cast<char>(arg);
            break;
        default:
            text += '\n';
            break;
        }
    }
    return text;
}

using Key = std::pair<long long, const CheckInfo *>;

// How many diagnostics of each check each line has.
std::map<Key, int> counts(const std::vector<Record> &records, bool unfixed)
{
    std::map<Key, int> found;
    for (const Record &record : records) {
        if (!unfixed || !record.fixable) {
            found[{record.lineNum, record.check}]++;
        }
    }
    return found;
}

int countOf(const std::map<Key, int> &found, const Key &key)
{
    auto at = found.find(key);
    return at == found.end() ? 0 : at->second;
}

bool offersFix(const Note &note)
{
    return note.kind != NOTE_INDENTED_DIRECTIVE &&
           note.text.find("--fix") != std::string_view::npos;
}

// Whether the mended `line` (line 1 when `first`) no longer shows the
// cause the note of `kind` names.
bool causeGone(NoteKind kind, const std::string &line, bool first)
{
    switch (kind) {
    case NOTE_BOM:
        return !(first && line.rfind("\xEF\xBB\xBF", 0) == 0);
    case NOTE_CRLF:
        return line.empty() || line.back() != '\r';
    case NOTE_BLANK_LINE:
        return line.empty();
    case NOTE_INDENTED_COMMENT:
        return !line.empty() && line[0] == '#';
    default:
        return false;
    }
}

void check(bool held)
{
    if (!held) {
        abort();
    }
}

bool isWarning(const CheckInfo *check, WarningKind kind)
{
    return check->severity == Severity::warning && check->kind == kind;
}

void holdFixesAreSafe(const std::string &text, bool directives)
{
    std::string once = mended(text);
    std::vector<std::string> before = linesOf(text);
    std::vector<std::string> after = linesOf(once);
    std::vector<Record> original = diagnose(text, directives);
    std::vector<Record> fixed = diagnose(once, directives);
    auto lineOf = [](const std::vector<std::string> &lines, long long n) {
        return static_cast<size_t>(n) <= lines.size()
                   ? lines[static_cast<size_t>(n) - 1]
                   : std::string();
    };
    std::map<Key, int> had = counts(original, false);
    std::map<Key, int> kept = counts(original, true);
    std::map<Key, int> now = counts(fixed, false);
    // The lines where a deleted mark or carriage return may have kept the
    // statement from being read.
    std::map<long long, bool> unblocked;
    for (const Record &record : original) {
        const std::string was = lineOf(before, record.lineNum);
        const std::string is = lineOf(after, record.lineNum);
        bool changed = was != is;
        if (record.check->severity == Severity::error) {
            bool errorLeft = false;
            for (const Record &later : fixed) {
                errorLeft =
                    errorLeft || (later.lineNum == record.lineNum &&
                                  later.check->severity == Severity::error);
            }
            check(record.fixable ==
                  (changed && !errorLeft &&
                   record.check->kind != FAULT_CHARS_AFTER_PASSWORD));
            if (changed &&
                ((record.lineNum == 1 && was.rfind("\xEF\xBB\xBF", 0) == 0) ||
                 (!was.empty() && was.back() == '\r'))) {
                unblocked[record.lineNum] = true;
            }
        } else if (!isWarning(record.check, WARN_EMPTY_FILE)) {
            // The warnings of a line that --fix changes are fixable as
            // many as the mended line no longer has.
            Key key = {record.lineNum, record.check};
            int fixable = countOf(had, key) - countOf(kept, key);
            int gone = countOf(had, key) - countOf(now, key);
            check(fixable == (changed ? std::max(gone, 0) : 0));
        }
        for (const Note &note : record.notes) {
            if (note.kind == NOTE_INDENTED_DIRECTIVE) {
                check(!changed);
            } else if (note.kind <= NOTE_INDENTED_COMMENT) {
                check(
                    offersFix(note) ==
                    (changed && causeGone(note.kind, is, record.lineNum == 1)));
            }
        }
    }
    // The mended file reports what was not fixable, and nothing else but
    // what the exceptions allow.
    for (const auto &entry : now) {
        const Key &key = entry.first;
        check(entry.second == countOf(kept, key) ||
              isWarning(key.second, WARN_EMPTY_FILE) ||
              isWarning(key.second, WARN_CARRIAGE_RETURN) ||
              isWarning(key.second, WARN_DUPLICATE_TARGET) ||
              unblocked.count(key.first) != 0);
    }
    for (const auto &entry : kept) {
        const Key &key = entry.first;
        check(now.count(key) != 0 || unblocked.count(key.first) != 0 ||
              isWarning(key.second, WARN_EMPTY_FILE) ||
              isWarning(key.second, WARN_CARRIAGE_RETURN) ||
              (key.second->severity == Severity::error &&
               key.second->kind == FAULT_CHARS_AFTER_PASSWORD));
    }
}

size_t newlines(const std::string &text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte chooses: the input as it is, or as a recipe; and
    // whether directives are obeyed.
    if (size == 0) {
        return 0;
    }
    bool recipe = (data[0] & 1U) != 0;
    bool directives = (data[0] & 2U) == 0;
    std::string text =
        recipe
            ? generate(data + 1, size - 1)
            : std::string(reinterpret_cast<const char *>(data + 1), size - 1);
    // FUZZ_FIX_DUMP=FILE writes the file a recipe makes, to look into a
    // failure.
    const char *dump = getenv("FUZZ_FIX_DUMP");
    if (dump != nullptr) {
        FILE *out = fopen(dump, "wb");
        if (out != nullptr) {
            fwrite(text.data(), 1, text.size(), out);
            fclose(out);
        }
    }
    std::string once = mended(text);
    check(mended(once) == once && newlines(once) == newlines(text) &&
          once.size() <= text.size());
    // A statement sound before is sound after, with the same values, on
    // the same line and in the same piece of it.
    std::vector<Values> before = soundStatements(text);
    std::vector<Values> after = soundStatements(once);
    size_t next = 0;
    for (const Values &values : before) {
        while (next < after.size() && !(after[next] == values) &&
               after[next].lineNum <= values.lineNum) {
            next++;
        }
        check(next < after.size() && after[next] == values);
        next++;
    }
    holdFixesAreSafe(text, directives);
    return 0;
}
