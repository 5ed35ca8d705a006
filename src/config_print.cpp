// The reader's printing entry points: the reader and the report format put
// together, as the checker runs them on one file with no option.
#include "config.h"
#include "format_table.h"

const char *clientConfigFile = nullptr;

// The report format with no option, for one file, on the standard streams.
static Reporter *defaultReporter()
{
    ReporterSetup setup = {false, false, false, 1, stdout, stderr};
    return reportFormat()->make(setup);
}

int readConfigFile()
{
    return static_cast<int>(inspectFile(clientConfigFile, defaultReporter()));
}

int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen)
{
    FaultKind fault = findLoginParamsFault(loginParams, loginParamsLen);
    if (fault == FAULT_NONE) {
        return 0;
    }
    // A login-parameter fault's message has no values.
    static const SourcePiece field = {"", 0, 0, nullptr};
    const CheckInfo *check = checkOf(fault);
    Diagnostic diagnostic = {check, lineNum, 0, check->message, &field};
    defaultReporter()->reportDiagnostic(diagnostic);
    return -1;
}
