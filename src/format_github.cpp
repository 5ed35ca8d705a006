// The github format: one workflow annotation per diagnostic,
// "::error file=F,line=N,col=C,title=NAME::MESSAGE" ("::warning" for a
// warning), which CI systems show inline. Nothing else is printed.
#include "format.h"
#include "report.h"

// Appends `text` escaped as the annotation format asks: "%", carriage return
// and newline always, and in a property's value also ":" and ",".
static void appendEscaped(LineBuffer *line, std::string_view text,
                          bool property)
{
    for (char c : text) {
        if (c == '%') {
            line->append("%25");
        } else if (c == '\r') {
            line->append("%0D");
        } else if (c == '\n') {
            line->append("%0A");
        } else if (property && c == ':') {
            line->append("%3A");
        } else if (property && c == ',') {
            line->append("%2C");
        } else {
            line->append(c);
        }
    }
}

namespace
{

class GithubFormat : public Reporter
{
  public:
    void startFile(const char *name) override
    {
        file_.clear();
        appendEscaped(&file_, name, true);
    }

  protected:
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        line_.clear();
        line_.append(diagnostic.check->severity == Severity::error
                         ? "::error file="
                         : "::warning file=");
        line_.append(file_.view());
        line_.append(",line=");
        line_.appendNumber(diagnostic.lineNum);
        line_.append(",col=");
        line_.appendNumber(diagnostic.pos + 1);
        line_.append(",title=");
        line_.append(diagnostic.check->name);
        line_.append("::");
        appendEscaped(&line_, diagnostic.message, false);
        line_.append('\n');
        line_.write(setup_.out);
    }

  private:
    LineBuffer file_; // the file's name, escaped
    LineBuffer line_;
};

GithubFormat githubFormat;

} // namespace

Reporter *makeGithubFormat(const ReporterSetup &setup)
{
    return githubFormat.setUp(setup);
}
