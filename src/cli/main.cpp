// Entry point of iscsi-config-check: reads the options and the file names
// from the command line, checks each file in turn with the chosen output
// format, and combines what it found into the exit status.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <unistd.h>

#include <climits>

#include "support/allocate.h"
#include "support/escape.h"
#include "diagnose/inspect.h"
#include "formats/registry.h"
#include "cli/settings.h"

// Stands in for the program name when the system gives no argument vector,
// and names the program in --help and --version.
static const char ownProgramName[] = "iscsi-config-check";

// Exit statuses: usage errors and failures of the run share 1; a file that
// holds a fault gives 2 under --strict.
static const int statusOk = 0;
static const int statusFailed = 1;
static const int statusFaultsFound = 2;

// The text of --help, around the entries that the tables give: the formats'
// parts and the warnings' names. Each option's entry, and the summary, also
// stand in the manual page (the manual-page test checks that they agree).
// The lines are laid out as printed, not as the formatter would wrap them.
// clang-format off
static const char helpHead[] =
    "Usage: iscsi-config-check [OPTION]... config_file_name...\n"
    "Check iSCSI initiator configuration files.\n"
    "\n"
    "  -q, --quiet          print no banner and no reports, only the diagnostics\n"
    "  -s, --strict         exit with status 2 when a file holds a fault or, if\n"
    "                         asked for, a warning\n"
    "      --mask-passwords print every password in a report as ********\n"
    "      --format=FORMAT  ";
static const char helpColor[] =
    "      --color=WHEN     colour the tty format: auto (the default), always or\n"
    "                         never\n"
    "  -W, --warn=NAME      turn on the warning NAME (all: every warning);\n"
    "                         no-NAME turns it off. Warnings:";
static const char helpTail[] =
    "      --config=FILE    read the options in FILE, not in the project's\n"
    "                         .iscsi-config-check\n"
    "      --no-config      read no file of options\n"
    "      --no-directives  let no directive in a file turn a warning off\n"
    "      --stdin-filename=NAME  check standard input as the file NAME\n"
    "      --list-checks    list every check, whether it is on and what it finds,\n"
    "                         and exit\n"
    "      --explain=NAME   print what the check NAME finds, with a bad line and\n"
    "                         its fixed form, and exit\n"
    "      --help           print this help and exit\n"
    "      --version        print the version and exit\n";
// clang-format on

// Where the continuation lines of an entry begin, and how wide a line of
// the help text is at most.
static const std::string_view helpIndent = "\n                         ";
static const size_t helpWidth = 79;

// The help text: the formats' parts as they are wrapped, the warnings'
// names wrapped to fit.
static void buildHelp(LineBuffer *help)
{
    help->append(helpHead);
    for (size_t k = 0; k < formatCount; k++) {
        std::string_view part = formatTable[k].help;
        if (k > 0 && help->view().back() != ' ') {
            help->append(' ');
        }
        for (char c : part) {
            help->append(c == '\n' ? helpIndent : std::string_view(&c, 1));
        }
    }
    help->append('\n');
    help->append(helpColor);
    size_t lineStart = help->view().rfind('\n') + 1;
    bool first = true;
    for (const CheckInfo &check : checkTable) {
        if (check.severity != Severity::warning) {
            continue;
        }
        size_t width = check.name.size() + (first ? 1 : 2);
        if (help->view().size() - lineStart + width + 1 > helpWidth) {
            help->append(',');
            help->append(helpIndent);
            lineStart = help->view().size() - helpIndent.size() + 1;
        } else {
            help->append(first ? " " : ", ");
        }
        help->append(check.name);
        first = false;
    }
    help->append('\n');
    help->append(helpTail);
}

// What the command line asks for.
enum Action {
    ACTION_CHECK,
    ACTION_HELP,
    ACTION_VERSION,
    ACTION_USAGE,
    ACTION_LIST_CHECKS,
    ACTION_EXPLAIN,
};

