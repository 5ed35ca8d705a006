// Table-driven checks of the login-parameters grammar: which fault each field
// shows first, and where in the field it lies. Each field is copied into a
// buffer of exactly its counted length, so a read past the count shows up
// under the address sanitizer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "checks/checks.h"
#include "reader/config.h"
#include "reader/login_params.h"

namespace
{

struct LoginCase {
    std::string field;
    FaultKind expected;
    size_t at; // where the fault lies (0 for a sound field)
};

// The fault of the first `len` bytes of `field`, judged in a buffer of
// exactly that size, and where it lies, which both forms of the function
// agree on.
FaultKind faultOf(const std::string &field, size_t len, size_t *at = nullptr)
{
    std::unique_ptr<char[]> exact(new char[len == 0 ? 1 : len]);
    memcpy(exact.get(), field.data(), len);
    const char *counted = len == 0 ? nullptr : exact.get();
    size_t found = SIZE_MAX;
    FaultKind fault = findLoginParamsFault(counted, len, &found);
    EXPECT_EQ(findLoginParamsFault(counted, len), fault);
    if (at != nullptr) {
        *at = found;
    }
    return fault;
}

const std::string id63(63, 'i');
const std::string id64(64, 'i');
const std::string pw16 = "0123456789abcdef";

const LoginCase loginCases[] = {
    {"Initiator:h,p", FAULT_NONE, 0},
    {"Initiator:h,", FAULT_NONE, 0},
    {"Initiator:" + id63 + ",x", FAULT_NONE, 0},
    {"Initiator:A-Z_a.z-09,A-Z_a.z-09", FAULT_NONE, 0},
    {"Initiator:h," + pw16, FAULT_NONE, 0},
    {"", FAULT_MISSING_LOGIN_PARAMS, 0},
    {"Initiator", FAULT_MISSING_KEYWORD, 9},
    {"Init", FAULT_MISSING_KEYWORD, 4},
    {"initiator:h,p", FAULT_MISSING_KEYWORD, 0},
    {"Initator:h,p", FAULT_MISSING_KEYWORD, 4},
    {"Initiator;h,p", FAULT_MISSING_KEYWORD, 9},
    {"Initiator:", FAULT_MISSING_COMMA, 10},
    {"Initiator:host", FAULT_MISSING_COMMA, 14},
    {"Initiator:" + id63, FAULT_MISSING_COMMA, 73},
    {"Initiator:,p", FAULT_MISSING_IDENTIFIER, 10},
    {"Initiator:h!,p", FAULT_IDENTIFIER_CHAR, 11},
    {"Initiator:!x,p", FAULT_IDENTIFIER_CHAR, 10},
    {"Initiator:h p", FAULT_IDENTIFIER_CHAR, 11},
    {"Initiator:h\x80,p", FAULT_IDENTIFIER_CHAR, 11},
    {"Initiator:" + id63 + "!", FAULT_IDENTIFIER_CHAR, 73},
    {"Initiator:" + id64, FAULT_IDENTIFIER_TOO_LONG, 73},
    {"Initiator:" + id64 + ",p", FAULT_IDENTIFIER_TOO_LONG, 73},
    {"Initiator:" + id64 + "x", FAULT_IDENTIFIER_TOO_LONG, 73},
    {"Initiator:" + id64 + "!", FAULT_IDENTIFIER_TOO_LONG, 73},
    {"Initiator:h,p,q", FAULT_PASSWORD_CHAR, 13},
    {"Initiator:h,p\r", FAULT_PASSWORD_CHAR, 13},
    {"Initiator:h,!", FAULT_PASSWORD_CHAR, 12},
    {"Initiator:h," + pw16 + "x", FAULT_PASSWORD_TOO_LONG, 28},
    {"Initiator:h," + pw16 + "!", FAULT_CHARS_AFTER_PASSWORD, 28},
    {"Initiator:h," + pw16 + ",", FAULT_CHARS_AFTER_PASSWORD, 28},
};

class LoginParamsTest : public testing::TestWithParam<LoginCase>
{
};

TEST_P(LoginParamsTest, FindsTheFirstFaultAndWhereItLies)
{
    const LoginCase &c = GetParam();
    size_t at = SIZE_MAX;
    EXPECT_EQ(faultOf(c.field, c.field.size(), &at), c.expected);
    EXPECT_EQ(at, c.at);
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

// A statement's field is found and judged in one pass, sixteen bytes at a
// time or one by one: both must tell what finding the field's end first and
// judging it tells, for fields of many lengths with any byte anywhere.
TEST(LoginParamsCount, OnePassAgreesWithTheFieldJudgedWhole)
{
    for (size_t idLen : {1, 6, 15, 16, 21, 37, 53, 63, 64}) {
        for (size_t pwLen : {0, 5, 6, 16, 17}) {
            for (const char *after : {"", " x", "\t"}) {
                std::string sound = "Initiator:" + std::string(idLen, 'i') +
                                    "," + std::string(pwLen, 'p') + after;
                for (size_t at = 0; at < sound.size(); at++) {
                    for (int byte = 0; byte < 256; byte++) {
                        std::string text = sound;
                        text[at] = static_cast<char>(byte);
                        // Exactly the text and its zero byte.
                        std::unique_ptr<char[]> line(new char[text.size() + 1]);
                        memcpy(line.get(), text.c_str(), text.size() + 1);
                        size_t len = strcspn(line.get(), " \t");
                        size_t where = 0;
                        FaultKind fault =
                            judgeLoginParams(line.get(), len, &where);
                        for (bool vector : {true, false}) {
                            size_t gotLen = SIZE_MAX;
                            size_t gotAt = SIZE_MAX;
                            FaultKind got =
                                vector
                                    ? judgeLoginField<true>(line.get(), 0,
                                                            text.size() + 1,
                                                            &gotLen, &gotAt)
                                    : judgeLoginField<false>(line.get(), 0,
                                                             text.size() + 1,
                                                             &gotLen, &gotAt);
                            ASSERT_EQ(got, fault) << text;
                            ASSERT_EQ(gotLen, len) << text;
                            ASSERT_EQ(gotAt, where) << text;
                        }
                    }
                }
            }
        }
    }
}

} // namespace
