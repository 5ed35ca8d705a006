// Mending a file in place: its mode kept and never widened, what is refused,
// a file changed under the rewrite, a full disk, and extended attributes.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

#include "support/rewrite.h"

namespace
{

bool mend(const std::string &path, const std::string &text,
          RewriteFailure *failure)
{
    LineBuffer content;
    RewriteSource source;
    bool mended = readForRewrite(path.c_str(), &content, &source, failure) &&
                  rewriteFile(&source, text.data(), text.size(), failure) ==
                      Rewritten::yes;
    releaseRewriteSource(&source);
    return mended;
}

std::string contentOf(const std::string &path)
{
    LineBuffer content;
    RewriteSource source;
    RewriteFailure failure;
    (void)readForRewrite(path.c_str(), &content, &source, &failure);
    releaseRewriteSource(&source);
    return std::string(content.view());
}

// Runs `body` as the user nobody, of the group nogroup and no other, by the
// effective ids alone: the real ones stay root's, to come back to, so that
// the run still ends as root (a coverage build then keeps its counts).
template <typename Body> void asNobody(Body body)
{
    const passwd *nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    gid_t groups[64];
    int count = getgroups(64, groups);
    ASSERT_GE(count, 0);
    ASSERT_EQ(setgroups(0, nullptr), 0);
    ASSERT_EQ(setegid(nobody->pw_gid), 0);
    ASSERT_EQ(seteuid(nobody->pw_uid), 0);
    body();
    ASSERT_EQ(seteuid(0), 0);
    ASSERT_EQ(setegid(0), 0);
    ASSERT_EQ(setgroups(static_cast<size_t>(count), groups), 0);
}

class RewriteTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char name[] = "/tmp/rewrite-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override
    {
        (void)chmod(dir.c_str(), 0700);
        if (system(("rm -rf '" + dir + "'").c_str()) != 0) {
            ADD_FAILURE() << "cannot remove " << dir;
        }
    }
    std::string at(const std::string &name) const
    {
        return dir + "/" + name;
    }
    // Writes a new file `name` of `text` and `mode`; returns its path.
    std::string make(const std::string &name, const std::string &text,
                     mode_t mode = 0600) const
    {
        std::string path = at(name);
        (void)unlink(path.c_str());
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
        EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        (void)fchmod(fd, mode);
        (void)close(fd);
        return path;
    }
    // True when a rewrite's new file is left in the folder `name`.
    bool leftover(const std::string &name = "") const
    {
        glob_t found = {};
        bool any =
            glob(at(name + "/.*.fix-*").c_str(), 0, nullptr, &found) == 0;
        globfree(&found);
        return any;
    }
    std::string dir;
};

// Each mode kept; and the new file, watched from its creation to its rename
// (a large text keeps it there a while), never grants more than the original.
TEST_F(RewriteTest, KeepsTheModeNeverWiderAndLeavesNothingBehind)
{
    for (mode_t mode : {0600, 0640, 0400, 0600 | 0100000}) {
        // (The last made under its temporary name from the start, as where
        // the file system makes no unnamed file.)
        setRewriteSeam({mode > 07777, nullptr});
        mode &= 07777;
        std::string path = make("a.conf", "old\n", mode);
        int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
        std::atomic<bool> done{false};
        mode_t seen = 0;
        std::thread watcher([&] {
            alignas(inotify_event) char event[4096];
            std::string name;
            struct stat status = {};
            while (!done) {
                if (name.empty() && read(watch, event, sizeof event) > 0) {
                    name = at(reinterpret_cast<inotify_event *>(event)->name);
                }
                if (!name.empty() && lstat(name.c_str(), &status) == 0) {
                    seen |= status.st_mode & 07777;
                }
            }
        });
        struct stat before = {}, after = {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        RewriteFailure failure;
        std::string text(8 << 20, 'x');
        EXPECT_TRUE(mend(path, text, &failure)) << failure.errorNumber;
        done = true;
        watcher.join();
        (void)close(watch);
        EXPECT_EQ(seen & ~mode, 0u) << "seen: " << std::oct << seen;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_NE(after.st_ino, before.st_ino);
        EXPECT_TRUE(contentOf(path) == text);
        EXPECT_FALSE(leftover());
    }
    setRewriteSeam({});
}

// A signal that ends the program while the new file has its temporary name
// (made unnamed, or named from the start) removes that name; the original
// stays, and the status tells the signal.
TEST_F(RewriteTest, ASignalLeavesNoTemporaryName)
{
    for (bool named : {false, true}) {
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGALRM, SIGUSR1}) {
            std::string path = make("s.conf", "old\n");
            fflush(nullptr);
            pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                static int raised;
                raised = signalNumber;
                setRewriteSeam({named, [] { (void)raise(raised); }});
                RewriteFailure failure;
                (void)mend(path, "new\n", &failure);
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber)
                << named << " " << signalNumber << ": " << status;
            EXPECT_EQ(contentOf(path), "old\n");
            EXPECT_FALSE(leftover());
        }
    }
}

