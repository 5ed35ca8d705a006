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
        for (size_t k = 0; k < checkCount; k++) {
            LineBuffer *words = &checkWords_[k];
            words->clear();
            words->append("::");
            words->append(severityName(checkTable[k].severity));
            words->append(" file=");
            severityLen_[k] = words->view().size();
            words->append(",title=");
            words->append(checkTable[k].name);
            words->append("::");
        }
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        size_t index = tableIndex(diagnostic.check);
        std::string_view words = checkWords_[index].view();
        line_.clear();
        char *out = line_.reserve(16 + 2 * maxNumberLen + words.size() +
                                  name_.shown.size());
        out = put(put(out, headOf(words, severityLen_[index])), name_.shown);
        out = putNumber(put(out, ",line="), diagnostic.lineNum);
        out = putNumber(put(out, ",col="), diagnostic.pos + 1);
        line_.commit(put(out, tailOf(words, severityLen_[index])));
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
    LineBuffer checkWords_[checkCount];
    size_t severityLen_[checkCount] = {};
};

GithubFormat githubFormat;

} // namespace

Emitter *githubEmitter()
{
    return &githubFormat;
}
