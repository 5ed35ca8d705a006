// Reader behaviour that a small file on disk cannot show: a stream whose
// reading fails part-way through a line, and lines that cross the boundary
// between two read blocks at every possible offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <sys/types.h>
#include <vector>

#include "diagnose/inspect.h"
#include "memory_output.h"
#include "reader/config.h"
#include "reader/targets.h"
#include "support/unified_diff.h"

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

// The hide point of a fault's line, as the grammar tells it, is the one
// the line's colons and commas give, on random statements that stop at
// every fault, with colons, commas, blanks and zero bytes anywhere, and
// after a long line's earlier pieces.
int checkFaultHidePoint(void * /*context*/, const Verdict *verdict)
{
    if (verdict->isStatement && verdict->fault != FAULT_NONE) {
        const SourcePiece &piece = verdict->source;
        EXPECT_GE(verdict->pos, piece.offset);
        EXPECT_LE(verdict->pos, piece.offset + piece.len);
        EXPECT_EQ(faultHidePoint(verdict), hidePointBefore(piece, verdict->pos))
            << "fault " << verdict->fault << " at " << verdict->pos << ": "
            << std::string(piece.text, piece.len);
    }
    return 0;
}

TEST(ReaderStream, FaultsTellTheHidePointOfTheirLine)
{
    std::mt19937 random(11);
    auto pick = [&random](const std::vector<std::string> &parts) {
        return parts[random() % parts.size()];
    };
    const std::vector<std::string> heads = {"",
                                            "",
                                            "",
                                            std::string(500, ' '),
                                            "#:" + std::string(510, 'x'),
                                            "#" + std::string(511, 'x'),
                                            "x,",
                                            std::string(490, ' ')};
    const std::vector<std::string> addresses = {"target = 1.2.3.4 3260 2 ",
                                                "target=1.2.3.4 1 ",
                                                "target = 1.2:3.4 ",
                                                "target = 1.2,3 ",
                                                "target = 1.. ",
                                                "target = 1.2.3.4 3,",
                                                "targe:t",
                                                "target = 1.2.3.4 3260 2"};
    const std::vector<std::string> keywords = {
        "Initiator:", "Initiator:", "Initiator:",  "Init",
        "initiator:", "Initiator;", "Initi,ator:", "Ini:"};
    const std::string bytes = std::string("ab.-_!:, \t\r") + '\0';
    std::string text;
    for (int line = 0; line < 3000; line++) {
        text += pick(heads) + pick(addresses) + pick(keywords);
        for (size_t k = random() % 80; k > 0; k--) {
            text += random() % 3 == 0 ? bytes[random() % bytes.size()] : 'i';
        }
        text += "\n";
    }
    FILE *stream = fmemopen(&text[0], text.size(), "r");
    ASSERT_NE(stream, nullptr);
    ReaderHooks hooks = {};
    hooks.onVerdict = checkFaultHidePoint;
    hooks.history = HISTORY_HIDE;
    EXPECT_EQ(readConfigStream(stream, &hooks), ReadResult::ok);
    (void)fclose(stream);
}

