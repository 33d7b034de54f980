// What the engine must do when it reaches an address of flash, one mark per
// halfword: a watched function's entry, a hang to report, a coprocessor
// instruction to trap, a word never executed, a debugger's breakpoint. Unmarked code runs with no
// work beyond counting it. Breakpoints outside flash are kept in a list.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace boardsim {

class CodeMarks {
public:
    enum Mark : uint8_t {
        kWatched = 1,
        kTrap = 2,
        kCoprocessor = 4,
        kBreakpoint = 8,
        kArmSelfBranch = 16,    // "b ." (any condition) read as ARM
        kThumbSelfBranch = 32,  // "b ." or "b<cond> ." read as Thumb
        kNever = 64,            // an ARM word with the NV condition
        kLoopStart = 128,       // the first instruction of a loop counted by the turn
    };

    // The flash as it is now: marks for its coprocessor instructions, its
    // words with the NV condition (erased flash among them) and its
    // branches to themselves.
    void load(const std::vector<uint8_t>& flash);
    // The word at `address` (in flash) now holds `word`.
    void rewrite(uint32_t address, uint32_t word);

    // Only code in flash is marked; other addresses are ignored.
    void mark(uint32_t address, Mark mark, const std::string& name = {});
    uint8_t at(uint32_t address) const { return address / 2 < marks_.size() ? marks_[address / 2] : 0; }
    bool inFlash(uint32_t address) const { return address / 2 < marks_.size(); }
    // True when nothing but counting happens at flash word `index`.
    bool plainWord(size_t index, uint8_t ignoring = 0) const
    {
        const auto skip = uint8_t(ignoring | kLoopStart);
        return (marks_[index * 2] & ~skip) == 0 && (marks_[index * 2 + 1] & ~skip) == 0;
    }
    const std::string& trapName(uint32_t address) const;

    // The loops counted by the turn start at these addresses (and no others).
    void markLoopStarts(const std::vector<uint32_t>& starts);

    // Returns whether the breakpoint was set before.
    bool setBreakpoint(uint32_t address, bool on);
    bool ramBreakpoints() const { return !ramBreakpoints_.empty(); }
    bool breakpointAt(uint32_t address) const;
    size_t breakpoints() const { return breakpoints_; }

private:
    std::vector<uint8_t> marks_;  // one per halfword of flash
    std::map<uint32_t, std::string> trapNames_;
    std::vector<uint32_t> ramBreakpoints_;
    size_t breakpoints_ = 0;
};

}  // namespace boardsim
