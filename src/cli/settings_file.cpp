// The project's file of options: where it is found, how it is opened and
// judged before a byte of it is read, and how its lines are read as the
// command line's words.
#include "cli/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cli/options.h"
#include "support/allocate.h"
#include "support/rewrite.h"

// Appends a file's name to a message as given, but with no newline and no
// "##[" that a CI runner would read as a command (appendToldName): the
// format is not known yet while the file of options is read.
static void appendPath(LineBuffer *message, std::string_view path)
{
    appendToldName(message, path, false);
}

// Tells "PROGRAM: FILE:LINE: TEXT".
static void tellAtLine(const char *programName, const char *path,
                       long long lineNum, std::string_view text)
{
    LineBuffer message;
    appendPath(&message, path);
    message.append(':');
    message.appendNumber(lineNum);
    message.append(": ");
    message.append(text);
    tellProblem(programName, message.view());
}

// Tells "PROGRAM: FILE: REASON", with the ways round it when `hint`; false,
// for the caller to return.
static bool tellUnusable(const char *programName, const char *path,
                         const char *reason, bool hint)
{
    LineBuffer message;
    appendPath(&message, path);
    message.append(": ");
    message.append(reason);
    if (hint) {
        message.append(" (use --config=FILE or --no-config)");
    }
    tellProblem(programName, message.view());
    return false;
}

// The null device, which a file given may be to read no options.
static bool isNullDevice(const struct stat &status)
{
    return S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3);
}

// True when the folder that holds `path` may be written by every user.
static bool isInOpenFolder(const char *path)
{
    LineBuffer folder;
    appendFolderOf(&folder, path);
    struct stat status = {};
    return stat(folder.data(), &status) == 0 && (status.st_mode & S_IWOTH) != 0;
}

// Why a file of options of the status `status` cannot be used, or null.
// Anyone could have put options into the project's file that is not the
// user's or root's, or that everyone may write (the user's group may: a
// team shares its checkout). A file given is the user's own choice.
static const char *whyUnusable(const struct stat &status, bool given,
                               bool inOpenFolder)
{
    if (S_ISLNK(status.st_mode)) {
        return "is a symbolic link";
    }
    if (!S_ISREG(status.st_mode)) {
        return "is not a regular file";
    }
    uid_t user = geteuid();
    if (!given && user != 0 && status.st_uid != user && status.st_uid != 0) {
        return "is owned by another user";
    }
    if (!given && (status.st_mode & S_IWOTH) != 0) {
        return "is writable by every user";
    }
    if (!given && status.st_uid != user && status.st_uid != 0 && inOpenFolder) {
        // Anyone could have put it there: /tmp/.git makes any folder below
        // /tmp a repository's.
        return "is another user's, in a folder writable by every user";
    }
    if (status.st_size > static_cast<off_t>(maxSettingsFileSize)) {
        return "is larger than 64 KiB";
    }
    return nullptr;
}

