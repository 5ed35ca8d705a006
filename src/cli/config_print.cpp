// The reader's printing entry points (declared in reader/config.h): the
// reader and the report format put together, as the checker runs them on
// one file with no option.
#include "diagnose/inspect.h"
#include "formats/registry.h"
#include "reader/config.h"

const char *clientConfigFile = nullptr;

// The report format with no option, for one file, on the standard streams.
static Emitter *defaultEmitter()
{
    return startFormat(reportFormat(), EmitterSetup());
}

int readConfigFile()
{
    return static_cast<int>(inspectFile(clientConfigFile, defaultEmitter()));
}

int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen)
{
    FaultKind fault = findLoginParamsFault(loginParams, loginParamsLen);
    if (fault == FAULT_NONE) {
        return 0;
    }
    // A login-parameter fault's report message has no values.
    const CheckInfo *check = checkOf(fault);
    Diagnostic diagnostic = {};
    diagnostic.check = check;
    diagnostic.lineNum = lineNum;
    diagnostic.message = check->reportMessage;
    defaultEmitter()->takeDiagnostic(diagnostic);
    return -1;
}
