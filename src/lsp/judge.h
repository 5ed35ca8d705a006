// A document judged in memory, as --stdin-filename judges standard input:
// what the diagnostic step finds, kept as values.
#ifndef ISCSI_CONFIG_CHECK_LSP_JUDGE_H
#define ISCSI_CONFIG_CHECK_LSP_JUDGE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "diagnose/inspect.h"

// One note on a finding's cause.
struct FoundNote {
    std::string text;
    size_t pos; // in the finding's physical line
};

// One diagnostic of the text.
struct Finding {
    const CheckInfo *check;
    long long lineNum;
    size_t pos;     // zero-based byte in the physical line
    bool hidden;    // at the hide point: shown as an empty range
    bool wholeFile; // about the file, not a line
    bool fixable;   // the line's fixes mend it
    std::string message;
    size_t firstNote; // its notes, in Judged::notes
    size_t noteCount;
};

struct Judged {
    std::vector<Finding> findings;
    std::vector<FoundNote> notes;
};

// Judges `text`, named `name`, with `options` into `judged` (emptied
// first).
void judgeText(std::string_view text, const char *name,
               const InspectOptions &options, Judged *judged);

#endif
