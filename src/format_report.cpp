// The report format: a banner, then for every statement its report or its
// diagnostic ("line N, pos P, MESSAGE " or "line N: MESSAGE"); with several
// files, a header before the first line of each file.
#include "format.h"

// Bytes of a report line besides its loginParams text.
static const size_t maxReportFrameLen = 256;

// Longest loginParams text: a whole piece of a line.
static const size_t maxRestLen = 512;

// What a masked password is printed as, whatever its length, so that
// neither the password nor its length shows.
static const std::string_view passwordMask = "********";

// Writes "line N", which begins every line of the report format.
static char *appendLineNum(char *out, long long lineNum)
{
    return appendNumber(appendText(out, "line "), lineNum);
}

// Prints the report of a sound statement: its values, then the line from the
// login-parameters field to its end; masked, the field with its password
// replaced and nothing after it, since the rest of the line may hold the rest
// of a password that contained a blank.
static void printReport(const Verdict *verdict, bool maskPasswords)
{
    char text[maxReportFrameLen + maxRestLen];
    char *out = appendLineNum(text, verdict->lineNum);
    out = appendText(out, ", nConnections = ");
    out = appendNumber(out, verdict->nConnections);
    out = appendText(out, ", target addr = ");
    out = appendAddress(out, verdict->addr);
    out = appendText(out, ", portNum = ");
    out = appendNumber(out, verdict->port);
    out = appendText(out, ", loginParamsLen = ");
    out = appendNumber(out, verdict->loginParamsLen);
    out = appendText(out, ", loginParams = ");
    if (maskPasswords) {
        // A sound field holds its comma; the password runs to its end.
        const char *field = verdict->loginParams;
        const char *comma = static_cast<const char *>(
            memchr(field, ',', verdict->loginParamsLen));
        size_t kept = static_cast<size_t>(comma + 1 - field);
        out = appendText(out, {field, kept});
        if (kept < verdict->loginParamsLen) {
            out = appendText(out, passwordMask);
        }
    } else {
        out = appendText(out, {verdict->loginParams, verdict->restLen});
    }
    out = appendText(out, " \n");
    writeOutput(text, out);
}

// Prints a diagnostic in the report format: "line N, pos P, MESSAGE \n" for a
// statement fault, "line N: MESSAGE\n" for a login-parameter fault.
static void printDiagnostic(const Verdict *verdict)
{
    char text[maxDiagnosticLen];
    char *out = appendLineNum(text, verdict->lineNum);
    if (faultInfo(verdict->fault)->hasPosition) {
        out = appendText(out, ", pos ");
        out = appendNumber(out, verdict->pos);
        out = appendText(out, ", ");
        out = appendMessage(out, verdict);
        out = appendText(out, " \n");
    } else {
        out = appendText(out, ": ");
        out = appendMessage(out, verdict);
        out = appendText(out, "\n");
    }
    writeOutput(text, out);
}

// Prints a warning as "line N, pos P, warning: MESSAGE [-WNAME]\n".
static void printWarning(const Verdict *verdict, const Warning *warning)
{
    char text[maxWarningLen];
    char *out = appendLineNum(text, verdict->lineNum);
    out = appendText(out, ", pos ");
    out = appendNumber(out, warning->pos);
    out = appendText(out, ", warning: ");
    out = appendWarningMessage(out, verdict, warning);
    out = appendWarningName(out, warning);
    out = appendText(out, "\n");
    writeOutput(text, out);
}

// printReportLine, inlined where every line passes.
static inline void printOutcome(const Verdict *verdict,
                                const OutputOptions *options)
{
    if (verdict->fault != FAULT_NONE) {
        printDiagnostic(verdict);
    } else if (!options->quiet) {
        printReport(verdict, options->maskPasswords);
    }
}

void printReportLine(const Verdict *verdict, const OutputOptions *options)
{
    printOutcome(verdict, options);
}

namespace
{

class ReportFormat : public Reporter
{
  public:
    ReportFormat() = default;

    void setUp(const OutputOptions *options, size_t fileCount)
    {
        options_ = *options;
        withHeaders_ = fileCount > 1;
    }

    void startRun(const char *programName) override
    {
        if (!options_.quiet) {
            writeFramed("", programName, "....\n");
        }
    }

    void startFile(const char *name) override
    {
        pendingHeader_ = withHeaders_ ? name : nullptr;
    }

    // The line's outcome, then its warnings.
    void reportVerdict(const Verdict *verdict) override
    {
        // Most lines: a statement, no warning, no header to print.
        if (verdict->warningCount == 0 && pendingHeader_ == nullptr) {
            printOutcome(verdict, &options_);
            return;
        }
        bool showOutcome = verdict->isStatement &&
                           (verdict->fault != FAULT_NONE || !options_.quiet);
        if (!showOutcome && verdict->warningCount == 0) {
            return;
        }
        if (pendingHeader_ != nullptr) {
            writeFramed("==> ", pendingHeader_, " <==\n");
            pendingHeader_ = nullptr;
        }
        if (showOutcome) {
            printOutcome(verdict, &options_);
        }
        for (size_t k = 0; k < verdict->warningCount; k++) {
            printWarning(verdict, &verdict->warnings[k]);
        }
    }

    void endFile() override
    {
        pendingHeader_ = nullptr;
    }

  private:
    // Writes `before`, `name` and `after` as one line: the banner, a header.
    void writeFramed(std::string_view before, const char *name,
                     std::string_view after)
    {
        frame_.clear();
        frame_.append(before);
        frame_.append(name);
        frame_.append(after);
        frame_.write();
    }

    LineBuffer frame_;
    OutputOptions options_ = defaultOutputOptions;
    bool withHeaders_ = false;
    // The name of the current file, until its header has been printed.
    const char *pendingHeader_ = nullptr;
};

ReportFormat reportFormat;

} // namespace

Reporter *makeReportFormat(const OutputOptions *options, size_t fileCount)
{
    reportFormat.setUp(options, fileCount);
    return &reportFormat;
}
