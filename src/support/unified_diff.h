// A unified diff of two texts whose lines correspond one to one, as the
// safe fixes leave them: each line mended in place, and at most a last line
// without a newline emptied away.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_UNIFIED_DIFF_H
#define ISCSI_CONFIG_CHECK_SUPPORT_UNIFIED_DIFF_H

#include <string_view>

#include "support/line_buffer.h"

// Appends to `out` the diff from `before` to `after` of the file `name`,
// for a patch run in the folder `here` (the current folder, as an absolute
// name; empty when it cannot be told): "--- a/NAME" and "+++ b/NAME" as
// git writes them (a leading "./" left out, a tab after a NAME with a
// space; a NAME with a control character, a quote, a backslash or a byte
// over 0x7E in double quotes with C escapes, as git quotes it), then hunks
// with three lines of context. An absolute NAME below `here` by its text
// (no link resolved, no ".." step) is written relative to it, with the
// prefixes; any other absolute NAME as given. Nothing when the texts are
// the same. With `terminal`, every line is written as a terminal may show
// it (no longer a patch then, but safe to read).
void appendUnifiedDiff(LineBuffer *out, std::string_view name,
                       std::string_view here, std::string_view before,
                       std::string_view after, bool terminal);

#endif
