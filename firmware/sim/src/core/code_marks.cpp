#include "core/code_marks.h"

#include <algorithm>
#include <cstring>

#include "core/arm7tdmi.h"

namespace boardsim {
namespace {

// What an ARM word asks of the engine by itself.
uint8_t wordMarks(uint32_t word)
{
    if (isNeverExecuted(word)) {
        return CodeMarks::kNever;
    }
    return isCoprocessorInstruction(word) ? CodeMarks::kCoprocessor : 0;
}

}  // namespace

void CodeMarks::load(const std::vector<uint8_t>& flash)
{
    marks_.assign(flash.size() / 2, 0);
    for (size_t offset = 0; offset + 4 <= flash.size(); offset += 4) {
        uint32_t word = 0;
        std::memcpy(&word, &flash[offset], 4);
        rewrite(uint32_t(offset), word);
    }
}

void CodeMarks::rewrite(uint32_t address, uint32_t word)
{
    if (!inFlash(address)) {
        return;
    }
    constexpr uint8_t kOfTheWords = kCoprocessor | kNever | kArmSelfBranch | kThumbSelfBranch;
    uint8_t& first = marks_[address / 2];
    uint8_t& second = marks_[address / 2 + 1];
    first = uint8_t((first & ~kOfTheWords) | wordMarks(word) | (isArmSelfBranch(word) ? kArmSelfBranch : 0) |
                    (isThumbSelfBranch(uint16_t(word)) ? kThumbSelfBranch : 0));
    second = uint8_t((second & ~kThumbSelfBranch) | (isThumbSelfBranch(uint16_t(word >> 16)) ? kThumbSelfBranch : 0));
}

void CodeMarks::mark(uint32_t address, Mark mark, const std::string& name)
{
    if (!inFlash(address)) {
        return;
    }
    marks_[address / 2] |= mark;
    if (mark == kTrap) {
        trapNames_[address] = name;
    }
}

const std::string& CodeMarks::trapName(uint32_t address) const
{
    static const std::string none;
    const auto found = trapNames_.find(address);
    return found == trapNames_.end() ? none : found->second;
}

void CodeMarks::markLoopStarts(const std::vector<uint32_t>& starts)
{
    std::transform(marks_.begin(), marks_.end(), marks_.begin(),
                   [](uint8_t m) { return uint8_t(m & ~kLoopStart); });
    for (const uint32_t start : starts) {
        if (inFlash(start)) {
            marks_[start / 2] |= kLoopStart;
        }
    }
}

bool CodeMarks::setBreakpoint(uint32_t address, bool on)
{
    bool was = false;
    if (inFlash(address)) {
        uint8_t& marked = marks_[address / 2];
        was = (marked & kBreakpoint) != 0;
        marked = on ? (marked | kBreakpoint) : (marked & ~kBreakpoint);
    } else {
        const auto found = std::find(ramBreakpoints_.begin(), ramBreakpoints_.end(), address);
        was = found != ramBreakpoints_.end();
        if (was && !on) {
            ramBreakpoints_.erase(found);
        } else if (!was && on) {
            ramBreakpoints_.push_back(address);
        }
    }
    if (was != on) {
        breakpoints_ = on ? breakpoints_ + 1 : breakpoints_ - 1;
    }
    return was;
}

bool CodeMarks::breakpointAt(uint32_t address) const
{
    return inFlash(address) ? (marks_[address / 2] & kBreakpoint) != 0
                            : std::find(ramBreakpoints_.begin(), ramBreakpoints_.end(), address) !=
                                  ramBreakpoints_.end();
}

}  // namespace boardsim
