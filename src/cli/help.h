// The text of --help, made from the table of options, and the layout that
// it shares with --explain.
#ifndef ISCSI_CONFIG_CHECK_CLI_HELP_H
#define ISCSI_CONFIG_CHECK_CLI_HELP_H

#include <cstddef>

#include "support/line_buffer.h"

// How wide a line of --help and --explain is at most.
constexpr size_t helpWidth = 79;

// Appends the text of --help: the usage, then an entry for every option
// that the table lists, with the formats' parts and the warnings' names
// where an option's row asks for them.
void buildHelp(LineBuffer *help);

#endif