// The grammar vouches for what it accepted: with the warnings on, a control
// character is still found wherever a statement stops, after sound login
// parameters, inside a faulty field or address, in a later piece of a long
// line, and only the first of a physical line; the duplicate, trailing-text
// and number warnings come beside it. (The reports of the sound statements
// are left out.)
TEST(ReaderStream, ControlCharactersAreFoundWhereverAStatementStops)
{
    const std::string statement = "target = 1.2.3.4 3260 2 Initiator:h,p";
    const std::string text =
        statement + " \x01\n" + statement + "\x7f\n" +
        "target = 1.2\x01.3.4 3260 2 Initiator:h,p\n" +
        "target = 1.2.3.4 3260 0 Initiator:h,p \x1b\n" + statement +
        std::string("\0\n", 2) + "target = 01.2.3.4 3260 2 Initiator:h,p\r\n" +
        "#\x02 comment\n" + statement + " x\x01\n" + statement + " " +
        std::string(562, 'x') + "\x01" + std::string(99, 'y') + "\x02\n" +
        "target = 5.6.7.8 3260 2 Initiator:h,p\x03" + std::string(600, 'x') +
        "\x04\n" + "target = 9.9.9.9 1 1 Initiator:a,b " +
        std::string(477, 'w') + "target = 9.9.9.9 1 1 Initiator:a,b \x05\n";
    const WarningSet warnings =
        warningBit(WARN_CONTROL_CHAR) | warningBit(WARN_TRAILING_TEXT) |
        warningBit(WARN_DUPLICATE_TARGET) | warningBit(WARN_LONG_LINE) |
        warningBit(WARN_LEADING_ZERO) | warningBit(WARN_CARRIAGE_RETURN);
    std::string out = judgeText(text, 0, warnings);
    std::string diagnostics;
    for (size_t start = 0; start < out.size();) {
        size_t end = out.find('\n', start) + 1;
        if (out.compare(start, end - start, "nConnections") != 0 &&
            out.find("nConnections", start) >= end) {
            diagnostics += out.substr(start, end - start);
        }
        start = end;
    }
    const char *trailing =
        "warning: text after the login parameters is not checked "
        "[-Wtrailing-text]\n";
    const char *longLine =
        "warning: line longer than 512 bytes: the text from here on is "
        "judged as a line of its own [-Wlong-line]\n";
    const char *duplicate = "warning: target 1.2.3.4 port 3260 also defined "
                            "on line 1 [-Wduplicate-target]\n";
    EXPECT_EQ(
        diagnostics,
        std::string("line 1, pos 38, ") + trailing +
            "line 1, pos 38, warning: control character 0x01 "
            "[-Wcontrol-char]\n"
            "line 2: illegal character in 'password'\n"
            "line 2, pos 37, warning: control character 0x7F "
            "[-Wcontrol-char]\n"
            "line 3, pos 12, illegal character in address 01 \n"
            "line 3, pos 12, warning: control character 0x01 "
            "[-Wcontrol-char]\n"
            "line 4, pos 37, no connections defined \n"
            "line 4, pos 38, " +
            trailing +
            "line 4, pos 38, warning: control character 0x1B "
            "[-Wcontrol-char]\n"
            "line 5, pos 9, " +
            duplicate +
            "line 5, pos 37, warning: control character 0x00: the text "
            "after it is not checked [-Wcontrol-char]\n"
            "line 6: illegal character in 'password'\n"
            "line 6, pos 9, warning: address number with a leading zero: "
            "other tools read it as octal [-Wleading-zero]\n"
            "line 6, pos 38, warning: line ends with a carriage return: the "
            "file has CRLF line ends [-Wcarriage-return]\n"
            "line 7, pos 1, warning: control character 0x02 "
            "[-Wcontrol-char]\n"
            "line 8, pos 9, " +
            duplicate + "line 8, pos 38, " + trailing +
            "line 8, pos 39, warning: control character 0x01 "
            "[-Wcontrol-char]\n"
            "line 9, pos 9, " +
            duplicate + "line 9, pos 38, " + trailing +
            "line 9, pos 512, parse error \n"
            "line 9, pos 512, " +
            longLine +
            "line 9, pos 600, warning: control character 0x01 "
            "[-Wcontrol-char]\n"
            "line 10: illegal character in 'password'\n"
            "line 10, pos 37, warning: control character 0x03 "
            "[-Wcontrol-char]\n"
            "line 10, pos 512, parse error \n"
            "line 10, pos 512, " +
            longLine + "line 11, pos 35, " + trailing + "line 11, pos 512, " +
            longLine +
            "line 11, pos 521, warning: target 9.9.9.9 port 1 also defined "
            "on line 11 [-Wduplicate-target]\n"
            "line 11, pos 547, " +
            trailing +
            "line 11, pos 547, warning: control character 0x05 "
            "[-Wcontrol-char]\n");
}

