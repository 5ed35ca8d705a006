// The JSON string writer of the machine formats, byte by byte: what it
// escapes, and which bytes are valid UTF-8 (kept) or not (each replaced by
// U+FFFD, so that every line stays valid JSON and valid UTF-8).
#include <gtest/gtest.h>

#include <string>

#include "format.h"

namespace
{

struct JsonCase {
    std::string bytes;
    std::string expected; // without the quotes
};

const std::string fffd = "\xEF\xBF\xBD";

const JsonCase jsonCases[] = {
    {"a.conf", "a.conf"},
    {"\"\\/", "\\\"\\\\/"},
    {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
    {std::string("\x00\x01\x1F\x7F", 4), "\\u0000\\u0001\\u001f\\u007f"},
    {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
    {"\xC0\xAF", fffd + fffd},               // overlong
    {"\xE0\x80\xAF", fffd + fffd + fffd},    // overlong
    {"\xED\xA0\x80", fffd + fffd + fffd},    // surrogate
    {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // past U+10FFFF
    {"\xF5\x80", fffd + fffd},
    {"x\xE2\x82", "x" + fffd + fffd},        // cut short
    {"\xE2\x28\xA1", fffd + "(" + fffd},     // not a continuation
    {"\x80\xBF", fffd + fffd},
};

class JsonStringTest : public testing::TestWithParam<JsonCase>
{
};

TEST_P(JsonStringTest, EscapesAndReplaces)
{
    LineBuffer line;
    line.append("x");
    appendJsonString(&line, GetParam().bytes.data(), GetParam().bytes.size());
    EXPECT_EQ(std::string(line.data(), line.size()),
              "x\"" + GetParam().expected + "\"");
}

INSTANTIATE_TEST_SUITE_P(Bytes, JsonStringTest, testing::ValuesIn(jsonCases));

} // namespace
