// The table of output formats; the first is the default.
#include "formats/registry.h"

#include <cstring>

// Each format's emitter, in its own file.
Emitter *reportEmitter();
Emitter *gccEmitter();
Emitter *jsonEmitter();
Emitter *sarifEmitter();
Emitter *githubEmitter();
Emitter *ttyEmitter();

// What a format needs of the diagnostic step: excerpts of the lines,
// columns in characters, how it writes a file's name, whether --fix mends a
// diagnostic's cause and how (`asks`), and columns that stop at the hide
// point, with notes (all but the report format, whose positions and
// messages are the original checker's); and whether it shows sound
// statements.
enum Asks : unsigned { NOTHING_MORE = 0U, FIXABLE = 1U, FIX_EDITS = 2U };
enum Shows : bool { DIAGNOSTICS = false, TARGETS = true };
static constexpr ConsumerNeeds needing(bool excerpt, bool charColumn,
                                       NameStyle names, unsigned asks,
                                       bool hidesColumns = true,
                                       Shows shows = DIAGNOSTICS)
{
    ConsumerNeeds needs;
    needs.excerpt = excerpt;
    needs.charColumn = charColumn;
    needs.nameStyle = names;
    needs.hidesColumns = hidesColumns;
    needs.notes = hidesColumns;
    needs.fixable = (asks & FIXABLE) != 0;
    needs.fixEdits = (asks & FIX_EDITS) != 0;
    needs.targets = shows == TARGETS;
    return needs;
}

const FormatInfo formatTable[] = {
    {"report", reportEmitter,
     needing(false, false, NameStyle::asGiven, NOTHING_MORE, false, TARGETS),
     "report (the default);"},
    {"gcc", gccEmitter, needing(false, false, NameStyle::asGiven, NOTHING_MORE),
     "gcc: diagnostics only, as\nFILE:LINE:COLUMN: error: MESSAGE;"},
    {"json", jsonEmitter,
     needing(false, false, NameStyle::json, FIXABLE, true, TARGETS),
     "json: JSON Lines;\n"},
    {"sarif", sarifEmitter,
     needing(false, true, NameStyle::uri, FIXABLE | FIX_EDITS),
     "sarif: a SARIF 2.1.0 log;"},
    {"github", githubEmitter,
     needing(false, false, NameStyle::command, NOTHING_MORE),
     "github: workflow\nannotations;"},
    {"tty", ttyEmitter, needing(true, false, NameStyle::asGiven, NOTHING_MORE),
     "tty: for a terminal, with the line\nand a caret"},
};
const size_t formatCount = sizeof formatTable / sizeof formatTable[0];

const FormatInfo *findFormat(const char *name)
{
    for (const FormatInfo &format : formatTable) {
        if (strcmp(name, format.name) == 0) {
            return &format;
        }
    }
    return nullptr;
}