static const struct option longOptions[] = {
    {"quiet", no_argument, nullptr, OPTION_QUIET},
    {"strict", no_argument, nullptr, OPTION_STRICT},
    {"mask-passwords", no_argument, nullptr, OPTION_MASK_PASSWORDS},
    {"format", required_argument, nullptr, OPTION_FORMAT},
    {"warn", required_argument, nullptr, OPTION_WARN},
    {"color", required_argument, nullptr, OPTION_COLOR},
    {"colour", required_argument, nullptr, OPTION_COLOR},
    {"config", required_argument, nullptr, OPTION_CONFIG},
    {"no-config", no_argument, nullptr, OPTION_NO_CONFIG},
    {"no-directives", no_argument, nullptr, OPTION_NO_DIRECTIVES},
    {"list-checks", no_argument, nullptr, OPTION_LIST_CHECKS},
    {"explain", required_argument, nullptr, OPTION_EXPLAIN},
    {"stdin-filename", required_argument, nullptr, OPTION_STDIN_FILENAME},
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// Colour by default where a person reads: standard output is a terminal,
// NO_COLOR is unset or empty, and TERM is set, not empty and not dumb.
static bool colorByDefault()
{
    const char *noColor = getenv("NO_COLOR");
    const char *term = getenv("TERM");
    return isatty(STDOUT_FILENO) != 0 &&
           (noColor == nullptr || noColor[0] == '\0') && term != nullptr &&
           term[0] != '\0' && strcmp(term, "dumb") != 0;
}

// What the command line asks for.
struct CommandLine {
    Settings settings;      // its options, applied over the file of options
    const char *configPath; // --config=FILE, or null
    bool readsConfig;       // no --no-config
    bool directives;        // no --no-directives
    const char *explained;  // the check that --explain names
    const char *stdinName;  // --stdin-filename=NAME, or null
    // The file names in the order given: at most one per argument.
    const char **fileNames;
    size_t fileCount;
};

// The option as written on the command line for a missing value: "-W", or
// the long option's word.
static void appendOptionWritten(LineBuffer *text, char **argv, int code)
{
    const char *word = argv[optind - 1];
    if (word[0] == '-' && word[1] == '-') {
        text->append(word);
    } else {
        text->append('-');
        text->append(static_cast<char>(code));
    }
}

// Reads the command line strictly from left to right: options and file
// names may be mixed, and options apply to every file wherever they stand.
// "--" makes every later word a file name. The first of a usage error,
// --help and --version decides; no file name at all is a usage error,
// unless the checks are listed or explained or standard input read. What is
// wrong with an option's value goes to `complaint`.
static Action parseCommandLine(int argc, char **argv, CommandLine *command,
                               LineBuffer *complaint)
{
    opterr = 0; // the checker's own messages are the only complaints
    Action action = ACTION_CHECK;
    int option = 0;
    // A leading "-" returns every word in order, file names as option 1; a
    // ":" then tells a missing value from an unknown option.
    while ((option = getopt_long(argc, argv, "-:qsW:", longOptions, nullptr)) !=
           -1) {
        switch (option) {
        case 1:
            // Before "--", a lone "-" looks like an option and is none.
            if (optarg[0] == '-') {
                return ACTION_USAGE;
            }
            command->fileNames[command->fileCount++] = optarg;
            break;
        case ':':
            complaint->append("option '");
            appendOptionWritten(complaint, argv, optopt);
            complaint->append("' needs a value");
            return ACTION_USAGE;
        case OPTION_CONFIG:
            command->configPath = optarg;
            command->readsConfig = true;
            break;
        case OPTION_NO_CONFIG:
            command->readsConfig = false;
            break;
        case OPTION_NO_DIRECTIVES:
            command->directives = false;
            break;
        case OPTION_LIST_CHECKS:
            action = ACTION_LIST_CHECKS;
            break;
        case OPTION_EXPLAIN:
            if (findCheck(optarg) == nullptr) {
                complainOfUnknownCheck(complaint, "check", optarg, false);
                return ACTION_USAGE;
            }
            command->explained = optarg;
            action = ACTION_EXPLAIN;
            break;
        case OPTION_STDIN_FILENAME:
            command->stdinName = optarg;
            break;
        case OPTION_HELP:
            return ACTION_HELP;
        case OPTION_VERSION:
            return ACTION_VERSION;
        case OPTION_QUIET:
        case OPTION_STRICT:
        case OPTION_WARN:
        case OPTION_MASK_PASSWORDS:
        case OPTION_FORMAT:
        case OPTION_COLOR:
            if (!applySetting(&command->settings, option, optarg, complaint)) {
                return ACTION_USAGE;
            }
            break;
        default:
            return ACTION_USAGE;
        }
    }
    // Whatever follows "--" is a file name.
    for (int k = optind; k < argc; k++) {
        command->fileNames[command->fileCount++] = argv[k];
    }
    if (action != ACTION_CHECK) {
        return action;
    }
    bool named = command->fileCount > 0;
    return named == (command->stdinName != nullptr) ? ACTION_USAGE
                                                    : ACTION_CHECK;
}

// The options of the file of options (unless --no-config), with those of
// the command line over them; false after telling what is wrong with the
// file.
static bool settleSettings(const char *programName, CommandLine *command)
{
    Settings fromFile = {nullptr, COLOR_UNKNOWN, false, false, false, 0, 0};
    char found[PATH_MAX];
    const char *path = command->configPath;
    if (path == nullptr && command->readsConfig &&
        findSettingsFile(found, sizeof found)) {
        path = found;
    }
    if (command->readsConfig && path != nullptr &&
        !readSettingsFile(path, command->configPath != nullptr, programName,
                          &fromFile)) {
        return false;
    }
    Settings *given = &command->settings;
    given->format = given->format != nullptr ? given->format : fromFile.format;
    given->color =
        given->color != COLOR_UNKNOWN ? given->color : fromFile.color;
    given->quiet = given->quiet || fromFile.quiet;
    given->strict = given->strict || fromFile.strict;
    given->maskPasswords = given->maskPasswords || fromFile.maskPasswords;
    given->warningsOn |= fromFile.warningsOn & ~given->warningsOff;
    return true;
}

// Prints each check on a line: its name, severity, whether the options turn
// it on, and its summary, separated by tabs.
static void listChecks(WarningSet warnings)
{
    LineBuffer line;
    const size_t errorCount = FAULT_KIND_COUNT - 1; // the table's first rows
    for (size_t k = 0; k < checkCount; k++) {
        const CheckInfo &check = checkTable[k];
        bool isError = k < errorCount;
        bool on = isError || ((warnings >> (k - errorCount)) & 1U) != 0;
        line.append(check.name);
        line.append(isError ? "\terror\t" : "\twarning\t");
        line.append(on ? "on\t" : "off\t");
        line.append(check.summary);
        line.append('\n');
    }
    line.write(stdout);
}

// Prints what the manual says of one check, wrapped to fit a terminal.
static void explainCheck(const CheckInfo *check)
{
    LineBuffer text;
    text.append(check->name);
    text.append(check->severity == Severity::error ? " (error): "
                                                   : " (warning): ");
    text.append(check->summary);
    text.append("\n\n");
    size_t lineStart = text.view().size();
    std::string_view rest = check->explanation;
    while (!rest.empty()) {
        size_t end = rest.find(' ');
        std::string_view word = headOf(rest, end);
        rest = tailOf(rest, word.size() + 1);
        if (text.view().size() > lineStart &&
            text.view().size() - lineStart + 1 + word.size() > helpWidth) {
            text.append('\n');
            lineStart = text.view().size();
        } else if (text.view().size() > lineStart) {
            text.append(' ');
        }
        text.append(word);
    }
    text.append("\n\n  bad:   ");
    text.append(check->badLine);
    text.append("\n  fixed: ");
    text.append(check->fixedLine);
    text.append('\n');
    text.write(stdout);
}

// Ends a run that wrote to standard output: a report that did not reach its
// reader must not look like success. The reader stopped at a failed write,
// and the C library drops what it could not write, so nothing follows the
// failure on standard output and the message ends a combined log.
static int finishOutput(int status)
{
    if (fflush(stdout) != 0 || ferror(stdout) != 0) {
        // Standard error is the last resort: a failure there has no one to
        // tell, and the status is 1 already.
        (void)fprintf(stderr, "failed to write output\n");
        return statusFailed;
    }
    return status;
}

// Writes the usage message on standard error, with the program's name as
// invoked, which whoever started the program chose.
static void tellUsage(const char *programName)
{
    (void)fputs("USAGE: ", stderr);
    writeUntrusted(stderr, programName, isatty(STDERR_FILENO) != 0);
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
        (void)fflush(stdout);
        tellProblem(runProgramName, "out of memory");
    }
    _exit(statusFailed);
}

