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
    line->append(name);
    line->append(':');
    line->appendNumber(diagnostic.lineNum);
    line->append(':');
    line->appendNumber(note.pos + 1);
    line->append(": ");
    line->append(before);
    line->append("note:");
    line->append(after);
    line->append(' ');
    line->append(note.text);
    line->append('\n');
}
