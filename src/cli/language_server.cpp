// --lsp: the server's settings for each document, and its start.
#include "cli/language_server.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/checks_info.h"
#include "cli/settings_file.h"

// The program's name as invoked, for the messages told.
static const char *serverProgramName = "iscsi-config-check";

// Runs `read` with standard error going to a file in memory, and keeps
// what it wrote there in `told` (up to 64 KiB, its last newline dropped):
// the reader of a file of options tells why it refuses one only there.
template <typename Read> static bool keepTold(Read read, std::string *told)
{
    int memory = memfd_create("told", MFD_CLOEXEC);
    int saved = memory >= 0 ? dup(STDERR_FILENO) : -1;
    if (saved < 0 || fflush(stderr) != 0 || dup2(memory, STDERR_FILENO) < 0) {
        if (memory >= 0) {
            (void)close(memory);
        }
        if (saved >= 0) {
            (void)close(saved);
        }
        return read();
    }
    bool result = read();
    (void)fflush(stderr);
    (void)dup2(saved, STDERR_FILENO);
    (void)close(saved);
    char text[65536];
    ssize_t got = pread(memory, text, sizeof text, 0);
    (void)close(memory);
    told->assign(text, got > 0 ? static_cast<size_t>(got) : 0);
    if (!told->empty() && told->back() == '\n') {
        told->pop_back();
    }
    return result;
}

DocumentSettings settingsForDocument(const char *path)
{
    DocumentSettings found;
    Settings settings;
    found.options.warnings = settings.warnings;
    found.options.directives = settings.directives;
    if (path == nullptr) {
        return found;
    }
    std::string options(path);
    size_t slash = options.rfind('/');
    options.erase(slash == std::string::npos ? 0 : slash + 1);
    options.append(".iscsi-config-check");
    // Any entry of that name counts, so that one that cannot be read is
    // refused rather than passed over.
    struct stat status = {};
    if (lstat(options.c_str(), &status) != 0 && errno == ENOENT) {
        return found;
    }
    bool read = keepTold(
        [&options, &settings]() {
            return readSettingsFile(options.c_str(), false, serverProgramName,
                                    &settings);
        },
        &found.refusal);
    if (!read) {
        found.refused = true;
        if (found.refusal.empty()) {
            found.refusal = options + ": cannot be used";
        }
        return found;
    }
    found.options.warnings = settings.warnings;
    found.options.directives = settings.directives;
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
