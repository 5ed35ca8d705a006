// What every format shares.
#include "formats/emitter.h"

void Emitter::beginRun(std::string_view programName)
{
    LineBuffer shown;
    appendUntrusted(&shown, programName, streams_.outIsTerminal);
    startRun(shown.view());
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
