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
        name_ = {name, strlen(name)};
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
    // zero-based `pos`, with room for its message; endLine hands it over.
    char *startLine(long long lineNum, size_t pos, std::string_view severity)
    {
        line_.clear();
        char *out = line_.reserve(name_.size() + maxWarningLen);
        out = appendText(out, name_);
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
        line_.commit(appendText(out, "\n"));
        line_.write();
    }

    std::string_view name_;
    LineBuffer line_;
};

GccFormat gccFormat;

} // namespace

Reporter *makeGccFormat()
{
    return &gccFormat;
}
