// The documents that the table of checks writes (doc/check_docs.cpp): the
// manual page, as groff renders it, gives each check in the table's own
// words and once; the README's table names every warning; and rewriting a
// document keeps its hand-written text and refuses markers that do not pair
// up. (The test doc.generated holds the documents in the tree to what the
// table gives.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "check_docs.h"
#include "checks/checks.h"

namespace
{

// The manual page as plain text, white space folded; empty without groff.
std::string renderedManual()
{
    FILE *groff = popen("groff -man -Tutf8 -rLL=2000n -rHY=0 " ICC_SOURCE_DIR
                        "/doc/iscsi-config-check.1 2>/dev/null | col -b",
                        "r");
    std::string text;
    for (int c = fgetc(groff); c != EOF; c = fgetc(groff)) {
        if (isspace(c) == 0) {
            text += static_cast<char>(c);
        } else if (!text.empty() && text.back() != ' ') {
            text += ' ';
        }
    }
    pclose(groff);
    return text;
}

size_t countOf(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + 1)) {
        count++;
    }
    return count;
}

std::string region(const char *name)
{
    std::string text;
    std::string error;
    EXPECT_TRUE(writeRegion(name, &text, &error)) << name << ": " << error;
    return text;
}

// Rendered, the page holds each check's summary, explanation (once: no
// hand-written text repeats it), bad and fixed lines, and every alternative
// of its messages (the report format's and the others') with their
// placeholders' symbols: the escapes that the generator writes give back
// the table's words.
TEST(CheckDocs, TheManualDescribesEachCheckOnceInTheTablesWords)
{
    std::string manual = renderedManual();
    if (manual.empty()) {
        GTEST_SKIP() << "groff is not installed";
    }
    for (const CheckInfo &check : checkTable) {
        std::string name(check.name);
        EXPECT_GE(countOf(manual, check.summary), 1U) << name;
        EXPECT_EQ(countOf(manual, check.explanation), 1U) << name;
        EXPECT_GE(countOf(manual, std::string("Bad: ") + check.badLine), 1U)
            << name;
        EXPECT_GE(countOf(manual, std::string("Fixed: ") + check.fixedLine), 1U)
            << name;
        for (std::string_view pattern : {check.message, check.reportMessage}) {
            std::vector<std::string> shown;
            std::string error;
            ASSERT_TRUE(shownMessages(pattern, &shown, &error)) << error;
            for (const std::string &message : shown) {
                EXPECT_GE(countOf(manual, message), 1U)
                    << name << ": " << message;
            }
        }
    }
}

// Each check has one entry in the manual's regions: errors under the form
// of their diagnostic, warnings under WARNINGS.
TEST(CheckDocs, TheManualHasOneEntryForEachCheck)
{
    std::string statement = region("statement-diagnostics");
    std::string login = region("login-parameter-diagnostics");
    std::string warnings = region("warnings");
    EXPECT_EQ(countOf(statement + login + warnings, ".TP\n"), checkCount);
    for (const CheckInfo &check : checkTable) {
        std::string name = roffCode(check.name);
        if (check.severity == Severity::warning) {
            EXPECT_EQ(countOf(warnings, ".TP\n.B " + name + "\n"), 1U) << name;
            continue;
        }
        std::string entry = ".RB ( " + name + " )\n";
        EXPECT_EQ(countOf(check.positioned ? statement : login, entry), 1U)
            << name;
        EXPECT_EQ(countOf(check.positioned ? login : statement, entry), 0U)
            << name;
    }
}

// The README's tables have a row for every warning, and for every error,
// in the table's order, of three cells each, and none for the others.
TEST(CheckDocs, TheReadmeTablesListEveryCheck)
{
    for (Severity severity : {Severity::warning, Severity::error}) {
        std::string table = region(
            severity == Severity::warning ? "warnings-table" : "errors-table");
        std::vector<std::string> names;
        size_t start = table.find("|---|---|---|\n");
        ASSERT_NE(start, std::string::npos) << table;
        size_t at = table.find('\n', start) + 1;
        for (size_t end = table.find('\n', at);
             end != std::string::npos && end > at;
             at = end + 1, end = table.find('\n', at)) {
            std::string row = table.substr(at, end - at);
            EXPECT_EQ(countOf(row, " | "), 2U) << row;
            ASSERT_EQ(row.substr(0, 3), "| `") << row;
            names.push_back(row.substr(3, row.find('`', 3) - 3));
        }
        std::vector<std::string> checks;
        for (const CheckInfo &check : checkTable) {
            if (check.severity == severity) {
                checks.emplace_back(check.name);
            }
        }
        EXPECT_EQ(names, checks);
    }
}

