// The report format: a banner, then for every statement its report or its
// diagnostic ("line N, pos P, MESSAGE " or "line N: MESSAGE"), each warning
// after its line's outcome; with several files, a header before the first
// line of each file.
#include "formats/emitter.h"

// What a masked password is printed as, whatever its length, so that
// neither the password nor its length shows.
static const std::string_view passwordMask = "********";

namespace
{

class ReportFormat : public Emitter
{
  public:
    void startRun(std::string_view programName) override
    {
        if (!setup_.quiet) {
            line_.clear();
            line_.append(programName);
            line_.append("....\n");
            line_.write(streams_.out);
        }
    }

    // The failure's text as it has always been, without the reason: scripts
    // match it. --fix's refusals are new, and say why.
    void emitFileFailure(FileStatus status, int errorNumber) override
    {
        tellFileFailure(status,
                        status == FileStatus::notFixed ? errorNumber : 0);
    }

    // The values, then the line from the login-parameters field to its end;
    // masked, the field with its password replaced and nothing after it,
    // since the rest of the line may hold the rest of a password that
    // contained a blank.
    void emitTarget(const Target &target) override
    {
        if (setup_.quiet) {
            return;
        }
        startHeader();
        // The text's parts, four numbers and the address.
        char *out = line_.reserveLine(streams_.out, 128 + 5 * maxNumberLen +
                                                        target.rest.size());
        out = put(out, "line ");
        out = lineNumber_.put(out, target.lineNum);
        out = put(out, ", nConnections = ");
        out = putNumber(out, target.nConnections);
        out = put(out, ", target addr = ");
        out = putAddress(out, target.addr);
        out = put(out, ", portNum = ");
        out = putNumber(out, target.port);
        out = put(out, ", loginParamsLen = ");
        out = putNumber(out, target.loginParams.size());
        out = put(out, ", loginParams = ");
        if (setup_.maskPasswords) {
            // The keyword, the identifier and the comma; the password runs
            // to the field's end.
            size_t kept = static_cast<size_t>(target.identifier.data() -
                                              target.loginParams.data()) +
                          target.identifier.size() + 1;
            out = put(out, headOf(target.loginParams, kept));
            if (kept < target.loginParams.size()) {
                out = put(out, passwordMask);
            }
        } else {
            out = put(out, target.rest);
        }
        line_.send(streams_.out, put(out, " \n"));
    }

    void endFile() override
    {
        headerDue_ = false;
    }

  protected:
    void reset() override
    {
        headerDue_ = false;
    }

    void startFile() override
    {
        headerDue_ = setup_.fileCount > 1;
    }

    // "line N, pos P, MESSAGE \n" for a statement fault, "line N: MESSAGE\n"
    // for a login-parameter fault, "line N, pos P, warning: MESSAGE
    // [-WNAME]\n" for a warning.
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        const CheckInfo *check = diagnostic.check;
        startHeader();
        // The text's parts and two numbers.
        char *out = line_.reserveLine(
            streams_.out, 64 + 2 * maxNumberLen + diagnostic.message.size() +
                              check->name.size());
        out = lineNumber_.put(put(out, "line "), diagnostic.lineNum);
        if (!check->positioned) {
            out = put(put(put(out, ": "), diagnostic.message), "\n");
        } else if (check->severity == Severity::error) {
            out = putNumber(put(out, ", pos "), diagnostic.pos);
            out = put(put(put(out, ", "), diagnostic.message), " \n");
        } else {
            out = putNumber(put(out, ", pos "), diagnostic.pos);
            out = put(put(put(out, ", warning: "), diagnostic.message), " [-W");
            out = put(put(out, check->name), "]\n");
        }
        line_.send(streams_.out, out);
    }

  private:
    // Prints the file's header if it is still due.
    void startHeader()
    {
        if (headerDue_) {
            line_.clear();
            line_.append("==> ");
            line_.append(name_.shown);
            line_.append(" <==\n");
            line_.write(streams_.out);
            headerDue_ = false;
        }
    }

    LineBuffer line_;
    bool headerDue_ = false; // the current file's header is not printed yet
};

ReportFormat reportFormat;

} // namespace

Emitter *reportEmitter()
{
    return &reportFormat;
}
