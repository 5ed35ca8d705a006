// The per-file driver: opens and reads a file, turns the reader's verdict on
// each line into finished diagnostics and targets, and hands them to a
// consumer.
#ifndef ISCSI_CONFIG_CHECK_DIAGNOSE_INSPECT_H
#define ISCSI_CONFIG_CHECK_DIAGNOSE_INSPECT_H

#include <cstddef>
#include <cstdio>

#include "checks/kinds.h"
#include "diagnose/diagnostic.h"

// How the lines of a file are judged: the warnings asked for, and whether
// the file's directives may turn them off.
struct InspectOptions {
    WarningSet warnings = 0;
    bool directives = true;
};

// Opens, reads and closes the file `name`, handing its events to `consumer`
// (beginFile to endFile).
FileStatus inspectFile(const char *name, DiagnosticConsumer *consumer,
                       const InspectOptions &options = {});

// inspectFile on an already opened stream, named `name`, which is left
// open, unless it is the consumer's output itself.
FileStatus inspectOpened(FILE *file, const char *name,
                         DiagnosticConsumer *consumer,
                         const InspectOptions &options);

// inspectOpened without the check that the stream is not the output; a
// null `file` is one that could not be opened, for the reason `errno` gives.
// `readBlockSize` bytes are asked for per read (0: the reader's default).
FileStatus inspectStream(FILE *file, const char *name,
                         DiagnosticConsumer *consumer,
                         const InspectOptions &options = {},
                         size_t readBlockSize = 0);

#endif