TEST(CheckDocs, EachPlaceholderOfTheTableHasASymbol)
{
    for (const CheckInfo &check : checkTable) {
        for (std::string_view pattern : {check.message, check.reportMessage}) {
            std::vector<std::string> shown;
            std::string error;
            EXPECT_TRUE(shownMessages(pattern, &shown, &error)) << error;
            for (const std::string &message : shown) {
                EXPECT_EQ(message.find_first_of("{}|"), std::string::npos)
                    << message;
            }
        }
    }
}

TEST(CheckDocs, MessagesShowTheirPlaceholdersAsSymbols)
{
    struct Case {
        const char *pattern;
        std::vector<std::string> shown; // empty: refused
    };
    const Case cases[] = {
        {"plain", {"plain"}},
        {"in address {octal}", {"in address 0OOO"}},
        {"{address} port {port} on {value}", {"A.B.C.D port P on N"}},
        {"a 0x{hex}|b '{name}'|c", {"a 0xXX", "b 'NAME'", "c"}},
        {"{char} for '{expected}'|{length} long", {"CHAR for 'K'", "N long"}},
        {"an {unknown} one", {}},
        {"an {unclosed one", {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> shown;
        std::string error;
        bool ok = shownMessages(c.pattern, &shown, &error);
        EXPECT_EQ(ok, !c.shown.empty()) << c.pattern;
        if (ok) {
            EXPECT_EQ(shown, c.shown) << c.pattern;
        } else {
            EXPECT_NE(error.find("has no symbol"), std::string::npos) << error;
        }
    }
}

TEST(CheckDocs, RoffEscapesTheTablesText)
{
    struct Case {
        bool code;
        const char *text;
        const char *italic;
        const char *roff;
    };
    const Case cases[] = {
        // Code: minus signs, quotes and backslashes that a quoted argument
        // can hold.
        {true, "-W 'x' \"y\" a\\b", "", "\\-W \\(aqx\\(aq \\(dqy\\(dq a\\eb"},
        // Prose: hyphens in words, minus signs in names, options, numbers
        // and directives.
        {false, "the login-parameters, 32-bit, UTF-8", "",
         "the login-parameters, 32-bit, UTF-8\n"},
        {false, "told by carriage-return), -W and -1 (disable-file=a-b)", "",
         "told by carriage\\-return), \\-W and \\-1 (disable\\-file=a\\-b)\n"},
        {false, "it begins # iscsi-config-check: here", "",
         "it begins # iscsi\\-config\\-check: here\n"},
        {false, "a\\b", "", "a\\eb\n"},
        // One sentence a line; a full stop before a lower-case word ends
        // none.
        {false, "One. Two? Three! 4 is. a number.", "",
         "One.\nTwo?\nThree!\n4 is. a number.\n"},
        // A line may not begin as a request.
        {false, "One. .profile and 'quoted'", "",
         "One.\n\\&.profile and 'quoted'\n"},
        // The symbols of the message's placeholders in italics, as whole
        // words only.
        {false, "N is (N), not NN or N-1.", "OOO N",
         "\\fIN\\fR is (\\fIN\\fR), not NN or N-1.\n"},
        // Lines of at most 78 characters; a line that ends in a full stop
        // within a sentence gets no sentence space.
        {false,
         "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff "
         "ggggggggg "
         "hhhhhhhh iiiiiiiii",
         "",
         "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff "
         "ggggggggg "
         "hhhhhhhh\niiiiiiiii\n"},
        {false,
         "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff gggg "
         "e.g. "
         "iiiiiiiii",
         "",
         "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff gggg "
         "e.g.\\&\niiiiiiiii\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.code ? roffCode(c.text) : roffProse(c.text, c.italic),
                  c.roff)
            << c.text;
    }
}

// A document whose markers are `begins` and `ends` around the text of each
// of the manual's regions, or of `skipped` none.
std::string manualWith(const std::string &stale, const char *skipped = "")
{
    std::string document = ".TH X 1\n.SH A\n";
    for (const char *name :
         {"statement-diagnostics", "login-parameter-diagnostics", "warnings"}) {
        if (std::string(name) != skipped) {
            document += std::string(".\\\" BEGIN GENERATED ") + name +
                        ": by hand\n" + stale + ".\\\" END GENERATED " + name +
                        "\n";
        }
        document += "hand-written text\n";
    }
    return document;
}

TEST(CheckDocs, RewritingReplacesOnlyTheRegions)
{
    std::string expected = ".TH X 1\n.SH A\n";
    for (const char *name :
         {"statement-diagnostics", "login-parameter-diagnostics", "warnings"}) {
        expected += std::string(".\\\" BEGIN GENERATED ") + name +
                    ": by hand\n" + region(name) + ".\\\" END GENERATED " +
                    name + "\n" + "hand-written text\n";
    }
    for (const char *stale : {"", ".TP\n.B stale entry\nof two lines\n"}) {
        std::string result;
        std::string error;
        ASSERT_TRUE(
            rewriteRegions(DocSyntax::roff, manualWith(stale), &result, &error))
            << error;
        EXPECT_EQ(result, expected);
    }
    // The markers of the other syntax are text.
    std::string readme = "# R\n<!-- BEGIN GENERATED warnings-table -->\n"
                         "old\n<!-- END GENERATED warnings-table -->\n"
                         "<!-- BEGIN GENERATED errors-table -->\n"
                         "<!-- END GENERATED errors-table -->\n"
                         "<!-- BEGIN GENERATED fixes-table -->\n"
                         "<!-- END GENERATED fixes-table -->\n"
                         ".\\\" BEGIN GENERATED warnings\nno newline";
    std::string result;
    std::string error;
    ASSERT_TRUE(rewriteRegions(DocSyntax::markdown, readme, &result, &error))
        << error;
    EXPECT_EQ(result, "# R\n<!-- BEGIN GENERATED warnings-table -->\n" +
                          region("warnings-table") +
                          "<!-- END GENERATED warnings-table -->\n"
                          "<!-- BEGIN GENERATED errors-table -->\n" +
                          region("errors-table") +
                          "<!-- END GENERATED errors-table -->\n"
                          "<!-- BEGIN GENERATED fixes-table -->\n" +
                          region("fixes-table") +
                          "<!-- END GENERATED fixes-table -->\n"
                          ".\\\" BEGIN GENERATED warnings\nno newline");
}

TEST(CheckDocs, RewritingRefusesMarkersThatDoNotPairUp)
{
    struct Case {
        std::string document;
        const char *error;
    };
    const std::string begin = ".\\\" BEGIN GENERATED ";
    const std::string end = ".\\\" END GENERATED ";
    const Case cases[] = {
        {manualWith("", "warnings"),
         "the region warnings is missing: its BEGIN GENERATED and END "
         "GENERATED lines are not there"},
        {manualWith("") + begin + "warnings\n" + end + "warnings\n",
         "line 12: the region warnings stands twice"},
        {manualWith("") + begin + "warnings-table\n",
         "line 12: no region of this document is named \"warnings-table\""},
        {manualWith("") + begin + "warning\n",
         "line 12: no region of this document is named \"warning\""},
        {manualWith("", "warnings") + begin + "warnings\n",
         "line 10: the region warnings does not end"},
        {manualWith("", "warnings") + end + "warnings\n",
         "line 10: the region warnings ends where it did not begin"},
        {manualWith(begin + "warnings\n"),
         "line 4: the region warnings begins inside the region "
         "statement-diagnostics of line 3"},
    };
    for (const Case &c : cases) {
        std::string result;
        std::string error;
        EXPECT_FALSE(
            rewriteRegions(DocSyntax::roff, c.document, &result, &error))
            << c.document;
        EXPECT_EQ(error, c.error) << c.document;
    }
}

// The closest check name takes shortcuts: names whose length is too far off
// are not compared, and a comparison stops at the best found so far. Over
// every check's name with one and two edits made, and names near none, it
// picks what comparing every name in full picks, and each comparison cut
// short gives no count under its limit that the full one does not.
TEST(ClosestCheck, AgreesWithTheFullComparison)
{
    std::vector<std::string> names = {"", "x", "duplicate",
                                      std::string(70, 'z')};
    for (const CheckInfo &check : checkTable) {
        const std::string name(check.name);
        for (size_t k = 0; k < name.size(); k++) {
            std::string swapped = name;
            std::swap(swapped[k], swapped[(k + 1) % name.size()]);
            for (const std::string &edited :
                 {name.substr(0, k) + name.substr(k + 1),
                  name.substr(0, k) + "q" + name.substr(k), swapped,
                  swapped.substr(1), "xy" + name.substr(k)}) {
                names.push_back(edited);
            }
        }
    }
    for (const std::string &name : names) {
        for (bool warningsOnly : {false, true}) {
            const CheckInfo *closest = nullptr;
            size_t best = 3;
            for (const CheckInfo &check : checkTable) {
                size_t distance = editDistance(name, check.name);
                for (size_t limit = 1; limit <= 3; limit++) {
                    EXPECT_EQ(
                        std::min(editDistance(name, check.name, limit), limit),
                        std::min(distance, limit))
                        << name << " " << check.name;
                }
                if ((!warningsOnly || check.severity == Severity::warning) &&
                    distance < best) {
                    closest = &check;
                    best = distance;
                }
            }
            EXPECT_EQ(closestCheck(name, warningsOnly), closest) << name;
        }
    }
}

} // namespace
