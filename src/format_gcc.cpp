// The gcc format: diagnostics only, as "FILE:LINE:COLUMN: error: MESSAGE",
// the form that editors and CI tools read. The column counts bytes from 1.
#include "format.h"

namespace
{

class GccFormat : public Reporter
{
  public:
    void startFile(const char *name) override
    {
        name_ = name;
        nameLen_ = strlen(name);
    }

    // The line's fault, then its warnings.
    void reportVerdict(const Verdict *verdict) override
    {
        if (verdict->fault != FAULT_NONE) {
            char *out = startLine(verdict->lineNum, verdict->pos, "error");
            out = appendMessage(out, verdict);
            endLine(out);
        }
        for (size_t k = 0; k < verdict->warningCount; k++) {
            const Warning *warning = &verdict->warnings[k];
            char *out = startLine(verdict->lineNum, warning->pos, "warning");
            out = appendWarningMessage(out, verdict, warning);
            endLine(appendWarningName(out, warning));
        }
    }

  private:
    // Starts a line "FILE:LINE:COLUMN: SEVERITY: " for a diagnostic at the
    // zero-based `pos`. The line is built after the file's name, which may be
    // longer than any fixed buffer, and handed over whole by endLine.
    char *startLine(long long lineNum, size_t pos, std::string_view severity)
    {
        line_ = lineStorage(nameLen_ + maxWarningLen);
        char *out = appendText(line_, {name_, nameLen_});
        out = appendText(out, ":");
        out = appendNumber(out, lineNum);
        out = appendText(out, ":");
        out = appendNumber(out, pos + 1);
        out = appendText(out, ": ");
        out = appendText(out, severity);
        return appendText(out, ": ");
    }

    void endLine(char *out)
    {
        out = appendText(out, "\n");
        writeOutput(line_, out);
    }

    char *line_ = nullptr;

    const char *name_ = "";
    size_t nameLen_ = 0;
};

GccFormat gccFormat;

} // namespace

Reporter *makeGccFormat()
{
    return &gccFormat;
}
