// The output formats: the JSON string writer of the machine formats, byte by
// byte (what it escapes, and which bytes are valid UTF-8, kept, or not, each
// replaced by U+FFFD, so that every line stays valid JSON and valid UTF-8);
// and every format's bytes on one run that shows every check.
#include <gtest/gtest.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "diagnose/inspect.h"
#include "diagnose/step.h"
#include "memory_output.h"
#include "reader/login_params.h"
#include "support/escape.h"

namespace
{

struct JsonCase {
    std::string bytes;
    std::string expected; // without the quotes
};

const std::string fffd = "\xEF\xBF\xBD";

// Every character a sound identifier may hold: the json format copies an
// initiator's identifier without escaping it.
std::string identifierChars()
{
    std::string chars;
    for (int c = 1; c < 256; c++) {
        if (isIdentifierChar(static_cast<char>(c))) {
            chars += static_cast<char>(c);
        }
    }
    return chars;
}

const JsonCase jsonCases[] = {
    {"a.conf", "a.conf"},
    {identifierChars(), identifierChars()},
    {"\"\\/", "\\\"\\\\/"},
    {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
    {std::string("\x00\x01\x1F\x7F", 4), "\\u0000\\u0001\\u001f\\u007f"},
    {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
     "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
    {"\xC0\xAF", fffd + fffd},                       // overlong
    {"\xE0\x80\xAF", fffd + fffd + fffd},            // overlong
    {"\xED\xA0\x80", fffd + fffd + fffd},            // surrogate
    {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // past U+10FFFF
    {"\xF5\x80", fffd + fffd},
    {"x\xE2\x82", "x" + fffd + fffd},    // cut short
    {"\xE2\x28\xA1", fffd + "(" + fffd}, // not a continuation
    {"\x80\xBF", fffd + fffd},
};

class JsonStringTest : public testing::TestWithParam<JsonCase>
{
};

TEST_P(JsonStringTest, EscapesAndReplaces)
{
    LineBuffer line;
    line.append("x");
    appendJsonString(&line, GetParam().bytes);
    EXPECT_EQ(std::string(line.view()), "x\"" + GetParam().expected + "\"");
}

INSTANTIATE_TEST_SUITE_P(Bytes, JsonStringTest, testing::ValuesIn(jsonCases));

// Every byte at every place of a text longer than the sixteen bytes that
// are looked at together is escaped as it is on its own, in a JSON string
// and in a workflow command's message, and shown so in an excerpt.
TEST(Escapes, EveryByteAtEveryPlaceOfALongText)
{
    enum class Kind { json, command, excerpt };
    auto escaped = [](const std::string &text, Kind kind) {
        LineBuffer line;
        if (kind == Kind::json) {
            appendJsonString(&line, text);
        } else if (kind == Kind::command) {
            appendCommandEscaped(&line, text, false);
        } else {
            Diagnostic diagnostic = {};
            setExcerpt(&diagnostic,
                       SourcePiece{text.data(), text.size(), 0, nullptr, true},
                       noPosition, &line);
        }
        return std::string(line.view());
    };
    for (Kind kind : {Kind::json, Kind::command, Kind::excerpt}) {
        std::string quote = kind == Kind::json ? "\"" : "";
        for (int c = 0; c < 256; c++) {
            std::string byte(1, static_cast<char>(c));
            std::string alone = escaped(byte, kind);
            alone = alone.substr(quote.size(), alone.size() - 2 * quote.size());
            for (size_t at = 0; at <= 40; at++) {
                std::string text =
                    std::string(at, 'a') + byte + std::string(40 - at, 'b');
                ASSERT_EQ(escaped(text, kind),
                          quote + std::string(at, 'a') + alone +
                              std::string(40 - at, 'b') + quote)
                    << "byte " << c << " at " << at;
            }
        }
    }
}

// Numbers and addresses are written from tables of digits and octets, and
// line numbers counted up in their text, as the general formatter writes
// them: every number to 100,000, ten to every
// power and its neighbours, the extremes, negatives; every octet in each
// place of an address.
TEST(NumberTexts, AreThoseOfTheGeneralFormatter)
{
    std::vector<uint64_t> values;
    for (uint64_t n = 0; n <= 100000; n++) {
        values.push_back(n);
    }
    for (uint64_t power = 10; power <= 10000000000000000000U; power *= 10) {
        values.insert(values.end(), {power - 1, power, power + 1});
        if (power > UINT64_MAX / 10) {
            break;
        }
    }
    values.push_back(UINT64_MAX);
    char ours[32];
    char general[32];
    auto same = [&](auto value) {
        std::string_view written(
            ours, static_cast<size_t>(putNumber(ours, value) - ours));
        std::string_view expected(
            general,
            static_cast<size_t>(
                std::to_chars(general, general + 32, value).ptr - general));
        EXPECT_EQ(written, expected);
    };
    // The counted text too, which counts up through the run to 100,000,
    // then jumps and comes back down.
    CountedDecimal counted;
    for (uint64_t value : values) {
        EXPECT_EQ(std::string(ours, counted.put(ours, value)),
                  std::to_string(value));
        same(value);
        same(static_cast<long long>(value));
        same(static_cast<int32_t>(value));
    }
    same(INT64_MIN);
    for (uint32_t n = 0; n < 256; n++) {
        for (size_t place = 0; place < 4; place++) {
            uint32_t addr[4] = {1, 22, 133, 4};
            addr[place] = n;
            std::string expected =
                std::to_string(addr[0]) + "." + std::to_string(addr[1]) + "." +
                std::to_string(addr[2]) + "." + std::to_string(addr[3]);
            EXPECT_EQ(std::string(ours, putAddress(ours, addr)), expected);
        }
    }
}

} // namespace

// Every format over one run that shows every check: the same files, lines
// and events, written to memory and compared with tests/formats/NAME.out,
// byte for byte. ICC_UPDATE_EXPECTED=1 in the environment writes those files
// anew instead.
namespace
{

// Every error and every warning, a sound statement, a remark after one, a
// tab, a byte that is not ASCII, a zero byte, long lines, and two of more than
// 512 bytes: a comment whose second piece is a sound statement, and a statement
// defined again in its own second piece.
std::string everyCheck()
{
    const std::string sound =
        "target = 192.168.10.5 3260 2 Initiator:db01,Secret";
    std::string text = "\xEF\xBB\xBF# byte order mark\r\n" + sound + "\n";
    for (const char *line :
         {"x", "target = 1..3.4 1 2 Initiator:h,p",
          "target =\t1.2.3 3260 2 Initiator:h,p",
          "target = 1.2.\xC3\xA9.4 3260 2 Initiator:h,p",
          "target = 1.2.3.4 x 2 Initiator:h,p",
          "target = 1.2.3.4 3260 0 Initiator:h,p", "target = 1.2.3.4 3260 2 ",
          "target = 1.2.3.4 3260 2 initiator:h,p",
          "target = 1.2.3.4 3260 2 Initiator:,p",
          "target = 1.2.3.4 3260 2 Initiator:h!,p",
          "target = 1.2.3.4 3260 2 Initiator:host",
          "target = 1.2.3.4 3260 2 "
          "Initiator:"
          "iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii",
          "target = 1.2.3.4 3260 2 Initiator:h,p,q",
          "target = 1.2.3.4 3260 2 Initiator:h,0123456789abcdef!",
          "target = 1.2.3.4 3260 2 Initiator:h,0123456789abcdefx",
          "target = 010.0.0.1 3260 1 Initiator:h,p",
          "target = 300.1.2.3 3260 1 Initiator:h,p",
          "target = 1.2.3.4 0 1 Initiator:h,p",
          "target = 1.2.3.4 70000 1 Initiator:h,p",
          "target = 1.2.3.4 3260 99999 Initiator:h,p",
          "target = 1.2.3.5 3260 2 Initiator:h,s3cret\tremark",
          // The causes that notes name, and what --fix mends.
          "target = 1.2.3.6 3260 2 Initiator:h,pw\r", " \t", "  # indented",
          "\r", "targte = 1.2.3.4 3260 2 Initiator:h,p",
          "target = 1.2.3.4 3260 2 Initiator:iqn.2024-01.lan.example:db01,p",
          "target = 1.2.3.4 3260 2 Initiator:iqn.2024-01.lan.example:db01",
          "target = 1.2.3.4 3260 2 Initiater:h,p", "target: = 1.2.3.4",
          "target = 1.2.3.4:3260 2 Initiator:h,p",
          "target = 1.2.3.7 3260 2 Initiator:h,0123456789abcdef\r",
          "  # iscsi-config-check: disable-file=all"}) {
        text += std::string(line) + "\n";
    }
    text += sound + "\n";
    text += std::string("target = 1.2.3.4 1 \0 Initiator:h,p\n", 35);
    // Long lines, whose view in the tty format is cut on the right, the
    // left, and both sides.
    const std::string blanks(100, ' ');
    text += "\tTarget = 1.2.3.4 3260 2 Initiator:h,secret " + blanks + "x\n";
    text += "target = 1.2.3.4 3260 2 Initiator:h,secret " + blanks + "x\n";
    text += blanks.substr(40) + "target = 1.2.3 3260 2 Initiator:h,p" +
            blanks.substr(20) + "#\n";
    // A field that would begin past the piece's end; a second piece's faults.
    text += "target = 1.2.3.4 1 2" + std::string(492, ' ') + "Initiator:h,p\n";
    text += std::string(513, ' ') + "target = 1.2.3.4 1 2 Initiator:h!,p\n";
    text += "#" + std::string(511, 'x') +
            "target = 9.9.9.9 3260 2 Initiator:h,pw\n";
    std::string once = "target = 8.8.8.8 3260 1 Initiator:h,p";
    text += once + std::string(512 - once.size(), ' ') + once + "\n";
    // The errors' other forms: a letter and a control byte quoted, the end
    // of the statement and of the keyword, an identifier's length, and the
    // bytes at or past a hide point (after a colon, or from a long line's
    // first piece) not named.
    const std::string hidden = "#:" + std::string(510, 'x');
    for (const std::string &line :
         {std::string("target = 1.2O.3.4 3260 2 Initiator:h,p"),
          std::string("target = 1.2\x7f.3.4 3260 2 Initiator:h,p"),
          std::string("target = 1.2"),
          std::string("target = 1.2.3.4 3260 2 Init"),
          std::string("target = 1.2.3.4 3260 2 Initiator:P@ssw0rd"),
          "target = 1.2.3.4 3260 2 Initiator:" + std::string(70, 'i') + ",p",
          hidden + "target = 1.2O.3.4 3260 2 Initiator:h,p",
          hidden + "target = 1.2.3.4 3260 2 initiator:h,p"}) {
        text += line + "\n";
    }
    return text;
}

// A long line of 100 characters of two bytes each.
const std::string eAcute = [] {
    std::string text;
    for (int k = 0; k < 100; k++) {
        text += "\xC3\xA9";
    }
    return text;
}();

// Checks `text` as the content of the file `name`, unless it cannot be opened.
void inspectText(Emitter *reporter, const char *name, std::string text,
                 bool opens = true)
{
    FILE *stream = opens ? fmemopen(&text[0], text.size(), "r") : nullptr;
    errno = ENOENT; // why it could not be opened
    inspectStream(stream, name, reporter, InspectOptions{allWarnings});
    if (stream != nullptr) {
        fclose(stream);
    }
}

// The run every format makes, standard error into the same stream: three
// files with every warning on, then one with passwords masked and colour.
std::string runFormat(const FormatInfo *format)
{
    MemoryOutput out;
    Emitter *reporter = startTestFormat(format, out.file, out.file, 4);
    reporter->beginRun("iscsi-config-check");
    inspectText(reporter, "a.conf", everyCheck());
    inspectText(reporter, "we\"ird%:,na\nme\xFF.conf",
                "target = 1.2.3 1 2 Initiator:h,p\n");
    inspectText(reporter, "missing.conf", "", false);
    inspectText(reporter, "empty.conf",
                "# iscsi-config-check: disable=bogus\n");
    reporter->endRun();
    // Masked and coloured, onto a terminal: control characters from names
    // and content as '?', valid UTF-8 as it is; passwords hidden in the
    // view wherever the line is cut or mistyped; names that look like CI
    // commands; separators and C1 controls in JSON; columns after non-ASCII.
    reporter =
        startTestFormat(format, out.file, out.file, 2, false, true, true, true);
    reporter->beginRun("iscsi-config-check\x1b]0;x\x07");
    inspectText(
        reporter, "b\x1b[2J\xC2\x9B\xE2\x80\xA8\xC3\xA9##[stop-commands]t.conf",
        "target = 10.0.0.1 860 1 Initiator:n,pw \x1b[1A\x9B\xC2\x85\xC3\xA9\n"
        "target = 10.0.0.2 860 1 Initiator:n,\ntarget = 1.2.3 860 1 "
        "Initiator:n,p\n"
        "target = 10.0.0.1 3260 2 Initator:host1,Sup3rSecret\n"
        "target = 1.\xC3\xA9 3260 2 Initiator:host1;Sup3rSecret\n"
        "target = 1.2.3 3260 2 Initiator:h,Xq9-prod pw\n"
        "target = 1.2.3.4 3260 2 " +
            std::string(470, ' ') +
            "Initiator:hostname,S3cretPassw0rd\n"
            "target = 1.2.3.4 3260 2 " +
            std::string(480, ' ') +
            "Initiator:hostname,S3cretPassw0rd\n"
            "#\xFF" +
            eAcute + std::string(410, 'x') + "t\n");
    inspectText(reporter, "l\n::add-mask::hunter2.conf", "", false);
    reporter->endRun();
    // The version changes with every release; the expected files do not.
    std::string text = out.text();
    for (size_t at = 0;
         (at = text.find("\"" ICC_VERSION "\"", at)) != std::string::npos;) {
        text.replace(at + 1, strlen(ICC_VERSION), "VERSION");
    }
    return text;
}

class FormatTest : public testing::TestWithParam<size_t>
{
};

// The rules every format keeps, whatever it lays out, on hostile names and
// content run both into a pipe and onto a terminal (colour off): with
// passwords masked, no byte of a password (its alphabet, Q and Z, is used
// nowhere else) reaches either stream; onto a terminal, no control
// character; and a format that writes names for workflow commands, none on
// either stream, and lets neither forge one (the runner reads "::name
// ...::" at a line's start and "##[name ...]" anywhere).
TEST_P(FormatTest, KeepsTheSafetyRules)
{
    const FormatInfo *format = &formatTable[GetParam()];
    const std::string hostile =
        "h\x1b[2J\x07\x7f##[error]x\n::warning file=y::z\xc2\x9b\x9b.conf";
    const std::string content =
        "target = 1.2.3.4 3260 2 Initiator:h,QZQ \x1b[1A\x9b\n"
        "target = 1.2.3.4 3260 2 Initiator:h,QZ!Q\n"
        "target = 1.2.3 3260 2 Initator:h,QZZQ\x07\n"
        "target = 1.2.3.4 3260 2 " +
        std::string(480, ' ') + "Initiator:host,QQQZZZQQQZZZ\n" +
        "##[error]\x1b]0;t\x07\n::error::x\n"
        "target = 1.2.3.4 3260 2 Initiator:h;QZQ # rack 4, row 2\n";
    for (bool terminal : {false, true}) {
        MemoryOutput out;
        MemoryOutput err;
        Emitter *emitter = startTestFormat(format, out.file, err.file, 2, false,
                                           true, false, terminal);
        emitter->beginRun("iscsi-config-check\x1b]0;x\x07");
        inspectText(emitter, hostile.c_str(), content);
        inspectText(emitter, hostile.c_str(), "", false);
        emitter->endRun();
        const std::string streams[] = {out.text(), err.text()};
        for (const std::string &stream : streams) {
            bool isErr = &stream == &streams[1];
            std::string where = std::string(format->name) +
                                (isErr ? " stderr" : " stdout") +
                                (terminal ? " on a terminal: " : ": ");
            EXPECT_EQ(stream.find_first_of("QZ"), std::string::npos)
                << where << stream;
            bool command = format->needs.nameStyle == NameStyle::command;
            for (size_t k = 0; (terminal || command) && k < stream.size();
                 k++) {
                auto c = static_cast<unsigned char>(stream[k]);
                bool c1 = c == 0xC2 && k + 1 < stream.size() &&
                          static_cast<unsigned char>(stream[k + 1]) < 0xA0;
                ASSERT_TRUE(
                    (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F) && !c1) ||
                    c == '\n' || c == '\t')
                    << where << "byte " << k << " of " << stream;
            }
            if (format->needs.nameStyle != NameStyle::command) {
                continue;
            }
            EXPECT_EQ(stream.find("##["), std::string::npos) << where << stream;
            for (size_t at = 0; at < stream.size();
                 at = stream.find('\n', at) + 1) {
                std::string line =
                    stream.substr(at, stream.find('\n', at) - at);
                static const std::regex own(
                    "::(error|warning) "
                    "file=[^:,]*(,line=[0-9]+,col=[0-9]+)?,title=[a-z-]+::.*");
                EXPECT_TRUE(
                    line.find_first_not_of(" \t") == std::string::npos ||
                    line.compare(line.find_first_not_of(" \t"), 2, "::") != 0 ||
                    (!isErr && std::regex_match(line, own)))
                    << where << line;
                if (stream.find('\n', at) == std::string::npos) {
                    break;
                }
            }
        }
    }
}

// No column and no message tells a password's length: two files alike but
// for the length of their passwords give the same output in every format
// that hides columns (all but the report, whose positions are the
// original's), with the faults and warnings that lie past the field.
TEST_P(FormatTest, ColumnsDoNotTellThePasswordsLength)
{
    const FormatInfo *format = &formatTable[GetParam()];
    if (!format->needs.hidesColumns) {
        GTEST_SKIP() << "the report format keeps the original positions";
    }
    auto run = [format](const std::string &password) {
        std::string text;
        for (const char *tail : {" x", "\r", " x\r", "", " \x01"}) {
            text += "target = 1.2.3.4 3260 2 Initiator:db01," + password +
                    tail + "\n";
            text += "target = 1.2.3.4 3260 0 Initiator:db01," + password +
                    tail + "\n";
        }
        text += "target = 1.2.3.4 3260 2 Initiator:db01," + password +
                std::string(500, ' ') + "x 010.0.0.1\n";
        // Typed with no comma, the password is an identifier too long.
        text += "target = 1.2.3.4 3260 2 Initiator:" + std::string(64, 'i') +
                password + "\n";
        MemoryOutput out;
        Emitter *emitter = startTestFormat(format, out.file, out.file);
        emitter->beginRun("iscsi-config-check");
        inspectText(emitter, "p.conf", text);
        emitter->endRun();
        return out.text();
    };
    EXPECT_EQ(run("pw"), run("LongerSecret99"));
}

TEST_P(FormatTest, WritesTheExpectedBytes)
{
    const FormatInfo *format = &formatTable[GetParam()];
    std::string path =
        std::string(ICC_TEST_DIR "/formats/") + format->name + ".out";
    std::string actual = runFormat(format);
    if (getenv("ICC_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    std::ifstream file(path, std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(file)),
                         std::istreambuf_iterator<char>());
    EXPECT_EQ(actual, expected) << "differs from " << path;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FormatTest,
                         testing::Range(size_t{0}, formatCount),
                         [](const testing::TestParamInfo<size_t> &info) {
                             return std::string(formatTable[info.param].name);
                         });

} // namespace

// The terminal view hides every password and its length: random lines whose
// passwords come from an alphabet nothing else uses, after a keyword or a
// comma that may be mistyped (a colon or a comma always before them), with
// blanks and control bytes, cut anywhere around the 512th byte.
namespace
{

// The tty format's output for `text`, every warning on, and its views of
// the line (each once, in order; the carets point at the first '*' when
// they point among the hidden bytes).
std::string ttyView(const std::string &text, std::string *views = nullptr)
{
    MemoryOutput out;
    Emitter *reporter =
        startTestFormat(findFormat("tty"), out.file, out.file, 1, true);
    inspectText(reporter, "p.conf", text);
    std::string all = out.text();
    for (size_t at = 0; views != nullptr && at < all.size();) {
        size_t end = all.find('\n', at) + 1;
        std::string line = all.substr(at, end - at);
        bool isView = line.find(" | ") != std::string::npos &&
                      line.find_first_of("0123456789") < line.find(" | ");
        if (isView && views->find(line) == std::string::npos) {
            *views += line;
        }
        at = end;
    }
    return all;
}

TEST(TtyView, ShowsNoPasswordNorItsLength)
{
    std::mt19937 random(7);
    auto pick = [&random](size_t n) {
        return static_cast<size_t>(random() % n);
    };
    const char *const keywords[] = {
        "Initiator:", "Initator:", "initiator:", "Initiator;h,", "Init:"};
    const char *const separators[] = {",", ";", " ", ".", "\x1b", ",,"};
    for (int round = 0; round < 3000; round++) {
        std::string head =
            pick(2) == 0 ? "target = 1.2.3 3260 2 " : "\tTarget = 1.2.3.4 1 0 ";
        head += std::string(pick(3) == 0 ? pick(40) : 470 + pick(50), ' ');
        std::string keyword = keywords[pick(5)];
        head += keyword + "h" + std::string(pick(4), 'x');
        // A colon before the separator, or a comma as it.
        head +=
            keyword.find(':') == std::string::npos ? "," : separators[pick(6)];
        std::string password;
        for (size_t k = 1 + pick(30); k > 0; k--) {
            password += "QZ \x07"[pick(k > 1 ? 4 : 2)];
        }
        std::string views;
        std::string view = ttyView(head + password + "\n", &views);
        ASSERT_EQ(view.find_first_of("QZ"), std::string::npos) << view;
        std::string shortViews;
        // (A control byte in a password is a diagnostic of its own.)
        if (head.size() + password.size() < 500 &&
            password.find('\x07') == std::string::npos) {
            ttyView(head + "Q\n", &shortViews);
            ASSERT_EQ(shortViews, views) << view;
        }
    }
}

} // namespace
