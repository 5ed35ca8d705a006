// Entry point of iscsi-config-check: reads the options and the file names
// from the command line, checks each file in turn with the chosen output
// format, and combines what it found into the exit status.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <unistd.h>

#include "allocate.h"
#include "format.h"
#include "format_table.h"

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
enum Action { ACTION_CHECK, ACTION_HELP, ACTION_VERSION, ACTION_USAGE };

// Codes of the options that have no short form.
enum LongOnlyOption {
    OPTION_MASK_PASSWORDS = 256,
    OPTION_FORMAT,
    OPTION_COLOR,
    OPTION_HELP,
    OPTION_VERSION,
};

static const struct option longOptions[] = {
    {"quiet", no_argument, nullptr, 'q'},
    {"strict", no_argument, nullptr, 's'},
    {"mask-passwords", no_argument, nullptr, OPTION_MASK_PASSWORDS},
    {"format", required_argument, nullptr, OPTION_FORMAT},
    {"warn", required_argument, nullptr, 'W'},
    {"color", required_argument, nullptr, OPTION_COLOR},
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// Turns the warnings named by `name` on (NAME or all) or off (no-NAME or
// no-all) in `*warnings`; false for an unknown name or an error's.
static bool parseWarning(const char *name, WarningSet *warnings)
{
    bool on = strncmp(name, "no-", 3) != 0;
    if (!on) {
        name += 3;
    }
    WarningSet named = 0;
    if (strcmp(name, "all") == 0) {
        named = allWarnings;
    } else {
        const CheckInfo *check = findCheck(name);
        if (check == nullptr || check->severity != Severity::warning) {
            return false;
        }
        named = warningBit(warningKindOf(check));
    }
    *warnings = on ? (*warnings | named) : (*warnings & ~named);
    return true;
}

// When the tty format colours its output, in the order of colorChoices.
enum ColorChoice { COLOR_AUTO, COLOR_ALWAYS, COLOR_NEVER, COLOR_UNKNOWN };
static const char *const colorChoices[] = {"auto", "always", "never"};

// The choice named by the word given to --color.
static ColorChoice parseColor(const char *word)
{
    size_t k = 0;
    while (k < COLOR_UNKNOWN && strcmp(word, colorChoices[k]) != 0) {
        k++;
    }
    return static_cast<ColorChoice>(k);
}

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
    const FormatInfo *format;
    bool quiet;
    bool maskPasswords;
    bool strict;
    WarningSet warnings;
    ColorChoice color;
    // The file names in the order given: at most one per argument.
    const char **fileNames;
    size_t fileCount;
};

