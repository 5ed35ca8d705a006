// Entry point of iscsi-config-check: reads the options and the configuration
// file's name from the command line, prints the banner, runs the reader and
// sets the status.
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <unistd.h>

#include "config.h"

// Stands in for the program name when the system gives no argument vector,
// and names the program in --help and --version.
static const char ownProgramName[] = "iscsi-config-check";

// Exit statuses: usage errors and failures of the run share 1; a file that
// holds a fault gives 2 under --strict.
static const int statusOk = 0;
static const int statusFailed = 1;
static const int statusFaultsFound = 2;

// The text of --help. Each option's entry, and the summary, also stand in
// the manual page (the manual-page test checks that they agree).
// The lines are laid out as printed, not as the formatter would wrap them.
// clang-format off
static const char helpText[] =
    "Usage: iscsi-config-check [OPTION]... config_file_name\n"
    "Check an iSCSI initiator configuration file.\n"
    "\n"
    "  -q, --quiet          print no banner and no reports, only the diagnostics\n"
    "  -s, --strict         exit with status 2 when the file holds a fault\n"
    "      --mask-passwords print every password character in a report as *\n"
    "      --format=FORMAT  report (the default), or gcc: diagnostics only, as\n"
    "                         FILE:LINE:COLUMN: error: MESSAGE\n"
    "      --help           print this help and exit\n"
    "      --version        print the version and exit\n";
// clang-format on

// What the command line asks for.
enum Action { ACTION_CHECK, ACTION_HELP, ACTION_VERSION, ACTION_USAGE };

// Codes of the options that have no short form.
enum LongOnlyOption {
    OPTION_MASK_PASSWORDS = 256,
    OPTION_FORMAT,
    OPTION_HELP,
    OPTION_VERSION,
};

static const struct option longOptions[] = {
    {"quiet", no_argument, nullptr, 'q'},
    {"strict", no_argument, nullptr, 's'},
    {"mask-passwords", no_argument, nullptr, OPTION_MASK_PASSWORDS},
    {"format", required_argument, nullptr, OPTION_FORMAT},
    {"help", no_argument, nullptr, OPTION_HELP},
    {"version", no_argument, nullptr, OPTION_VERSION},
    {nullptr, 0, nullptr, 0},
};

// Sets `*format` from the name given to --format; false for an unknown one.
static bool parseFormat(const char *name, OutputFormat *format)
{
    if (strcmp(name, "report") == 0) {
        *format = FORMAT_REPORT;
        return true;
    }
    if (strcmp(name, "gcc") == 0) {
        *format = FORMAT_GCC;
        return true;
    }
    return false;
}

// Reads the options, which stop at the first word that is not one, and the
// file name after them. --help and --version act where they stand; anything
// unknown, a word that looks like an option where the name belongs (unless
// "--" came first) and a missing name ask for usage.
static Action parseCommandLine(int argc, char **argv, OutputOptions *options,
                               bool *strict, const char **fileName)
{
    opterr = 0; // the usage message is the only complaint
    int option = 0;
    while ((option = getopt_long(argc, argv, "+qs", longOptions, nullptr)) !=
           -1) {
        switch (option) {
        case 'q':
            options->quiet = true;
            break;
        case 's':
            *strict = true;
            break;
        case OPTION_MASK_PASSWORDS:
            options->maskPasswords = true;
            break;
        case OPTION_FORMAT:
            if (!parseFormat(optarg, &options->format)) {
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
    if (optind >= argc) {
        return ACTION_USAGE;
    }
    bool afterDoubleDash = optind > 1 && strcmp(argv[optind - 1], "--") == 0;
    if (argv[optind][0] == '-' && !afterDoubleDash) {
        return ACTION_USAGE;
    }
    *fileName = argv[optind];
    return ACTION_CHECK;
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

int main(int argc, char **argv)
{
    const char *programName =
        (argc > 0 && argv[0] != nullptr) ? argv[0] : ownProgramName;
    OutputOptions options = defaultOutputOptions;
    bool strict = false;
    const char *fileName = nullptr;

    switch (parseCommandLine(argc, argv, &options, &strict, &fileName)) {
    case ACTION_USAGE:
        (void)fprintf(stderr, "USAGE: %s <config_file_name>\n", programName);
        return statusFailed;
    case ACTION_HELP:
        (void)fputs(helpText, stdout);
        return finishOutput(statusOk);
    case ACTION_VERSION:
        printf("%s %s\n", ownProgramName, ICC_VERSION);
        return finishOutput(statusOk);
    case ACTION_CHECK:
        break;
    }
    clientConfigFile = fileName;

    // Reports going to a file or a pipe are written in large blocks; a
    // terminal keeps its line buffering. Should setvbuf refuse, stdout keeps
    // its default buffer, which is only slower.
    if (isatty(STDOUT_FILENO) == 0) {
        static char outputBuffer[65536];
        (void)setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
    printBanner(programName, &options);

    long long faultCount = 0;
    int result = readConfigFileWith(&options, &faultCount);
    int status = statusOk;
    if (result != CONFIG_OK) {
        status = statusFailed;
    } else if (strict && faultCount > 0) {
        status = statusFaultsFound;
    }
    return finishOutput(status);
}
