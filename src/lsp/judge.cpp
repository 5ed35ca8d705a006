// The diagnostic step's products collected for the editor.
#include "lsp/judge.h"

#include <cstdio>

namespace
{

// Keeps every diagnostic, with the notes and whether --fix mends it; the
// messages are the checks' own, and no column lies past a hide point.
class Collector : public DiagnosticConsumer
{
  public:
    explicit Collector(Judged *judged) : judged_(judged)
    {
        ConsumerStreams streams;
        streams.out = stdout;
        ConsumerNeeds needs;
        needs.hidesColumns = true;
        needs.notes = true;
        needs.fixable = true;
        setUpConsumer(streams, needs);
    }

  protected:
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        Finding finding = {diagnostic.check,
                           diagnostic.lineNum,
                           diagnostic.pos,
                           diagnostic.hidden,
                           diagnostic.wholeFile,
                           diagnostic.fixable,
                           std::string(diagnostic.message),
                           judged_->notes.size(),
                           diagnostic.noteCount};
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            const Note &note = diagnostic.notes[k];
            judged_->notes.push_back({std::string(note.text), note.pos});
        }
        judged_->findings.push_back(std::move(finding));
    }

  private:
    Judged *judged_;
};

} // namespace

void judgeText(std::string_view text, const char *name,
               const InspectOptions &options, Judged *judged)
{
    judged->findings.clear();
    judged->notes.clear();
    Collector collector(judged);
    // A stream over the text, read through the C library as any stream
    // without a descriptor is; one byte of room for an empty text.
    static char none = '\0';
    FILE *file = text.empty() ? fmemopen(&none, 1, "r")
                              : fmemopen(const_cast<char *>(text.data()),
                                         text.size(), "r");
    if (file != nullptr && text.empty()) {
        (void)fgetc(file); // at its end
    }
    (void)inspectStream(file, name, &collector, options);
    if (file != nullptr) {
        (void)fclose(file);
    }
}