// Checks the files of the command line in turn, or standard input, with its
// format; returns the exit status.
static int checkFiles(const char *programName, const CommandLine *command)
{
    // Reports going to a file or a pipe are written in large blocks; a
    // terminal keeps its line buffering. Should setvbuf refuse, stdout keeps
    // its default buffer, which is only slower.
    if (isatty(STDOUT_FILENO) == 0) {
        static char outputBuffer[65536];
        (void)setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
    const Settings *settings = &command->settings;
    bool color = settings->color == COLOR_ALWAYS ||
                 (settings->color != COLOR_NEVER && colorByDefault());
    size_t fileCount = command->stdinName != nullptr ? 1 : command->fileCount;
    EmitterSetup setup;
    setup.quiet = settings->quiet;
    setup.maskPasswords = settings->maskPasswords;
    setup.color = color;
    setup.fileCount = fileCount;
    setup.streams.outIsTerminal = isatty(STDOUT_FILENO) != 0;
    setup.streams.errIsTerminal = isatty(STDERR_FILENO) != 0;
    const FormatInfo *format =
        settings->format != nullptr ? settings->format : reportFormat();
    Emitter *emitter = startFormat(format, setup);
    runEmitter = emitter;
    emitter->beginRun(programName);

    // Like cat, a file that cannot be read is reported and the run goes on;
    // a failed write ends it, since nobody would see the rest.
    InspectOptions inspection;
    inspection.warnings = settings->warningsOn;
    inspection.directives = command->directives;
    bool runFailed = false;
    for (size_t k = 0; k < fileCount; k++) {
        FileStatus status =
            command->stdinName != nullptr
                ? inspectOpened(stdin, command->stdinName, emitter, inspection)
                : inspectFile(command->fileNames[k], emitter, inspection);
        if (status == FileStatus::writeFailed || outputFailed(stdout)) {
            return finishOutput(statusFailed);
        }
        runFailed = runFailed || status != FileStatus::ok;
    }
    emitter->endRun();

    // A warning asked for counts as a fault.
    bool faultsFound =
        emitter->errorCount() > 0 || emitter->warningCount() > 0;
    int status = statusOk;
    if (runFailed) {
        status = statusFailed;
    } else if (settings->strict && faultsFound) {
        status = statusFaultsFound;
    }
    return finishOutput(status);
}

// Parses the command line, reads the file of options where the action needs
// it, and checks, lists or explains; returns the exit status.
static int runChecker(int argc, char **argv, const char *programName,
                      CommandLine *command)
{
    LineBuffer complaint;
    Action action = parseCommandLine(argc, argv, command, &complaint);
    switch (action) {
    case ACTION_USAGE:
        if (!complaint.view().empty()) {
            tellProblem(programName, complaint.view());
        }
        tellUsage(programName);
        return statusFailed;
    case ACTION_HELP: {
        LineBuffer help;
        buildHelp(&help);
        help.write(stdout);
        return finishOutput(statusOk);
    }
    case ACTION_VERSION:
        printf("%s %s\n", ownProgramName, ICC_VERSION);
        return finishOutput(statusOk);
    case ACTION_EXPLAIN:
        explainCheck(findCheck(command->explained));
        return finishOutput(statusOk);
    case ACTION_LIST_CHECKS:
    case ACTION_CHECK:
        break;
    }
    if (!settleSettings(programName, command)) {
        return statusFailed;
    }
    if (action == ACTION_LIST_CHECKS) {
        listChecks(command->settings.warningsOn);
        return finishOutput(statusOk);
    }
    return checkFiles(programName, command);
}

int main(int argc, char **argv)
{
    const char *programName =
        (argc > 0 && argv[0] != nullptr) ? argv[0] : ownProgramName;
    // Room for every argument as a file name.
    auto **fileNames = static_cast<const char **>(
        calloc(static_cast<size_t>(argc > 0 ? argc : 1), sizeof(const char *)));
    // (An allocation the size of the argument list does not fail in the
    // tests.)
    // GCOVR_EXCL_START
    if (fileNames == nullptr) {
        tellProblem(programName, "out of memory");
        return statusFailed;
    }
    // GCOVR_EXCL_STOP
    runProgramName = programName;
    setOutOfMemoryHandler(endForWantOfMemory);
    CommandLine command = {{nullptr, COLOR_UNKNOWN, false, false, false, 0, 0},
                           nullptr,
                           true,
                           true,
                           nullptr,
                           nullptr,
                           fileNames,
                           0};
    int status = runChecker(argc, argv, programName, &command);
    free(fileNames);
    return status;
}
