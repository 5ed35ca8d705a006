// Entry point of iscsi-config-check: reads the options and the file names
// from the command line (options.h), settles the run's settings, checks each
// file in turn with the chosen output format, and combines what it found
// into the exit status; or prints the help, the version, the list of checks
// or one check's explanation.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "cli/checks_info.h"
#include "cli/command_line.h"
#include "cli/help.h"
#include "cli/language_server.h"
#include "cli/options.h"
#include "cli/resolve.h"
#include "cli/settings.h"
#include "diagnose/inspect.h"
#include "formats/registry.h"
#include "support/allocate.h"
#include "support/escape.h"

// Stands in for the program name when the system gives no argument vector,
// and names the program in --version.
static const char ownProgramName[] = "iscsi-config-check";

// Exit statuses: usage errors and failures of the run share 1; a file that
// holds a fault gives 2 under --strict.
static const int statusOk = 0;
static const int statusFailed = 1;
static const int statusFaultsFound = 2;

// Tells that standard output could not be written. Standard error is the
// last resort: a failure there has no one to tell, and the status is 1
// already.
static int tellOutputFailed()
{
    (void)fputs("failed to write output\n", stderr);
    return statusFailed;
}

// Ends a run that wrote to standard output: a report that did not reach its
// reader must not look like success. The reader stopped at a failed write,
// and the C library drops what it could not write, so nothing follows the
// failure on standard output and the message ends a combined log.
static int finishOutput(int status)
{
    if (!closeStandardOutput()) {
        return tellOutputFailed();
    }
    return status;
}

// The standard streams that were closed when the program started.
struct ClosedStreams {
    bool input = false;
    bool output = false;
    bool failed = false; // one could not be filled
};

// Puts the null device on each of the descriptors 0 to 2 that is closed, so
// that no file opened later takes its number and is taken for a standard
// stream: a checked file on descriptor 1 would be "the output", and one on
// descriptor 0 the input of --stdin-filename.
static ClosedStreams fillClosedStreams()
{
    ClosedStreams closed;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        closed.input = closed.input || fd == STDIN_FILENO;
        closed.output = closed.output || fd == STDOUT_FILENO;
        // The lowest free descriptor: this one, the lower ones being open.
        if (open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) {
            closed.failed = true;
        }
    }
    return closed;
}

// Writes the usage message on standard error, with the program's name as
// invoked, which whoever started the program chose.
static void tellUsage(const char *programName)
{
    (void)fputs("USAGE: ", stderr);
    LineBuffer name;
    appendToldName(&name, programName, false);
    writeUntrusted(stderr, name.view(), isatty(STDERR_FILENO) != 0);
    (void)fputs(" <config_file_name>\n", stderr);
}

// The run under way, for the end that want of memory brings.
static Emitter *runEmitter = nullptr;
static const char *runProgramName = ownProgramName;

// Ends the run at once when memory runs out: what was judged is written, a
// document format's document closed, and the failure told; status 1.
static void endForWantOfMemory()
{
    static bool ending = false;
    if (!ending) {
        ending = true;
        if (runEmitter != nullptr) {
            runEmitter->abandonRun();
        }
        flushOutput(stdout);
        tellProblem(runProgramName, "out of memory");
    }
    _exit(statusFailed);
}

// Checks the files of the command line in turn, or standard input, with its
// format; returns the exit status.
static int checkFiles(const char *programName, const CommandLine *command,
                      bool inputClosed)
{
    const Settings *settings = &command->settings;
    size_t fileCount = command->stdinName != nullptr ? 1 : command->fileCount;
    EmitterSetup setup;
    setup.quiet = settings->quiet;
    setup.maskPasswords = settings->maskPasswords;
    setup.color = colorsOutput(settings);
    setup.fileCount = fileCount;
    setup.streams.outIsTerminal = isatty(STDOUT_FILENO) != 0;
    setup.streams.errIsTerminal = isatty(STDERR_FILENO) != 0;
    // The diff, and standard input mended, take standard output: what
    // remains is told on standard error.
    FixMode fixMode = command->fixMode;
    bool fromStdin = command->stdinName != nullptr;
    if (fixMode == FixMode::diff || (fixMode == FixMode::fix && fromStdin)) {
        setup.streams.out = stderr;
        setup.streams.outIsTerminal = setup.streams.errIsTerminal;
    }
    Emitter *emitter = startFormat(settings->format, setup);
    runEmitter = emitter;
    emitter->beginRun(programName);

    // Like cat, a file that cannot be read is reported and the run goes on;
    // a failed write ends it, since nobody would see the rest.
    InspectOptions inspection;
    inspection.warnings = settings->warnings;
    inspection.directives = settings->directives;
    bool runFailed = false;
    bool diffShown = false;
    MendedFiles mendedFiles;
    for (size_t k = 0; k < fileCount; k++) {
        FileStatus status = FileStatus::ok;
        if (fixMode != FixMode::none && !(fromStdin && inputClosed)) {
            Mended mended =
                mendFile(fromStdin ? command->stdinName : command->fileNames[k],
                         fromStdin, fixMode, emitter, inspection, &mendedFiles);
            status = mended.status;
            diffShown =
                diffShown || (fixMode == FixMode::diff && mended.changed);
        } else if (command->stdinName == nullptr) {
            status = inspectFile(command->fileNames[k], emitter, inspection);
        } else if (inputClosed) {
            // Not an empty file: there is no standard input to read.
            errno = EBADF;
            status =
                inspectStream(nullptr, command->stdinName, emitter, inspection);
        } else {
            status =
                inspectOpened(stdin, command->stdinName, emitter, inspection);
        }
        if (status == FileStatus::writeFailed || outputFailed(stdout) ||
            outputFailed(emitter->output())) {
            return finishOutput(statusFailed);
        }
        // Under --fix, standard error also tells which files were
        // rewritten: a run that could not say so has not succeeded, though
        // the report on standard output goes on to its end.
        runFailed = runFailed || status != FileStatus::ok ||
                    (fixMode == FixMode::fix && outputFailed(stderr));
    }
    emitter->endRun();

    // A warning asked for counts as a fault, and so does a fix not made.
    bool faultsFound =
        emitter->errorCount() > 0 || emitter->warningCount() > 0 || diffShown;
    int status = statusOk;
    if (runFailed) {
        status = statusFailed;
    } else if (settings->strict && faultsFound) {
        status = statusFaultsFound;
    }
    return finishOutput(status);
}

