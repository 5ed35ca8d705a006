// What every format shares.
#include "formats/emitter.h"

void Emitter::beginRun(std::string_view programName)
{
    LineBuffer shown;
    appendUntrusted(&shown, programName, streams_.outIsTerminal);
    startRun(shown.view());
}

// The notes' texts escaped, as they are first asked for: a kind has two,
// with and without the clause that offers --fix.
static LineBuffer jsonNotes[NOTE_KIND_COUNT][2];
static LineBuffer commandNotes[NOTE_KIND_COUNT][2];

// Which of its kind's two texts `note` holds.
static size_t textIndex(const Note &note)
{
    return note.text == noteText(note.kind) ? 0 : 1;
}

std::string_view jsonNoteText(const Note &note)
{
    LineBuffer *text = &jsonNotes[note.kind][textIndex(note)];
    if (text->view().empty()) {
        appendJsonString(text, note.text);
    }
    return text->view();
}

std::string_view commandNoteText(const Note &note)
{
    LineBuffer *text = &commandNotes[note.kind][textIndex(note)];
    if (text->view().empty()) {
        appendCommandEscaped(text, note.text, false);
    }
    return text->view();
}
