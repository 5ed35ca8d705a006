// The github format: one workflow annotation per diagnostic,
// "::error file=F,line=N,col=C,title=NAME::MESSAGE" ("::warning" for a
// warning), which CI systems show inline. Nothing else is printed.
#include "format.h"
#include "report.h"

// Appends `text` escaped as the annotation format asks: "%", carriage return
// and newline always, and in a property's value also ":" and ",". A
// property's value is a file's name: the second "#" of every "##[" in it is
// written "%23" too, so that it cannot form the runner's older command
// syntax anywhere in a line.
static void appendEscaped(LineBuffer *line, std::string_view text,
                          bool property)
{
    for (size_t k = 0; k < text.size(); k++) {
        char c = text[k];
        if (property && c == '#' && k > 0 && text[k - 1] == '#' &&
            k + 1 < text.size() && text[k + 1] == '[') {
            line->append("%23");
        } else if (c == '%') {
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
        escaped_.clear();
        appendEscaped(&escaped_, name, true);
        file_.clear();
        appendUntrusted(&file_, escaped_.view(), setup_.outIsTerminal);
    }

    // An annotation of the run, and the name escaped as in an annotation's
    // file property on standard error too: the runner reads commands from
    // both streams.
    void reportFileFailure(const char *name, FileStatus status,
                           int errorNumber) override
    {
        startFile(name);
        line_.clear();
        line_.append("::error file=");
        line_.append(file_.view());
        line_.append(",title=");
        line_.append(failureCheck(status));
        line_.append("::");
        appendFailureMessage(&line_, status, errorNumber);
        line_.append('\n');
        line_.write(setup_.out);
        tellFileFailure(escaped_.view(), status, errorNumber);
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
    LineBuffer escaped_;
    LineBuffer file_; // the file's name, escaped
    LineBuffer line_;
};

GithubFormat githubFormat;

} // namespace

Reporter *makeGithubFormat(const ReporterSetup &setup)
{
    return githubFormat.setUp(setup);
}