// The number warnings at the edges of their ranges and digit counts: each
// number is told on its own, the address numbers also when a later fault
// ends the statement, and values of many digits as written.
TEST(ReaderStream, NumberWarningsAtTheEdges)
{
    const std::string text =
        "target = 0.00.255.256 0 65535 Initiator:h,p\n"
        "target = 4294967296.4294967551.010.1 65535 65536 Initiator:h,p\n"
        "target = 1.2.3.4 065535 4294967297 Initiator:h,p\n"
        "target = 1.2.3.4 65536 0000000000065535 Initiator:h,p\n"
        "target = 1.2.3.4 00000000000 1 Initiator:h,p\n"
        "target = 1.2.3.4 4294967296 99999999999999999999999 Initiator:h,p\n"
        "target = 300.2.x\n"
        "target = 300.01.2.3x\n"
        "target = 1.256:2\n"
        "target = 99.100.0.09 1 1 Initiator:h,p\n";
    const WarningSet warnings =
        warningBit(WARN_LEADING_ZERO) | warningBit(WARN_ADDRESS_RANGE) |
        warningBit(WARN_PORT_RANGE) | warningBit(WARN_COUNT_RANGE);
    EXPECT_EQ(
        judgeText(text, 0, warnings),
        "line 1, nConnections = 65535, target addr = 0.0.255.0, portNum = 0, "
        "loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 1, pos 11, warning: address number with a leading zero: other "
        "tools read it as octal [-Wleading-zero]\n"
        "line 1, pos 18, warning: address number over 255, taken as 0 "
        "[-Waddress-range]\n"
        "line 1, pos 22, warning: port number 0 is not usable [-Wport-range]\n"
        "line 2, nConnections = 65536, target addr = 0.255.10.1, portNum = "
        "65535, loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 2, pos 9, warning: address number over 255, taken as 0 "
        "[-Waddress-range]\n"
        "line 2, pos 20, warning: address number over 255, taken as 255 "
        "[-Waddress-range]\n"
        "line 2, pos 31, warning: address number with a leading zero: other "
        "tools read it as octal [-Wleading-zero]\n"
        "line 2, pos 43, warning: connection count over 65535, taken as 65536 "
        "[-Wcount-range]\n"
        "line 3, nConnections = 1, target addr = 1.2.3.4, portNum = 65535, "
        "loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 3, pos 24, warning: connection count over 65535, taken as 1 "
        "[-Wcount-range]\n"
        "line 4, nConnections = 65535, target addr = 1.2.3.4, portNum = 0, "
        "loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 4, pos 17, warning: port number over 65535, taken as 0 "
        "[-Wport-range]\n"
        "line 5, nConnections = 1, target addr = 1.2.3.4, portNum = 0, "
        "loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 5, pos 17, warning: port number 0 is not usable [-Wport-range]\n"
        "line 6, nConnections = -159383553, target addr = 1.2.3.4, portNum = "
        "0, loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 6, pos 17, warning: port number over 65535, taken as 0 "
        "[-Wport-range]\n"
        "line 6, pos 28, warning: connection count over 65535, taken as "
        "-159383553 [-Wcount-range]\n"
        "line 7, pos 15, error in address \n"
        "line 7, pos 9, warning: address number over 255, taken as 44 "
        "[-Waddress-range]\n"
        "line 8, pos 19, error in address \n"
        "line 8, pos 9, warning: address number over 255, taken as 44 "
        "[-Waddress-range]\n"
        "line 8, pos 13, warning: address number with a leading zero: other "
        "tools read it as octal [-Wleading-zero]\n"
        "line 9, pos 14, illegal character in address 072 \n"
        "line 9, pos 11, warning: address number over 255, taken as 0 "
        "[-Waddress-range]\n"
        "line 10, nConnections = 1, target addr = 99.100.0.9, portNum = 1, "
        "loginParamsLen = 13, loginParams = Initiator:h,p \n"
        "line 10, pos 18, warning: address number with a leading zero: other "
        "tools read it as octal [-Wleading-zero]\n");
}

