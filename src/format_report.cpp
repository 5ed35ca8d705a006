// The report format: a banner, then for every statement its report or its
// diagnostic ("line N, pos P, MESSAGE " or "line N: MESSAGE"), each warning
// after its line's outcome; with several files, a header before the first
// line of each file.
#include "format.h"
#include "report.h"

// What a masked password is printed as, whatever its length, so that
// neither the password nor its length shows.
static const std::string_view passwordMask = "********";

namespace
{

class ReportFormat : public Reporter
{
  public:
    void startRun(const char *programName) override
    {
        if (!setup_.quiet) {
            line_.clear();
            appendUntrusted(&line_, programName, setup_.outIsTerminal);
            line_.append("....\n");
            line_.write(setup_.out);
        }
    }

    // The failure's text as it has always been, without the reason: scripts
    // match it.
    void reportFileFailure(const char *name, FileStatus status,
                           int /*errorNumber*/) override
    {
        Reporter::reportFileFailure(name, status, 0);
    }

    void startFile(const char *name) override
    {
        pendingHeader_ = setup_.fileCount > 1 ? name : nullptr;
    }

    // The values, then the line from the login-parameters field to its end;
    // masked, the field with its password replaced and nothing after it,
    // since the rest of the line may hold the rest of a password that
    // contained a blank.
    void reportTarget(const Target &target) override
    {
        if (setup_.quiet) {
            return;
        }
        startHeader();
        // The text's parts, four numbers and the address.
        char *out = line_.reserve(128 + 5 * maxNumberLen + target.rest.size());
        out = put(out, "line ");
        out = putNumber(out, target.lineNum);
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
            // A sound field holds its comma; the password runs to its end.
            size_t kept = target.loginParams.find(',') + 1;
            out = put(out, headOf(target.loginParams, kept));
            if (kept < target.loginParams.size()) {
                out = put(out, passwordMask);
            }
        } else if (!setup_.outIsTerminal) {
            out = put(out, target.rest);
        } else {
            line_.commit(out);
            appendShownOnTerminal(&line_, target.rest);
            out = line_.reserve(2);
        }
        line_.commit(put(out, " \n"));
        line_.write(setup_.out);
    }

    void endFile() override
    {
        pendingHeader_ = nullptr;
    }

  protected:
    void reset() override
    {
        pendingHeader_ = nullptr;
    }

    // "line N, pos P, MESSAGE \n" for a statement fault, "line N: MESSAGE\n"
    // for a login-parameter fault, "line N, pos P, warning: MESSAGE
    // [-WNAME]\n" for a warning.
    void emitDiagnostic(const Diagnostic &diagnostic) override
    {
        const CheckInfo *check = diagnostic.check;
        startHeader();
        // The text's parts and two numbers.
        char *out =
            line_.reserve(64 + 2 * maxNumberLen + diagnostic.message.size() +
                          check->name.size());
        out = putNumber(put(out, "line "), diagnostic.lineNum);
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
        line_.commit(out);
        line_.write(setup_.out);
    }

  private:
    // Prints the file's header if it is still due, and clears the line.
    void startHeader()
    {
        if (pendingHeader_ != nullptr) {
            line_.clear();
            line_.append("==> ");
            appendUntrusted(&line_, pendingHeader_, setup_.outIsTerminal);
            line_.append(" <==\n");
            line_.write(setup_.out);
            pendingHeader_ = nullptr;
        }
        line_.clear();
    }

    LineBuffer line_;
    // The name of the current file, until its header has been printed.
    const char *pendingHeader_ = nullptr;
};

ReportFormat reportFormat;

} // namespace

Reporter *makeReportFormat(const ReporterSetup &setup)
{
    return reportFormat.setUp(setup);
}
