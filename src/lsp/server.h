// The language server: the checker for an editor, over the Language Server
// Protocol 3.17 (JSON-RPC 2.0 in frames) on a pair of descriptors, for one
// client, until it says exit.
#ifndef ISCSI_CONFIG_CHECK_LSP_SERVER_H
#define ISCSI_CONFIG_CHECK_LSP_SERVER_H

#include <cstdio>
#include <string>
#include <string_view>

#include "diagnose/inspect.h"
#include "support/line_buffer.h"

// The settings for one document: how it is judged, or why its file of
// options cannot be used.
struct DocumentSettings {
    bool refused = false;
    std::string refusal; // the whole message, as the command line tells it
    InspectOptions options;
};

// What the server takes from the command line's stage.
struct ServerHooks {
    // The settings for the document at the absolute path `path`, or for a
    // document that is no file (null).
    DocumentSettings (*settingsFor)(const char *path) = nullptr;
    // Appends what --explain prints of `check`.
    void (*explain)(LineBuffer *out, const CheckInfo *check) = nullptr;
    // Tells a problem of the server's on standard error.
    void (*tell)(std::string_view problem) = nullptr;
};

// Serves the client that writes to `in` and reads `out` until it says
// exit; returns the exit status: 0 after shutdown and exit, else 1 (after
// telling why for input that cannot be read as frames; output that cannot
// be written shows in its error flag, for its owner to tell).
int serveLanguage(int in, FILE *out, const ServerHooks &hooks);

#endif
