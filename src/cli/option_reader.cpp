// The reading of words as options that getopt_long does from the table.
#include "cli/option_reader.h"

#include <climits>

int codeOf(size_t k)
{
    while (optionTable[k].help == nullptr) {
        k--;
    }
    return optionTable[k].letter != '\0' ? optionTable[k].letter
                                         : UCHAR_MAX + 1 + static_cast<int>(k);
}

static void describeOptions(GetoptTable *table)
{
    char *shortEnd = table->shortOptions;
    *shortEnd++ = '-';
    *shortEnd++ = ':';
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &row = optionTable[k];
        int hasArg = row.value != nullptr ? required_argument : no_argument;
        table->longOptions[k] = {row.name, hasArg, nullptr, codeOf(k)};
        if (row.letter != '\0') {
            *shortEnd++ = row.letter;
            if (row.value != nullptr) {
                *shortEnd++ = ':';
            }
        }
    }
    table->longOptions[optionCount] = {nullptr, 0, nullptr, 0};
    *shortEnd = '\0';
}

// The option whose code getopt_long returned, or null.
const OptionInfo *optionOfCode(int code)
{
    for (size_t k = 0; k < optionCount; k++) {
        if (codeOf(k) == code) {
            return &optionTable[k];
        }
    }
    return nullptr;
}

// getopt_long does not advance past a word of letters until its last
// letter, so the word read is the one that optind names before the call.
WordRead readWord(const GetoptTable &table, int argc, char **argv)
{
    WordRead read;
    read.word = optind > 0 ? optind : 1;
    int code =
        getopt_long(argc, argv, table.shortOptions, table.longOptions, nullptr);
    read.valueWord = optind - 1;
    switch (code) {
    case -1:
        read.kind = optind > read.word ? WordKind::optionsEnd : WordKind::end;
        break;
    case 1:
        read.kind = WordKind::fileName;
        read.value = optarg;
        break;
    case ':':
        read.kind = WordKind::missingValue;
        read.letter = optopt;
        break;
    default:
        read.option = optionOfCode(code);
        read.kind =
            read.option != nullptr ? WordKind::option : WordKind::notOption;
        read.value = optarg;
        read.letter = optopt;
        break;
    }
    return read;
}

void startReading(GetoptTable *table)
{
    describeOptions(table);
    optind = 0;
    opterr = 0;
}
