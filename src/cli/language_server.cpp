// --lsp: the server's settings for each document, and its start.
#include "cli/language_server.h"

#include <unistd.h>

#include "cli/checks_info.h"
#include "cli/resolve.h"

// The program's name as invoked, for the messages told.
static const char *serverProgramName = "iscsi-config-check";

DocumentSettings settingsForDocument(const char *path)
{
    DocumentSettings found;
    Settings defaults;
    found.options.warnings = defaults.warnings;
    found.options.directives = defaults.directives;
    if (path == nullptr) {
        return found;
    }
    // A command line of no option: the file of options is the one that the
    // document's own path finds, as for `--stdin-filename=PATH`.
    CommandLine lookup;
    ResolvedSettings resolved;
    SettingsRefusal refusal;
    if (!resolveSettingsFor(&lookup, path, &resolved, &refusal)) {
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

int runLanguageServer(const char *programName)
{
    serverProgramName = programName;
    ServerHooks hooks;
    hooks.settingsFor = settingsForDocument;
    hooks.explain = appendExplanation;
    hooks.tell = tellServerProblem;
    return serveLanguage(STDIN_FILENO, stdout, hooks);
}
