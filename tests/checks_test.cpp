// The table of checks against the manual page, which describes each check
// with the table's own summary and explanation: each explanation stands in
// the page once, so the page can neither drift from the table nor say a
// thing twice.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        count++;
    }
    return count;
}

TEST(ChecksTable, TheManualDescribesEachCheckOnceInTheTablesWords)
{
    std::string manual = renderedManual();
    if (manual.empty()) {
        GTEST_SKIP() << "groff is not installed";
    }
    for (const CheckInfo &check : checkTable) {
        std::string name(check.name);
        EXPECT_GE(countOf(manual, check.summary), 1U) << name;
        EXPECT_EQ(countOf(manual, check.explanation), 1U) << name;
        EXPECT_GE(countOf(manual, std::string("Bad: ") + check.badLine), 1U) << name;
        EXPECT_GE(countOf(manual, std::string("Fixed: ") + check.fixedLine), 1U) << name;
        std::string message(check.message.substr(0, check.message.find('{')));
        EXPECT_GE(countOf(manual, message.substr(0, message.find('|'))), 1U)
            << name;
    }
}

} // namespace