TEST_F(RewriteTest, RefusesWhatItCannotMendSafely)
{
    std::string file = make("file.conf", "text\n");
    ASSERT_EQ(symlink(file.c_str(), at("link").c_str()), 0);
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0); // (not waited on)
    ASSERT_EQ(mkdir(at("folder").c_str(), 0700), 0);
    ASSERT_EQ(link(file.c_str(), at("second").c_str()), 0);
    const std::pair<std::string, const char *> cases[] = {
        {at("link"), "is a symbolic link"},
        {at("fifo"), "is not a regular file"},
        {at("folder"), "is not a regular file"},
        {file, "has several hard links: mending it would part them"},
        {at("missing"), nullptr}, // (the system's ENOENT)
        {"/dev/stdin", "is standard input: --stdin-filename=NAME with --fix "
                       "writes the mended text to standard output"},
    };
    for (const auto &[path, reason] : cases) {
        RewriteFailure failure;
        EXPECT_FALSE(mend(path, "new\n", &failure));
        EXPECT_STREQ(failure.reason, reason) << path;
        int code = refusalCode(failure); // (one number for every failure)
        EXPECT_TRUE(reason == nullptr
                        ? code == 0 && failure.errorNumber == ENOENT
                        : code < 0 && rewriteRefusal(code) == failure.reason);
    }
    ASSERT_EQ(unlink(at("second").c_str()), 0);
    EXPECT_EQ(contentOf(file), "text\n");
}

// Written to, given a second link, or given another mode between the reading
// and the rewrite: the original stays, as it was changed.
TEST_F(RewriteTest, RefusesAFileChangedSinceItWasRead)
{
    void (*const changes[])(const std::string &) = {
        [](const std::string &p) {
            ASSERT_EQ(system(("echo x >>" + p).c_str()), 0);
        },
        [](const std::string &p) {
            ASSERT_EQ(link(p.c_str(), (p + "2").c_str()), 0);
        },
        [](const std::string &p) { (void)chmod(p.c_str(), 0644); },
    };
    for (auto change : changes) {
        std::string path = make("c.conf", "old\n");
        (void)unlink((path + "2").c_str());
        LineBuffer content;
        RewriteSource source;
        struct stat after = {};
        RewriteFailure failure;
        ASSERT_TRUE(readForRewrite(path.c_str(), &content, &source, &failure));
        change(path);
        EXPECT_EQ(rewriteFile(&source, "new\n", 4, &failure), Rewritten::no);
        releaseRewriteSource(&source);
        EXPECT_STREQ(failure.reason, "changed while it was mended");
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, source.identity.st_ino);
        EXPECT_FALSE(leftover());
    }
}

TEST_F(RewriteTest, FailsInAFolderItMayNotWrite)
{
    std::string path = make("a.conf", "old\n");
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    RewriteFailure failure;
    bool mended = true;
    if (geteuid() == 0) {
        asNobody([&] { mended = mend(path, "new\n", &failure); });
    } else {
        mended = mend(path, "new\n", &failure);
    }
    EXPECT_FALSE(mended);
    EXPECT_EQ(failure.errorNumber, EACCES);
    EXPECT_EQ(contentOf(path), "old\n");
}

