// Reading a file whole to mend it, and putting the mended text in its place
// through a new file in the same folder that is renamed over it.
#include "support/rewrite.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

// The reasons of our own, which refusalCode numbers -1, -2, ... in this
// order; noRefusal stands for none.
enum Refusal {
    standardInput,
    symbolicLink,
    notRegular,
    hardLinks,
    changedMeanwhile,
    otherOwner,
    attributesLost,
    noRefusal,
};
static const char *const refusals[] = {
    "is standard input: --stdin-filename=NAME with --fix writes the mended "
    "text to standard output",
    "is a symbolic link",
    "is not a regular file",
    "has several hard links: mending it would part them",
    "changed while it was mended",
    "is owned by another user, and the mended file could not be given to "
    "them",
    "has extended attributes or ACLs that could not be copied",
};
static const int refusalCount = sizeof refusals / sizeof refusals[0];
static const char aclName[] = "system.posix_acl_access";

int refusalCode(const RewriteFailure &failure)
{
    for (int k = 0; failure.reason != nullptr && k < refusalCount; k++) {
        if (strcmp(failure.reason, refusals[k]) == 0) {
            return -(k + 1);
        }
    }
    return 0;
}

const char *rewriteRefusal(int code)
{
    return code < 0 && code >= -refusalCount ? refusals[-code - 1]
                                             : "could not be mended";
}

// Sets `failure` to a reason of our own, or to the system's error; false.
static bool refuse(RewriteFailure *failure, Refusal refusal)
{
    *failure = {refusals[refusal], 0};
    return false;
}
static bool systemError(RewriteFailure *failure, int errorNumber)
{
    *failure = {nullptr, errorNumber};
    return false;
}

// Why a file of the status `status` is not mended, if it is not. A link
// would be replaced by a file of its own, and a second hard link would go
// on naming the old text.
static Refusal whyRefused(const struct stat &status)
{
    if (S_ISLNK(status.st_mode)) {
        return symbolicLink;
    }
    if (!S_ISREG(status.st_mode)) {
        return notRegular;
    }
    return status.st_nlink > 1 ? hardLinks : noRefusal;
}

