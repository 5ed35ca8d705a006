// Positions as the editor counts them: lines split at "\n", "\r\n" and a
// lone "\r", and characters counted in the encoding agreed at start-up
// (UTF-16 code units unless the client offers UTF-8), against the byte
// offsets in the text that the reader counts.
#ifndef ISCSI_CONFIG_CHECK_LSP_POSITIONS_H
#define ISCSI_CONFIG_CHECK_LSP_POSITIONS_H

#include <cstddef>
#include <string_view>
#include <vector>

enum class PositionEncoding : unsigned char { utf16, utf8 };

struct LspPosition {
    size_t line;
    size_t character;
};

// The lines of one text, as the editor splits them.
class LineIndex
{
  public:
    // Indexes `text`, which must outlive every later call.
    void build(std::string_view text, PositionEncoding encoding);

    // The position of the byte at `offset` (at most the text's size); a
    // byte of a line break is at its line's end.
    LspPosition position(size_t offset) const;
    // The offset of `position`: a character past its line's end, or a line
    // past the text's, is taken as that end.
    size_t offset(size_t line, size_t character) const;
    // The offset where the editor's line after the one holding `offset`
    // starts (the text's size on its last line).
    size_t nextLineStart(size_t offset) const;
    // Whether the byte at `offset` belongs to a line break, or is the end.
    bool atBreak(size_t offset) const;
    // The offset just past the character at `offset`.
    size_t characterEnd(size_t offset) const;
    // Where the editor's line holding `offset` starts, and where its text
    // (before its line break) ends.
    size_t lineOf(size_t offset) const;
    size_t lineStart(size_t line) const
    {
        return starts_[line];
    }
    size_t contentEnd(size_t line) const;
    size_t lineCount() const
    {
        return starts_.size();
    }

  private:
    // The units of the bytes from `from` to `to` of one line.
    size_t unitsBetween(size_t from, size_t to) const;

    std::string_view text_;
    PositionEncoding encoding_ = PositionEncoding::utf16;
    std::vector<size_t> starts_; // each line's first byte
    // The last position found, so that positions along one long line cost
    // the bytes between them, not the line's.
    mutable size_t cachedLine_ = 0;
    mutable size_t cachedOffset_ = 0;
    mutable size_t cachedUnits_ = 0;
    mutable bool cached_ = false;
};

#endif
