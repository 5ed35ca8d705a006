// The reading of words as options, which getopt_long does from the table of
// options: for the command line and for a line of a file of options alike.
#ifndef ISCSI_CONFIG_CHECK_CLI_OPTION_READER_H
#define ISCSI_CONFIG_CHECK_CLI_OPTION_READER_H

#include <cstddef>
#include <getopt.h>

#include "cli/options.h"

// getopt_long's code for the option of row `k`: its letter, or a code past
// every character; another spelling takes the code of the option it spells.
int codeOf(size_t k);

// getopt_long's view of the table: its options, and its short options
// after a "-" that returns every word in order (file names as code 1) and
// a ":" that tells a missing value from an unknown option.
struct GetoptTable {
    struct option longOptions[optionCount + 1];
    char shortOptions[2 + 2 * optionCount + 1];
};

// What a word, or a letter of a word of letters, reads as.
enum class WordKind : unsigned char {
    option,       // an option of the table, with its value
    fileName,     // a word that is no option (a lone "-" too)
    missingValue, // an option that needs a value, given none
    notOption,    // unknown, ambiguous, or given a value it does not take
    optionsEnd,   // "--": every later word is a file name
    end,          // no word is left
};

struct WordRead {
    WordKind kind = WordKind::end;
    const OptionInfo *option = nullptr;
    const char *value = nullptr; // the option's value, or the file name
    int word = 0;                // the index of the word read
    int valueWord = 0;           // the index of the word that holds the value
    // The option's code, for a missing value; the letter, for a letter that
    // is no option.
    int letter = 0;
};

// Starts getopt_long afresh on a list of words, silently: the checker's own
// messages are the only complaints.
void startReading(GetoptTable *table);

// Reads the next word of `argv` as getopt_long reads it from `table`; every
// reading of options, the command line's and a file's, goes through here.
WordRead readWord(const GetoptTable &table, int argc, char **argv);

// The option whose code getopt_long returned, or null.
const OptionInfo *optionOfCode(int code);

#endif