// Reads the command line strictly from left to right: options and file
// names may be mixed, and options apply to every file wherever they stand.
// "--" makes every later word a file name. The first of a usage error,
// --help and --version decides; no file name at all is a usage error.
static Action parseCommandLine(int argc, char **argv, CommandLine *command)
{
    opterr = 0; // the usage message is the only complaint
    int option = 0;
    // A leading "-" returns every word in order, file names as option 1.
    while ((option = getopt_long(argc, argv, "-qsW:", longOptions, nullptr)) !=
           -1) {
        switch (option) {
        case 1:
            // Before "--", a lone "-" looks like an option and is none.
            if (optarg[0] == '-') {
                return ACTION_USAGE;
            }
            command->fileNames[command->fileCount++] = optarg;
            break;
        case 'q':
            command->quiet = true;
            break;
        case 's':
            command->strict = true;
            break;
        case 'W':
            if (!parseWarning(optarg, &command->warnings)) {
                return ACTION_USAGE;
            }
            break;
        case OPTION_MASK_PASSWORDS:
            command->maskPasswords = true;
            break;
        case OPTION_FORMAT:
            command->format = findFormat(optarg);
            if (command->format == nullptr) {
                return ACTION_USAGE;
            }
            break;
        case OPTION_COLOR:
            command->color = parseColor(optarg);
            if (command->color == COLOR_UNKNOWN) {
                return ACTION_USAGE;
            }
            break;
        case OPTION_HELP:
            return ACTION_HELP;
        case OPTION_VERSION:
            return ACTION_VERSION;
        default:
            return ACTION_USAGE;
        }
    }
    // Whatever follows "--" is a file name.
    for (int k = optind; k < argc; k++) {
        command->fileNames[command->fileCount++] = argv[k];
    }
    return command->fileCount == 0 ? ACTION_USAGE : ACTION_CHECK;
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

// Writes "BEFORE PROGRAM AFTER" on standard error, the program's name as
// invoked, which whoever started the program chose.
static void tellWithName(const char *before, const char *programName,
                         const char *after)
{
    bool terminal = isatty(STDERR_FILENO) != 0;
    (void)fputs(before, stderr);
    writeUntrusted(stderr, programName, terminal);
    (void)fputs(after, stderr);
}

// The run under way, for the end that want of memory brings.
static Reporter *runReporter = nullptr;
static const char *runProgramName = ownProgramName;

// Ends the run at once when memory runs out: what was judged is written, a
// document format's document closed, and the failure told; status 1.
static void endForWantOfMemory()
{
    static bool ending = false;
    if (!ending) {
        ending = true;
        if (runReporter != nullptr) {
            runReporter->abandonRun();
        }
        (void)fflush(stdout);
        tellWithName("", runProgramName, ": out of memory\n");
    }
    _exit(statusFailed);
}

// Checks the files of the command line in turn with its format; returns the
// exit status.
static int checkFiles(const char *programName, const CommandLine *command)
{
    // Reports going to a file or a pipe are written in large blocks; a
    // terminal keeps its line buffering. Should setvbuf refuse, stdout keeps
    // its default buffer, which is only slower.
    if (isatty(STDOUT_FILENO) == 0) {
        static char outputBuffer[65536];
        (void)setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
    bool color = command->color == COLOR_ALWAYS ||
                 (command->color == COLOR_AUTO && colorByDefault());
    ReporterSetup setup = {command->quiet,
                           command->maskPasswords,
                           color,
                           command->fileCount,
                           stdout,
                           stderr,
                           isatty(STDOUT_FILENO) != 0,
                           isatty(STDERR_FILENO) != 0};
    Reporter *reporter = command->format->make(setup);
    runReporter = reporter;
    reporter->startRun(programName);

    // Like cat, a file that cannot be read is reported and the run goes on;
    // a failed write ends it, since nobody would see the rest.
    bool runFailed = false;
    for (size_t k = 0; k < command->fileCount; k++) {
        FileStatus status =
            inspectFile(command->fileNames[k], reporter, command->warnings);
        if (status == FileStatus::writeFailed || outputFailed(stdout)) {
            return finishOutput(statusFailed);
        }
        runFailed = runFailed || status != FileStatus::ok;
    }
    reporter->endRun();

    // A warning asked for counts as a fault.
    bool faultsFound =
        reporter->errorCount() > 0 || reporter->warningCount() > 0;
    int status = statusOk;
    if (runFailed) {
        status = statusFailed;
    } else if (command->strict && faultsFound) {
        status = statusFaultsFound;
    }
    return finishOutput(status);
}

// Parses the command line and checks the files it names; returns the exit
// status.
static int runChecker(int argc, char **argv, const char *programName,
                      CommandLine *command)
{
    switch (parseCommandLine(argc, argv, command)) {
    case ACTION_USAGE:
        tellWithName("USAGE: ", programName, " <config_file_name>\n");
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
    case ACTION_CHECK:
        break;
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
        tellWithName("", programName, ": out of memory\n");
        return statusFailed;
    }
    // GCOVR_EXCL_STOP
    runProgramName = programName;
    setOutOfMemoryHandler(endForWantOfMemory);
    CommandLine command = {reportFormat(), false,     false, false, 0,
                           COLOR_AUTO,     fileNames, 0};
    int status = runChecker(argc, argv, programName, &command);
    free(fileNames);
    return status;
}
