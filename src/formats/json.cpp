// The JSON format: JSON Lines, one object per line in the order the report
// format prints its lines. A diagnostic gives its file, line, column,
// severity, check and message, then its notes and whether --fix mends its
// cause, where it has them; a sound statement its file, line, address,
// port, connections and initiator, never its password.
#include "formats/emitter.h"

namespace
{

class JsonFormat : public Emitter
{
  public:
    // The line reserved once and filled without a check per piece. A sound
    // identifier holds only letters, digits, ".", "-" and "_", which a JSON
    // string holds as they are: it is copied without the escaping.
    void emitTarget(const Target &target) override
    {
        if (setup_.quiet) {
            return;
        }
        std::string_view prefix = prefix_.view();
        char *out = line_.reserveLine(streams_.out,
                                      96 + 3 * maxNumberLen + prefix.size() +
                                          target.identifier.size());
        out = lineNumber_.put(put(out, prefix), target.lineNum);
        out = putAddress(put(out, ",\"address\":\""), target.addr);
        out = putNumber(put(out, "\",\"port\":"), target.port);
        out = putNumber(put(out, ",\"connections\":"), target.nConnections);
        out = put(put(out, ",\"initiator\":\""), target.identifier);
        line_.send(streams_.out, put(out, "\"}\n"));
    }

    // A record of the file that could not be read, besides the message on
    // standard error: a dashboard that reads only the records sees it.
    void emitFileFailure(FileStatus status, int errorNumber) override
    {
        line_.clear();
        line_.append("{\"file\":");
        line_.append(name_.shown);
        line_.append(",\"severity\":\"error\",\"check\":\"");
        line_.append(failureCheck(status));
        line_.append("\",\"message\":");
        text_.clear();
        appendFailureMessage(&text_, status, errorNumber);
        appendJsonString(&line_, text_.view());
        line_.append("}\n");
        line_.write(streams_.out);
        tellFileFailure(status, errorNumber);
    }

  protected:
    // Each check's words before the message, ',"severity":"error","check":
    // "NAME","message":', written once per run.
    void reset() override
    {
        words_.write([](const CheckInfo &check, LineBuffer *before,
                        LineBuffer * /*after*/) {
            before->append(",\"severity\":\"");
            before->append(severityName(check.severity));
            before->append("\",\"check\":\"");
            before->append(check.name);
            before->append("\",\"message\":");
        });
    }

    // Every line of the file begins alike: built once.
    void startFile() override
    {
        prefix_.clear();
        prefix_.append("{\"file\":");
        prefix_.append(name_.shown);
        prefix_.append(",\"line\":");
    }

    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        std::string_view prefix = prefix_.view();
        std::string_view words = words_.before(diagnostic.check);
        line_.clear();
        char *out =
            line_.reserve(16 + 2 * maxNumberLen + prefix.size() + words.size());
        out = lineNumber_.put(put(out, prefix), diagnostic.lineNum);
        out = putNumber(put(out, ",\"column\":"), diagnostic.pos + 1);
        line_.commit(put(out, words));
        appendJsonString(&line_, diagnostic.message);
        for (size_t k = 0; k < diagnostic.noteCount; k++) {
            line_.append(k == 0 ? ",\"notes\":[" : ",");
            line_.append(jsonNoteText(diagnostic.notes[k]));
        }
        if (diagnostic.noteCount > 0) {
            line_.append(']');
        }
        if (diagnostic.fixable) {
            line_.append(",\"fixable\":true");
        }
        line_.append("}\n");
        line_.write(streams_.out);
    }

  private:
    LineBuffer prefix_;
    LineBuffer line_;
    CheckWords words_;
    LineBuffer text_;
};

JsonFormat jsonFormat;

} // namespace

Emitter *jsonEmitter()
{
    return &jsonFormat;
}