// Numbers of one to thirteen digits in each of the six places are taken
// modulo 2^32, then to the width of their field; a statement that begins
// "target = " reads as the same bytes spelled "target\t=\t", blanks or
// faults after it included, with every warning on; and runs of blanks of
// every length end where they end.
TEST(ReaderStream, NumbersOfEveryLengthAndTheCommonHead)
{
    const std::string digits = "9876543210123";
    std::string text;
    std::string expected;
    long long line = 0;
    for (size_t place = 0; place < 6; place++) {
        for (size_t n = 1; n <= digits.size(); n++) {
            std::string numbers[6] = {"1", "2", "3", "4", "3260", "5"};
            numbers[place] = digits.substr(digits.size() - n);
            uint64_t value[6];
            for (size_t k = 0; k < 6; k++) {
                value[k] = std::stoull(numbers[k]) % (uint64_t{1} << 32);
            }
            text += "target = " + numbers[0] + "." + numbers[1] + "." +
                    numbers[2] + "." + numbers[3] + " " + numbers[4] + " " +
                    numbers[5] + " Initiator:h,p\n";
            expected += "line " + std::to_string(++line) + ", nConnections = " +
                        std::to_string(static_cast<int32_t>(value[5])) +
                        ", target addr = " + std::to_string(value[0] & 255) +
                        "." + std::to_string(value[1] & 255) + "." +
                        std::to_string(value[2] & 255) + "." +
                        std::to_string(value[3] & 255) +
                        ", portNum = " + std::to_string(value[4] & 65535) +
                        ", loginParamsLen = 13, loginParams = Initiator:h,p \n";
        }
    }
    EXPECT_EQ(judgeText(text), expected);

    std::string common;
    std::string spelled;
    for (const char *tail :
         {"1.2.3.4 3260 1 Initiator:h,p", " 1.2.3.4 3260 1 Initiator:h,p",
          "\t1.2.3.4 3260 1 Initiator:h,p", "", "1", "x", "=", "1.2.3",
          "01.2.3.4 99999 0 Initiator:h,p x", "1.2.3.4\t3260"}) {
        common += std::string("target = ") + tail + "\n";
        spelled += std::string("target\t=\t") + tail + "\n";
    }
    common += "target = ";
    spelled += "target\t=\t";
    EXPECT_EQ(judgeText(common, 0, ~WarningSet{0}),
              judgeText(spelled, 0, ~WarningSet{0}));

    // Blanks before the keyword, as many as a piece holds.
    std::string blanks;
    expected.clear();
    for (size_t n = 0; n <= 40; n++) {
        blanks += std::string(n, n % 2 == 0 ? ' ' : '\t') + "x\n";
        expected += "line " + std::to_string(n + 1) + ", pos " +
                    std::to_string(n) + ", parse error \n";
    }
    blanks += std::string(1000, ' ') + "\n";
    expected += "line 42, pos 512, parse error \nline 42, pos 1000, parse "
                "error \n";
    EXPECT_EQ(judgeText(blanks), expected);
}

} // namespace

