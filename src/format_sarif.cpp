// The sarif format: one SARIF 2.1.0 log for the whole run, written as the run
// goes: the tool and its rules (every check, errors and warnings) first, then
// each result as it is found, then the invocation, which tells whether every
// file could be read. Only the files that could not be are remembered.
#include "allocate.h"
#include "format.h"
#include "report.h"

// Appends `text` as a relative URI reference: every byte but the unreserved
// characters of RFC 3986 and "/" percent-encoded, so that no name reads as a
// scheme ("a:b.conf") or holds a character a URI may not.
static void appendUri(LineBuffer *line, std::string_view text)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    line->append('"');
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                          c == '_' || c == '~' || c == '/';
        if (unreserved) {
            line->append(byte);
        } else {
            line->append('%');
            line->append(hexDigits[c >> 4]);
            line->append(hexDigits[c & 0xF]);
        }
    }
    line->append('"');
}

// A rule's short description: an error's message is a fixed text (up to the
// values it may carry); a warning's carries values, and its summary stands
// in.
static std::string_view ruleTitle(const CheckInfo *check)
{
    if (check->severity == Severity::warning) {
        return check->summary;
    }
    std::string_view title = headOf(check->message, check->message.find('{'));
    return headOf(title, title.find_last_not_of(' ') + 1);
}

// The column of the byte at `pos` of the physical line of `piece`, in the
// unit the log declares: the characters before it, plus one (a valid UTF-8
// sequence is a character, and so is each byte that is not part of one).
static size_t characterColumn(const SourcePiece &piece, size_t pos)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(piece.text);
    return countChars(historyOf(piece).charsBefore, bytes, piece.len,
                      pos - piece.offset) +
           1;
}

// Appends the level of a check's severity.
static void appendLevel(LineBuffer *line, const CheckInfo *check)
{
    line->append(check->severity == Severity::error ? "\"error\""
                                                    : "\"warning\"");
}

namespace
{

// A file that could not be opened or read.
struct FailedFile {
    const char *name; // the argument itself, which lives for the whole run
    FileStatus status;
    int errorNumber;
};

class SarifFormat : public Reporter
{
  public:
    void startRun(const char * /*programName*/) override
    {
        line_.clear();
        line_.append(
            "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\","
            "\"version\":\"2.1.0\",\"runs\":[{\"tool\":{\"driver\":{"
            "\"name\":\"iscsi-config-check\",\"version\":\"" ICC_VERSION
            "\",\"semanticVersion\":\"" ICC_VERSION "\",\"rules\":[\n");
        for (const CheckInfo &check : checkTable) {
            line_.append("{\"id\":");
            appendJsonString(&line_, check.name);
            line_.append(",\"shortDescription\":{\"text\":");
            appendJsonString(&line_, ruleTitle(&check));
            line_.append("},\"fullDescription\":{\"text\":");
            appendJsonString(&line_, check.summary);
            line_.append("},\"help\":{\"text\":");
            appendJsonString(&line_, check.explanation);
            line_.append("},\"defaultConfiguration\":{\"level\":");
            appendLevel(&line_, &check);
            line_.append(&check == &checkTable[checkCount - 1] ? "}}\n"
                                                               : "}},\n");
        }
        line_.append("]}},\"columnKind\":\"unicodeCodePoints\",\"results\":[");
        line_.write(setup_.out);
        started_ = true;
    }

    void startFile(const char *name) override
    {
        uri_.clear();
        appendUri(&uri_, name);
    }

    void reportFileFailure(const char *name, FileStatus status,
                           int errorNumber) override
    {
        Reporter::reportFileFailure(name, status, errorNumber);
        if (failedCount_ == failedCapacity_) {
            failedCapacity_ = failedCapacity_ == 0 ? 16 : failedCapacity_ * 2;
            failed_ = static_cast<FailedFile *>(
                allocateOrAbort(failed_, failedCapacity_ * sizeof(FailedFile)));
        }
        failed_[failedCount_++] = {name, status, errorNumber};
    }

    void abandonRun() override
    {
        if (started_ && !outputFailed(setup_.out)) {
            (void)fputs("\n],\"invocations\":[{\"executionSuccessful\":false,"
                        "\"toolExecutionNotifications\":[{\"level\":\"error\","
                        "\"message\":{\"text\":\"out of memory\"}}]}]}]}\n",
                        setup_.out);
        }
    }

    void endRun() override
    {
        line_.clear();
        line_.append(
            failedCount_ == 0
                ? "\n],\"invocations\":[{\"executionSuccessful\":true,"
                : "\n],\"invocations\":[{\"executionSuccessful\":false,");
        line_.append("\"toolExecutionNotifications\":[");
        for (size_t k = 0; k < failedCount_; k++) {
            const FailedFile *file = &failed_[k];
            line_.append(k == 0 ? "\n" : ",\n");
            line_.append("{\"level\":\"error\",\"message\":{\"text\":");
            text_.clear();
            text_.append(failureText(file->status));
            text_.append(' ');
            text_.append(file->name);
            if (file->errorNumber != 0) {
                text_.append(": ");
                text_.append(strerror(file->errorNumber));
            }
            appendJsonString(&line_, text_.view());
            line_.append("},\"locations\":[{\"physicalLocation\":{"
                         "\"artifactLocation\":{\"uri\":");
            appendUri(&line_, file->name);
            line_.append("}}}]}");
        }
        line_.append("]}]}]}\n");
        line_.write(setup_.out);
    }

  protected:
    void reset() override
    {
        firstResult_ = true;
        started_ = false;
        failedCount_ = 0;
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        line_.clear();
        line_.append(firstResult_ ? "\n{\"ruleId\":\"" : ",\n{\"ruleId\":\"");
        firstResult_ = false;
        line_.append(diagnostic.check->name);
        line_.append("\",\"ruleIndex\":");
        line_.appendNumber(tableIndex(diagnostic.check));
        line_.append(",\"level\":");
        appendLevel(&line_, diagnostic.check);
        line_.append(",\"message\":{\"text\":");
        appendJsonString(&line_, diagnostic.message);
        line_.append("},\"locations\":[{\"physicalLocation\":{"
                     "\"artifactLocation\":{\"uri\":");
        line_.append(uri_.view());
        line_.append("},\"region\":{\"startLine\":");
        line_.appendNumber(diagnostic.lineNum);
        line_.append(",\"startColumn\":");
        line_.appendNumber(characterColumn(*diagnostic.source, diagnostic.pos));
        line_.append("}}}]}");
        line_.write(setup_.out);
    }

  private:
    LineBuffer line_;
    LineBuffer text_;
    LineBuffer uri_; // the current file's, encoded and quoted
    bool firstResult_ = true;
    bool started_ = false; // the log's opening is written
    FailedFile *failed_ = nullptr;
    size_t failedCount_ = 0;
    size_t failedCapacity_ = 0;
};

SarifFormat sarifFormat;

} // namespace

Reporter *makeSarifFormat(const ReporterSetup &setup)
{
    return sarifFormat.setUp(setup);
}
