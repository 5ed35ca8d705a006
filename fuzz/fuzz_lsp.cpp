// Feeds arbitrary bytes to the language server three ways: as its whole
// input (the framing), as the frames after an initialize (the dispatch),
// and as the text of a document that is then opened, changed, fixed,
// hovered and completed. Whatever comes, the server ends with status 0 or
// 1, without a crash or a sanitizer's report.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "lsp/server.h"

static FILE *sink = nullptr;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    sink = fopen("/dev/null", "w");
    if (sink == nullptr) {
        abort();
    }
    return 0;
}

static std::string frame(const std::string &body)
{
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Serves `input` and checks the status.
static void serve(const std::string &input)
{
    int fd = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0 ||
        write(fd, input.data(), input.size()) !=
            static_cast<ssize_t>(input.size()) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        abort();
    }
    ServerHooks hooks;
    int status = serveLanguage(fd, sink, hooks);
    close(fd);
    if (status != 0 && status != 1) {
        abort();
    }
}

// `bytes` as a JSON string's content: each byte as the character of that
// value, so that any input makes a valid document.
static std::string jsonString(const uint8_t *bytes, size_t size)
{
    std::string text;
    for (size_t k = 0; k < size; k++) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04x", bytes[k]);
        text += escaped;
    }
    return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string raw(reinterpret_cast<const char *>(data), size);
    const std::string initialize = frame(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":)"
        R"({"capabilities":{"general":{"positionEncodings":["utf-8"]}}}})");
    serve(raw);
    serve(initialize + raw);

    std::string text = jsonString(data, size);
    std::string document = R"({"uri":"untitled:fuzz","version":1})";
    std::string at = std::to_string(size % 7) + R"(,"character":)" +
                     std::to_string(size % 41);
    std::string position = R"({"line":)" + at + "}";
    std::string session =
        initialize +
        frame(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":)"
              R"({"textDocument":{"uri":"untitled:fuzz","version":1,"text":")" +
              text + R"("}}})") +
        frame(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":)"
              R"({"textDocument":)" +
              document + R"(,"contentChanges":[{"range":{"start":)" + position +
              R"(,"end":{"line":0,"character":3}},"text":")" + text +
              R"("}]}})") +
        frame(R"({"jsonrpc":"2.0","id":1,"method":"textDocument/codeAction",)"
              R"("params":{"textDocument":)" +
              document +
              R"(,"range":{"start":{"line":0,"character":0},)"
              R"("end":{"line":99,"character":0}},"context":{}}})") +
        frame(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/hover",)"
              R"("params":{"textDocument":)" +
              document + R"(,"position":)" + position + "}}") +
        frame(R"({"jsonrpc":"2.0","id":3,"method":"textDocument/completion",)"
              R"("params":{"textDocument":)" +
              document + R"(,"position":)" + position + "}}") +
        frame(R"({"jsonrpc":"2.0","id":4,"method":"textDocument/formatting",)"
              R"("params":{"textDocument":)" +
              document + "}}") +
        frame(R"({"jsonrpc":"2.0","id":5,"method":"shutdown"})") +
        frame(R"({"jsonrpc":"2.0","method":"exit"})");
    serve(session);
    return 0;
}