// The table of targets cannot be flooded: keys that all land on one slot
// under one hash key, found by trying, spread under another; and the keys
// that all landed on one slot under the fixed multiplier of earlier releases
// spread under the run's key. Probes count the slots that lookups of all the
// keys look at in vain.
namespace
{

uint64_t probesFor(TargetTable table, const std::vector<uint64_t> &keys)
{
    for (size_t k = 0; k < keys.size(); k++) {
        EXPECT_TRUE(
            rememberTarget(&table, keys[k], static_cast<long long>(k) + 1)
                .isNew);
    }
    uint64_t probes = targetDisplacementSum(&table);
    // Every key is still found, with its line, after the table has grown.
    for (size_t k = 0; k < keys.size(); k++) {
        TargetMemory memory = rememberTarget(&table, keys[k], 0);
        EXPECT_FALSE(memory.isNew) << k;
        EXPECT_EQ(memory.firstLine, static_cast<long long>(k) + 1) << k;
    }
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

// The reader hashes a target from its parts, the table from its key: the
// two agree. The same seeds make the same hash key, and lines up to 2^48 - 1
// are kept whole, later ones told as that one.
TEST(TargetTable, HashesAgreeAndLinesAreKept)
{
    TargetTable table = targetTableWithKey(5, 6);
    TargetTable again = targetTableWithKey(5, 6);
    TargetTable other = targetTableWithKey(6, 5);
    const uint32_t addrs[][4] = {
        {0, 0, 0, 0}, {255, 255, 255, 255}, {10, 0, 0, 1}, {192, 168, 1, 200}};
    for (const auto &addr : addrs) {
        for (uint32_t port : {0U, 1U, 3260U, 65535U}) {
            uint64_t key = targetKey(addr, port);
            EXPECT_EQ(targetHashOf(&table, addr, port),
                      targetHash(&table, key));
            EXPECT_EQ(targetHash(&again, key), targetHash(&table, key));
            EXPECT_NE(targetHash(&other, key), targetHash(&table, key));
        }
    }
    const long long lastLine = (1LL << 48) - 1;
    EXPECT_TRUE(rememberTarget(&table, 1, lastLine - 1).isNew);
    EXPECT_TRUE(rememberTarget(&table, 2, lastLine + 5).isNew);
    EXPECT_TRUE(rememberTarget(&table, 0xFFFFFFFFFFFFULL, 3).isNew);
    EXPECT_EQ(rememberTarget(&table, 1, 7).firstLine, lastLine - 1);
    EXPECT_EQ(rememberTarget(&table, 2, 7).firstLine, lastLine);
    EXPECT_EQ(rememberTarget(&table, 0xFFFFFFFFFFFFULL, 7).firstLine, 3);
    clearTargetTable(&table);
}

} // namespace

// The safe fixes, file by file: what each mends, what none touches, and the
// unified diff that shows them, as diff -u writes it.
TEST(SafeFixes, MendOnlyWhatCannotChangeAStatement)
{
    const std::string wide(505, ' ');
    const struct {
        std::string text;
        std::string mended;
    } cases[] = {
        {"target = 1.2.3.4 1 2 Initiator:h,p\r\r\n# c\r\n",
         "target = 1.2.3.4 1 2 Initiator:h,p\n# c\n"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF# c\n\xEF\xBB\xBF\n", "# c\n\xEF\xBB\xBF\n"},
        // A directive is not made to take effect, stop or name other
        // warnings: such a line keeps every byte.
        {"\xEF\xBB\xBF# iscsi-config-check: disable-file=all\r\n"
         " # iscsi-config-check: disable=bom\n",
         "\xEF\xBB\xBF# iscsi-config-check: disable-file=all\r\n"
         " # iscsi-config-check: disable=bom\n"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF# iscsi-config-check: disable-file=all\n",
         "\xEF\xBB\xBF\xEF\xBB\xBF# iscsi-config-check: disable-file=all\n"},
        {"\xEF\xBB\xBF# iscsi-config-check: bogus\n",
         "\xEF\xBB\xBF# "
         "iscsi-config-check: bogus\n"},
        {"# iscsi-config-check: disable-file=all\r\r\n"
         "target = 010.0.0.1 1 2 Initiator:x,pw\r\n",
         "# iscsi-config-check: disable-file=all\r\r\n"
         "target = 10.0.0.1 1 2 Initiator:x,pw\n"},
        {"# iscsi-config-check: disable=bom\r\n", "# iscsi-config-check: "
                                                  "disable=bom\n"},
        // Nor moves a disable= on to a later line, whatever comes between.
        {"# iscsi-config-check: disable=leading-zero,bogus\n \n# c\n  # c\r\n"
         "\r\ntarget = 01.0.0.1 1 2 Initiator:x,pw\n",
         "# iscsi-config-check: disable=leading-zero,bogus\n \n# c\n# c\n"
         "\ntarget = 1.0.0.1 1 2 Initiator:x,pw\n"},
        {"# iscsi-config-check: disable=leading-zero\n\n# c\n  # c\r\n \n",
         "# iscsi-config-check: disable=leading-zero\n\n# c\n  # c\r\n\n"},
        {"  target = 00.010.000.01 1 2 Initiator:h,010\n",
         "  target = 0.10.0.1 1 2 Initiator:h,010\n"},
        {"target = 010.1 1 2\ntarget=010.1.2.3.04 1\n",
         "target = 10.1 1 2\ntarget=10.1.2.3.04 1\n"},
        {" \t\n \t# c\n  x # c\ntarget # 010\n",
         "\n# c\n  x # c\ntarget # 010\n"},
        // A line of 512 bytes or more keeps every byte; one of 511 does not.
        {"target = 01.0.0.1" + wide.substr(0, 494) + "\r\n",
         "target = 01.0.0.1" + wide.substr(0, 494) + "\r\n"},
        {"target = 01.0.0.1" + wide.substr(0, 493) + "\r\n",
         "target = 1.0.0.1" + wide.substr(0, 493) + "\n"},
        {wide + wide + "#x\n", wide + wide + "#x\n"},
        // A last line without a newline that is emptied goes.
        {"# c\n\r", "# c\n"},
        {"# c\r", "# c"},
    };
    for (const auto &c : cases) {
        LineBuffer fixed;
        EXPECT_EQ(fixText(c.text, &fixed), c.text != c.mended) << c.text;
        EXPECT_EQ(fixed.view(), c.mended) << c.text;
    }
}

TEST(SafeFixes, DiffIsWhatDiffWrites)
{
    std::string before;
    std::string after;
    for (int k = 1; k <= 20; k++) {
        std::string line = "# " + std::to_string(k);
        bool changed = k == 2 || k == 9 || k == 17;
        before += line + (changed ? "\r\n" : "\n");
        after += line + "\n";
    }
    before += " ";
    LineBuffer diff;
    appendUnifiedDiff(&diff, ".//./a b.conf", "", before, after, false);
    EXPECT_EQ(diff.view(),
              "--- a/a b.conf\t\n+++ b/a b.conf\t\n"
              "@@ -1,12 +1,12 @@\n # 1\n-# 2\r\n+# 2\n # 3\n # 4\n"
              " # 5\n # 6\n # 7\n # 8\n-# 9\r\n+# 9\n # 10\n # 11\n"
              " # 12\n"
              "@@ -14,8 +14,7 @@\n # 14\n # 15\n # 16\n-# 17\r\n"
              "+# 17\n # 18\n # 19\n # 20\n- \n"
              "\\ No newline at end of file\n");
    diff.clear();
    appendUnifiedDiff(&diff, "/etc/\"x\"\n.conf", "/", "a\r", "a", false);
    EXPECT_EQ(diff.view(),
              "--- \"a/etc/\\\"x\\\"\\n.conf\"\n"
              "+++ \"b/etc/\\\"x\\\"\\n.conf\"\n@@ -1 +1 @@\n-a\r\n"
              "\\ No newline at end of file\n+a\n"
              "\\ No newline at end of file\n");
}

// An absolute name below the current folder, by its text, is written
// relative to it, where git apply and patch -p1 run there look for it; any
// other keeps its leading "/", so that neither mends a copy below here.
TEST(SafeFixes, DiffNamesAFileWhereAPatchRunHereFindsIt)
{
    const struct {
        const char *name;
        const char *here;
        const char *header;
    } cases[] = {
        {"/srv/cfg/x.conf", "/srv/cfg", "a/x.conf"},
        {"/srv/cfg//./sub/x.conf", "/srv/cfg/", "a/sub/x.conf"},
        {"/srv/cfg/x.conf", "/", "a/srv/cfg/x.conf"},
        {"/srv/cfg/x.conf", "/srv/cf", "/srv/cfg/x.conf"},
        {"/srv/cfg/../x.conf", "/srv/cfg", "/srv/cfg/../x.conf"},
        {"/srv/cfg/", "/srv/cfg", "/srv/cfg/"},
        {"/srv/cfg/x.conf", "", "/srv/cfg/x.conf"},
        {"srv/x.conf", "/", "a/srv/x.conf"},
    };
    for (const auto &c : cases) {
        LineBuffer diff;
        appendUnifiedDiff(&diff, c.name, c.here, "a\r\n", "a\n", false);
        std::string header(diff.view().substr(0, diff.view().find('\n')));
        EXPECT_EQ(header, std::string("--- ") + c.header) << c.name;
    }
}
