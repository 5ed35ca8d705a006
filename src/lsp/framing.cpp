// Reading and writing the frames of the base layer.
#include "lsp/framing.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "support/line_buffer.h"

bool FrameReader::fill()
{
    // The bytes read are dropped once half the buffer is behind.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    constexpr size_t block = 65536;
    size_t had = buffer_.size();
    buffer_.resize(had + block);
    for (;;) {
        ssize_t got = read(fd_, &buffer_[had], block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        buffer_.resize(had + (got > 0 ? static_cast<size_t>(got) : 0));
        return got > 0;
    }
}

// The value of a Content-Length header: decimal digits alone, at most
// maxFrameBody; false otherwise.
static bool readLength(std::string_view value, size_t *length)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    if (value.empty()) {
        return false;
    }
    size_t number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<size_t>(c - '0');
        if (number > maxFrameBody) {
            return false;
        }
    }
    *length = number;
    return true;
}

// Whether `name` is `wanted`, in any letter case.
static bool sameName(std::string_view name, std::string_view wanted)
{
    return name.size() == wanted.size() &&
           strncasecmp(name.data(), wanted.data(), name.size()) == 0;
}

FrameRead FrameReader::next(std::string *body, const char **reason)
{
    // The header, up to its empty line.
    size_t headerEnd = std::string::npos;
    for (;;) {
        std::string_view unread(buffer_.data() + start_,
                                buffer_.size() - start_);
        headerEnd = unread.find("\r\n\r\n");
        if (headerEnd != std::string_view::npos) {
            break;
        }
        if (unread.size() > maxFrameHeader) {
            *reason = "a frame's header is longer than 65536 bytes";
            return FrameRead::broken;
        }
        if (!fill()) {
            if (buffer_.size() == start_) {
                return FrameRead::end;
            }
            *reason = "the input ended inside a frame's header";
            return FrameRead::broken;
        }
    }
    if (headerEnd > maxFrameHeader) {
        *reason = "a frame's header is longer than 65536 bytes";
        return FrameRead::broken;
    }
    std::string_view header(buffer_.data() + start_, headerEnd);
    size_t length = 0;
    bool lengthFound = false;
    while (!header.empty()) {
        size_t lineEnd = header.find("\r\n");
        std::string_view line = header.substr(0, lineEnd);
        header.remove_prefix(lineEnd == std::string_view::npos ? header.size()
                                                               : lineEnd + 2);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            *reason = "a frame's header holds a line that is no field";
            return FrameRead::broken;
        }
        if (!sameName(line.substr(0, colon), "Content-Length")) {
            continue;
        }
        size_t value = 0;
        if (!readLength(line.substr(colon + 1), &value)) {
            *reason = "a frame's Content-Length is not a number of at most "
                      "67108864 bytes";
            return FrameRead::broken;
        }
        if (lengthFound && value != length) {
            *reason = "a frame's header gives two lengths";
            return FrameRead::broken;
        }
        length = value;
        lengthFound = true;
    }
    if (!lengthFound) {
        *reason = "a frame's header has no Content-Length";
        return FrameRead::broken;
    }
    start_ += headerEnd + 4;
    while (buffer_.size() - start_ < length) {
        if (!fill()) {
            *reason = "the input ended inside a frame";
            return FrameRead::broken;
        }
    }
    body->assign(buffer_, start_, length);
    start_ += length;
    return FrameRead::frame;
}

bool writeFrame(FILE *out, std::string_view body)
{
    char header[64];
    int len = snprintf(header, sizeof header, "Content-Length: %zu\r\n\r\n",
                       body.size());
    writeOutput(out, std::string_view(header, static_cast<size_t>(len)));
    writeOutput(out, body);
    flushOutput(out);
    return !outputFailed(out);
}
