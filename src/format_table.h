// The output formats, one row each: the name that --format takes, the
// factory of its reporter, and its words in the help text.
#ifndef ISCSI_CONFIG_CHECK_FORMAT_TABLE_H
#define ISCSI_CONFIG_CHECK_FORMAT_TABLE_H

#include <cstddef>

#include "report.h"

struct FormatInfo {
    const char *name;
    // Sets up the format's reporter for a run; a later call sets it up anew.
    Reporter *(*make)(const ReporterSetup &setup);
    // Its part of --format's entry in --help, wrapped by hand: each newline
    // starts a continuation line, and the next format's part follows on the
    // same line after a space unless this part ends with a newline.
    const char *help;
};

extern const FormatInfo formatTable[];
extern const size_t formatCount;

// The format named `name`, or null.
const FormatInfo *findFormat(const char *name);

// The default format.
inline const FormatInfo *reportFormat()
{
    return &formatTable[0];
}

#endif