// Reads the file open at `fd` into `text`, after judging it again as it is
// open (it may have been replaced since it was looked at), and no more than
// one byte past the bound, which tells a file too long even where its size
// says nothing (/proc). Returns why it cannot be used, or null.
static const char *readBounded(int fd, bool given, bool inOpenFolder,
                               LineBuffer *text)
{
    struct stat status = {};
    if (fstat(fd, &status) != 0) {
        return strerror(errno);
    }
    if (given && isNullDevice(status)) {
        return nullptr;
    }
    const char *why = whyUnusable(status, given, inOpenFolder);
    if (why != nullptr) {
        return why;
    }
    char *start = text->reserve(maxSettingsFileSize + 1);
    size_t got = 0;
    while (got <= maxSettingsFileSize) {
        ssize_t n = read(fd, start + got, maxSettingsFileSize + 1 - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return strerror(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    if (got > maxSettingsFileSize) {
        return "is larger than 64 KiB";
    }
    text->commit(start + got);
    return nullptr;
}

bool readSettingsFile(const char *path, bool given, const char *programName,
                      Settings *settings)
{
    // Judged before it is opened, so that no FIFO or device is opened, the
    // project's file without following a link.
    struct stat status = {};
    if ((given ? stat(path, &status) : lstat(path, &status)) != 0) {
        int error = errno;
        return tellUnusable(programName, path, strerror(error),
                            !given || error != ENOENT);
    }
    if (given && isNullDevice(status)) {
        return true;
    }
    bool inOpenFolder = !given && isInOpenFolder(path);
    const char *why = whyUnusable(status, given, inOpenFolder);
    if (why != nullptr) {
        return tellUnusable(programName, path, why, true);
    }
    // Should it have become a FIFO since, opening it does not wait for a
    // writer; should it have become a link, the project's is not followed.
    int fd = open(path,
                  O_RDONLY | O_NONBLOCK | O_CLOEXEC | (given ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        int error = errno;
        why = !given && error == ELOOP ? "is a symbolic link" : strerror(error);
        return tellUnusable(programName, path, why, true);
    }
    LineBuffer text;
    why = readBounded(fd, given, inOpenFolder, &text);
    (void)close(fd);
    if (why != nullptr) {
        return tellUnusable(programName, path, why, true);
    }
    return applySettingsText(text.view(), path, programName, settings);
}

// Stands in for the program's name before a line's words: getopt_long reads
// from the second word on.
static char wordsBefore[] = "";

// Applies the line of `len` bytes at `line` (a copy that may be changed,
// followed by a byte that may be overwritten), number `lineNum`, using
// `words` for room for its words; false after telling what is wrong.
static bool applyLine(char *line, size_t len, char **words, long long lineNum,
                      const char *path, const char *programName,
                      Settings *settings)
{
    // A zero byte would end a word early and hide the rest of the line.
    if (memchr(line, '\0', len) != nullptr) {
        tellAtLine(programName, path, lineNum, "holds a zero byte");
        return false;
    }
    if (len > 0 && line[len - 1] == '\r') {
        len--; // a final carriage return
    }
    line[len] = '\0';
    int count = 0;
    words[count++] = wordsBefore;
    for (size_t k = 0; k < len; k++) {
        if (line[k] == ' ' || line[k] == '\t') {
            line[k] = '\0';
        } else if (k == 0 || line[k - 1] == '\0') {
            if (line[k] == '#') {
                break; // a comment to the end of the line
            }
            words[count++] = line + k;
        }
    }
    words[count] = nullptr;
    LineBuffer complaint;
    if (count > 1 && !applyOptionWords(count, words, settings, &complaint)) {
        tellAtLine(programName, path, lineNum, complaint.view());
        return false;
    }
    return true;
}

bool applySettingsText(std::string_view text, const char *path,
                       const char *programName, Settings *settings)
{
    // The lines are split into words in place, in a copy; a line of n
    // bytes holds at most (n + 1) / 2 words, besides the one before them
    // and the null after them.
    LineBuffer copy;
    copy.append(text);
    copy.append('\0');
    size_t room = text.size() / 2 + 3;
    char **words =
        static_cast<char **>(allocateOrAbort(nullptr, room * sizeof(char *)));
    bool applied = true;
    long long lineNum = 0;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        bool last = end == std::string_view::npos;
        if (last) {
            end = text.size();
        }
        lineNum++;
        applied = applyLine(copy.data() + start, end - start, words, lineNum,
                            path, programName, settings);
        if (!applied || last) {
            break;
        }
        start = end + 1;
    }
    free(words);
    return applied;
}

// Writes "FOLDER/NAME" for the first `len` bytes of `folder` (the root is
// "/") to `path`; true when an entry of that name is there, of any kind, or
// cannot be told absent (a folder that may not be searched, a name too long
// for the system: the caller's reading says why). False when it is absent,
// or when the name does not fit in `path` (`*tooLong` then set).
static bool entryExists(char *path, size_t size, const char *folder, size_t len,
                        const char *name, bool *tooLong)
{
    int shown = len == 1 ? 0 : static_cast<int>(len);
    int written = snprintf(path, size, "%.*s/%s", shown, folder, name);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        *tooLong = true;
        return false;
    }
    struct stat status = {};
    return lstat(path, &status) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

// The length of the parent of the first `len` bytes of `folder`.
static size_t parentOf(const char *folder, size_t len)
{
    while (len > 1 && folder[len - 1] != '/') {
        len--;
    }
    return len > 1 ? len - 1 : 1;
}

bool currentFolder(char *folder, size_t size)
{
    const char *shell = getenv("PWD");
    struct stat named = {};
    struct stat here = {};
    if (shell != nullptr && shell[0] == '/' && strlen(shell) < size &&
        stat(shell, &named) == 0 && stat(".", &here) == 0 &&
        named.st_dev == here.st_dev && named.st_ino == here.st_ino) {
        memcpy(folder, shell, strlen(shell) + 1);
        return true;
    }
    return getcwd(folder, size) != nullptr;
}

void tellLookupFailed(const char *programName, const char *folder, int error)
{
    (void)tellUnusable(programName, folder, strerror(error), true);
}

SettingsLookup findSettingsFile(char *path, size_t size)
{
    char folder[settingsPathSize];
    if (!currentFolder(folder, sizeof folder)) {
        int error = errno;
        (void)snprintf(path, size, "%s", ".");
        errno = error;
        return SettingsLookup::failed;
    }
    // The top of the repository: the first folder up from here that holds
    // a .git entry; without one, only the current folder is looked in.
    bool tooLong = false;
    size_t top = strlen(folder);
    while (!entryExists(path, size, folder, top, ".git", &tooLong) && top > 1) {
        top = parentOf(folder, top);
    }
    if (!entryExists(path, size, folder, top, ".git", &tooLong)) {
        top = strlen(folder);
    }
    for (size_t len = strlen(folder);; len = parentOf(folder, len)) {
        if (entryExists(path, size, folder, len, ".iscsi-config-check",
                        &tooLong)) {
            return SettingsLookup::found;
        }
        if (tooLong) {
            (void)snprintf(path, size, "%s", ".");
            errno = ENAMETOOLONG;
            return SettingsLookup::failed;
        }
        if (len <= top) {
            return SettingsLookup::none;
        }
    }
}
