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
        words_.write([](const CheckInfo &check, LineBuffer *before,
                        LineBuffer *after) {
            before->append(": ");
            before->append(severityName(check.severity));
            before->append(": ");
            after->append(check.severity == Severity::warning ? " [-W" : " [");
            after->append(check.name);
            after->append("]\n");
        });
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        std::string_view before = words_.before(diagnostic.check);
        std::string_view after = words_.after(diagnostic.check);
        // The text's parts and two numbers.
        line_.clear();
        char *out = line_.reserve(2 + 2 * maxNumberLen + name_.shown.size() +
                                  before.size() + diagnostic.message.size() +
                                  after.size());
        out = put(out, name_.shown);
        *out++ = ':';
        out = lineNumber_.put(out, diagnostic.lineNum);
        *out++ = ':';
        // "FILE:LINE:", which each note's line begins with too.
        size_t prefixLen = static_cast<size_t>(out - line_.data());
        out = putNumber(out, diagnostic.pos + 1);
        out = put(put(out, before), diagnostic.message);
        line_.commit(put(out, after));
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
    CheckWords words_;
};

GccFormat gccFormat;

} // namespace

Emitter *gccEmitter()
{
    return &gccFormat;
}
