// The sarif format: one SARIF 2.1.0 log for the whole run, written as the run
// goes: the tool and its rules (every check, errors and warnings) first, then
// each result as it is found, then the invocation, which tells whether every
// file could be read. Only the files that could not be are remembered.
#include <cstdlib>

#include "format.h"

// Appends `text` as a relative URI reference: every byte but the unreserved
// characters of RFC 3986 and "/" percent-encoded, so that no name reads as a
// scheme ("a:b.conf") or holds a character a URI may not.
static void appendUri(LineBuffer *line, const char *text)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    size_t len = strlen(text);
    char *out = line->reserve(len * 3 + 2);
    *out++ = '"';
    for (size_t k = 0; k < len; k++) {
        auto c = static_cast<unsigned char>(text[k]);
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                          c == '_' || c == '~' || c == '/';
        if (unreserved) {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '%';
            *out++ = hexDigits[c >> 4];
            *out++ = hexDigits[c & 0xF];
        }
    }
    *out++ = '"';
    line->commit(out);
}

// Appends a string of ASCII text, as JSON.
static void appendString(LineBuffer *line, std::string_view text)
{
    appendJsonString(line, text.data(), text.size());
}

// Appends the rule of one check.
static void appendRule(LineBuffer *line, const char *id,
                       std::string_view shortText, const char *fullText,
                       bool isWarning)
{
    line->append("{\"id\":");
    appendString(line, id);
    line->append(",\"shortDescription\":{\"text\":");
    appendString(line, shortText);
    line->append("},\"fullDescription\":{\"text\":");
    appendString(line, fullText);
    line->append(isWarning
                     ? "},\"defaultConfiguration\":{\"level\":\"warning\"}}"
                     : "},\"defaultConfiguration\":{\"level\":\"error\"}}");
}

namespace
{

// A file that could not be opened or read.
struct FailedFile {
    const char *name; // the argument itself, which lives for the whole run
    int result;
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
        for (size_t k = 1; k < FAULT_KIND_COUNT; k++) {
            const FaultInfo *fault = faultInfo(static_cast<FaultKind>(k));
            // The message of a character in the address ends with the
            // code's leading 0.
            std::string_view message = fault->message;
            if (fault->kind == FAULT_ADDRESS_CHAR) {
                message.remove_suffix(2);
            }
            appendRule(&line_, fault->name, message, fault->summary, false);
            line_.append(",\n");
        }
        for (size_t k = 0; k < WARN_KIND_COUNT; k++) {
            const WarningInfo *warning =
                warningInfo(static_cast<WarningKind>(k));
            appendRule(&line_, warning->name, warning->summary,
                       warning->summary, true);
            line_.append(k + 1 < WARN_KIND_COUNT ? ",\n" : "\n");
        }
        line_.append("]}},\"columnKind\":\"unicodeCodePoints\",\"results\":[");
        line_.write();
        firstResult_ = true;
        failedCount_ = 0;
    }

    void startFile(const char *name) override
    {
        uri_.clear();
        appendUri(&uri_, name);
    }

    void reportVerdict(const Verdict *verdict) override
    {
        Diagnostic diagnostics[maxLineWarnings + 1];
        size_t count = listDiagnostics(verdict, diagnostics);
        for (size_t k = 0; k < count; k++) {
            printResult(verdict, &diagnostics[k]);
        }
    }

    void reportFileFailure(const char *name, int result) override
    {
        Reporter::reportFileFailure(name, result);
        if (failedCount_ == failedCapacity_) {
            failedCapacity_ = failedCapacity_ == 0 ? 16 : failedCapacity_ * 2;
            void *grown =
                realloc(failed_, failedCapacity_ * sizeof(FailedFile));
            // As operator new would. (Not in the tests.)
            if (grown == nullptr) {
                abort(); // GCOVR_EXCL_LINE
            }
            failed_ = static_cast<FailedFile *>(grown);
        }
        failed_[failedCount_++] = {name, result};
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
            bool opening = file->result == CONFIG_OPEN_FAILED;
            line_.append(k == 0 ? "\n" : ",\n");
            line_.append("{\"level\":\"error\",\"message\":{\"text\":");
            LineBuffer text;
            text.append(opening ? "failed to open file "
                                : "failed to read file ");
            text.append(file->name);
            appendJsonString(&line_, text.data(), text.size());
            line_.append("},\"locations\":[{\"physicalLocation\":{"
                         "\"artifactLocation\":{\"uri\":");
            appendUri(&line_, file->name);
            line_.append("}}}]}");
        }
        line_.append("]}]}]}\n");
        line_.write();
    }

  private:
    void printResult(const Verdict *verdict, const Diagnostic *diagnostic)
    {
        line_.clear();
        line_.append(firstResult_ ? "\n{\"ruleId\":\"" : ",\n{\"ruleId\":\"");
        firstResult_ = false;
        line_.append(diagnostic->name);
        line_.append("\",\"ruleIndex\":");
        line_.appendNumber(checkIndex(diagnostic));
        line_.append(diagnostic->isWarning ? ",\"level\":\"warning\""
                                           : ",\"level\":\"error\"");
        line_.append(",\"message\":{\"text\":");
        char message[maxWarningLen];
        char *end = appendDiagnosticMessage(message, verdict, diagnostic);
        appendJsonString(&line_, message, static_cast<size_t>(end - message));
        line_.append("},\"locations\":[{\"physicalLocation\":{"
                     "\"artifactLocation\":{\"uri\":");
        line_.append({uri_.data(), uri_.size()});
        line_.append("},\"region\":{\"startLine\":");
        line_.appendNumber(verdict->lineNum);
        line_.append(",\"startColumn\":");
        line_.appendNumber(diagnostic->pos + 1);
        line_.append("}}}]}");
        line_.write();
    }

    LineBuffer line_;
    LineBuffer uri_; // the current file's, encoded and quoted
    bool firstResult_ = true;
    FailedFile *failed_ = nullptr;
    size_t failedCount_ = 0;
    size_t failedCapacity_ = 0;
};

SarifFormat sarifFormat;

} // namespace

Reporter *makeSarifFormat()
{
    return &sarifFormat;
}
