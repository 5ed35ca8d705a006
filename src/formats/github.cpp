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
    // Each check's words, "::error file=" and ",title=NAME::" ("::warning
    // file=" for a warning), written once per run.
    void reset() override
    {
        words_.write(
            [](const CheckInfo &check, LineBuffer *before, LineBuffer *after) {
                before->append("::");
                before->append(severityName(check.severity));
                before->append(" file=");
                after->append(",title=");
                after->append(check.name);
                after->append("::");
            });
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        std::string_view before = words_.before(diagnostic.check);
        std::string_view after = words_.after(diagnostic.check);
        line_.clear();
        char *out = line_.reserve(16 + 2 * maxNumberLen + before.size() +
                                  name_.shown.size() + after.size());
        out = put(put(out, before), name_.shown);
        out = lineNumber_.put(put(out, ",line="), diagnostic.lineNum);
        out = putNumber(put(out, ",col="), diagnostic.pos + 1);
        line_.commit(put(out, after));
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
    CheckWords words_;
};

GithubFormat githubFormat;

} // namespace

Emitter *githubEmitter()
{
    return &githubFormat;
}
