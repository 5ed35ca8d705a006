// The table of output formats; the first is the default.
#include "format_table.h"

#include <cstring>

// Each format's factory, in its own file.
Reporter *makeReportFormat(const ReporterSetup &setup);
Reporter *makeGccFormat(const ReporterSetup &setup);
Reporter *makeJsonFormat(const ReporterSetup &setup);
Reporter *makeSarifFormat(const ReporterSetup &setup);
Reporter *makeGithubFormat(const ReporterSetup &setup);
Reporter *makeTtyFormat(const ReporterSetup &setup);

const FormatInfo formatTable[] = {
    {"report", makeReportFormat, "report (the default);"},
    {"gcc", makeGccFormat,
     "gcc: diagnostics only, as\nFILE:LINE:COLUMN: error: MESSAGE;"},
    {"json", makeJsonFormat, "json: JSON Lines;\n"},
    {"sarif", makeSarifFormat, "sarif: a SARIF 2.1.0 log;"},
    {"github", makeGithubFormat, "github: workflow\nannotations;"},
    {"tty", makeTtyFormat, "tty: for a terminal, with the line\nand a caret"},
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
