// Client configuration reader: judges every line of an initiator's
// configuration file and prints one outcome per target statement.
#ifndef ISCSI_CONFIG_CHECK_CONFIG_H
#define ISCSI_CONFIG_CHECK_CONFIG_H

#include <cstddef>
#include <cstdio>

#include "report.h"

// Results of readConfigFile and readConfigStream.
enum ConfigResult {
    CONFIG_OK = 0,
    CONFIG_OPEN_FAILED = 1,  // "failed to open file" was printed
    CONFIG_READ_FAILED = 2,  // "failed to read file" was printed
    CONFIG_WRITE_FAILED = 3, // standard output failed; reading was abandoned
};

// Name of the configuration file to read; points at the command-line
// argument itself, which lives for the whole run.
extern const char *clientConfigFile;

// Reads and judges the file named by clientConfigFile, printing a report or a
// diagnostic for every target statement on standard output. Returns CONFIG_OK
// when the whole file was read and reported, or the failure that stopped it
// (open and read failures are already reported on standard error).
int readConfigFile();

// readConfigFile in the output chosen by `options`; also sets `*faultCount`
// to the number of diagnostics printed.
int readConfigFileWith(const OutputOptions *options, long long *faultCount);

// Judges one login-parameters field: `loginParamsLen` characters from
// `loginParams`, not terminated. Nothing at or past the count is read, and the
// pointer is not read at all when the count is 0. Returns 0 for a sound field,
// or -1 after printing its diagnostic prefixed with `lineNum`.
int checkLoginParams(long long lineNum, const char *loginParams,
                     size_t loginParamsLen);

// Judges every line read from an already opened stream, named `name` in the
// read-failure message and the gcc format. Returns CONFIG_OK,
// CONFIG_READ_FAILED or CONFIG_WRITE_FAILED, sets `*faultCount`, and leaves
// the stream open. readConfigFileWith is this between opening and closing.
int readConfigStream(FILE *file, const char *name, const OutputOptions *options,
                     long long *faultCount);

#endif
