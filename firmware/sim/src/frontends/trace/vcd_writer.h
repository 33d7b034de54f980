// A Value Change Dump (IEEE 1364) of 1-bit signals, and of real-valued
// ones (analogue levels), as GTKWave, PulseView and sigrok read it: a header
// naming the signals (the 1-bit ones in scope port0, the real ones in scope
// dac), their values at the start, then a timestamp (in nanoseconds) and
// the new values wherever something changed. Streamed: the file grows with the changes, memory
// stays at one buffer, and long idle stretches cost nothing. Written by
// the output-file rule (output_file.h): until finish() the target is
// untouched, and a failure leaves it so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontends/common/output_file.h"

namespace boardsim {

class VcdWriter {
public:
    struct Signal {
        std::string name;     // the variable's name: letters, digits, '_'
        std::string comment;  // a $comment about it in the header; empty for none
        // A second variable with the same values in the second scope (the
        // board's name for the signal); empty for none. A variable of its
        // own rather than one sharing the identifier: sigrok's VCD reader
        // gives a shared identifier's changes to its first variable only.
        std::string alias;
        bool real = false;    // a real-valued variable rather than a 1-bit one
    };

    // Makes the temporary file; throws OutputError. The signals go into the
    // scope `scope`, their aliases into `aliasScope`.
    VcdWriter(const std::string& path, std::vector<Signal> signals, std::string version, std::string scope = "port0",
              std::string aliasScope = "board");

    // The header and every signal's value at `timeNs`; once, first. A real
    // signal starts at 0 whatever its level says.
    void start(const std::vector<bool>& levels, uint64_t timeNs);
    // Signal `index` is `level` from `timeNs` on (no earlier than the last
    // change; a value it already has is left out). Never throws: a write
    // that fails is kept for finish(), and the rest is dropped.
    void change(size_t index, bool level, uint64_t timeNs);
    // The same for a real signal.
    void changeReal(size_t index, double value, uint64_t timeNs);
    // The trace ends at `timeNs`; the file is complete and in place.
    // Throws OutputError, also for a write that failed on the way.
    void finish(uint64_t timeNs);
    // Gives the file up: the target stays as it was.
    void abandon() { file_.abandon(); }

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    uint64_t changes() const { return changes_; }

private:
    static std::string code(size_t index);
    void value(size_t index, bool level);
    std::string scope(const std::string& name, bool real) const;
    void timestamp(uint64_t timeNs);
    void flush(bool always);

    OutputFile file_;
    std::vector<Signal> signals_;
    std::string version_;
    std::string scope_;
    std::string aliasScope_;
    std::vector<size_t> aliasCode_;  // each signal's alias's code index; 0 for none
    std::vector<int> levels_;  // -1 before start()
    std::vector<double> reals_;
    std::string buffer_;
    uint64_t lastTime_ = 0;
    bool started_ = false;
    uint64_t changes_ = 0;
    std::string error_;
};

}  // namespace boardsim
