#include "core/wait_loops.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "core/arm7tdmi.h"
#include "core/thumb_timing.h"

namespace boardsim {
namespace {

constexpr unsigned kMaxLength = 8;
constexpr uint32_t kFirstAddress = 0x40;  // never the vectors

// ARM: register arithmetic (not into the PC, no MSR) or a load of a word,
// byte or halfword without write-back, unconditional.
bool armReads(uint32_t word, const InsnTiming& t)
{
    if ((word >> 28) != 0xE) {
        return false;
    }
    if (registerOnly(word, t)) {
        return true;
    }
    const bool singleLoad = ((word >> 26) & 0x3) == 0x1 && (word & (1u << 20)) != 0;
    const bool preIndexed = (word & (1u << 24)) != 0;
    const bool writeBack = (word & (1u << 21)) != 0 || !preIndexed;
    const bool intoPc = ((word >> 12) & 0xF) == 15;
    return singleLoad && !writeBack && !intoPc;
}

// Thumb: shifts, add/subtract, immediate and ALU operations (not MUL),
// high-register ADD, CMP and MOV (not into the PC: "nop" is mov r8, r8),
// and loads with an immediate or register offset, or PC- or SP-relative.
bool thumbReads(uint16_t hw)
{
    if ((hw & 0xE000) == 0x0000 || (hw & 0xE000) == 0x2000) {
        return true;  // shifts, add/subtract, move/compare/add/subtract immediate
    }
    if ((hw & 0xFC00) == 0x4000) {
        return ((hw >> 6) & 0xF) != 0xD;  // ALU operations but MUL
    }
    if ((hw & 0xFC00) == 0x4400) {
        const unsigned rd = (hw & 0x7) | ((hw >> 4) & 0x8);
        return ((hw >> 8) & 0x3) != 0x3 && (rd != 15 || ((hw >> 8) & 0x3) == 0x1);  // not BX, nothing into the PC
    }
    if ((hw & 0xF800) == 0x4800) {
        return true;  // LDR Rd, [PC, #imm]
    }
    if ((hw & 0xF000) == 0x5000) {
        return (hw & 0x0A00) == 0x0800 || ((hw & 0x0C00) != 0 && (hw & 0x0200) != 0);  // LDR/LDRB; LDRH, LDSB, LDSH
    }
    if ((hw & 0xE000) == 0x6000 || (hw & 0xF000) == 0x8000 || (hw & 0xF000) == 0x9000) {
        return (hw & 0x0800) != 0;  // LDR(B) immediate, LDRH immediate, SP-relative LDR
    }
    return false;
}

// ARM: B<cond> back to a start at most eight instructions before.
void findArm(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
             const std::function<bool(size_t)>& plain, std::vector<WaitLoop>& loops)
{
    for (size_t i = 0; i < words.size(); ++i) {
        const uint32_t word = words[i];
        if ((word >> 28) == 0xF || ((word >> 24) & 0xF) != 0xA || !plain(i)) {
            continue;
        }
        const auto offset = int32_t(word << 8) >> 6;
        const int64_t target = int64_t(i) * 4 + 8 + offset;
        if (target < 0 || target > int64_t(i) * 4 || int64_t(i) * 4 - target >= 4 * int64_t(kMaxLength)) {
            continue;
        }
        bool ok = true;
        bool loads = false;
        for (auto a = uint32_t(target); ok && a < i * 4; a += 4) {
            ok = plain(a / 4) && armReads(words[a / 4], timing[a / 4]);
            loads = loads || (timing[a / 4].flags & InsnTiming::kMemory) != 0;
        }
        if (ok) {
            loops.push_back({uint32_t(target), uint32_t(i * 4), false, loads});
        }
    }
}

// The offset of a Thumb B or B<cond>, or none for anything else.
std::optional<int64_t> thumbBranchOffset(uint16_t hw)
{
    if ((hw & 0xF000) == 0xD000 && ((hw >> 8) & 0xF) < 0xE) {
        return int64_t(int8_t(hw & 0xFF)) * 2;
    }
    if ((hw & 0xF800) == 0xE000) {
        return int64_t(int16_t(uint16_t(hw << 5)) >> 5) * 2;
    }
    return std::nullopt;
}

void findThumb(const std::vector<uint32_t>& words, const std::function<bool(size_t)>& plain,
               std::vector<WaitLoop>& loops)
{
    const auto halfword = [&words](size_t h) { return uint16_t(words[h / 2] >> ((h & 1) * 16)); };
    for (size_t h = 0; h < words.size() * 2; ++h) {
        const auto offset = thumbBranchOffset(halfword(h));
        if (!offset) {
            continue;
        }
        const int64_t target = int64_t(h) * 2 + 4 + *offset;
        if (!plain(h / 2) || target < 0 || target > int64_t(h) * 2 || int64_t(h) * 2 - target >= 2 * int64_t(kMaxLength)) {
            continue;
        }
        bool ok = true;
        bool loads = false;
        for (auto a = uint32_t(target); ok && a < h * 2; a += 2) {
            ok = plain(a / 4) && thumbReads(halfword(a / 2));
            loads = loads || (thumbTiming(halfword(a / 2)).flags & InsnTiming::kMemory) != 0;
        }
        if (ok) {
            loops.push_back({uint32_t(target), uint32_t(h * 2), true, loads});
        }
    }
}

}  // namespace

std::vector<WaitLoop> findWaitLoops(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
                                    const CodeMarks& marks)
{
    // A branch to itself may wait for interrupts; one that nothing can
    // leave is caught before it is ever skipped.
    const std::function<bool(size_t)> plain = [&marks](size_t word) {
        return word * 4 >= kFirstAddress &&
               marks.plainWord(word, CodeMarks::kArmSelfBranch | CodeMarks::kThumbSelfBranch);
    };
    // Read as Thumb, the marks of the ARM reading (a coprocessor word, the
    // NV condition) ask nothing of the engine.
    const std::function<bool(size_t)> plainThumb = [&marks](size_t word) {
        return word * 4 >= kFirstAddress &&
               marks.plainWord(word, CodeMarks::kArmSelfBranch | CodeMarks::kThumbSelfBranch |
                                         CodeMarks::kCoprocessor | CodeMarks::kNever);
    };
    std::vector<WaitLoop> loops;
    findArm(words, timing, plain, loops);
    findThumb(words, plainThumb, loops);
    return loops;
}

WaitLoops::Registers WaitLoops::snapshot(const Cpu& cpu)
{
    Registers r{};
    for (int n = 0; n < 15; ++n) {
        r[size_t(n)] = cpu.reg(cpuReg(n));
    }
    r[15] = cpu.reg(CpuReg::CPSR);
    return r;
}

WaitLoops::Turn WaitLoops::visit(int index, uint64_t& count, Clock& clock, const FetchTiming& fetch, Bounds bounds,
                                 bool allowed, Accesses accesses, bool fiqPossible, const Cpu& cpu)
{
    Visit& v = loops_[size_t(index)];
    if (v.touchesPeripherals) {
        return Turn::Runs;  // it polls the hardware: every turn must run
    }
    const uint32_t cpsr = cpu.reg(CpuReg::CPSR);
    if (((cpsr & kThumbBit) != 0) != v.loop.thumb) {
        return Turn::Runs;  // the words are running as the other instruction set
    }
    if (!allowed && !interruptsCannotLeave(cpsr)) {
        return Turn::Runs;  // neither a skip nor a hang to look for
    }
    const uint64_t turnLength = v.loop.length();
    const bool oneTurnAgo = count == v.count + turnLength && v.fetch == fetch;
    const uint64_t turnCycles = clock.cycles() - v.cycles;
    if (oneTurnAgo && accesses.unsteady != v.unsteadyAccesses) {
        v.touchesPeripherals = true;
        return Turn::Runs;
    }
    // It polls steady registers: they may change when the machine does, and
    // may have changed since they were read.
    const bool polls = accesses.all != v.busAccesses;
    const bool undisturbed = accesses.actions == v.actions && clock.cycles() < accesses.quietCycle;
    if (polls) {
        bounds.cycle = std::min(bounds.cycle, accesses.quietCycle);
    }
    const Registers now = snapshot(cpu);
    const bool repeats = oneTurnAgo && now == v.registers && turnCycles != 0 && (!polls || undisturbed);
    v.count = count;
    v.cycles = clock.cycles();
    v.busAccesses = accesses.all;
    v.unsteadyAccesses = accesses.unsteady;
    v.actions = accesses.actions;
    v.fetch = fetch;
    v.registers = now;
    // No interrupt can take the core out, and what the turn reads cannot
    // change: only memory, which nothing but the core writes, and no FIQ
    // can come in between (its handler may change memory, not the
    // registers).
    const bool fiqMayWrite = (cpsr & kFiqMask) == 0 && fiqPossible;
    const bool sealed = !polls && interruptsCannotLeave(cpsr) && (!v.loop.loads || !fiqMayWrite);
    if (repeats && sealed) {
        return Turn::Endless;
    }
    if (!repeats || !allowed) {
        return Turn::Runs;
    }
    // Whole turns up to the next thing due: it then falls where it would.
    const uint64_t turns = turnsBefore(bounds, count, clock, turnLength, turnCycles);
    if (turns == 0) {
        return Turn::Runs;
    }
    countTurns(turns, turnLength, turnCycles, count, clock, skipped_);
    v.count = count;
    v.cycles = clock.cycles();
    return Turn::Runs;
}

}  // namespace boardsim
