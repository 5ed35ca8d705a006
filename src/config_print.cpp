// The reader's printing entry points: the reader and the report format put
// together, as the checker runs them on one file with no option.
#include "config.h"
#include "report.h"

const char *clientConfigFile = nullptr;

int readConfigFile()
{
    Reporter *reporter = makeReporter(&defaultOutputOptions, 1);
    return checkFile(clientConfigFile, reporter).result;
}

int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen)
{
    Verdict verdict = {};
    verdict.fault = findLoginParamsFault(loginParams, loginParamsLen);
    if (verdict.fault == FAULT_NONE) {
        return 0;
    }
    verdict.lineNum = lineNum;
    printReportLine(&verdict, &defaultOutputOptions);
    return -1;
}
