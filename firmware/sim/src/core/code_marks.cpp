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
    for (size_t at = 0; at + 4 <= flash.size(); at += 4) {
        uint32_t word = 0;
        std::memcpy(&word, &flash[at], 4);
        marks_[at / 2] |= wordMarks(word);
    }
}

void CodeMarks::rewrite(uint32_t address, uint32_t word)
{
    if (!inFlash(address)) {
        return;
    }
    uint8_t& mark = marks_[address / 2];
    mark = uint8_t((mark & ~(kCoprocessor | kNever)) | wordMarks(word));
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

bool CodeMarks::setBreakpoint(uint32_t address, bool on)
{
    bool was = false;
    if (inFlash(address)) {
        uint8_t& mark = marks_[address / 2];
        was = (mark & kBreakpoint) != 0;
        mark = on ? (mark | kBreakpoint) : (mark & ~kBreakpoint);
    } else {
        const auto at = std::find(ramBreakpoints_.begin(), ramBreakpoints_.end(), address);
        was = at != ramBreakpoints_.end();
        if (was && !on) {
            ramBreakpoints_.erase(at);
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
