// Splits arbitrary bytes as the content of a file of options and applies
// its words: any byte value, words and lines of any length, zero bytes, no
// final newline. Whatever it holds, the settings stay within what the
// options can set; a text that holds a zero byte is refused, and so is a
// text of words none of which is an option or a comment. Nothing is
// printed: the complaints are values.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/command_line.h"
#include "cli/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Settings settings;
    std::string_view text(reinterpret_cast<const char *>(data), size);
    SettingsWords words;
    SettingsRefusal refusal;
    bool applied = words.split(text, "fuzz", &refusal);
    for (const SettingsLine &line : words) {
        LineBuffer complaint;
        applied = applied && applyOptionWords(line.count, line.words, &settings,
                                              &complaint);
    }
    bool zeroByte = text.find('\0') != std::string_view::npos;
    bool noOption = text.find_first_of("#-") == std::string_view::npos &&
                    text.find_first_not_of(" \t\r\n") != std::string_view::npos;
    if (settings.format == nullptr || (settings.warnings & ~allWarnings) != 0 ||
        (settings.turnedOff & ~allWarnings) != 0 ||
        (applied && (zeroByte || noOption))) {
        abort();
    }
    return 0;
}
