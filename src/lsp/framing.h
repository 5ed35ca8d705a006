// The frames of the protocol's base layer: a header of lines ended by
// "\r\n" that holds Content-Length, an empty line, and that many bytes of
// JSON.
#ifndef ISCSI_CONFIG_CHECK_LSP_FRAMING_H
#define ISCSI_CONFIG_CHECK_LSP_FRAMING_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// The largest body a frame may announce: 64 MiB.
constexpr size_t maxFrameBody = size_t{64} << 20U;
// The largest header: past it, no frame can be found.
constexpr size_t maxFrameHeader = 65536;

enum class FrameRead : unsigned char {
    frame,  // a body was read
    end,    // the input ended between frames
    broken, // the input cannot be read as frames any more: `reason` says why
};

// Reads frames from a descriptor, through a buffer that holds at most one
// header and one body beyond what a read brings.
class FrameReader
{
  public:
    explicit FrameReader(int fd) : fd_(fd)
    {
    }
    // Reads the next frame's body into `body`; on FrameRead::broken,
    // `reason` tells what was wrong.
    FrameRead next(std::string *body, const char **reason);

  private:
    // Reads more; false at the end of the input, or when reading failed.
    bool fill();

    int fd_;
    std::string buffer_;
    size_t start_ = 0; // the unread bytes begin here
};

// Writes `body` as one frame to `out` at once; false when the write failed.
bool writeFrame(FILE *out, std::string_view body);

#endif
