// The editor's lines and characters against the text's bytes.
#include "lsp/positions.h"

#include <algorithm>
#include <cstring>

// The units one byte adds: a byte that starts a character adds the
// character's units (2 in UTF-16 for one past U+FFFF, whose first byte is
// 0xF0 or more), a continuation byte none; in UTF-8 every byte is a unit.
static size_t unitsOfByte(unsigned char byte, PositionEncoding encoding)
{
    if (encoding == PositionEncoding::utf8) {
        return 1;
    }
    if ((byte & 0xC0U) == 0x80U) {
        return 0;
    }
    return byte >= 0xF0U ? 2 : 1;
}

void LineIndex::build(std::string_view text, PositionEncoding encoding)
{
    text_ = text;
    encoding_ = encoding;
    starts_.clear();
    starts_.push_back(0);
    const char *data = text.data();
    const char *end = data + text.size();
    // Each newline, then the carriage returns of the line before it: a
    // lone one breaks the line too, one right before the newline is part
    // of that break.
    const char *line = data;
    while (line < end) {
        const auto *newline = static_cast<const char *>(
            memchr(line, '\n', static_cast<size_t>(end - line)));
        const char *stop = newline != nullptr ? newline : end;
        for (const char *at = line;
             (at = static_cast<const char *>(
                  memchr(at, '\r', static_cast<size_t>(stop - at)))) != nullptr;
             at++) {
            if (at + 1 != newline) {
                starts_.push_back(static_cast<size_t>(at - data) + 1);
            }
        }
        if (newline == nullptr) {
            break;
        }
        starts_.push_back(static_cast<size_t>(newline - data) + 1);
        line = newline + 1;
    }
    cached_ = false;
}

size_t LineIndex::lineOf(size_t offset) const
{
    // Positions are mostly asked for in order: the line last found, or the
    // next, saves the search.
    if (cached_ && cachedLine_ < starts_.size() &&
        offset >= starts_[cachedLine_]) {
        size_t line = cachedLine_;
        for (size_t k = 0;
             k < 2 && line + 1 < starts_.size() && offset >= starts_[line + 1];
             k++) {
            line++;
        }
        if (line + 1 == starts_.size() || offset < starts_[line + 1]) {
            return line;
        }
    }
    auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return static_cast<size_t>(after - starts_.begin()) - 1;
}

size_t LineIndex::contentEnd(size_t line) const
{
    if (line + 1 >= starts_.size()) {
        return text_.size();
    }
    size_t end = starts_[line + 1] - 1; // the break's last byte
    if (text_[end] == '\n' && end > starts_[line] && text_[end - 1] == '\r') {
        end--;
    }
    return end;
}

size_t LineIndex::unitsBetween(size_t from, size_t to) const
{
    if (encoding_ == PositionEncoding::utf8) {
        return to - from;
    }
    size_t units = 0;
    for (size_t k = from; k < to; k++) {
        units += unitsOfByte(static_cast<unsigned char>(text_[k]), encoding_);
    }
    return units;
}

LspPosition LineIndex::position(size_t offset) const
{
    offset = std::min(offset, text_.size());
    size_t line = lineOf(offset);
    offset = std::min(offset, contentEnd(line));
    size_t units = 0;
    if (cached_ && cachedLine_ == line) {
        units = offset >= cachedOffset_
                    ? cachedUnits_ + unitsBetween(cachedOffset_, offset)
                    : cachedUnits_ - unitsBetween(offset, cachedOffset_);
    } else {
        units = unitsBetween(starts_[line], offset);
    }
    cached_ = true;
    cachedLine_ = line;
    cachedOffset_ = offset;
    cachedUnits_ = units;
    return {line, units};
}

size_t LineIndex::offset(size_t line, size_t character) const
{
    if (line >= starts_.size()) {
        return text_.size();
    }
    size_t end = contentEnd(line);
    size_t at = starts_[line];
    size_t units = 0;
    while (at < end) {
        size_t next = characterEnd(at);
        size_t width = unitsBetween(at, next);
        if (units + width > character) {
            break;
        }
        units += width;
        at = next;
    }
    return at;
}

size_t LineIndex::nextLineStart(size_t offset) const
{
    size_t line = lineOf(std::min(offset, text_.size()));
    return line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
}

bool LineIndex::atBreak(size_t offset) const
{
    if (offset >= text_.size()) {
        return true;
    }
    return offset >= contentEnd(lineOf(offset));
}

size_t LineIndex::characterEnd(size_t offset) const
{
    size_t end = offset + 1;
    if (encoding_ == PositionEncoding::utf8 &&
        static_cast<unsigned char>(text_[offset]) < 0x80U) {
        return end;
    }
    while (end < text_.size() &&
           (static_cast<unsigned char>(text_[end]) & 0xC0U) == 0x80U) {
        end++;
    }
    return end;
}
