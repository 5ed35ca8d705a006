// The github format: one workflow annotation per diagnostic,
// "::error file=F,line=N,col=C,title=NAME::MESSAGE" ("::warning" for a
// warning), which CI systems show inline. Nothing else is printed.
#include "formats/emitter.h"

namespace
{

class GithubFormat : public Emitter
{
  public:
    // An annotation of the run, and the name escaped as in an annotation's
    // file property on standard error too (the style's told name): the
    // runner reads commands from both streams.
    void emitFileFailure(FileStatus status, int errorNumber) override
    {
        line_.clear();
        line_.append("::error file=");
        line_.append(name_.shown);
        line_.append(",title=");
        line_.append(failureCheck(status));
        line_.append("::");
        appendFailureMessage(&line_, status, errorNumber);
        line_.append('\n');
        line_.write(streams_.out);
        tellFileFailure(status, errorNumber);
    }

  protected:
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        line_.clear();
        line_.append("::");
        line_.append(severityName(diagnostic.check->severity));
        line_.append(" file=");
        line_.append(name_.shown);
        line_.append(",line=");
        line_.appendNumber(diagnostic.lineNum);
        line_.append(",col=");
        line_.appendNumber(diagnostic.pos + 1);
        line_.append(",title=");
        line_.append(diagnostic.check->name);
        line_.append("::");
        appendCommandEscaped(&line_, diagnostic.message, false);
        // Each note on a line of the annotation's own.
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            line_.append("%0A");
            line_.append(commandNoteText(diagnostic.notes[k]));
        }
        line_.append('\n');
        line_.write(streams_.out);
    }

  private:
    LineBuffer line_;
};

GithubFormat githubFormat;

} // namespace

Emitter *githubEmitter()
{
    return &githubFormat;
}
