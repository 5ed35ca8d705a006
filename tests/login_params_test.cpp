// Table-driven checks of the login-parameters grammar: which fault each field
// shows first. Each field is copied into a buffer of exactly its counted
// length, so a read past the count shows up under the address sanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "checks/checks.h"
#include "reader/config.h"

namespace
{

struct LoginCase {
    std::string field;
    FaultKind expected;
};

// The fault of the first `len` bytes of `field`, judged in a buffer of
// exactly that size.
FaultKind faultOf(const std::string &field, size_t len)
{
    std::unique_ptr<char[]> exact(new char[len == 0 ? 1 : len]);
    memcpy(exact.get(), field.data(), len);
    return findLoginParamsFault(len == 0 ? nullptr : exact.get(), len);
}

const std::string id63(63, 'i');
const std::string id64(64, 'i');
const std::string pw16 = "0123456789abcdef";

const LoginCase loginCases[] = {
    {"Initiator:h,p", FAULT_NONE},
    {"Initiator:h,", FAULT_NONE},
    {"Initiator:" + id63 + ",x", FAULT_NONE},
    {"Initiator:A-Z_a.z-09,A-Z_a.z-09", FAULT_NONE},
    {"Initiator:h," + pw16, FAULT_NONE},
    {"", FAULT_MISSING_LOGIN_PARAMS},
    {"Initiator", FAULT_MISSING_KEYWORD},
    {"initiator:h,p", FAULT_MISSING_KEYWORD},
    {"Initiator;h,p", FAULT_MISSING_KEYWORD},
    {"Initiator:", FAULT_MISSING_COMMA},
    {"Initiator:host", FAULT_MISSING_COMMA},
    {"Initiator:" + id63, FAULT_MISSING_COMMA},
    {"Initiator:,p", FAULT_MISSING_IDENTIFIER},
    {"Initiator:h!,p", FAULT_IDENTIFIER_CHAR},
    {"Initiator:!x,p", FAULT_IDENTIFIER_CHAR},
    {"Initiator:h p", FAULT_IDENTIFIER_CHAR},
    {"Initiator:h\x80,p", FAULT_IDENTIFIER_CHAR},
    {"Initiator:" + id63 + "!", FAULT_IDENTIFIER_CHAR},
    {"Initiator:" + id64, FAULT_IDENTIFIER_TOO_LONG},
    {"Initiator:" + id64 + ",p", FAULT_IDENTIFIER_TOO_LONG},
    {"Initiator:" + id64 + "x", FAULT_IDENTIFIER_TOO_LONG},
    {"Initiator:" + id64 + "!", FAULT_IDENTIFIER_TOO_LONG},
    {"Initiator:h,p,q", FAULT_PASSWORD_CHAR},
    {"Initiator:h,p\r", FAULT_PASSWORD_CHAR},
    {"Initiator:h," + pw16 + "x", FAULT_PASSWORD_TOO_LONG},
    {"Initiator:h," + pw16 + "!", FAULT_CHARS_AFTER_PASSWORD},
    {"Initiator:h," + pw16 + ",", FAULT_CHARS_AFTER_PASSWORD},
};

class LoginParamsTest : public testing::TestWithParam<LoginCase>
{
};

TEST_P(LoginParamsTest, FindsTheFirstFault)
{
    const LoginCase &c = GetParam();
    EXPECT_EQ(faultOf(c.field, c.field.size()), c.expected);
}

// A short, stable test name: the check's name, or "sound", and the index.
std::string caseName(const testing::TestParamInfo<LoginCase> &info)
{
    std::string name = info.param.expected == FAULT_NONE
                           ? "sound"
                           : std::string(checkOf(info.param.expected)->name);
    for (char &c : name) {
        c = c == '-' ? '_' : c;
    }
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Grammar, LoginParamsTest,
                         testing::ValuesIn(loginCases), caseName);

// Only the counted characters belong to the field, whatever follows them.
TEST(LoginParamsCount, JudgesOnlyTheCountedCharacters)
{
    EXPECT_EQ(faultOf("Initiator:host,pw", 14), FAULT_MISSING_COMMA);
    EXPECT_EQ(faultOf("Initiator:h,p!!!", 13), FAULT_NONE);
    EXPECT_EQ(faultOf("Initiator:h,p", 0), FAULT_MISSING_LOGIN_PARAMS);
}

} // namespace
