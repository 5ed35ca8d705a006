// The interface every output format implements: the events of a whole run
// around those of each file, which the diagnostic step hands on. A format
// lays out what it is given; the names, the excerpts and the columns come
// finished and safe for the stream they go to.
#ifndef ISCSI_CONFIG_CHECK_FORMATS_EMITTER_H
#define ISCSI_CONFIG_CHECK_FORMATS_EMITTER_H

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "diagnose/diagnostic.h"

// What every format is given when it is set up for a run.
struct EmitterSetup {
    bool quiet = false;         // no banner and no reports
    bool maskPasswords = false; // passwords in reports replaced by a mask
    bool color = false;         // the tty format colours its output
    size_t fileCount = 1;       // files the run checks
    ConsumerStreams streams;
};

// The events of one run, in this order: startRun; for each file the
// consumer's events (beginFile to endFile); endRun. Each format overrides
// what it prints.
class Emitter : public DiagnosticConsumer
{
  public:
    // Sets the emitter up for a run, its own state included, with the needs
    // its format declares; the format table calls it.
    Emitter *setUp(const EmitterSetup &setup, const ConsumerNeeds &needs)
    {
        setup_ = setup;
        // Nothing of a sound statement shows under -q.
        ConsumerNeeds shown = needs;
        shown.targets = needs.targets && !setup.quiet;
        setUpConsumer(setup.streams, shown);
        reset();
        return this;
    }

    // Starts the run of the program started under `programName`.
    void beginRun(std::string_view programName);
    virtual void endRun()
    {
    }
    // The run ends at once, for want of memory: a format whose output is
    // one document closes it, without allocating, so that it stays valid.
    virtual void abandonRun()
    {
    }
    // A file rewritten in place is told on the error stream in every
    // format, but for -q.
    void emitFileFixed(std::string_view given, FixedInto into,
                       int flushError) override
    {
        if (into == FixedInto::place && !setup_.quiet) {
            tellFileFixed(given, flushError);
        }
    }

  protected:
    Emitter() = default;
    ~Emitter() = default;
    // Sets the format's own state up for a run.
    virtual void reset()
    {
    }
    // The run starts; `programName` as the output may show it.
    virtual void startRun(std::string_view /*programName*/)
    {
    }

    EmitterSetup setup_;
    // The line numbers written, one line after another.
    CountedDecimal lineNumber_;
};

// Each check's fixed words in a format's lines, written once a run rather
// than piece by piece for every diagnostic: those before the part that
// varies (the message, or the file's name), and those after it.
class CheckWords
{
  public:
    // Writes them anew: `write(check, before, after)` for every check.
    template <typename Write> void write(Write write)
    {
        for (size_t k = 0; k < checkCount; k++) {
            before_[k].clear();
            after_[k].clear();
            write(checkTable[k], &before_[k], &after_[k]);
        }
    }
    std::string_view before(const CheckInfo *check) const
    {
        return before_[tableIndex(check)].view();
    }
    std::string_view after(const CheckInfo *check) const
    {
        return after_[tableIndex(check)].view();
    }

  private:
    LineBuffer before_[checkCount];
    LineBuffer after_[checkCount];
};

// The text of `note` as a JSON string, quotes included, and escaped as a
// workflow command's message: each escaped once per run, since every note
// of a kind says one of the same two texts.
std::string_view jsonNoteText(const Note &note);
std::string_view commandNoteText(const Note &note);

#endif
