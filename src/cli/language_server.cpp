// --lsp: the server's settings for each document, and its start.
#include "cli/language_server.h"

#include <unistd.h>

#include "cli/checks_info.h"
#include "cli/resolve.h"

// The program's name as invoked, for the messages told.
static const char *serverProgramName = "iscsi-config-check";
// The command line that started the server: its --config, --no-config and
// options that set settings apply to every document, as to a checked file.
static const CommandLine *serverCommand = nullptr;

DocumentSettings settingsForDocument(const char *path)
{
    DocumentSettings found;
    Settings defaults;
    found.options.warnings = defaults.warnings;
    found.options.directives = defaults.directives;
    // The file of options is the one that the document's own path finds, as
    // for `--stdin-filename=PATH`; a document that is no file finds none,
    // but takes --config's.
    CommandLine command = *serverCommand;
    if (path == nullptr && command.settingsPath == nullptr) {
        command.readsSettings = false;
    }
    ResolvedSettings resolved;
    SettingsRefusal refusal;
    if (!resolveSettingsFor(&command, path, &resolved, &refusal)) {
        found.refused = true;
        found.refusal.assign(serverProgramName);
        found.refusal.append(": ");
        found.refusal.append(refusal.message.view());
        return found;
    }
    found.options.warnings = resolved.settings.warnings;
    found.options.directives = resolved.settings.directives;
    return found;
}

static void tellServerProblem(std::string_view problem)
{
    tellProblem(serverProgramName, problem);
}

int runLanguageServer(const char *programName, const CommandLine *command)
{
    serverProgramName = programName;
    serverCommand = command;
    ServerHooks hooks;
    hooks.settingsFor = settingsForDocument;
    hooks.explain = appendExplanation;
    hooks.tell = tellServerProblem;
    return serveLanguage(STDIN_FILENO, stdout, hooks);
}
