#include "frontends/trace/vcd_writer.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace boardsim {
namespace {

// Written out whenever this much has gathered.
constexpr size_t kBufferBytes = size_t{64} * 1024;
// Identifier codes are printable ASCII from '!' on, as short as can be.
constexpr char kFirstCode = '!';
constexpr unsigned kCodes = '~' - '!' + 1;

}  // namespace

VcdWriter::VcdWriter(const std::string& path, std::vector<Signal> signals, std::string version, std::string scope,
                     std::string aliasScope)
    : file_(path),
      signals_(std::move(signals)),
      version_(std::move(version)),
      scope_(std::move(scope)),
      aliasScope_(std::move(aliasScope)),
      aliasCode_(signals_.size(), 0),
      levels_(signals_.size(), -1),
      reals_(signals_.size(), 0)
{
    size_t next = signals_.size();
    for (size_t i = 0; i < signals_.size(); ++i) {
        if (!signals_[i].alias.empty()) {
            aliasCode_[i] = next++;
        }
    }
}

std::string VcdWriter::code(size_t index)
{
    std::string text;
    do {
        text += char(kFirstCode + index % kCodes);
        index /= kCodes;
    } while (index != 0);
    return text;
}

// The variables of one kind in a scope of their own; none, no scope.
std::string VcdWriter::scope(const std::string& name, bool real) const
{
    std::string vars;
    for (size_t i = 0; i < signals_.size(); ++i) {
        if (signals_[i].real == real) {
            vars += (real ? "$var real 64 " : "$var wire 1 ") + code(i) + " " + signals_[i].name + " $end\n";
        }
    }
    return vars.empty() ? vars : "$scope module " + name + " $end\n" + vars + "$upscope $end\n";
}

void VcdWriter::start(const std::vector<bool>& levels, uint64_t timeNs)
{
    if (started_ || levels.size() != signals_.size()) {
        throw std::logic_error("a VCD starts once, with a value for every signal");
    }
    started_ = true;
    buffer_ += "$version " + version_ + " $end\n";
    for (const Signal& signal : signals_) {
        if (!signal.comment.empty()) {
            buffer_ += "$comment " + signal.comment + " $end\n";
        }
    }
    buffer_ += "$timescale 1ns $end\n" + scope(scope_, false) + scope("dac", true);
    if (std::any_of(aliasCode_.begin(), aliasCode_.end(), [](size_t c) { return c != 0; })) {
        buffer_ += "$scope module " + aliasScope_ + " $end\n";
        for (size_t i = 0; i < signals_.size(); ++i) {
            if (aliasCode_[i] != 0) {
                buffer_ += "$var wire 1 " + code(aliasCode_[i]) + " " + signals_[i].alias + " $end\n";
            }
        }
        buffer_ += "$upscope $end\n";
    }
    buffer_ += "$enddefinitions $end\n#" + std::to_string(timeNs) + "\n$dumpvars\n";
    for (size_t i = 0; i < levels.size(); ++i) {
        levels_[i] = levels[i] ? 1 : 0;
        if (signals_[i].real) {
            buffer_ += "r0 " + code(i) + "\n";
        } else {
            value(i, levels[i]);
        }
    }
    buffer_ += "$end\n";
    lastTime_ = timeNs;
    flush(false);
}

void VcdWriter::value(size_t index, bool level)
{
    buffer_ += (level ? '1' : '0') + code(index) + "\n";
    if (aliasCode_[index] != 0) {
        buffer_ += (level ? '1' : '0') + code(aliasCode_[index]) + "\n";
    }
}

void VcdWriter::timestamp(uint64_t timeNs)
{
    if (timeNs > lastTime_) {
        lastTime_ = timeNs;
        buffer_ += "#" + std::to_string(timeNs) + "\n";
    }
}

void VcdWriter::change(size_t index, bool level, uint64_t timeNs)
{
    if (!started_ || failed() || index >= levels_.size() || signals_[index].real || levels_[index] == int(level)) {
        return;
    }
    levels_[index] = level ? 1 : 0;
    timestamp(timeNs);
    value(index, level);
    ++changes_;
    flush(false);
}

void VcdWriter::changeReal(size_t index, double value, uint64_t timeNs)
{
    if (!started_ || failed() || index >= reals_.size() || !signals_[index].real || reals_[index] == value) {
        return;
    }
    reals_[index] = value;
    timestamp(timeNs);
    char text[32];
    std::snprintf(text, sizeof text, "r%.9g ", value);
    buffer_ += text + code(index) + "\n";
    ++changes_;
    flush(false);
}

void VcdWriter::flush(bool always)
{
    if (buffer_.empty() || (!always && buffer_.size() < kBufferBytes)) {
        return;
    }
    if (failed()) {
        buffer_.clear();  // the first failure's reason is the one to tell
        return;
    }
    try {
        file_.write(buffer_);
    } catch (const OutputError& e) {
        error_ = e.what();
    }
    buffer_.clear();
}

void VcdWriter::finish(uint64_t timeNs)
{
    if (!started_) {
        throw OutputError("cannot write " + file_.target() + ": the trace never started");
    }
    // The last timestamp marks where the trace ends, so that a viewer
    // shows the quiet stretch after the last change too.
    timestamp(timeNs);
    flush(true);
    if (failed()) {
        throw OutputError(error_);
    }
    file_.commit();
}

}  // namespace boardsim
