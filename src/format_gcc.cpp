// The gcc format: diagnostics only, as "FILE:LINE:COLUMN: error: MESSAGE"
// (and "warning: MESSAGE [-WNAME]"), the form that editors and CI tools
// read. The column counts bytes from 1.
#include "format.h"
#include "report.h"

namespace
{

class GccFormat : public Reporter
{
  public:
    void startFile(const char *name) override
    {
        name_.clear();
        appendUntrusted(&name_, name, setup_.outIsTerminal);
    }

  protected:
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        const CheckInfo *check = diagnostic.check;
        // The text's parts and two numbers.
        line_.clear();
        char *out =
            line_.reserve(32 + 2 * maxNumberLen + name_.view().size() +
                          diagnostic.message.size() + check->name.size());
        out = put(out, name_.view());
        out = putNumber(put(out, ":"), diagnostic.lineNum);
        out = putNumber(put(out, ":"), diagnostic.pos + 1);
        if (check->severity == Severity::error) {
            out = put(put(out, ": error: "), diagnostic.message);
        } else {
            out = put(put(out, ": warning: "), diagnostic.message);
            out = put(put(put(out, " [-W"), check->name), "]");
        }
        line_.commit(put(out, "\n"));
        line_.write(setup_.out);
    }

  private:
    LineBuffer name_; // as shown
    LineBuffer line_;
};

GccFormat gccFormat;

} // namespace

Reporter *makeGccFormat(const ReporterSetup &setup)
{
    return gccFormat.setUp(setup);
}
