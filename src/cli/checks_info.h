// What --list-checks and --explain print of the table of checks.
#ifndef ISCSI_CONFIG_CHECK_CLI_CHECKS_INFO_H
#define ISCSI_CONFIG_CHECK_CLI_CHECKS_INFO_H

#include "checks/checks.h"
#include "support/line_buffer.h"

// Prints each check on a line: its name, severity, whether `warnings` (the
// warnings turned on) turn it on, its summary, and "fix" when --fix mends
// some of its diagnostics ("-" otherwise), separated by tabs.
void listChecks(WarningSet warnings);

// Prints what the manual says of one check, wrapped to fit a terminal, with
// what --fix does for it, and a bad line and its fixed form.
void explainCheck(const CheckInfo *check);

// Appends what explainCheck prints to `out`.
void appendExplanation(LineBuffer *out, const CheckInfo *check);

#endif
