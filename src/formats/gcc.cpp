// The gcc format: diagnostics only, as "FILE:LINE:COLUMN: error: MESSAGE
// [NAME]" (and "warning: MESSAGE [-WNAME]"), the form that editors and CI
// tools read, each note after it as "FILE:LINE:COLUMN: note: TEXT". The
// column counts bytes from 1.
#include "formats/emitter.h"

namespace
{

class GccFormat : public Emitter
{
  protected:
    // Each check's words around the message, ": error: " and " [NAME]\n"
    // (": warning: " and " [-WNAME]\n"), written once per run.
    void reset() override
    {
        for (size_t k = 0; k < checkCount; k++) {
            const CheckInfo &check = checkTable[k];
            bool isWarning = check.severity == Severity::warning;
            LineBuffer *words = &checkWords_[k];
            words->clear();
            words->append(": ");
            words->append(severityName(check.severity));
            words->append(": ");
            severityLen_[k] = words->view().size();
            words->append(isWarning ? " [-W" : " [");
            words->append(check.name);
            words->append("]\n");
        }
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        std::string_view words =
            checkWords_[tableIndex(diagnostic.check)].view();
        size_t severityLen = severityLen_[tableIndex(diagnostic.check)];
        // The text's parts and two numbers.
        line_.clear();
        char *out = line_.reserve(2 + 2 * maxNumberLen + name_.shown.size() +
                                  diagnostic.message.size() + words.size());
        out = put(out, name_.shown);
        *out++ = ':';
        out = putNumber(out, diagnostic.lineNum);
        *out++ = ':';
        // "FILE:LINE:", which each note's line begins with too.
        size_t prefixLen = static_cast<size_t>(out - line_.data());
        out = putNumber(out, diagnostic.pos + 1);
        out = put(out, headOf(words, severityLen));
        out = put(out, diagnostic.message);
        line_.commit(put(out, tailOf(words, severityLen)));
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            const Note &note = diagnostic.notes[k];
            out =
                line_.reserve(prefixLen + maxNumberLen + 16 + note.text.size());
            memcpy(out, line_.data(), prefixLen);
            out = putNumber(out + prefixLen, note.pos + 1);
            line_.commit(put(put(put(out, ": note: "), note.text), "\n"));
        }
        line_.write(streams_.out);
    }

  private:
    LineBuffer line_;
    LineBuffer checkWords_[checkCount];
    size_t severityLen_[checkCount] = {};
};

GccFormat gccFormat;

} // namespace

Emitter *gccEmitter()
{
    return &gccFormat;
}
