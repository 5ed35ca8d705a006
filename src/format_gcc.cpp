// The gcc format: diagnostics only, as "FILE:LINE:COLUMN: error: MESSAGE",
// the form that editors and CI tools read. The column counts bytes from 1.
#include <vector>

#include "format.h"

namespace
{

class GccFormat : public Reporter
{
  public:
    // Each line is built after the file's name, copied once per file, and
    // handed over whole: the name may be longer than any fixed buffer.
    void startFile(const char *name) override
    {
        size_t nameLen = strlen(name);
        line_.resize(nameLen + maxDiagnosticLen);
        memcpy(line_.data(), name, nameLen);
        nameLen_ = nameLen;
    }

    void reportVerdict(const Verdict *verdict) override
    {
        if (verdict->fault == FAULT_NONE) {
            return;
        }
        char *out = appendText(line_.data() + nameLen_, ":");
        out = appendNumber(out, verdict->lineNum);
        out = appendText(out, ":");
        out = appendNumber(out, verdict->pos + 1);
        out = appendText(out, ": error: ");
        out = appendMessage(out, verdict);
        out = appendText(out, "\n");
        writeOutput(line_.data(), out);
    }

  private:
    std::vector<char> line_;
    size_t nameLen_ = 0;
};

} // namespace

std::unique_ptr<Reporter> makeGccFormat()
{
    return std::make_unique<GccFormat>();
}
