// The sarif format: one SARIF 2.1.0 log for the whole run, written as the run
// goes: the tool and its rules (every check, errors and warnings) first, then
// each result as it is found, then the invocation, which tells whether every
// file could be read. Only the files that could not be are remembered.
#include "formats/emitter.h"
#include "support/allocate.h"

// A rule's short description: an error's report message is a fixed text
// (up to the values it may carry); a warning's carries values, and its
// summary stands in.
static std::string_view ruleTitle(const CheckInfo *check)
{
    if (check->severity == Severity::warning) {
        return check->summary;
    }
    std::string_view title =
        headOf(check->reportMessage, check->reportMessage.find('{'));
    return headOf(title, title.find_last_not_of(' ') + 1);
}

// Appends the level of a check's severity.
static void appendLevel(LineBuffer *line, const CheckInfo *check)
{
    line->append('"');
    line->append(severityName(check->severity));
    line->append('"');
}

namespace
{

// A file that could not be opened or read.
struct FailedFile {
    std::string_view name; // the argument itself, which lives for the run
    FileStatus status;
    int errorNumber;
};

class SarifFormat : public Emitter
{
  public:
    void startRun(std::string_view /*programName*/) override
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
            text_.clear();
            text_.append(check.explanation);
            if (check.fix != nullptr) {
                text_.append(' ');
                text_.append(check.fix);
                LineBuffer *fix = &fixTexts_[tableIndex(&check)];
                fix->clear();
                appendJsonString(fix, check.fix);
            }
            appendJsonString(&line_, text_.view());
            line_.append("},\"defaultConfiguration\":{\"level\":");
            appendLevel(&line_, &check);
            line_.append(&check == &checkTable[checkCount - 1] ? "}}\n"
                                                               : "}},\n");
        }
        line_.append("]}},\"columnKind\":\"unicodeCodePoints\",\"results\":[");
        line_.write(streams_.out);
        started_ = true;
    }

    void emitFileFailure(FileStatus status, int errorNumber) override
    {
        tellFileFailure(status, errorNumber);
        if (failedCount_ == failedCapacity_) {
            failedCapacity_ = failedCapacity_ == 0 ? 16 : failedCapacity_ * 2;
            failed_ = static_cast<FailedFile *>(
                allocateOrAbort(failed_, failedCapacity_ * sizeof(FailedFile)));
        }
        failed_[failedCount_++] = {name_.given, status, errorNumber};
    }

    void abandonRun() override
    {
        if (started_ && !outputFailed(streams_.out)) {
            writeOutput(streams_.out,
                        "\n],\"invocations\":[{\"executionSuccessful\":false,"
                        "\"toolExecutionNotifications\":[{\"level\":\"error\","
                        "\"message\":{\"text\":\"out of memory\"}}]}]}]}\n");
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
                text_.append(failureReason(file->errorNumber));
            }
            appendJsonString(&line_, text_.view());
            line_.append("},\"locations\":[{\"physicalLocation\":{"
                         "\"artifactLocation\":{\"uri\":");
            appendUriString(&line_, file->name);
            line_.append("}}}]}");
        }
        line_.append("]}]}]}\n");
        line_.write(streams_.out);
    }

  protected:
    // Each check's words before the message, written once per run:
    // '{"ruleId":"NAME","ruleIndex":N,"level":"LEVEL","message":{"text":'.
    void reset() override
    {
        firstResult_ = true;
        started_ = false;
        failedCount_ = 0;
        words_.write([](const CheckInfo &check, LineBuffer *before,
                        LineBuffer * /*after*/) {
            before->append("{\"ruleId\":\"");
            before->append(check.name);
            before->append("\",\"ruleIndex\":");
            before->appendNumber(tableIndex(&check));
            before->append(",\"level\":");
            appendLevel(before, &check);
            before->append(",\"message\":{\"text\":");
        });
    }

    // A location in the file, up to its line's number, built once a file:
    // '{"physicalLocation":{"artifactLocation":{"uri":NAME},"region":
    // {"startLine":'.
    void startFile() override
    {
        place_.clear();
        place_.append("{\"physicalLocation\":{\"artifactLocation\":{"
                      "\"uri\":");
        place_.append(name_.shown);
        place_.append("},\"region\":{\"startLine\":");
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        std::string_view words = words_.before(diagnostic.check);
        std::string_view place = place_.view();
        line_.clear();
        line_.append(firstResult_ ? "\n" : ",\n");
        firstResult_ = false;
        line_.append(words);
        appendJsonString(&line_, diagnostic.message);
        char *out = line_.reserve(64 + 2 * maxNumberLen + place.size());
        out = put(put(out, "},\"locations\":["), place);
        out = lineNumber_.put(out, diagnostic.lineNum);
        out = putNumber(put(out, ",\"startColumn\":"), diagnostic.charColumn);
        line_.commit(put(out, "}}}]"));
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            const Note &note = diagnostic.notes[k];
            std::string_view text = jsonNoteText(note);
            out = line_.reserve(96 + 3 * maxNumberLen + place.size() +
                                text.size());
            out = put(out, k == 0 ? ",\"relatedLocations\":[" : ",");
            out = putNumber(put(out, "{\"id\":"), k + 1);
            out = put(out, ",");
            out = put(out, tailOf(place, 1)); // without its "{"
            out = lineNumber_.put(out, diagnostic.lineNum);
            out = putNumber(put(out, ",\"startColumn\":"), note.charColumn);
            out = put(put(out, "}},\"message\":{\"text\":"), text);
            line_.commit(put(out, "}}"));
        }
        if (diagnostic.noteCount > 0) {
            line_.append(']');
        }
        if (diagnostic.editCount > 0) {
            appendFix(diagnostic);
        }
        line_.append('}');
        line_.write(streams_.out);
    }

  private:
    // The result's fix: what --fix does for its check, and the deletions.
    void appendFix(const Diagnostic &diagnostic)
    {
        std::string_view fix = fixTexts_[tableIndex(diagnostic.check)].view();
        char *out = line_.reserve(96 + fix.size() + name_.shown.size());
        out = put(put(out, ",\"fixes\":[{\"description\":{\"text\":"), fix);
        out = put(out, "},\"artifactChanges\":[{\"artifactLocation\":{"
                       "\"uri\":");
        line_.commit(put(put(out, name_.shown), "},\"replacements\":["));
        for (size_t k = 0; k < diagnostic.editCount; k++) {
            const FixEdit &edit = diagnostic.edits[k];
            out = line_.reserve(80 + 3 * maxNumberLen);
            out = put(out, k == 0 ? "{\"deletedRegion\":{\"startLine\":"
                                  : ",{\"deletedRegion\":{\"startLine\":");
            out = lineNumber_.put(out, diagnostic.lineNum);
            out = putNumber(put(out, ",\"startColumn\":"), edit.startColumn);
            out = putNumber(put(out, ",\"endColumn\":"), edit.endColumn);
            line_.commit(put(out, "}}"));
        }
        line_.append("]}]}]");
    }

    LineBuffer line_;
    LineBuffer text_;
    LineBuffer fixTexts_[checkCount]; // each check's fix, as a JSON string
    CheckWords words_;
    LineBuffer place_;
    bool firstResult_ = true;
    bool started_ = false; // the log's opening is written
    FailedFile *failed_ = nullptr;
    size_t failedCount_ = 0;
    size_t failedCapacity_ = 0;
};

SarifFormat sarifFormat;

} // namespace

Emitter *sarifEmitter()
{
    return &sarifFormat;
}
