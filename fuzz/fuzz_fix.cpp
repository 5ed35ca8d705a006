// Mends arbitrary files with the safe fixes and holds what makes them safe:
// mending twice changes nothing more; every line keeps its number; and every
// sound statement of the file reports the same values once mended (its
// address, port, connections and login parameters). And whether a fault is
// fixable, told quickly, is what judging the mended line tells.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// Keeps the values of each sound statement; of each fault on a line that a
// fix may touch, holds that the quick judgement of whether --fix mends it
// is the line's own, judged again once mended.
int keepSound(void *context, const Verdict *verdict)
{
    const SourcePiece &piece = verdict->source;
    // (Past 16 password characters it is never told, whatever the line.)
    if (verdict->isStatement && verdict->fault != FAULT_NONE &&
        piece.offset == 0 && piece.lastPiece && piece.len <= longestFixedLine &&
        faultIsFixable(verdict) !=
            (verdict->fault != FAULT_CHARS_AFTER_PASSWORD &&
             fixedLineIsSound(piece.text, piece.len, verdict->lineNum == 1))) {
        abort();
    }
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

// The sound statements of `text`, as the checker reads them.
std::vector<Values> soundStatements(std::string text)
{
    std::vector<Values> found;
    char none = '\0';
    FILE *stream = fmemopen(text.empty() ? &none : &text[0], text.size(), "r");
    if (stream == nullptr) {
        abort();
    }
    ReaderHooks hooks = {};
    hooks.onVerdict = keepSound;
    hooks.context = &found;
    (void)readConfigStream(stream, &hooks);
    fclose(stream);
    return found;
}

std::string mended(const std::string &text)
{
    LineBuffer fixed;
    fixText(text, &fixed);
    return std::string(fixed.view());
}

size_t newlines(const std::string &text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    std::string once = mended(text);
    if (mended(once) != once || newlines(once) != newlines(text) ||
        once.size() > text.size()) {
        abort();
    }
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
        if (next == after.size() || !(after[next] == values)) {
            abort();
        }
        next++;
    }
    return 0;
}
