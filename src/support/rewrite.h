// Reading a file whole to mend it, and putting the mended text in its place
// safely: a new file in the same folder, with the original's mode (never
// wider, not even for a moment), owner, group, ACL and extended
// attributes, flushed to the disk, and renamed over the original only when
// the original has not changed since it was read. A failure at any step, or
// a signal that ends the program, leaves the original as it was.
#ifndef ISCSI_CONFIG_CHECK_SUPPORT_REWRITE_H
#define ISCSI_CONFIG_CHECK_SUPPORT_REWRITE_H

#include <sys/stat.h>

#include "support/line_buffer.h"

// Why a file could not be read for mending, or mended: a reason of our own
// ("is a symbolic link"), or null for the system's (strerror(errorNumber));
// `code` is refusalCode's number for it.
struct RewriteFailure {
    const char *reason = nullptr;
    int errorNumber = 0;
    int code = 0;
};

// The reasons of our own, as negative numbers beside the system's error
// numbers, so that one number tells why a file failed; 0 for none.
int refusalCode(const RewriteFailure &failure);

// The reason of a negative number that refusalCode gave.
const char *rewriteRefusal(int code);

// A file read for mending: its folder, opened first and held until the
// rewrite is over, so that every later step (the reading, the new file, the
// last look, the rename and the flush) happens in that very folder whatever
// becomes of the path meanwhile; the file's name in it; and what the file
// was when read.
struct RewriteSource {
    int folder = -1;
    // Why the folder could not be opened for reading, which its flush
    // needs (it was then opened for lookups alone); 0 when it could.
    int folderError = 0;
    const char *base = nullptr;
    struct stat identity = {};
    // Its file flags (as chattr sets them) when read; 0 where the file
    // system has none.
    int flags = 0;
};

// Closes the folder of `source`.
void releaseRewriteSource(RewriteSource *source);

// Reads the file `path` whole into `content` (cleared first), noting in
// `source` its folder (opened first, O_DIRECTORY) and what it was when
// read (its status before the reading, so that a write meanwhile shows at
// the rewrite). Judges it before opening it, so that no FIFO or device is
// opened, then opens it in its folder without following a link or waiting
// (O_NOFOLLOW, O_NONBLOCK) and judges it again. Refuses, with a reason: a
// symbolic link, a file that is not regular, a file with several hard
// links, and standard input given by a name of its own ("/dev/stdin",
// "/dev/fd/0", "/proc/self/fd/0"). False, with `failure` set, when it
// refuses or fails; `source` is to be released either way.
bool readForRewrite(const char *path, LineBuffer *content,
                    RewriteSource *source, RewriteFailure *failure);

// How a rewrite ended.
enum class Rewritten : unsigned char {
    no,        // the original is untouched (`failure` tells why)
    yes,       // replaced, and the folder flushed
    unflushed, // replaced, but the folder could not be flushed (`failure`)
};

// Replaces the file of `source` with the `size` bytes at `data`: creates a
// new file in the same folder, unnamed where the file system can
// (O_TMPFILE), with no permission at all, gives it the original's file
// flags, writes it, gives it the original's owner and group, extended
// attributes and ACL and permission bits, flushes it (fsync), gives it a
// temporary name ".NAME.fix-XXXXXX", checks that the original is still the
// same regular file with one link (device, inode, size, modification and
// change time as read), renames the new file over it and flushes the folder;
// `source->identity` is then the new file's.
//
// Refuses where the new file could not carry all of the original's access:
// another user's file that cannot be given to them, a group that cannot be
// kept (the user's own file of a group they are not in), an ACL that cannot
// be set, other extended attributes that cannot be copied, a mode or file
// flags that the new file does not show once set. A folder that is
// append-only or immutable is refused before any name is made in it. While
// attributes are copied, the owner alone may write the new file (a user.*
// attribute takes that). An ACL the new file takes from the folder's
// default ACL is removed unless the original has one.
//
// SIGINT, SIGTERM, SIGHUP, and every other signal that ends the program by
// default but the faults of the program itself (SIGQUIT, SIGALRM, SIGXFSZ,
// ...), while the temporary name exists remove it, then end the program as
// the signal would have.
Rewritten rewriteFile(RewriteSource *source, const char *data, size_t size,
                      RewriteFailure *failure);

// For tests: the new file is created under its temporary name from the
// start, as on a file system without unnamed files; and `beforeRename`,
// when set, is called once the new file has that name, before the last
// look and the rename.
struct RewriteSeam {
    bool namedFromStart = false;
    void (*beforeRename)() = nullptr;
};
void setRewriteSeam(const RewriteSeam &seam);

// Appends the folder that holds `path` ("." for a name without a slash),
// and a zero byte after it.
void appendFolderOf(LineBuffer *folder, const char *path);

#endif
