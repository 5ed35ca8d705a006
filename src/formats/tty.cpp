// The tty format, for a person at a terminal: each diagnostic as the gcc
// format prints it, then the piece of the line it is about with a caret under
// its column, and at the end a count of errors, warnings and files. Reports of
// sound statements are left out, and neither passwords nor their lengths
// are ever shown.
#include "formats/emitter.h"

// The colours, as gcc writes them.
static const std::string_view colorLocation = "\033[01m\033[K";
static const std::string_view colorError = "\033[01;31m\033[K";
static const std::string_view colorWarning = "\033[01;35m\033[K";
static const std::string_view colorCaret = "\033[01;32m\033[K";
static const std::string_view colorNote = "\033[01;36m\033[K";
static const std::string_view colorEnd = "\033[m\033[K";

// Bytes of a line shown at most, and how many of them before the column.
static const size_t viewWidth = 80;
static const size_t viewLead = 40;

// Width of the line-number gutter at least.
static const size_t gutterWidth = 5;

namespace
{

class TtyFormat : public Emitter
{
  public:
    void emitFileFixed(std::string_view given, FixedInto into,
                       int flushError) override
    {
        Emitter::emitFileFixed(given, into, flushError);
        filesFixed_++;
    }

    // A file --fix could not mend is checked as it is after this.
    void emitFileFailure(FileStatus status, int errorNumber) override
    {
        tellFileFailure(status, errorNumber);
        fileFailed_ = true;
        if (status == FileStatus::notFixed) {
            filesNotFixed_++;
        } else {
            filesNotRead_++;
        }
    }

    void endFile() override
    {
        if (!fileFailed_) {
            filesChecked_++;
        }
    }

    // "E errors, W warnings, F files checked", each singular for 1, and
    // ", N files not read" when a file was not, and under --fix ", N files
    // fixed" and ", N files not fixed".
    void endRun() override
    {
        if (setup_.quiet) {
            return;
        }
        line_.clear();
        appendCount(errorCount(), " error", ", ");
        appendCount(warningCount(), " warning", ", ");
        appendCount(filesChecked_, " file", " checked");
        if (filesNotRead_ > 0) {
            line_.append(", ");
            appendCount(filesNotRead_, " file", " not read");
        }
        if (filesFixed_ > 0) {
            line_.append(", ");
            appendCount(filesFixed_, " file", " fixed");
        }
        if (filesNotFixed_ > 0) {
            line_.append(", ");
            appendCount(filesNotFixed_, " file", " not fixed");
        }
        line_.append('\n');
        line_.write(streams_.out);
    }

  protected:
    // Also each check's words around the message, "error: " in its colour
    // and " [NAME]\n" (" [-WNAME]\n" for a warning), written once per run.
    void reset() override
    {
        filesChecked_ = 0;
        filesNotRead_ = 0;
        filesNotFixed_ = 0;
        filesFixed_ = 0;
        words_.write([this](const CheckInfo &check, LineBuffer *before,
                            LineBuffer *after) {
            bool isError = check.severity == Severity::error;
            std::string_view color = isError ? colorError : colorWarning;
            before->append(setup_.color ? color : std::string_view());
            before->append(severityName(check.severity));
            before->append(": ");
            before->append(setup_.color ? colorEnd : std::string_view());
            after->append(isError ? " [" : " [-W");
            after->append(check.name);
            after->append("]\n");
        });
    }

    void startFile() override
    {
        fileFailed_ = false;
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {

        line_.clear();
        appendLocation(diagnostic.lineNum, diagnostic.pos);
        line_.append(words_.before(diagnostic.check));
        line_.append(diagnostic.message);
        line_.append(words_.after(diagnostic.check));
        if (!diagnostic.wholeFile) {
            appendExcerpt(diagnostic.excerpt, diagnostic.excerptColumn,
                          diagnostic.lineNum);
        }
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            appendLocation(diagnostic.lineNum, diagnostic.notes[k].pos);
            startColor(colorNote);
            line_.append("note:");
            endColor();
            line_.append(' ');
            line_.append(diagnostic.notes[k].text);
            line_.append('\n');
        }
        line_.write(streams_.out);
    }

  private:
    // "FILE:LINE:COLUMN: ", in bold with colour.
    void appendLocation(long long lineNum, size_t pos)
    {
        startColor(colorLocation);
        line_.append(name_.shown);
        line_.append(':');
        line_.appendNumber(lineNum);
        line_.append(':');
        line_.appendNumber(pos + 1);
        line_.append(':');
        endColor();
        line_.append(' ');
    }

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

    // The excerpt of the line, at most viewWidth bytes of it around
    // `column`, and a caret under that column.
    void appendExcerpt(std::string_view text, size_t column, long long lineNum)
    {
        size_t len = text.size();
        size_t start = 0;
        if (column > viewLead && len > viewWidth) {
            start = column - viewLead < len - viewWidth ? column - viewLead
                                                        : len - viewWidth;
        }
        size_t end = start + viewWidth < len ? start + viewWidth : len;

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
        line_.append(headOf(tailOf(text, start), end - start));
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

    bool fileFailed_ = false;
    long long filesChecked_ = 0;
    long long filesNotRead_ = 0;
    long long filesNotFixed_ = 0;
    long long filesFixed_ = 0;
    LineBuffer line_;
    CheckWords words_;
};

TtyFormat ttyFormat;

} // namespace

Emitter *ttyEmitter()
{
    return &ttyFormat;
}
