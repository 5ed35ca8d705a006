// The JSON format: JSON Lines, one object per line in the order the report
// format prints its lines. A diagnostic gives its file, line, column,
// severity, check and message; a sound statement its file, line, address,
// port, connections and initiator, never its password.
#include "format.h"

namespace
{

class JsonFormat : public Reporter
{
  public:
    void setUp(const OutputOptions *options)
    {
        quiet_ = options->quiet;
    }

    // Every line of the file begins alike: built once.
    void startFile(const char *name) override
    {
        prefix_.clear();
        prefix_.append("{\"file\":");
        appendJsonString(&prefix_, name, strlen(name));
        prefix_.append(",\"line\":");
    }

    void reportVerdict(const Verdict *verdict) override
    {
        if (verdict->isStatement && verdict->fault == FAULT_NONE && !quiet_) {
            printTarget(verdict);
        }
        Diagnostic diagnostics[maxLineWarnings + 1];
        size_t count = listDiagnostics(verdict, diagnostics);
        for (size_t k = 0; k < count; k++) {
            printDiagnostic(verdict, &diagnostics[k]);
        }
    }

  private:
    void startLine(long long lineNum)
    {
        line_.clear();
        line_.append({prefix_.data(), prefix_.size()});
        line_.appendNumber(lineNum);
    }

    void printTarget(const Verdict *verdict)
    {
        startLine(verdict->lineNum);
        char *out = appendText(line_.reserve(128), ",\"address\":\"");
        out = appendAddress(out, verdict->addr);
        out = appendText(out, "\",\"port\":");
        out = appendNumber(out, verdict->port);
        out = appendText(out, ",\"connections\":");
        out = appendNumber(out, verdict->nConnections);
        line_.commit(appendText(out, ",\"initiator\":"));
        // A sound field: the keyword, the identifier, a comma.
        const char *identifier = verdict->loginParams + loginKeywordLen;
        const char *comma = static_cast<const char *>(
            memchr(identifier, ',', verdict->loginParamsLen - loginKeywordLen));
        appendJsonString(&line_, identifier,
                         static_cast<size_t>(comma - identifier));
        line_.append("}\n");
        line_.write();
    }

    void printDiagnostic(const Verdict *verdict, const Diagnostic *diagnostic)
    {
        startLine(verdict->lineNum);
        char *out = appendText(line_.reserve(maxWarningLen), ",\"column\":");
        out = appendNumber(out, diagnostic->pos + 1);
        out = appendText(out, diagnostic->isWarning
                                  ? ",\"severity\":\"warning\",\"check\":\""
                                  : ",\"severity\":\"error\",\"check\":\"");
        out = appendText(out, diagnostic->name);
        line_.commit(appendText(out, "\",\"message\":"));
        char message[maxWarningLen];
        char *end = appendDiagnosticMessage(message, verdict, diagnostic);
        appendJsonString(&line_, message, static_cast<size_t>(end - message));
        line_.append("}\n");
        line_.write();
    }

    bool quiet_ = false;
    LineBuffer prefix_;
    LineBuffer line_;
};

JsonFormat jsonFormat;

} // namespace

Reporter *makeJsonFormat(const OutputOptions *options)
{
    jsonFormat.setUp(options);
    return &jsonFormat;
}
