// What is wrong with a word read as an option, worded for the program's
// complaint line: the command line's and a file of options' alike.
#ifndef ISCSI_CONFIG_CHECK_CLI_OPTION_COMPLAINTS_H
#define ISCSI_CONFIG_CHECK_CLI_OPTION_COMPLAINTS_H

#include "cli/option_reader.h"
#include "cli/settings.h"
#include "support/line_buffer.h"

// Where the word a complaint leaves out stands: counted from 1 after the
// program's name ("argument 3: unknown warning"), or on a line of a file of
// options ("word 2: unknown option").
enum class WordPlace : unsigned char { argument, word };

// Appends "option 'OPTION' needs a value": "-W", or the long option as
// written (a prefix of its name, so plain).
void appendMissingValue(LineBuffer *text, char **argv, const WordRead &read);

// Appends what `wrong` tells, after "argument N: " or "word N: " (N =
// `word`, the index of the word that it is about) where it leaves the word
// out.
void appendComplaint(LineBuffer *complaint, const Complaint &wrong,
                     WordPlace place, int word);

// Appends why the word that `read` found, which begins with "-", is no
// option: a lone "-", which would be standard input elsewhere, a long
// option (unknown, with the closest option; ambiguous; or given a value
// it does not take), or a letter; else the word is unknown whole.
void complainOfNotOption(LineBuffer *complaint, char **argv,
                         const WordRead &read, WordPlace place);

// Appends why the word that `read` found may not stand in a file of
// options: "'WORD' is not allowed here", or where the word is not plain,
// the option's own name when it is one, else "not an option".
void refuseWord(LineBuffer *complaint, char **argv, const WordRead &read);

#endif
