// What every format shares.
#include "formats/emitter.h"

void Emitter::beginRun(std::string_view programName)
{
    LineBuffer shown;
    appendUntrusted(&shown, programName, streams_.outIsTerminal);
    startRun(shown.view());
}

void appendNoteLine(LineBuffer *line, std::string_view name,
                    const Diagnostic &diagnostic, const Note &note,
                    std::string_view before, std::string_view after)
{
    char *out = line->reserve(16 + 2 * maxNumberLen + name.size() +
                              before.size() + after.size() + note.text.size());
    out = putNumber(put(put(out, name), ":"), diagnostic.lineNum);
    out = putNumber(put(out, ":"), note.pos + 1);
    out = put(put(put(put(out, ": "), before), "note:"), after);
    line->commit(put(put(put(out, " "), note.text), "\n"));
}

// The notes' texts escaped, as they are first asked for.
static LineBuffer jsonNotes[NOTE_KIND_COUNT];
static LineBuffer commandNotes[NOTE_KIND_COUNT];

std::string_view jsonNoteText(const Note &note)
{
    LineBuffer *text = &jsonNotes[note.kind];
    if (text->view().empty()) {
        appendJsonString(text, note.text);
    }
    return text->view();
}

std::string_view commandNoteText(const Note &note)
{
    LineBuffer *text = &commandNotes[note.kind];
    if (text->view().empty()) {
        appendCommandEscaped(text, note.text, false);
    }
    return text->view();
}
