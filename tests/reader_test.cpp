// Reader behaviour that a small file on disk cannot show: a stream whose
// reading fails part-way through a line, and lines that cross the boundary
// between two read blocks at every possible offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/types.h>
#include <vector>

#include "diagnose/inspect.h"
#include "memory_output.h"
#include "reader/config.h"
#include "reader/targets.h"

namespace
{

// Checks `stream` in the report format, reading `blockSize` bytes at a time;
// returns what it printed, and sets `*status` and `*err`.
std::string judgeStream(FILE *stream, FileStatus *status, std::string *err,
                        size_t blockSize = 0, WarningSet warnings = 0)
{
    MemoryOutput out;
    MemoryOutput errors;
    Emitter *reporter = startTestFormat(reportFormat(), out.file, errors.file);
    *status = inspectStream(stream, "disk.conf", reporter,
                            InspectOptions{warnings}, blockSize);
    *err = errors.text();
    fclose(stream);
    return out.text();
}

// Runs the reader on `text` as a file's content.
std::string judgeText(std::string text, size_t blockSize = 0,
                      WarningSet warnings = 0)
{
    FILE *stream = fmemopen(&text[0], text.size(), "r");
    EXPECT_NE(stream, nullptr);
    FileStatus status = FileStatus::writeFailed;
    std::string err;
    std::string out = judgeStream(stream, &status, &err, blockSize, warnings);
    EXPECT_EQ(status, FileStatus::ok);
    EXPECT_EQ(err, "");
    return out;
}

// A source whose reads deliver `first`, then fail once, then deliver `after`
// to anyone who reads on past the failure, then end.
struct FailingSource {
    const char *first;
    const char *after;
    int calls;
};

ssize_t readThenFail(void *cookie, char *buf, size_t size)
{
    auto *source = static_cast<FailingSource *>(cookie);
    source->calls++;
    if (source->calls == 2) {
        return -1;
    }
    const char *text = source->calls == 1   ? source->first
                       : source->calls == 3 ? source->after
                                            : "";
    size_t n = strlen(text) < size ? strlen(text) : size;
    memcpy(buf, text, n);
    return static_cast<ssize_t>(n);
}

TEST(ReaderStream, ReadFailureEndsTheReadingWhereItHappened)
{
    FailingSource source = {
        "target = 1.2.3.4 3260 2 Initiator:h,p\ntarget = 1.2",
        ".3.4 1 2 Initiator:c,d\ntarget = 5.6.7.8 1 3 Initiator:e,f\n", 0};
    cookie_io_functions_t io = {readThenFail, nullptr, nullptr, nullptr};
    FILE *stream = fopencookie(&source, "r", io);
    ASSERT_NE(stream, nullptr);

    FileStatus status = FileStatus::ok;
    std::string err;
    std::string out = judgeStream(stream, &status, &err);
    EXPECT_EQ(status, FileStatus::readFailed);
    EXPECT_EQ(
        out, "line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, "
             "loginParamsLen = 13, loginParams = Initiator:h,p \n"
             "line 2, pos 12, illegal character in address 00 \n");
    EXPECT_EQ(err, "failed to read file disk.conf\n");
    EXPECT_EQ(source.calls, 2);
}

TEST(ReaderStream, EndOfFileAfterAFullPieceAddsNoLine)
{
    std::string text(512, ' ');
    text.replace(0, 6, "target");
    EXPECT_EQ(judgeText(text + "\n#\n"), "line 1, pos 512, parse error \n");
}

// The counts come from the diagnostics, whatever a format prints: a
// reporter that keeps every default event prints nothing and still counts
// every fault.
TEST(ReaderStream, CountsDoNotDependOnTheFormat)
{
    struct Silent : Emitter {
    } silent;
    std::string text = "x\ntarget = 1.2.3.4 3260 2 Initiator:h,p\n# c\ny\n";
    FILE *stream = fmemopen(&text[0], text.size(), "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(inspectStream(stream, "silent.conf", &silent), FileStatus::ok);
    EXPECT_EQ(silent.errorCount(), 2);
    EXPECT_EQ(silent.warningCount(), 0);
    fclose(stream);
}

// The entry points without options print the default report on standard
// output, here a stream in memory.
TEST(ReaderFile, PrintingEntryPointsWriteTheReport)
{
    std::string name = testing::TempDir() + "reader_test.conf";
    FILE *file = fopen(name.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("target = 1.2.3.4 3260 2 Initiator:h,p\nx\n", file);
    fclose(file);
    clientConfigFile = name.c_str();
    std::string out = MemoryOutput::ofStdout([] {
        EXPECT_EQ(readConfigFile(), 0);
        EXPECT_EQ(checkLoginParams(4294967301LL, "x", 1), -1);
        EXPECT_EQ(checkLoginParams(7, "Initiator:h,p", 13), 0);
    });
    EXPECT_EQ(
        out, "line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, "
             "loginParamsLen = 13, loginParams = Initiator:h,p \n"
             "line 2, pos 0, parse error \n"
             "line 4294967301: missing 'Initiator:' keyword\n");
    remove(name.c_str());
}

// Adds `k` to the number after "line " at the start of every output line.
std::string shiftLineNumbers(const std::string &out, long long k)
{
    std::string shifted;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start) + 1;
        size_t digits = start + strlen("line ");
        size_t digitsEnd = out.find_first_not_of("0123456789", digits);
        shifted += "line " +
                   std::to_string(std::stoll(out.substr(digits)) + k) +
                   out.substr(digitsEnd, end - digitsEnd);
        start = end;
    }
    return shifted;
}

// The same lines judged after k empty lines must give the same outcomes, k
// lines further on, wherever a read-block boundary cuts them: inside a short
// line, inside either piece of a long one, right after a full piece, or
// between a line and its newline. Small blocks put a boundary everywhere.
// The warnings that depend on where a line or its pieces end are on.
TEST(ReaderStream, OutcomesDoNotDependOnWhereReadBlocksEnd)
{
    const std::string statement = "target = 1.2.3.4 3260 2 Initiator:h,p";
    const std::string lines =
        statement + "\n" + statement + "\t" + std::string(562, 'x') + "\n" +
        std::string(511, 'a') + "\r\n" + "# comment\n" +
        "target = 1.2.3 3260 2 Initiator:h,p\n" + statement + " 0\n" +
        std::string(1024, 'b') + "\n";
    const WarningSet warnings = warningBit(WARN_CARRIAGE_RETURN) |
                                warningBit(WARN_LONG_LINE) |
                                warningBit(WARN_TRAILING_TEXT);
    const std::string expected = judgeText(lines, 0, warnings);
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 13);