// Prints which file of options applies and what the settings come to:
// "file of options: PATH" (or "none") and "options: WORDS".
static void showSettings(const ResolvedSettings &resolved)
{
    LineBuffer shown;
    shown.append("file of options: ");
    appendName(&shown, resolved.path != nullptr ? resolved.path : "none",
               NameStyle::asGiven, isatty(STDOUT_FILENO) != 0);
    shown.append("\noptions: ");
    appendSettingsWords(&shown, resolved.settings);
    shown.append('\n');
    shown.write(stdout);
}

// Ends with status 1 a run that failed before it read standard input. Under
// --fix with --stdin-filename, standard output stands in for an editor's
// buffer, mended: there the input is written back as it came, so that a
// filter that takes the output keeps the buffer; input that cannot be read
// whole writes nothing, and says so. Input that is standard output's own
// file already holds itself, and is not written again.
static int failBeforeInput(int argc, char **argv, const char *programName,
                           bool inputClosed)
{
    struct stat input = {};
    if (!asksToMendInput(argc, argv) ||
        (!inputClosed && fstat(STDIN_FILENO, &input) == 0 &&
         writesTo(stdout, input))) {
        return statusFailed;
    }
    LineBuffer text;
    errno = EBADF; // a closed standard input is none to give back
    if (inputClosed || !readAll(STDIN_FILENO, &text)) {
        LineBuffer problem;
        problem.append("failed to read standard input: ");
        problem.append(strerror(errno));
        tellProblem(programName, problem.view());
        return statusFailed;
    }
    writeText(text.view());
    return finishOutput(statusFailed);
}

// Parses the command line, settles the settings where the action needs
// them, and checks, lists or explains; returns the exit status.
static int runChecker(int argc, char **argv, const char *programName,
                      CommandLine *command, bool inputClosed)
{
    LineBuffer complaint;
    Action action = parseCommandLine(argc, argv, command, &complaint);
    switch (action) {
    case ACTION_USAGE:
        if (!complaint.view().empty()) {
            tellProblem(programName, complaint.view());
        }
        tellUsage(programName);
        return failBeforeInput(argc, argv, programName, inputClosed);
    case ACTION_HELP: {
        LineBuffer help;
        buildHelp(&help);
        help.write(stdout);
        return finishOutput(statusOk);
    }
    case ACTION_VERSION: {
        LineBuffer version;
        version.append(ownProgramName);
        version.append(' ');
        version.append(ICC_VERSION);
        version.append('\n');
        version.write(stdout);
        return finishOutput(statusOk);
    }
    case ACTION_EXPLAIN:
        explainCheck(findCheck(command->explained));
        return finishOutput(statusOk);
    case ACTION_LSP: {
        int status = runLanguageServer(programName);
        return finishOutput(status);
    }
    case ACTION_LIST_CHECKS:
    case ACTION_SHOW_SETTINGS:
    case ACTION_CHECK:
        break;
    }
    ResolvedSettings resolved;
    if (!resolveSettings(programName, command, &resolved)) {
        return failBeforeInput(argc, argv, programName, inputClosed);
    }
    if (action == ACTION_LIST_CHECKS) {
        listChecks(command->settings.warnings);
        return finishOutput(statusOk);
    }
    if (action == ACTION_SHOW_SETTINGS) {
        showSettings(resolved);
        return finishOutput(statusOk);
    }
    return checkFiles(programName, command, inputClosed);
}

int main(int argc, char **argv)
{
    // Before any file is opened. Whatever was asked, nothing can reach a
    // closed standard output: that is a failure, told at once.
    ClosedStreams closed = fillClosedStreams();
    if (closed.output) {
        return tellOutputFailed();
    }
    const char *programName =
        (argc > 0 && argv[0] != nullptr) ? argv[0] : ownProgramName;
    if (closed.failed) {
        tellProblem(programName, "a standard stream is closed, and the null "
                                 "device cannot be opened in its place");
        return statusFailed;
    }
    runProgramName = programName;
    // Reports going to a file or a pipe are written in large blocks, each
    // line to a terminal at once.
    takeStandardOutput();
    setOutOfMemoryHandler(endForWantOfMemory);
    CommandLine command;
    int status = runChecker(argc, argv, programName, &command, closed.input);
    releaseCommandLine(&command);
    return status;
}
