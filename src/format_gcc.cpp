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

    // The line is built after the file's name, which may be longer than any
    // fixed buffer, and handed over whole.
    void reportVerdict(const Verdict *verdict) override
    {
        if (verdict->fault == FAULT_NONE) {
            return;
        }
        char *line = lineStorage(nameLen_ + maxDiagnosticLen);
        char *out = appendText(line, {name_, nameLen_});
        out = appendText(out, ":");
        out = appendNumber(out, verdict->lineNum);
        out = appendText(out, ":");
        out = appendNumber(out, verdict->pos + 1);
        out = appendText(out, ": error: ");
        out = appendMessage(out, verdict);
        out = appendText(out, "\n");
        writeOutput(line, out);
    }

  private:
    const char *name_ = "";
    size_t nameLen_ = 0;
};

GccFormat gccFormat;

} // namespace

Reporter *makeGccFormat()
{
    return &gccFormat;
}
