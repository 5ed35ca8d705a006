// Entry point of iscsi-config-check: takes the configuration file's name from
// the command line, prints the banner, runs the reader and sets the status.
#include <cstdio>
#include <unistd.h>

#include "config.h"

// Stands in for the program name when the system gives no argument vector.
static const char fallbackProgramName[] = "iscsi-config-check";

int main(int argc, char **argv)
{
    const char *programName =
        (argc > 0 && argv[0] != nullptr) ? argv[0] : fallbackProgramName;

    // No option exists: any first word that looks like one asks for usage.
    if (argc <= 1 || argv[1][0] == '-') {
        // Standard error is the last resort: a failure there has no one to
        // tell, and the status is 1 already.
        (void)fprintf(stderr, "USAGE: %s <config_file_name>\n", programName);
        return 1;
    }
    clientConfigFile = argv[1];

    // Reports going to a file or a pipe are written in large blocks; a
    // terminal keeps its line buffering. Should setvbuf refuse, stdout keeps
    // its default buffer, which is only slower.
    if (isatty(STDOUT_FILENO) == 0) {
        static char outputBuffer[65536];
        (void)setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
    printf("%s....\n", programName);

    int result = readConfigFile();
    int status = result == CONFIG_OK ? 0 : 1;

    // A report that did not reach its reader must not look like success.
    // The reader stopped at the failed write, and the C library drops what
    // it could not write, so nothing follows the failure on standard output
    // and this message ends a combined log.
    if (result == CONFIG_WRITE_FAILED || fflush(stdout) != 0 ||
        ferror(stdout) != 0) {
        (void)fprintf(stderr, "failed to write output\n");
        status = 1;
    }
    return status;
}
