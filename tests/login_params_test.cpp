// Table-driven checks of the login-parameters grammar. Each field is copied
// into a buffer of exactly its counted length, so a read past the count shows
// up under the address sanitizer.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "config.h"

namespace
{

struct LoginCase {
    std::string field;
    const char *expected; // the diagnostic after "line 7: ", or "" if sound
};

// Runs the check on an exact-size copy of `field`; returns what it printed.
std::string runCheck(const std::string &field, size_t len, int *result)
{
    std::unique_ptr<char[]> exact(new char[len == 0 ? 1 : len]);
    memcpy(exact.get(), field.data(), len);
    testing::internal::CaptureStdout();
    *result = checkLoginParams(7, len == 0 ? nullptr : exact.get(), len);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

const std::string id63(63, 'i');
const std::string id64(64, 'i');
const std::string pw16 = "0123456789abcdef";

const LoginCase loginCases[] = {
    {"Initiator:h,p", ""},
    {"Initiator:h,", ""},
    {"Initiator:" + id63 + ",x", ""},
    {"Initiator:A-Z_a.z-09,A-Z_a.z-09", ""},
    {"Initiator:h," + pw16, ""},
    {"", "missing Login Parameters\n"},
    {"Initiator", "missing 'Initiator:' keyword\n"},
    {"initiator:h,p", "missing 'Initiator:' keyword\n"},
    {"Initiator;h,p", "missing 'Initiator:' keyword\n"},
    {"Initiator:", "missing ',' after identifier\n"},
    {"Initiator:host", "missing ',' after identifier\n"},
    {"Initiator:" + id63, "missing ',' after identifier\n"},
    {"Initiator:,p", "missing Initiator identifier\n"},
    {"Initiator:h!,p", "illegal character in identifier\n"},
    {"Initiator:!x,p", "illegal character in identifier\n"},
    {"Initiator:h p", "illegal character in identifier\n"},
    {"Initiator:h\x80,p", "illegal character in identifier\n"},
    {"Initiator:" + id63 + "!", "illegal character in identifier\n"},
    {"Initiator:" + id64, "identifier is too long\n"},
    {"Initiator:" + id64 + ",p", "identifier is too long\n"},
    {"Initiator:" + id64 + "x", "identifier is too long\n"},
    {"Initiator:" + id64 + "!", "identifier is too long\n"},
    {"Initiator:h,p,q", "illegal character in 'password'\n"},
    {"Initiator:h,p\r", "illegal character in 'password'\n"},
    {"Initiator:h," + pw16 + "x", "'password' is too long\n"},
    {"Initiator:h," + pw16 + "!", "illegal characters after 'password'\n"},
    {"Initiator:h," + pw16 + ",", "illegal characters after 'password'\n"},
};

class LoginParamsTest : public testing::TestWithParam<LoginCase>
{
};

TEST_P(LoginParamsTest, PrintsOnlyTheFirstFault)
{
    const LoginCase &c = GetParam();
    int result = 1;
    std::string printed = runCheck(c.field, c.field.size(), &result);
    if (c.expected[0] == '\0') {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(printed, "");
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(printed, std::string("line 7: ") + c.expected);
    }
}

// A short, stable test name: the expected message's words and the index.
std::string caseName(const testing::TestParamInfo<LoginCase> &info)
{
    const char *words = info.param.expected[0] == '\0' ? "sound" : info.param.expected;
    std::string name;
    for (const char *p = words; *p != '\0'; p++) {
        if (isalnum(static_cast<unsigned char>(*p)) != 0) {
            name += *p;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (name.back() != '_') {
        name += '_';
    }
    return name + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Grammar, LoginParamsTest,
                         testing::ValuesIn(loginCases), caseName);

// Only the counted characters belong to the field, whatever follows them.
TEST(LoginParamsCount, JudgesOnlyTheCountedCharacters)
{
    int result = 0;
    EXPECT_EQ(runCheck("Initiator:host,pw", 14, &result),
              "line 7: missing ',' after identifier\n");
    EXPECT_EQ(runCheck("Initiator:h,p!!!", 13, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(runCheck("Initiator:h,p", 0, &result),
              "line 7: missing Login Parameters\n");
    EXPECT_EQ(result, -1);
}

TEST(LoginParamsCount, PrintsLineNumbersBeyond32Bits)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkLoginParams(4294967301LL, "x", 1), -1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "line 4294967301: missing 'Initiator:' keyword\n");
}

} // namespace
