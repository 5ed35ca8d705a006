// The output formats, one row each: the name that --format takes, its
// emitter, what it needs of the diagnostic step, and its words in the help
// text.
#ifndef ISCSI_CONFIG_CHECK_FORMATS_REGISTRY_H
#define ISCSI_CONFIG_CHECK_FORMATS_REGISTRY_H

#include <cstddef>

#include "formats/emitter.h"

struct FormatInfo {
    const char *name;
    // The format's emitter, in static storage; startFormat sets it up.
    Emitter *(*emitter)();
    ConsumerNeeds needs;
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

// The emitter of `format`, set up for a run; a later call sets it up anew.
inline Emitter *startFormat(const FormatInfo *format, const EmitterSetup &setup)
{
    return format->emitter()->setUp(setup, format->needs);
}

#endif
