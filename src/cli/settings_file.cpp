// The project's file of options: the words it may hold, which the table of
// options gives, read line by line; and where it is found.
#include "cli/settings_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/options.h"
#include "support/escape.h"

// Whether `text` starts with `prefix`; `rest` is what follows it.
static bool startsWith(const char *text, const char *prefix, const char **rest)
{
    size_t len = strlen(prefix);
    if (strncmp(text, prefix, len) != 0) {
        return false;
    }
    *rest = text + len;
    return true;
}

// The option that `word` spells as a file of options writes it, and its
// value: "--NAME" for an option that takes none (its value empty),
// "--NAME=VALUE", and "-LVALUE" for one with a letter, whose value is the
// next word when it is empty here (null then). Null for any other word,
// abbreviations included.
static const OptionInfo *optionOfWord(const char *word, const char **value)
{
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &option = optionTable[k];
        const char *rest = nullptr;
        if (option.inFile != InFile::yes) {
            continue;
        }
        if (word[0] == '-' && word[1] == '-' &&
            startsWith(word + 2, option.name, &rest) &&
            (option.value == nullptr ? rest[0] == '\0' : rest[0] == '=')) {
            *value = option.value == nullptr ? "" : rest + 1;
            return &option;
        }
        if (option.value != nullptr && option.letter != '\0' &&
            word[0] == '-' && word[1] == option.letter) {
            *value = word[2] == '\0' ? nullptr : word + 2;
            return &option;
        }
    }
    return nullptr;
}

// The option of the letter `letter` that takes no value and that a file of
// options may hold, or null.
static const OptionInfo *flagOfLetter(char letter)
{
    for (size_t k = 0; k < optionCount; k++) {
        const OptionInfo &option = optionTable[k];
        if (option.letter == letter && option.value == nullptr &&
            option.inFile == InFile::yes) {
            return &option;
        }
    }
    return nullptr;
}

// Applies a word of such letters, one or several as in "-qs"; false, with
// nothing applied, for any other word.
static bool applyLetters(const char *word, Settings *settings)
{
    if (word[0] != '-' || word[1] == '\0') {
        return false;
    }
    for (const char *letter = word + 1; *letter != '\0'; letter++) {
        if (flagOfLetter(*letter) == nullptr) {
            return false;
        }
    }
    LineBuffer unused; // an option without a value takes any
    for (const char *letter = word + 1; *letter != '\0'; letter++) {
        (void)flagOfLetter(*letter)->effect.setting(settings, nullptr, &unused);
    }
    return true;
}

// Tells "PROGRAM: FILE:LINE: TEXT".
static void tellAtLine(const char *programName, const char *path,
                       long long lineNum, std::string_view text)
{
    LineBuffer message;
    message.append(path);
    message.append(':');
    message.appendNumber(lineNum);
    message.append(": ");
    message.append(text);
    tellProblem(programName, message.view());
}

// Applies the words of one line of a file of options; false after telling
// what is wrong.
static bool applyLine(char *line, const char *path, long long lineNum,
                      const char *programName, Settings *settings)
{
    const OptionInfo *pending = nullptr; // "-W" waits for its value
    for (char *word = strtok(line, " \t"); word != nullptr;
         word = strtok(nullptr, " \t")) {
        LineBuffer complaint;
        const OptionInfo *option = pending;
        const char *value = word;
        pending = nullptr;
        if (option == nullptr) {
            if (word[0] == '#') {
                return true;
            }
            if (applyLetters(word, settings)) {
                continue;
            }
            option = optionOfWord(word, &value);
            if (option == nullptr) {
                complaint.append("'");
                complaint.append(word);
                complaint.append("' is not allowed here");
                tellAtLine(programName, path, lineNum, complaint.view());
                return false;
            }
            if (value == nullptr) {
                pending = option;
                continue;
            }
        }
        if (!option->effect.setting(settings, value, &complaint)) {
            tellAtLine(programName, path, lineNum, complaint.view());
            return false;
        }
    }
    if (pending != nullptr) {
        LineBuffer complaint;
        complaint.append("option '");
        complaint.append('-');
        complaint.append(pending->letter);
        complaint.append("' needs a value");
        tellAtLine(programName, path, lineNum, complaint.view());
        return false;
    }
    return true;
}

bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings)
{
    FILE *file = fopen(path, "r");
    if (file == nullptr) {
        if (given) {
            (void)fputs("failed to open file ", stderr);
            writeUntrusted(stderr, path, isatty(STDERR_FILENO) != 0);
            (void)fputc('\n', stderr);
        }
        return !given;
    }
    struct stat status = {};
    if (!given && fstat(fileno(file), &status) == 0) {
        const char *why = nullptr;
        if (status.st_uid != getuid() && status.st_uid != 0) {
            why = ": owned by another user";
        } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            why = ": writable by others";
        }
        if (why != nullptr) {
            LineBuffer message;
            message.append("ignoring ");
            message.append(path);
            message.append(why);
            tellProblem(programName, message.view());
            (void)fclose(file);
            return true;
        }
    }
    LineBuffer text;
    for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
        text.append(static_cast<char>(c));
    }
    (void)fclose(file);
    return applySettingsText(text.view(), path, programName, settings);
}

bool applySettingsText(std::string_view text, const char *path,
                       const char *programName, Settings *settings)
{
    LineBuffer line;
    long long lineNum = 0;
    for (;;) {
        size_t end = text.find('\n');
        line.clear();
        line.append(headOf(text, end));
        lineNum++;
        if (!line.view().empty() && line.view().back() == '\r') {
            line.commit(line.reserve(0) - 1); // a final carriage return
        }
        line.append('\0');
        if (!applyLine(line.data(), path, lineNum, programName, settings)) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(end + 1);
    }
}

// Writes "FOLDER/NAME" for the first `len` bytes of `folder` (the root is
// "/") to `path`; true when that entry exists.
static bool entryExists(char *path, size_t size, const char *folder, size_t len,
                        const char *name)
{
    int shown = len == 1 ? 0 : static_cast<int>(len);
    (void)snprintf(path, size, "%.*s/%s", shown, folder, name);
    struct stat status = {};
    return stat(path, &status) == 0;
}

// The length of the parent of the first `len` bytes of `folder`.
static size_t parentOf(const char *folder, size_t len)
{
    while (len > 1 && folder[len - 1] != '/') {
        len--;
    }
    return len > 1 ? len - 1 : 1;
}

bool findSettingsFile(char *path, size_t size)
{
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) {
        return false;
    }
    // The top of the repository: the first folder up from here that holds
    // a .git entry; without one, only the current folder is looked in.
    size_t top = strlen(folder);
    while (!entryExists(path, size, folder, top, ".git") && top > 1) {
        top = parentOf(folder, top);
    }
    if (!entryExists(path, size, folder, top, ".git")) {
        top = strlen(folder);
    }
    for (size_t len = strlen(folder);; len = parentOf(folder, len)) {
        if (entryExists(path, size, folder, len, ".iscsi-config-check")) {
            return true;
        }
        if (len <= top) {
            return false;
        }
    }
}
