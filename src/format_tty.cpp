// The tty format, for a person at a terminal: each diagnostic as the gcc
// format prints it, then the piece of the line it is about with a caret under
// its column, and at the end a count of errors, warnings and files. Reports of
// sound statements are left out, and passwords are never shown.
#include "format.h"
#include "report.h"

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

static Hidden findPassword(std::string_view text)
{
    size_t keyword = text.find({loginKeyword, loginKeywordLen});
    if (keyword == std::string_view::npos) {
        return {0, 0};
    }
    size_t comma = text.find(',', keyword + loginKeywordLen);
    if (comma == std::string_view::npos) {
        return {0, 0};
    }
    size_t end = text.find_first_of(" \t", comma + 1);
    return {comma + 1, end == std::string_view::npos ? text.size() : end};
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
    void startFile(const char *name) override
    {
        name_ = name;
        fileFailed_ = false;
    }

    void reportFileFailure(const char *name, FileStatus status) override
    {
        Reporter::reportFileFailure(name, status);
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
        if (setup_.quiet) {
            return;
        }
        line_.clear();
        appendCount(errorCount(), " error", ", ");
        appendCount(warningCount(), " warning", ", ");
        appendCount(filesChecked_, " file", " checked\n");
        line_.write(setup_.out);
    }

  protected:
    void reset() override
    {
        filesChecked_ = 0;
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        bool isError = diagnostic.check->severity == Severity::error;
        line_.clear();
        startColor(colorLocation);
        line_.append(name_);
        line_.append(':');
        line_.appendNumber(diagnostic.lineNum);
        line_.append(':');
        line_.appendNumber(diagnostic.pos + 1);
        line_.append(':');
        endColor();
        line_.append(' ');
        startColor(isError ? colorError : colorWarning);
        line_.append(isError ? "error: " : "warning: ");
        endColor();
        line_.append(diagnostic.message);
        if (!isError) {
            line_.append(" [-W");
            line_.append(diagnostic.check->name);
            line_.append(']');
        }
        line_.append('\n');
        appendSource(diagnostic.source,
                     diagnostic.pos - diagnostic.sourceOffset,
                     diagnostic.lineNum);
        line_.write(setup_.out);
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
        if (setup_.color) {
            line_.append(color);
        }
    }

    void endColor()
    {
        if (setup_.color) {
            line_.append(colorEnd);
        }
    }

    // The piece of the line, at most viewWidth bytes of it around `column`
    // (zero-based in the piece), and a caret under that column.
    void appendSource(std::string_view text, size_t column, long long lineNum)
    {
        size_t len = text.size();
        size_t start = 0;
        if (column > viewLead && len > viewWidth) {
            start = column - viewLead < len - viewWidth ? column - viewLead
                                                        : len - viewWidth;
        }
        size_t end = start + viewWidth < len ? start + viewWidth : len;
        Hidden hidden = findPassword(text);

        size_t digits = 1;
        for (long long n = lineNum; n >= 10; n /= 10) {
            digits++;
        }
        size_t width = digits > gutterWidth ? digits : gutterWidth;
        line_.appendRepeated(' ', width - digits);
        line_.appendNumber(lineNum);
        line_.append(" | ");
        if (start > 0) {
            line_.append("...");
        }
        for (size_t k = start; k < end; k++) {
            bool isHidden = k >= hidden.start && k < hidden.end;
            line_.append(isHidden ? '*' : shownByte(text[k]));
        }
        if (end < len) {
            line_.append("...");
        }
        line_.append('\n');

        line_.appendRepeated(' ', width);
        line_.append(" | ");
        line_.appendRepeated(' ', column - start + (start > 0 ? 3 : 0));
        startColor(colorCaret);
        line_.append('^');
        endColor();
        line_.append('\n');
    }

    const char *name_ = "";
    bool fileFailed_ = false;
    long long filesChecked_ = 0;
    LineBuffer line_;
};

TtyFormat ttyFormat;

} // namespace

Reporter *makeTtyFormat(const ReporterSetup &setup)
{
    return ttyFormat.setUp(setup);
}
