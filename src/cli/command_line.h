// The reading of the command line's words, and of a file of options' words,
// as options of the table (options.h).
#ifndef ISCSI_CONFIG_CHECK_CLI_COMMAND_LINE_H
#define ISCSI_CONFIG_CHECK_CLI_COMMAND_LINE_H

#include "cli/options.h"
#include "cli/settings.h"
#include "support/line_buffer.h"

// Reads the command line strictly from left to right: options and file
// names may be mixed, and options apply to every file wherever they stand.
// "--" makes every later word a file name. The first of a usage error,
// --help and --version decides; no file name at all is a usage error,
// unless the checks are listed or explained, the settings shown or
// standard input read, which take none. What is wrong goes to `complaint`,
// which names the argument ("argument 3: unknown warning") where the word
// itself is not quoted.
Action parseCommandLine(int argc, char **argv, CommandLine *command,
                        LineBuffer *complaint);

// Whether the command line holds both --fix and --stdin-filename (given
// a value or not), read as parseCommandLine reads it but past any word it
// would stop at: the test for a run whose standard output stands in for an
// editor's buffer, which a usage error must not empty.
bool asksToMendInput(int argc, char **argv);

// Applies the words words[1] to words[count - 1] (words[count] null; one
// line of a file of options) as the command line reads them, over the
// whole table: abbreviations, values in the same word or the next one,
// letters combined. False, with what is wrong in `complaint` as the
// command line would tell it (the word, where it is not quoted, by its
// place on the line: "word 2: ..."), at the first word that is not an
// option a file of options may hold, or whose value the option does not
// take; an option that only the command line takes keeps its own reason
// ("'--fix' is not allowed here"). Uses getopt_long's state: not while the
// command line is being read.
bool applyOptionWords(int count, char **words, Settings *settings,
                      LineBuffer *complaint);

#endif