    for (size_t blockSize : {1, 7, 64, 511, 513}) {
        for (size_t k = 0; k <= blockSize; k++) {
            std::string out =
                judgeText(std::string(k, '\n') + lines, blockSize, warnings);
            ASSERT_EQ(out,
                      shiftLineNumbers(expected, static_cast<long long>(k)))
                << "after " << k << " empty lines, blocks of " << blockSize;
        }
    }
}

} // namespace

// The table of targets cannot be flooded: keys that all land on one slot
// under one hash key, found by trying, spread under another; and the keys
// that all landed on one slot under the fixed multiplier of earlier releases
// spread under the run's key. Probes count the slots looked at in vain.
namespace
{

uint64_t probesFor(TargetTable table, const std::vector<uint64_t> &keys)
{
    for (size_t k = 0; k < keys.size(); k++) {
        EXPECT_TRUE(
            rememberTarget(&table, keys[k], static_cast<long long>(k) + 1)
                .isNew);
    }
    EXPECT_EQ(rememberTarget(&table, keys[0], 9).firstLine, 1);
    uint64_t probes = table.probes;
    clearTargetTable(&table);
    return probes;
}

TEST(TargetTable, FamiliesAimedAtAKeyDoNotCluster)
{
    TargetTable aimedAt = targetTableWithKey(1, 2);
    std::vector<uint64_t> aimed;
    for (uint64_t key = 0; aimed.size() < 1500; key++) {
        if (targetHash(&aimedAt, key) >> 52 == 0) {
            aimed.push_back(key);
        }
    }
    EXPECT_GT(probesFor(aimedAt, aimed), 1500U * 1500 / 4);
    EXPECT_LT(probesFor(targetTableWithKey(3, 4), aimed), 1500U * 4);
    std::vector<uint64_t> fibonacci;
    for (uint64_t k = 1; k <= 20000; k++) {
        fibonacci.push_back(k * 701408733 - 1);
    }
    EXPECT_LT(probesFor(newTargetTable(), fibonacci), 20000U * 4);
}

} // namespace
