// The project's file of options: where it is found, how it is opened and
// judged before a byte of it is read, and how its lines are split into the
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

#include "support/allocate.h"
#include "support/escape.h"

void appendSettingsPath(LineBuffer *message, std::string_view path)
{
    // The format is not known yet while the file of options is read.
    appendToldName(message, path, false);
}

// Writes "FILE: REASON" to `refusal`, with the ways round it when `hint`;
// false, for the caller to return.
static bool refuseFile(const char *path, const char *reason, bool hint,
                       SettingsRefusal *refusal)
{
    LineBuffer *message = &refusal->message;
    message->clear();
    appendSettingsPath(message, path);
    message->append(": ");
    message->append(reason);
    if (hint) {
        message->append(" (use --config=FILE or --no-config)");
    }
    refusal->line = 0;
    return false;
}

void refuseLookup(const char *folder, int error, SettingsRefusal *refusal)
{
    (void)refuseFile(folder, strerror(error), true, refusal);
}

// The null device, which a file given may be to read no options.
static bool isNullDevice(const struct stat &status)
{
    return S_ISCHR(status.st_mode) && status.st_rdev == makedev(1, 3);
}

// Why a file of options of the status `status` cannot be used, or null.
// Anyone could have put options into the project's file that is not the
// user's or root's, or that everyone may write (the user's group may: a
// team shares its checkout). A file given is the user's own choice.
static const char *whyUnusable(const struct stat &status, bool given)
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
    if (status.st_size > static_cast<off_t>(maxSettingsFileSize)) {
        return "is larger than 64 KiB";
    }
    return nullptr;
}

