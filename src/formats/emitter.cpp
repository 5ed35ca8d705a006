// What every format shares.
#include "formats/emitter.h"

void Emitter::beginRun(std::string_view programName)
{
    LineBuffer shown;
    appendUntrusted(&shown, programName, streams_.outIsTerminal);
    startRun(shown.view());
}
