// Reading a file whole to mend it, and putting the mended text in its place
// through a new file in the same folder that is renamed over it.
#include "support/rewrite.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "support/allocate.h"

// The reasons of our own, which refusalCode numbers -1, -2, ... in this
// order; noRefusal stands for none.
enum Refusal {
    standardInput,
    symbolicLink,
    notRegular,
    hardLinks,
    changedMeanwhile,
    otherOwner,
    aclLost,
    attributesLost,
    modeLost,
    flagsLost,
    noRefusal,
};
// (The two long ones stand apart, so that the list's lines read one
// reason each.)
static const char standardInputReason[] =
    "is standard input: --stdin-filename=NAME with --fix writes the mended "
    "text to standard output";
static const char otherOwnerReason[] =
    "is owned by another user, and the mended file could not be given to "
    "them";
static const char *const refusals[] = {
    standardInputReason,
    "is a symbolic link",
    "is not a regular file",
    "has several hard links: mending it would part them",
    "changed while it was mended",
    otherOwnerReason,
    "its ACL cannot be kept",
    "has extended attributes that could not be copied",
    "its mode cannot be kept",
    "its file flags cannot be kept",
};
static const int refusalCount = sizeof refusals / sizeof refusals[0];

// The refusals that name a group, "its group GROUP cannot be kept", one
// for each file refused so, numbered after the fixed ones.
static char **groupRefusals = nullptr;
static int groupRefusalCount = 0;
static int groupRefusalCapacity = 0;
static const char aclName[] = "system.posix_acl_access";

int refusalCode(const RewriteFailure &failure)
{
    return failure.code;
}

const char *rewriteRefusal(int code)
{
    if (code < 0 && code >= -refusalCount) {
        return refusals[-code - 1];
    }
    if (code < -refusalCount && code >= -refusalCount - groupRefusalCount) {
        return groupRefusals[-code - 1 - refusalCount];
    }
    return "could not be mended";
}

// Sets `failure` to a reason of our own, or to the system's error; false.
static bool refuse(RewriteFailure *failure, Refusal refusal)
{
    *failure = {refusals[refusal], 0, -(static_cast<int>(refusal) + 1)};
    return false;
}
static bool systemError(RewriteFailure *failure, int errorNumber)
{
    *failure = {nullptr, errorNumber, 0};
    return false;
}

// True when the group name `name` is plainly harmless wherever a message
// may go: letters, digits, '.', '_', '-' and a final '$', as user tools
// make them. A name from a directory service may hold anything.
static bool isPlainGroupName(const char *name)
{
    size_t len = strlen(name);
    if (len == 0 || len > 64) {
        return false;
    }
    for (size_t k = 0; k < len; k++) {
        char c = name[k];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (c >= '0' && c <= '9') || c == '.' || c == '_' ||
                     c == '-' || (c == '$' && k == len - 1 && k > 0);
        if (!plain) {
            return false;
        }
    }
    return true;
}

