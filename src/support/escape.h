// The safe ways to write what others supply (a file's bytes, a file's name,
// the program's name): as a terminal may show it, as a JSON string, as a URI
// reference, or escaped for the workflow commands that CI runners read.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_ESCAPE_H
#define ISCSI_CONFIG_CHECK_SUPPORT_ESCAPE_H

#include <cstdio>
#include <string_view>

#include "support/line_buffer.h"

// The digits of hexadecimal numbers, upper and lower case.
extern const char upperHexDigits[];
extern const char lowerHexDigits[];

// Appends `text` with every control character written as '?' (C0 but the
// tab, DEL, the C1 controls in UTF-8, and lone bytes 0x80 to 0x9F), so that
// no file can move a terminal's cursor, rewrite its screen or send it a
// command. Valid UTF-8 text stays as it is.
void appendShownOnTerminal(LineBuffer *line, std::string_view text);

// Appends `text` as it is, or as a terminal may show it when `terminal`.
inline void appendUntrusted(LineBuffer *line, std::string_view text,
                            bool terminal)
{
    if (terminal) {
        appendShownOnTerminal(line, text);
    } else {
        line->append(text);
    }
}

// Writes `text` to `out` as appendUntrusted appends it, without allocating:
// for the messages that must get out when memory has run out.
void writeUntrusted(FILE *out, std::string_view text, bool terminal);

// Appends `text` as a JSON string, quotes included: `"` and `\` escaped,
// control characters and DEL as escapes, the C1 controls and U+2028 and
// U+2029 (on which JavaScript and Python split lines) too, valid UTF-8 as
// is, and every byte that is not part of valid UTF-8 as U+FFFD, so that the
// result is valid JSON and valid UTF-8 whatever the bytes.
void appendJsonString(LineBuffer *line, std::string_view text);

// Appends `text` as a quoted relative URI reference: every byte but the
// unreserved characters of RFC 3986 and "/" percent-encoded, so that no name
// reads as a scheme ("a:b.conf") or holds a character a URI may not.
void appendUriString(LineBuffer *line, std::string_view text);

// Appends `text` escaped as a workflow command's message: "%", carriage
// return and newline. As a property's value (a file's name), also ":" and
// ",", the second "#" of every "##[", so that it cannot form the runner's
// older command syntax anywhere in a line, and every other control
// character (as appendShownOnTerminal finds them, the tab included) as
// "%XX" of each of its bytes, so that no byte of the name moves a cursor
// in a log that a terminal shows later (the runner decodes none of them).
void appendCommandEscaped(LineBuffer *line, std::string_view text,
                          bool property);

// Appends `name`, which a message on the error stream names (a file of
// options, the program), so that no CI runner takes it for a workflow
// command: a carriage return and a newline as "%0D" and "%0A", the second
// "#" of every "##[" as "%23", and with `colons` every ":" as "%3A" (for a
// name that begins a line, where "::" would start a command).
void appendToldName(LineBuffer *line, std::string_view name, bool colons);

// How a format writes a file's name: as given, escaped for workflow
// commands, as a JSON string or as a URI reference.
enum class NameStyle { asGiven, command, json, uri };

// Appends `name` in `style`; the terminal rule applies on top when
// `terminal` (JSON and URI references hold no control character anyway).
void appendName(LineBuffer *line, std::string_view name, NameStyle style,
                bool terminal);

#endif
