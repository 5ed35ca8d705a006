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
        // The text's parts and two numbers, and each note's line: its
        // prefix, a number and its text. Written in standard output's own
        // buffer when that has the room, as the report's lines are.
        size_t bound = 2 + 2 * maxNumberLen + name_.shown.size() +
                       before.size() + diagnostic.message.size() + after.size();
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            bound += 2 * maxNumberLen + name_.shown.size() + 20 +
                     diagnostic.notes[k].text.size();
        }
        char *start = line_.reserveLine(streams_.out, bound);
        char *out = put(start, name_.shown);
        *out++ = ':';
        out = lineNumber_.put(out, diagnostic.lineNum);
        *out++ = ':';
        // "FILE:LINE:", which each note's line begins with too.
        auto prefixLen = static_cast<size_t>(out - start);
        out = putNumber(out, diagnostic.pos + 1);
        out = put(put(put(out, before), diagnostic.message), after);
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            const Note &note = diagnostic.notes[k];
            memcpy(out, start, prefixLen);
            out = putNumber(out + prefixLen, note.pos + 1);
            out = put(put(put(out, ": note: "), note.text), "\n");
        }
        line_.send(streams_.out, out);
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
