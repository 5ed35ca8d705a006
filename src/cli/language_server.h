// --lsp: the language server started from the command line, with the
// settings and texts that this stage owns.
#ifndef ISCSI_CONFIG_CHECK_CLI_LANGUAGE_SERVER_H
#define ISCSI_CONFIG_CHECK_CLI_LANGUAGE_SERVER_H

#include "lsp/server.h"

// The settings for the document at the absolute path `path`: those of the
// file of options that the path finds, from the document's own folder up
// to the first that holds .git, read with every rule of the command line's
// lookup (a link, a FIFO, another user's file or one over 64 KiB refused),
// or the defaults where there is none or the document is no file (null); a
// refusal carries the message the command line would tell.
DocumentSettings settingsForDocument(const char *path);

// Serves an editor on standard input and output; returns the exit status.
int runLanguageServer(const char *programName);

#endif