bool readForRewrite(const char *path, LineBuffer *content,
                    struct stat *identity, RewriteFailure *failure)
{
    content->clear();
    for (const char *name : {"/dev/stdin", "/dev/fd/0", "/proc/self/fd/0"}) {
        if (strcmp(path, name) == 0) {
            return refuse(failure, standardInput);
        }
    }
    // Judged before it is opened, so that no FIFO or device is opened, and
    // again as opened, should it have been replaced in between.
    struct stat status = {};
    if (lstat(path, &status) != 0) {
        return systemError(failure, errno);
    }
    Refusal why = whyRefused(status);
    if (why != noRefusal) {
        return refuse(failure, why);
    }
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        bool link = error == ELOOP && lstat(path, &status) == 0 &&
                    S_ISLNK(status.st_mode);
        return link ? refuse(failure, symbolicLink)
                    : systemError(failure, error);
    }
    // The identity is taken before the reading: a write meanwhile moves
    // the modification time away from it, and the rewrite is refused.
    int error = fstat(fd, identity) != 0 ? errno : 0;
    why = error == 0 ? whyRefused(*identity) : noRefusal;
    while (error == 0 && why == noRefusal) {
        char *start = content->reserve(65536);
        ssize_t n = read(fd, start, 65536);
        if (n > 0) {
            content->commit(start + n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    (void)close(fd);
    if (why != noRefusal) {
        return refuse(failure, why);
    }
    return error == 0 || systemError(failure, error);
}

// Creates the new file ".NAME.fix-XXXXXX" for the file `base` in the folder
// at `dirFd`, with no permission for anyone while it is filled (and no
// umask can widen that); its name goes to `name`. The six letters come from
// getrandom, or from the clock should it fail: the name is created
// exclusively, so a guessed one costs a retry, no more.
static int createNewFile(int dirFd, const char *base, LineBuffer *name)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 16; attempt++) {
        unsigned char bytes[6] = {};
        if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != sizeof bytes) {
            timespec now = {};
            (void)clock_gettime(CLOCK_REALTIME, &now);
            uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^
                            static_cast<uint64_t>(getpid()) << 32;
            memcpy(bytes, &seed, sizeof bytes);
        }
        name->clear();
        name->append('.');
        // Room for the suffix within the longest name a folder takes.
        name->append(headOf(base, 240));
        name->append(".fix-");
        for (unsigned char byte : bytes) {
            name->append(letters[byte % (sizeof letters - 1)]);
        }
        name->append('\0');
        int fd =
            openat(dirFd, name->data(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Reads the list of extended attributes' names of the file at `fd` into
// `names`; none where the file system has none (ENOTSUP, which is
// EOPNOTSUPP). False, with errno, when it fails.
static bool listAttributes(int fd, LineBuffer *names)
{
    for (;;) {
        names->clear();
        ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP;
        }
        char *start = names->reserve(static_cast<size_t>(size));
        ssize_t got = flistxattr(fd, start, static_cast<size_t>(size));
        if (got >= 0) {
            names->commit(start + got);
            return true;
        }
        if (errno != ERANGE) { // (ERANGE: one was added meanwhile)
            return false;
        }
    }
}

// Copies the extended attribute `name` of the file at `from` to the file at
// `to`, unless it has it already with that value: a security label the new
// file was given when created may take a privilege to set even to itself.
static bool copyAttribute(int from, int to, const char *name)
{
    LineBuffer value;
    LineBuffer present;
    ssize_t got = -1;
    do {
        ssize_t size = fgetxattr(from, name, nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.clear();
        got = fgetxattr(from, name, value.reserve(static_cast<size_t>(size)),
                        static_cast<size_t>(size));
    } while (got < 0 && errno == ERANGE);
    if (got < 0) {
        return false;
    }
    size_t len = static_cast<size_t>(got);
    char *mine = present.reserve(len + 1);
    if (fgetxattr(to, name, mine, len + 1) == got &&
        memcmp(mine, value.data(), len) == 0) {
        return true;
    }
    return fsetxattr(to, name, value.data(), len, 0) == 0;
}

// Gives the new file at `fd` the extended attributes of the original, the
// file `base` in the folder at `dirFd` opened again, which must be the file
// read as `identity`. Setting a user.* attribute takes leave to write the
// file itself, which its owner alone is given meanwhile. The ACL comes
// last, for it sets the mode's bits to the original's; it is left out when
// the new file could not be given the original's group, to which its entry
// for the owning group belongs. An ACL the new file took from the folder's
// default ACL, and the original has not, is taken away.
static bool copyAttributes(int dirFd, const char *base,
                           const struct stat &identity, int fd, bool groupKept,
                           RewriteFailure *failure)
{
    int original =
        openat(dirFd, base, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (original < 0) {
        return errno == ENOENT || errno == ELOOP
                   ? refuse(failure, changedMeanwhile)
                   : systemError(failure, errno);
    }
    struct stat status = {};
    bool same = fstat(original, &status) == 0 &&
                status.st_dev == identity.st_dev &&
                status.st_ino == identity.st_ino;
    LineBuffer names;
    bool copied = same && listAttributes(original, &names);
    if (copied && !names.view().empty()) {
        copied = fchmod(fd, S_IWUSR) == 0;
    }
    bool hasAcl = false;
    for (size_t at = 0; copied && at < names.view().size();) {
        const char *name = names.data() + at;
        at += strlen(name) + 1;
        if (strcmp(name, aclName) == 0) {
            hasAcl = true;
        } else {
            copied = copyAttribute(original, fd, name);
        }
    }
    if (copied && hasAcl && groupKept) {
        copied = copyAttribute(original, fd, aclName);
    } else if (copied) {
        copied = fremovexattr(fd, aclName) == 0 || errno == ENODATA ||
                 errno == ENOTSUP;
    }
    (void)close(original);
    if (!same) {
        return refuse(failure, changedMeanwhile);
    }
    return copied || refuse(failure, attributesLost);
}

// Writes `size` bytes at `data` to the new file at `fd`, then gives it the
// original's owner, group, attributes and mode, in that order (a change of
// owner clears the set-id bits), and flushes it to the disk.
static bool fillNewFile(int dirFd, const char *base,
                        const struct stat &identity, int fd, const char *data,
                        size_t size, RewriteFailure *failure)
{
    // The text first: a write takes set-id bits and file capabilities away,
    // so the owner, the attributes and the mode come after it.
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return systemError(failure, n < 0 ? errno : ENOSPC);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    mode_t mode = identity.st_mode & 07777;
    bool groupKept = fchown(fd, identity.st_uid, identity.st_gid) == 0;
    if (!groupKept && identity.st_uid != geteuid()) {
        return refuse(failure, otherOwner);
    }
    if (!groupKept) {
        // The user's own file of a group they are not in: the new file
        // stays in the user's group, which is given nothing, nor is anyone
        // else, rather than more than the original gave them.
        mode &= static_cast<mode_t>(~(S_ISGID | S_IRWXG | S_IRWXO));
    }
    if (!copyAttributes(dirFd, base, identity, fd, groupKept, failure)) {
        return false;
    }
    if (fchmod(fd, mode) != 0) {
        return systemError(failure, errno);
    }
    return fsync(fd) == 0 || systemError(failure, errno);
}

// True when `status` is still the file read as `identity`, one link and
// unchanged. Besides size and modification time, the change time is held
// to: it moves with every write, chmod, chown or attribute set, and cannot
// be set back.
static bool isUnchanged(const struct stat &status, const struct stat &identity)
{
    return S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           status.st_dev == identity.st_dev &&
           status.st_ino == identity.st_ino &&
           status.st_size == identity.st_size &&
           status.st_mtim.tv_sec == identity.st_mtim.tv_sec &&
           status.st_mtim.tv_nsec == identity.st_mtim.tv_nsec &&
           status.st_ctim.tv_sec == identity.st_ctim.tv_sec &&
           status.st_ctim.tv_nsec == identity.st_ctim.tv_nsec;
}

void appendFolderOf(LineBuffer *folder, const char *path)
{
    const char *slash = strrchr(path, '/');
    folder->append(slash == nullptr ? std::string_view(".")
                   : slash == path  ? std::string_view("/")
                                   : std::string_view(path, static_cast<size_t>(
                                                                slash - path)));
    folder->append('\0');
}

bool rewriteFile(const char *path, const struct stat &identity,
                 const char *data, size_t size, RewriteFailure *failure)
{
    const char *slash = strrchr(path, '/');
    const char *base = slash == nullptr ? path : slash + 1;
    if (*base == '\0') {
        return systemError(failure, EISDIR);
    }
    LineBuffer folder;
    appendFolderOf(&folder, path);
    // The folder is opened first, for the new file is made, checked and
    // renamed in this very folder, which is flushed at the end.
    int dirFd = open(folder.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        return systemError(failure, errno);
    }
    LineBuffer name;
    int fd = createNewFile(dirFd, base, &name);
    if (fd < 0) {
        int error = errno;
        (void)close(dirFd);
        return systemError(failure, error);
    }
    bool filled = fillNewFile(dirFd, base, identity, fd, data, size, failure);
    if (close(fd) != 0 && filled) {
        filled = systemError(failure, errno);
    }
    struct stat status = {};
    if (filled && (fstatat(dirFd, base, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
                   !isUnchanged(status, identity))) {
        filled = refuse(failure, changedMeanwhile);
    }
    if (filled && renameat(dirFd, name.data(), dirFd, base) != 0) {
        filled = systemError(failure, errno);
    }
    if (!filled) {
        (void)unlinkat(dirFd, name.data(), 0);
        (void)close(dirFd);
        return false;
    }
    // Renamed: the file is replaced now, whatever follows. A folder that
    // cannot be flushed still fails the call, for the new name may not
    // outlive a crash; a file system that flushes no folder (EINVAL) does
    // not.
    bool flushed = fsync(dirFd) == 0 || errno == EINVAL;
    int error = errno;
    (void)close(dirFd);
    return flushed || systemError(failure, error);
}
