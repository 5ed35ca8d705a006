// The github format: one workflow annotation per diagnostic,
// "::error file=F,line=N,col=C,title=NAME::MESSAGE" ("::warning" for a
// warning), which CI systems show inline. Nothing else is printed.
#include "format.h"

// Appends `text` escaped as the annotation format asks: "%", carriage return
// and newline always, and in a property's value also ":" and ",".
static void appendEscaped(LineBuffer *line, std::string_view text,
                          bool property)
{
    char *out = line->reserve(text.size() * 3);
    for (char c : text) {
        if (c == '%') {
            out = appendText(out, "%25");
        } else if (c == '\r') {
            out = appendText(out, "%0D");
        } else if (c == '\n') {
            out = appendText(out, "%0A");
        } else if (property && c == ':') {
            out = appendText(out, "%3A");
        } else if (property && c == ',') {
            out = appendText(out, "%2C");
        } else {
            *out++ = c;
        }
    }
    line->commit(out);
}

namespace
{

class GithubFormat : public Reporter
{
  public:
    void startFile(const char *name) override
    {
        file_.clear();
        appendEscaped(&file_, name, true);
    }

    void reportVerdict(const Verdict *verdict) override
    {
        Diagnostic diagnostics[maxLineWarnings + 1];
        size_t count = listDiagnostics(verdict, diagnostics);
        for (size_t k = 0; k < count; k++) {
            const Diagnostic *diagnostic = &diagnostics[k];
            line_.clear();
            line_.append(diagnostic->isWarning ? "::warning file="
                                               : "::error file=");
            line_.append({file_.data(), file_.size()});
            char *out = appendText(line_.reserve(maxWarningLen), ",line=");
            out = appendNumber(out, verdict->lineNum);
            out = appendText(out, ",col=");
            out = appendNumber(out, diagnostic->pos + 1);
            out = appendText(out, ",title=");
            out = appendText(out, diagnostic->name);
            line_.commit(appendText(out, "::"));
            char message[maxWarningLen];
            char *end = appendDiagnosticMessage(message, verdict, diagnostic);
            appendEscaped(&line_, {message, static_cast<size_t>(end - message)},
                          false);
            line_.append("\n");
            line_.write();
        }
    }

  private:
    LineBuffer file_; // the file's name, escaped
    LineBuffer line_;
};

GithubFormat githubFormat;

} // namespace

Reporter *makeGithubFormat()
{
    return &githubFormat;
}