// Reads the file open at `fd` into `text`, after judging it again as it is
// open (it may have been replaced since it was looked at), and no more than
// one byte past the bound, which tells a file too long even where its size
// says nothing (/proc). Returns why it cannot be used, or null.
static const char *readBounded(int fd, bool given, LineBuffer *text)
{
    struct stat status = {};
    if (fstat(fd, &status) != 0) {
        return strerror(errno);
    }
    if (given && isNullDevice(status)) {
        return nullptr;
    }
    const char *why = whyUnusable(status, given);
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

bool readSettingsFile(const char *path, bool given, SettingsWords *words,
                      SettingsRefusal *refusal)
{
    // Judged before it is opened, so that no FIFO or device is opened, the
    // project's file without following a link.
    struct stat status = {};
    if ((given ? stat(path, &status) : lstat(path, &status)) != 0) {
        int error = errno;
        return refuseFile(path, strerror(error), !given || error != ENOENT,
                          refusal);
    }
    if (given && isNullDevice(status)) {
        return words->split("", path, refusal);
    }
    const char *why = whyUnusable(status, given);
    if (why != nullptr) {
        return refuseFile(path, why, true, refusal);
    }
    // Should it have become a FIFO since, opening it does not wait for a
    // writer; should it have become a link, the project's is not followed.
    int fd = open(path,
                  O_RDONLY | O_NONBLOCK | O_CLOEXEC | (given ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        int error = errno;
        why = !given && error == ELOOP ? "is a symbolic link" : strerror(error);
        return refuseFile(path, why, true, refusal);
    }
    LineBuffer text;
    why = readBounded(fd, given, &text);
    (void)close(fd);
    if (why != nullptr) {
        return refuseFile(path, why, true, refusal);
    }
    return words->split(text.view(), path, refusal);
}

// Stands in for the program's name before a line's words: getopt_long reads
// from the second word on.
static char wordsBefore[] = "";

SettingsWords::~SettingsWords()
{
    free(words_);
    free(lines_);
}

bool SettingsWords::split(std::string_view text, const char *path,
                          SettingsRefusal *refusal)
{
    // The lines are split into words in place, in a copy. A line that
    // holds words holds at least as many bytes, each word but the last is
    // followed by a blank, and each line takes two more slots (the one
    // before its words and the null after them).
    text_.clear();
    text_.append(text);
    text_.append('\0');
    size_t room = 2 * text.size() + 4;
    words_ =
        static_cast<char **>(allocateOrAbort(words_, room * sizeof(char *)));
    lines_ = static_cast<SettingsLine *>(
        allocateOrAbort(lines_, (text.size() / 2 + 1) * sizeof(SettingsLine)));
    lineCount_ = 0;
    char *copy = text_.data();
    char **next = words_;
    long long lineNum = 0;
    size_t start = 0;
    for (;;) {
        size_t lineEnd = text.find('\n', start);
        bool last = lineEnd == std::string_view::npos;
        if (last) {
            lineEnd = text.size();
        }
        lineNum++;
        char *line = copy + start;
        size_t len = lineEnd - start;
        if (memchr(line, '\0', len) != nullptr) {
            refusal->message.clear();
            appendSettingsPath(&refusal->message, path);
            refusal->message.append(':');
            refusal->message.appendNumber(lineNum);
            refusal->message.append(": holds a zero byte");
            refusal->line = lineNum;
            return false;
        }
        if (len > 0 && line[len - 1] == '\r') {
            len--; // a final carriage return
        }
        line[len] = '\0';
        char **words = next;
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
        if (count > 1) {
            lines_[lineCount_++] = {lineNum, words, count};
            next = words + count + 1;
        }
        if (last) {
            return true;
        }
        start = lineEnd + 1;
    }
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

// Whether the first `len` bytes of `folder` name a folder that every user
// may write, which is not looked in.
static bool isOpenFolder(char *folder, size_t len)
{
    char kept = folder[len];
    folder[len] = '\0';
    struct stat status = {};
    bool open = stat(folder, &status) == 0 && (status.st_mode & S_IWOTH) != 0;
    folder[len] = kept;
    return open;
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

// Appends to the absolute folder name in `folder` (`*len` bytes, no final
// "/" but for the root) the folders of `name`, all of it but its last part,
// as `cd` walks them by name: "." and empty parts are passed over, ".."
// goes back one part (never above the root). False when the result does
// not fit in `size` bytes.
static bool walkFolders(char *folder, size_t *len, size_t size,
                        std::string_view name)
{
    size_t lastSlash = name.rfind('/');
    if (lastSlash == std::string_view::npos) {
        return true;
    }
    std::string_view folders = headOf(name, lastSlash);
    while (!folders.empty()) {
        size_t cut = folders.find('/');
        std::string_view part = headOf(folders, cut);
        folders = cut == std::string_view::npos ? std::string_view()
                                                : tailOf(folders, cut + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            *len = parentOf(folder, *len);
            continue;
        }
        size_t at = *len == 1 ? 0 : *len; // the root's "/" is the separator
        if (at + 1 + part.size() + 1 > size) {
            return false;
        }
        folder[at] = '/';
        memcpy(folder + at + 1, part.data(), part.size());
        *len = at + 1 + part.size();
    }
    folder[*len] = '\0';
    return true;
}

// Fails a lookup: `path` names `folder` (or "." for the current folder),
// errno is `error`.
static SettingsLookup lookupFailed(char *path, size_t size, const char *folder,
                                   int error)
{
    (void)snprintf(path, size, "%s", folder);
    errno = error;
    return SettingsLookup::failed;
}

SettingsLookup findSettingsFile(const char *checkedPath, char *path,
                                size_t size)
{
    char folder[settingsPathSize];
    size_t len = 0;
    if (checkedPath == nullptr || checkedPath[0] != '/') {
        if (!currentFolder(folder, sizeof folder)) {
            return lookupFailed(path, size, ".", errno);
        }
        len = strlen(folder);
    } else {
        folder[0] = '/';
        folder[1] = '\0';
        len = 1;
    }
    if (checkedPath != nullptr &&
        !walkFolders(folder, &len, sizeof folder, checkedPath)) {
        return lookupFailed(path, size, checkedPath, ENAMETOOLONG);
    }
    struct stat status = {};
    if (stat(folder, &status) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        return SettingsLookup::none; // a folder that does not exist
    }
    // The top of the repository: the first folder up from here that holds
    // a .git entry; without one, only the file's own folder is looked in.
    bool tooLong = false;
    size_t top = len;
    for (;;) {
        if (!isOpenFolder(folder, top) &&
            entryExists(path, size, folder, top, ".git", &tooLong)) {
            break;
        }
        if (top == 1) {
            top = len;
            break;
        }
        top = parentOf(folder, top);
    }
    for (size_t at = len;; at = parentOf(folder, at)) {
        if (!isOpenFolder(folder, at) &&
            entryExists(path, size, folder, at, ".iscsi-config-check",
                        &tooLong)) {
            return SettingsLookup::found;
        }
        if (tooLong) {
            return lookupFailed(path, size, folder, ENAMETOOLONG);
        }
        if (at <= top) {
            return SettingsLookup::none;
        }
    }
}