// Refuses a file whose group `gid` the new file could not be given, naming
// the group, or giving its number when it has no name, or none that is
// plainly harmless.
static bool refuseGroup(RewriteFailure *failure, gid_t gid)
{
    LineBuffer text;
    text.append("its group ");
    const group *entry = getgrgid(gid);
    if (entry != nullptr && entry->gr_name != nullptr &&
        isPlainGroupName(entry->gr_name)) {
        text.append(entry->gr_name);
    } else {
        text.appendNumber(gid);
    }
    text.append(" cannot be kept");
    text.append('\0');
    if (groupRefusalCount == groupRefusalCapacity) {
        groupRefusalCapacity =
            groupRefusalCapacity == 0 ? 4 : groupRefusalCapacity * 2;
        groupRefusals = static_cast<char **>(allocateOrAbort(
            groupRefusals,
            static_cast<size_t>(groupRefusalCapacity) * sizeof(char *)));
    }
    size_t size = text.view().size();
    char *kept = static_cast<char *>(allocateOrAbort(nullptr, size));
    memcpy(kept, text.data(), size);
    groupRefusals[groupRefusalCount++] = kept;
    *failure = {kept, 0, -(refusalCount + groupRefusalCount)};
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

void releaseRewriteSource(RewriteSource *source)
{
    if (source->folder >= 0) {
        (void)close(source->folder);
    }
    source->folder = -1;
}

// Opens the folder that holds `path` for `source`: for reading, which its
// flush needs, or else for lookups alone, the reason kept for the rewrite,
// so that a file in a folder the user may only search is still checked.
static bool openFolder(const char *path, RewriteSource *source,
                       RewriteFailure *failure)
{
    LineBuffer folder;
    appendFolderOf(&folder, path);
    source->folder = open(folder.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (source->folder < 0) {
        source->folderError = errno;
        source->folder = open(folder.data(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return source->folder >= 0 || systemError(failure, errno);
}

bool readForRewrite(const char *path, LineBuffer *content,
                    RewriteSource *source, RewriteFailure *failure)
{
    content->clear();
    for (const char *name : {"/dev/stdin", "/dev/fd/0", "/proc/self/fd/0"}) {
        if (strcmp(path, name) == 0) {
            return refuse(failure, standardInput);
        }
    }
    const char *slash = strrchr(path, '/');
    source->base = slash == nullptr ? path : slash + 1;
    struct stat status = {};
    if (*source->base == '\0') {
        // "NAME/": a folder, or no file at all.
        return stat(path, &status) != 0 ? systemError(failure, errno)
                                        : refuse(failure, notRegular);
    }
    if (!openFolder(path, source, failure)) {
        return false;
    }
    // Judged before it is opened, so that no FIFO or device is opened, and
    // again as opened, should it have been replaced in between.
    int dir = source->folder;
    if (fstatat(dir, source->base, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return systemError(failure, errno);
    }
    Refusal why = whyRefused(status);
    if (why != noRefusal) {
        return refuse(failure, why);
    }
    int fd = openat(dir, source->base,
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        bool link =
            error == ELOOP &&
            fstatat(dir, source->base, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(status.st_mode);
        return link ? refuse(failure, symbolicLink)
                    : systemError(failure, error);
    }
    // The identity is taken before the reading: a write meanwhile moves
    // the modification time away from it, and the rewrite is refused.
    struct stat *identity = &source->identity;
    int error = fstat(fd, identity) != 0 ? errno : 0;
    why = error == 0 ? whyRefused(*identity) : noRefusal;
    // (A change of flags meanwhile moves the change time too.)
    if (why == noRefusal && ioctl(fd, FS_IOC_GETFLAGS, &source->flags) != 0) {
        source->flags = 0;
    }
    if (error == 0 && why == noRefusal && !readAll(fd, content)) {
        error = errno;
    }
    (void)close(fd);
    if (why != noRefusal) {
        return refuse(failure, why);
    }
    return error == 0 || systemError(failure, error);
}

// The temporary name that a signal is to remove, in the folder
// `pendingFolder` (-1 when there is none). Noted with those signals
// blocked, so that no signal finds the name made but not yet noted.
static volatile sig_atomic_t pendingFolder = -1;
static char pendingName[256];
// Every signal that ends the program by default and that another process,
// a terminal or a limit sends: SIGINT, SIGTERM and SIGHUP, and also SIGQUIT,
// a timer's, a user's, and a limit of file size (hit by the write of the
// new file itself) or of processor time.
static const int endingSignals[] = {
    SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE,   SIGALRM, SIGUSR1,
    SIGUSR2, SIGXCPU, SIGXFSZ, SIGPROF, SIGVTALRM, SIGPOLL,
};

// Removes the temporary name, then ends the program as the signal would
// have (async-signal-safe calls only): the signal, raised again with its
// default action, is delivered once the handler returns.
static void removePendingName(int signalNumber)
{
    int folder = pendingFolder;
    if (folder >= 0) {
        (void)unlinkat(folder, pendingName, 0);
    }
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    (void)sigaction(signalNumber, &fallback, nullptr);
    (void)raise(signalNumber);
}

// Installs the handler once, for each of the signals that is not ignored
// (a run under nohup goes on ignoring SIGHUP).
static void watchEndingSignals()
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (int signalNumber : endingSignals) {
        struct sigaction action = {};
        struct sigaction old = {};
        action.sa_handler = removePendingName;
        (void)sigemptyset(&action.sa_mask);
        if (sigaction(signalNumber, nullptr, &old) == 0 &&
            old.sa_handler != SIG_IGN) {
            (void)sigaction(signalNumber, &action, nullptr);
        }
    }
}

// Blocks those signals, keeping the mask that was in `old`; and sets
// that mask back.
static void blockEndingSignals(sigset_t *old)
{
    sigset_t set;
    (void)sigemptyset(&set);
    for (int signalNumber : endingSignals) {
        (void)sigaddset(&set, signalNumber);
    }
    (void)sigprocmask(SIG_BLOCK, &set, old);
}
static void restoreSignals(const sigset_t *old)
{
    (void)sigprocmask(SIG_SETMASK, old, nullptr);
}

// Notes `name`, a temporary name just made in the folder `folder`, for the
// handler; or forgets the one noted (`folder` -1).
static void notePendingName(int folder, const char *name)
{
    if (folder >= 0) {
        memcpy(pendingName, name, strlen(name) + 1);
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pendingFolder = folder;
}

static RewriteSeam seam;

void setRewriteSeam(const RewriteSeam &newSeam)
{
    seam = newSeam;
}

// Writes a temporary name ".NAME.fix-XXXXXX" for the file `base` to `name`.
// The six letters come from getrandom, or from the clock should it fail:
// the name is made exclusively, so a guessed one costs a retry, no more.
static void makeTemporaryName(const char *base, LineBuffer *name)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  "abcdefghijklmnopqrstuvwxyz0123456789";
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
    // Room for the suffix within the longest name a folder takes (and
    // within pendingName).
    name->append(headOf(base, 240));
    name->append(".fix-");
    for (unsigned char byte : bytes) {
        name->append(letters[byte % (sizeof letters - 1)]);
    }
    name->append('\0');
}

// Creates the new file for the file `base` in the folder at `dirFd`, with
// no permission for anyone while it is filled (and no umask can widen
// that): unnamed, or, where the file system makes no unnamed file, under a
// temporary name written to `name` (left empty otherwise).
static int createNewFile(int dirFd, const char *base, LineBuffer *name)
{
    name->clear();
    if (!seam.namedFromStart) {
        int fd = openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0);
        if (fd >= 0 ||
            (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            return fd;
        }
    }
    for (int attempt = 0; attempt < 16; attempt++) {
        makeTemporaryName(base, name);
        sigset_t old;
        blockEndingSignals(&old);
        int fd =
            openat(dirFd, name->data(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0);
        int error = errno;
        if (fd >= 0) {
            notePendingName(dirFd, name->data());
        }
        restoreSignals(&old);
        if (fd >= 0 || error != EEXIST) {
            if (fd < 0) {
                name->clear();
            }
            errno = error;
            return fd;
        }
    }
    name->clear();
    return -1;
}

// Gives the unnamed new file at `fd` a temporary name in the folder at
// `dirFd`, written to `name`: through its descriptor (AT_EMPTY_PATH, which
// takes a privilege), or else through /proc/self/fd. False, with errno,
// when it cannot.
static bool nameNewFile(int dirFd, int fd, const char *base, LineBuffer *name)
{
    char self[40];
    (void)snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < 16; attempt++) {
        makeTemporaryName(base, name);
        sigset_t old;
        blockEndingSignals(&old);
        bool linked =
            linkat(fd, "", dirFd, name->data(), AT_EMPTY_PATH) == 0 ||
            (errno != EEXIST && linkat(AT_FDCWD, self, dirFd, name->data(),
                                       AT_SYMLINK_FOLLOW) == 0);
        int error = errno;
        if (linked) {
            notePendingName(dirFd, name->data());
        }
        restoreSignals(&old);
        if (linked || error != EEXIST) {
            if (!linked) {
                name->clear();
            }
            errno = error;
            return linked;
        }
    }
    name->clear();
    return false;
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

// The file flags (as chattr sets them) that the new file carries over from
// the original, and takes off where the folder gave it one the original
// has not: all that a user may set but immutable and append-only (a file
// that has either cannot be replaced, and the new file given one could not
// be taken away again).
static const int carriedFlags =
    FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
    FS_NOATIME_FL | FS_JOURNAL_DATA_FL | FS_NOTAIL_FL | FS_NOCOW_FL |
    FS_DAX_FL | FS_PROJINHERIT_FL | FS_NOCOMP_FL;

// Gives the new file at `fd`, still empty (some flags take only on an
// empty file), the carried flags of `wanted`, the original's; true when it
// has them then, as looked at, not assumed (a file system may drop one
// without a word).
static bool copyFlags(int wanted, int fd)
{
    int have = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &have) != 0) {
        return (wanted & carriedFlags) == 0;
    }
    int flags = (have & ~carriedFlags) | (wanted & carriedFlags);
    return flags == have || (ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0 &&
                             ioctl(fd, FS_IOC_GETFLAGS, &have) == 0 &&
                             (have & carriedFlags) == (flags & carriedFlags));
}

// Gives the new file at `fd` the extended attributes of the original, the
// file `base` in the folder at `dirFd` opened again, which must be the file
// read as `identity`. Setting a user.* attribute takes leave
// to write the file itself, which its owner alone is given meanwhile. The ACL
// comes last, for it sets the mode's bits to the original's. An ACL the new
// file took from the folder's default ACL, and the original has not, is taken
// away.
static bool copyAttributes(int dirFd, const char *base,
                           const struct stat &identity, int fd,
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
    bool aclKept =
        !copied || (hasAcl ? copyAttribute(original, fd, aclName)
                           : fremovexattr(fd, aclName) == 0 ||
                                 errno == ENODATA || errno == ENOTSUP);
    (void)close(original);
    if (!same) {
        return refuse(failure, changedMeanwhile);
    }
    if (!copied) {
        return refuse(failure, attributesLost);
    }
    return aclKept || refuse(failure, aclLost);
}

// Writes `size` bytes at `data` to the new file at `fd`, then gives it the
// original's owner, group, attributes and mode, in that order (a change of
// owner clears the set-id bits), and flushes it to the disk. Refuses where
// the owner or the group cannot be kept: the user's own file of a group
// they are not in would go to their group, its ACL's entry for the owning
// group with it, and any other choice of its group's bits would give that
// group more, or the original's group less, than the original did.
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
    if (fchown(fd, identity.st_uid, identity.st_gid) != 0) {
        if (errno != EPERM) {
            return systemError(failure, errno);
        }
        return identity.st_uid != geteuid()
                   ? refuse(failure, otherOwner)
                   : refuseGroup(failure, identity.st_gid);
    }
    if (!copyAttributes(dirFd, base, identity, fd, failure)) {
        return false;
    }
    if (fchmod(fd, identity.st_mode & 07777) != 0) {
        return systemError(failure, errno);
    }
    // The system may drop the set-group-ID bit without a word (a caller
    // outside the file's group without the privilege to keep it): what the
    // new file carries is looked at, not assumed.
    struct stat given = {};
    if (fstat(fd, &given) != 0) {
        return systemError(failure, errno);
    }
    if ((given.st_mode & 07777) != (identity.st_mode & 07777)) {
        return refuse(failure, modeLost);
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

Rewritten rewriteFile(RewriteSource *source, const char *data, size_t size,
                      RewriteFailure *failure)
{
    // The folder is the one opened before the file was read: the new file
    // is made, checked and renamed in it, and it is flushed at the end.
    int dirFd = source->folder;
    const char *base = source->base;
    const struct stat &identity = source->identity;
    if (source->folderError != 0) {
        (void)systemError(failure, source->folderError);
        return Rewritten::no;
    }
    // A folder that is append-only (or immutable) takes a new name but lets
    // none go: a rename over the original would fail there, and leave the
    // temporary name, with the mended text and its passwords, for good.
    int folderFlags = 0;
    if (ioctl(dirFd, FS_IOC_GETFLAGS, &folderFlags) == 0 &&
        (folderFlags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
        (void)systemError(failure, EPERM);
        return Rewritten::no;
    }
    watchEndingSignals();
    LineBuffer name;
    int fd = createNewFile(dirFd, base, &name);
    if (fd < 0) {
        (void)systemError(failure, errno);
        return Rewritten::no;
    }
    bool filled = copyFlags(source->flags, fd) || refuse(failure, flagsLost);
    filled =
        filled && fillNewFile(dirFd, base, identity, fd, data, size, failure);
    // Named only now, just before the rename, where it was made unnamed.
    if (filled && name.view().empty() && !nameNewFile(dirFd, fd, base, &name)) {
        filled = systemError(failure, errno);
    }
    struct stat written = {};
    if (filled && fstat(fd, &written) != 0) {
        filled = systemError(failure, errno);
    }
    if (close(fd) != 0 && filled) {
        filled = systemError(failure, errno);
    }
    if (filled && seam.beforeRename != nullptr) {
        seam.beforeRename();
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
        if (!name.view().empty()) {
            (void)unlinkat(dirFd, name.data(), 0);
        }
        notePendingName(-1, nullptr);
        return Rewritten::no;
    }
    notePendingName(-1, nullptr);
    source->identity = written;
    // Renamed: the file is replaced now, whatever follows; but the new name
    // may not outlive a crash where the folder cannot be flushed (a file
    // system that flushes no folder, EINVAL, is not such a failure).
    if (fsync(dirFd) != 0 && errno != EINVAL) {
        (void)systemError(failure, errno);
        return Rewritten::unflushed;
    }
    return Rewritten::yes;
}
