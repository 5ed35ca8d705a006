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
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        const CheckInfo *check = diagnostic.check;
        // The text's parts and two numbers.
        line_.clear();
        char *out =
            line_.reserve(32 + 2 * maxNumberLen + name_.shown.size() +
                          diagnostic.message.size() + check->name.size());
        out = put(out, name_.shown);
        out = putNumber(put(out, ":"), diagnostic.lineNum);
        out = put(out, ":");
        // "FILE:LINE:", which each note's line begins with too.
        size_t prefixLen = static_cast<size_t>(out - line_.data());
        out = putNumber(out, diagnostic.pos + 1);
        out = put(put(put(out, ": "), severityName(check->severity)), ": ");
        out = put(out, diagnostic.message);
        out = put(out, check->severity == Severity::warning ? " [-W" : " [");
        out = put(put(out, check->name), "]");
        line_.commit(put(out, "\n"));
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
};

GccFormat gccFormat;

} // namespace

Emitter *gccEmitter()
{
    return &gccFormat;
}
