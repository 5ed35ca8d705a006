// The tty format, for a person at a terminal: each diagnostic as the gcc
// format prints it, then the piece of the line it is about with a caret under
// its column, and at the end a count of errors, warnings and files. Reports of
// sound statements are left out, and passwords are never shown.
#include <cstdio>

#include "format.h"

// The colours, as gcc writes them.
static const std::string_view colorLocation = "\033[01m\033[K";
static const std::string_view colorError = "\033[01;31m\033[K";
static const std::string_view colorWarning = "\033[01;35m\033[K";
static const std::string_view colorCaret = "\033[01;32m\033[K";
static const std::string_view colorEnd = "\033[m\033[K";

// Bytes of a line shown at most, and how many of them before the column.
static const size_t viewWidth = 80;
static const size_t viewLead = 40;

// Width of the line-number gutter at least.
static const size_t gutterWidth = 5;

// Where the password of the piece lies, to be shown as '*': every byte after
// the first comma that follows "Initiator:", up to the next blank or the end.
struct Hidden {
    size_t start;
    size_t end;
};

static Hidden findPassword(const char *text, size_t len)
{
    const void *keyword = memmem(text, len, loginKeyword, loginKeywordLen);
    if (keyword == nullptr) {
        return {0, 0};
    }
    size_t from =
        static_cast<size_t>(static_cast<const char *>(keyword) - text) +
        loginKeywordLen;
    const void *comma = memchr(text + from, ',', len - from);
    if (comma == nullptr) {
        return {0, 0};
    }
    size_t start =
        static_cast<size_t>(static_cast<const char *>(comma) - text) + 1;
    size_t end = start;
    while (end < len && text[end] != ' ' && text[end] != '\t') {
        end++;
    }
    return {start, end};
}

// How a byte of the line is shown: printable ASCII as itself, a tab as a
// space, anything else as '?', so that every byte takes one column.
static char shownByte(char c)
{
    if (c == '\t') {
        return ' ';
    }
    return c >= 0x20 && c < 0x7F ? c : '?';
}

namespace
{

class TtyFormat : public Reporter
{
  public:
    void setUp(const OutputOptions *options)
    {
        quiet_ = options->quiet;
        color_ = options->color;
    }

    void startRun(const char * /*programName*/) override
    {
        errors_ = 0;
        warnings_ = 0;
        filesChecked_ = 0;
    }

    void startFile(const char *name) override
    {
        name_ = name;
        fileFailed_ = false;
    }

    void reportVerdict(const Verdict *verdict) override
    {
        Diagnostic diagnostics[maxLineWarnings + 1];
        size_t count = listDiagnostics(verdict, diagnostics);
        for (size_t k = 0; k < count; k++) {
            printDiagnostic(verdict, &diagnostics[k]);
            printSource(verdict, diagnostics[k].pos - verdict->textOffset);
            (diagnostics[k].isWarning ? warnings_ : errors_)++;
        }
    }

    void reportFileFailure(const char *name, int result) override
    {
        Reporter::reportFileFailure(name, result);
        fileFailed_ = true;
    }

    void endFile() override
    {
        if (!fileFailed_) {
            filesChecked_++;
        }
    }

    // "E errors, W warnings, F files checked", each singular for 1.
    void endRun() override
    {
        if (quiet_) {
            return;
        }
        line_.clear();
        appendCount(errors_, " error", ", ");
        appendCount(warnings_, " warning", ", ");
        appendCount(filesChecked_, " file", " checked\n");
        line_.write();
    }

  private:
    void appendCount(long long count, std::string_view noun,
                     std::string_view after)
    {
        line_.appendNumber(count);
        line_.append(noun);
        line_.append(count == 1 ? "" : "s");
        line_.append(after);
    }

    void startColor(std::string_view color)
    {
        if (color_) {
            line_.append(color);
        }
    }

    void endColor()
    {
        if (color_) {
            line_.append(colorEnd);
        }
    }

    // "FILE:LINE:COLUMN: error: MESSAGE", as the gcc format prints it.
    void printDiagnostic(const Verdict *verdict, const Diagnostic *diagnostic)
    {
        line_.clear();
        startColor(colorLocation);
        line_.append(name_);
        char *out = appendText(line_.reserve(maxNumberLen * 2 + 3), ":");
        out = appendNumber(out, verdict->lineNum);
        out = appendText(out, ":");
        out = appendNumber(out, diagnostic->pos + 1);
        line_.commit(appendText(out, ":"));
        endColor();
        line_.append(" ");
        startColor(diagnostic->isWarning ? colorWarning : colorError);
        line_.append(diagnostic->isWarning ? "warning: " : "error: ");
        endColor();
        char *end = appendDiagnosticMessage(line_.reserve(maxWarningLen),
                                            verdict, diagnostic);
        if (diagnostic->warning != nullptr) {
            end = appendWarningName(end, diagnostic->warning);
        }
        line_.commit(appendText(end, "\n"));
        line_.write();
    }

    // The piece of the line, at most viewWidth bytes of it around `column`
    // (zero-based in the piece), and a caret under that column.
    void printSource(const Verdict *verdict, size_t column)
    {
        size_t len = verdict->textLen;
        size_t start = 0;
        if (column > viewLead && len > viewWidth) {
            start = column - viewLead < len - viewWidth ? column - viewLead
                                                        : len - viewWidth;
        }
        size_t end = start + viewWidth < len ? start + viewWidth : len;
        Hidden hidden = findPassword(verdict->text, len);

        char number[maxNumberLen];
        size_t digits = static_cast<size_t>(
            appendNumber(number, verdict->lineNum) - number);
        size_t width = digits > gutterWidth ? digits : gutterWidth;

        line_.clear();
        char *out = line_.reserve(width + viewWidth + 16);
        memset(out, ' ', width - digits);
        out = appendText(out + width - digits, {number, digits});
        out = appendText(out, " | ");
        if (start > 0) {
            out = appendText(out, "...");
        }
        for (size_t k = start; k < end; k++) {
            bool isHidden = k >= hidden.start && k < hidden.end;
            *out++ = isHidden ? '*' : shownByte(verdict->text[k]);
        }
        if (end < len) {
            out = appendText(out, "...");
        }
        line_.commit(appendText(out, "\n"));

        size_t caret = column - start + (start > 0 ? 3 : 0);
        out = line_.reserve(width + caret + 3);
        memset(out, ' ', width);
        out = appendText(out + width, " | ");
        memset(out, ' ', caret);
        line_.commit(out + caret);
        startColor(colorCaret);
        line_.append("^");
        endColor();
        line_.append("\n");
        line_.write();
    }

    bool quiet_ = false;
    bool color_ = false;
    const char *name_ = "";
    bool fileFailed_ = false;
    long long errors_ = 0;
    long long warnings_ = 0;
    long long filesChecked_ = 0;
    LineBuffer line_;
};

TtyFormat ttyFormat;

} // namespace

Reporter *makeTtyFormat(const OutputOptions *options)
{
    ttyFormat.setUp(options);
    return &ttyFormat;
}