// A user's file of a group they are not in: the new file, theirs, cannot be
// given that group, and the rewrite is refused, naming it, or giving its
// number where it has no name.
TEST_F(RewriteTest, RefusesAGroupItCannotKeep)
{
    const passwd *nobody = getpwnam("nobody");
    const group *named = getgrnam("daemon");
    if (geteuid() != 0 || nobody == nullptr || named == nullptr) {
        GTEST_SKIP() << "needs root, the user nobody and the group daemon";
    }
    gid_t unnamed = 54321;
    while (getgrgid(unnamed) != nullptr) {
        unnamed++;
    }
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    const std::pair<gid_t, std::string> cases[] = {
        {named->gr_gid, "its group daemon cannot be kept"},
        {unnamed, "its group " + std::to_string(unnamed) + " cannot be kept"},
    };
    for (const auto &[gid, reason] : cases) {
        std::string path = make("g.conf", "old\n", 0640);
        ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, gid), 0);
        RewriteFailure failure;
        bool mended = true;
        asNobody([&] { mended = mend(path, "new\n", &failure); });
        EXPECT_FALSE(mended);
        EXPECT_EQ(failure.reason, reason);
        EXPECT_EQ(rewriteRefusal(refusalCode(failure)), reason);
        EXPECT_EQ(contentOf(path), "old\n");
        EXPECT_FALSE(leftover());
    }
}

TEST_F(RewriteTest, FullDiskLeavesTheOriginal)
{
    ASSERT_EQ(mkdir(at("disk").c_str(), 0700), 0);
    if (mount("tmpfs", at("disk").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs could be mounted: " << strerror(errno);
    }
    std::string old(20 << 10, 'o');
    std::string path = make("disk/a.conf", old);
    int filler = open(at("disk/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    while (write(filler, old.data(), 1024) > 0) {
    }
    (void)close(filler);
    RewriteFailure failure;
    EXPECT_FALSE(mend(path, std::string(40 << 10, 'n'), &failure));
    EXPECT_EQ(failure.errorNumber, ENOSPC);
    EXPECT_EQ(contentOf(path), old);
    EXPECT_FALSE(leftover("disk"));
    EXPECT_EQ(umount(at("disk").c_str()), 0);
}

TEST_F(RewriteTest, CarriesExtendedAttributesAndTheAcl)
{
    std::string path = make("x.conf", "old\n", 0640);
    if (setxattr(path.c_str(), "user.team", "storage", 7, 0) != 0) {
        GTEST_SKIP() << "no user attributes here: " << strerror(errno);
    }
    // Owner rw, user 4242 r, group r, mask r, others nothing: version 2,
    // then each entry's tag and permissions (16 bits each) and id.
    const uint32_t acl[] = {2,    1 | 6 << 16, ~0u, 2 | 4 << 16,
                            4242, 4 | 4 << 16, ~0u, 0x10 | 4 << 16,
                            ~0u,  0x20,        ~0u};
    const char *aclName = "system.posix_acl_access";
    char before[256] = {}, after[256] = {}, team[16] = {};
    bool hasAcl = setxattr(path.c_str(), aclName, acl, sizeof acl, 0) == 0;
    ssize_t len = getxattr(path.c_str(), aclName, before, sizeof before);
    // A file capability (as root), which a write would take away.
    const uint32_t capability[] = {0x02000001, 1 << 13, 0, 0, 0};
    bool hasCapability = setxattr(path.c_str(), "security.capability",
                                  capability, sizeof capability, 0) == 0;
    RewriteFailure failure;
    ASSERT_TRUE(mend(path, "new\n", &failure)) << failure.reason;
    EXPECT_TRUE(!hasCapability ||
                getxattr(path.c_str(), "security.capability", after,
                         sizeof after) == sizeof capability);
    EXPECT_EQ(getxattr(path.c_str(), "user.team", team, sizeof team), 7);
    EXPECT_STREQ(team, "storage");
    EXPECT_EQ(getxattr(path.c_str(), aclName, after, sizeof after), len);
    EXPECT_TRUE(!hasAcl || memcmp(before, after, sizeof acl) == 0);
}

} // namespace
