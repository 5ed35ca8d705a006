// Reading a file whole to mend it, and putting the mended text in its place
// safely: a new file in the same folder, with the original's mode (never
// wider, not even for a moment), owner, group and extended attributes,
// flushed to the disk, and renamed over the original only when the original
// has not changed since it was read. A failure at any step leaves the
// original as it was.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_REWRITE_H
#define ISCSI_CONFIG_CHECK_SUPPORT_REWRITE_H

#include <sys/stat.h>

#include "support/line_buffer.h"

// Why a file could not be read for mending, or mended: a reason of our own
// ("is a symbolic link"), or null for the system's (strerror(errorNumber)).
struct RewriteFailure {
    const char *reason = nullptr;
    int errorNumber = 0;
};

// The reasons of our own, as negative numbers beside the system's error
// numbers, so that one number tells why a file failed; 0 for none.
int refusalCode(const RewriteFailure &failure);

// The reason of a negative number that refusalCode gave.
const char *rewriteRefusal(int code);

// Reads the file `path` whole into `content` (cleared first), noting in
// `identity` what it was when read (its status before the reading, so that
// a write meanwhile shows at the rewrite). Judges it before opening it, so
// that no FIFO or device is opened, then opens it without following a link
// or waiting (O_NOFOLLOW, O_NONBLOCK) and judges it again. Refuses, with a
// reason: a symbolic link, a file that is not regular, a file with several
// hard links, and standard input given by a name of its own ("/dev/stdin",
// "/dev/fd/0", "/proc/self/fd/0"). False, with `failure` set, when it
// refuses or fails.
bool readForRewrite(const char *path, LineBuffer *content,
                    struct stat *identity, RewriteFailure *failure);

// Replaces the file `path`, read as `identity`, with the `size` bytes at
// `data`: creates a new file in the same folder (which must be readable, to
// be flushed) with no permission at all, gives it the original's owner and
// group, its extended attributes and ACLs and its permission bits, writes
// and flushes it (fsync), checks just before the rename that `path` is
// still the same regular file with one link (device, inode, size,
// modification and change time as in `identity`), renames it over `path`
// and flushes the folder.
//
// The user's own file of a group they are not in keeps its owner's bits
// alone: the new file stays in the user's group, and its ACL, whose entry
// for the owning group would go to that group, is not copied. An ACL the
// new file takes from the folder's default ACL is removed unless the
// original has one. While attributes are copied, the owner alone may write
// the new file (a user.* attribute takes that), and it is still empty.
//
// False, with `failure` set and the new file removed, when a step fails;
// the original is then untouched. Only should the folder's flush fail after
// the rename is the file replaced all the same: false then with the
// system's error, for the new name may not outlive a crash.
bool rewriteFile(const char *path, const struct stat &identity,
                 const char *data, size_t size, RewriteFailure *failure);

// Appends the folder that holds `path` ("." for a name without a slash),
// and a zero byte after it.
void appendFolderOf(LineBuffer *folder, const char *path);

#endif
