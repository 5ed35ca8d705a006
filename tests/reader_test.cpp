// Reader behaviour that a file on disk cannot show: a stream whose reading
// fails part-way through a line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/types.h>

#include "config.h"

namespace
{

struct FailingSource {
    const char *text;
    size_t left;
};

// Hands out the source's text, then fails the way a broken disk would.
ssize_t readThenFail(void *cookie, char *buf, size_t size)
{
    auto *source = static_cast<FailingSource *>(cookie);
    if (source->left == 0) {
        return -1;
    }
    size_t n = size < source->left ? size : source->left;
    memcpy(buf, source->text, n);
    source->text += n;
    source->left -= n;
    return static_cast<ssize_t>(n);
}

TEST(ReaderStream, ReadFailureJudgesWhatCameThenReportsIt)
{
    const char text[] = "target = 1.2.3.4 3260 2 Initiator:h,p\ntarget = 1.2";
    FailingSource source = {text, sizeof text - 1};
    cookie_io_functions_t io = {readThenFail, nullptr, nullptr, nullptr};
    FILE *stream = fopencookie(&source, "r", io);
    ASSERT_NE(stream, nullptr);

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = readConfigStream(stream, "disk.conf");
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    fclose(stream);

    EXPECT_EQ(result, CONFIG_READ_FAILED);
    EXPECT_EQ(
        out, "line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, "
             "loginParamsLen = 13, loginParams = Initiator:h,p \n"
             "line 2, pos 12, illegal character in address 00 \n");
    EXPECT_EQ(err, "failed to read file disk.conf\n");
}

TEST(ReaderStream, EndOfFileAfterAFullPieceAddsNoLine)
{
    std::string text(512, ' ');
    text.replace(0, 6, "target");
    text += "\n#\n";
    FILE *stream = fmemopen(&text[0], text.size(), "r");
    ASSERT_NE(stream, nullptr);
    testing::internal::CaptureStdout();
    int result = readConfigStream(stream, "mem");
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    fclose(stream);
    EXPECT_EQ(result, CONFIG_OK);
    EXPECT_EQ(out, "line 1, pos 512, parse error \n");
}

} // namespace
