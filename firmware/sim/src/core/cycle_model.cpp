#include "core/cycle_model.h"

#include <cstring>

#include "core/thumb_timing.h"

namespace boardsim {

void CycleModel::loadFlash(const std::vector<uint8_t>& flash)
{
    words_.resize(flash.size() / 4);
    std::memcpy(words_.data(), flash.data(), words_.size() * 4);
    timing_.resize(words_.size());
    for (size_t i = 0; i < words_.size(); ++i) {
        timing_[i] = armTiming(words_[i]);
    }
}

void CycleModel::rewrite(size_t index, uint32_t word)
{
    if (index < words_.size()) {
        words_[index] = word;
        timing_[index] = armTiming(word);
    }
}

void CycleModel::configure(const MemoryTiming& timing)
{
    fetch_.configure(timing.mamMode, timing.mamFetchCycles);
    busWait_ = timing.busWait;
}

void CycleModel::chargeArm(uint32_t address, const Cpu& cpu)
{
    const bool inFlash = address / 4 < timing_.size();
    uint32_t word = 0;
    InsnTiming t;
    if (inFlash) {
        word = words_[address / 4];
        t = timing_[address / 4];
    } else {
        cpu.read(address, &word, 4);
        t = armTiming(word);
    }
    uint32_t cost = t.cycles;
    // Whatever fails its condition costs 1S; a branch or other write of the
    // PC that fails is settled as not taken (settle()).
    const bool failedCostsLess = (t.flags & (InsnTiming::kMultiply | InsnTiming::kMemory)) != 0 ||
                                 (t.cycles > kConditionFailedCycles && (t.flags & InsnTiming::kWritesPc) == 0);
    if (failedCostsLess) {
        if ((t.flags & InsnTiming::kConditional) != 0 && !conditionPasses(word, cpu.reg(CpuReg::CPSR))) {
            cost = kConditionFailedCycles;
        } else if ((t.flags & InsnTiming::kMultiply) != 0) {
            cost += multiplierCycles(cpu.reg(cpuReg(t.multiplierRegister)),
                                     (t.flags & InsnTiming::kUnsignedMultiply) != 0);
        } else if ((t.flags & InsnTiming::kFlashLiteral) != 0 && inFlash) {
            const uint32_t offset = word & 0xFFF;
            const uint32_t literal = (word & (1u << 23)) != 0 ? address + 8 + offset : address + 8 - offset;
            cost += fetch_.dataWait(literal);
        }
    }
    pendingFetchWait_ = fetchWait(address, 4, inFlash);
    pendingCycles_ = cost + pendingFetchWait_;
    pendingAddress_ = address;
    pendingSize_ = 4;
    pendingSkippable_ = (t.flags & (InsnTiming::kConditional | InsnTiming::kWritesPc)) ==
                        (InsnTiming::kConditional | InsnTiming::kWritesPc);
}

void CycleModel::chargeThumb(uint32_t address, const Cpu& cpu)
{
    const bool inFlash = address / 4 < timing_.size();
    uint16_t halfword = 0;
    if (inFlash) {
        halfword = uint16_t(words_[address / 4] >> ((address & 2) * 8));
    } else {
        cpu.read(address, &halfword, 2);
    }
    const InsnTiming t = thumbTiming(halfword);
    uint32_t cost = t.cycles;
    if ((t.flags & InsnTiming::kMultiply) != 0) {
        cost += multiplierCycles(cpu.reg(cpuReg(t.multiplierRegister)));
    } else if ((t.flags & InsnTiming::kFlashLiteral) != 0 && inFlash) {
        cost += fetch_.dataWait(thumbLiteralAddress(address, halfword));
    }
    pendingFetchWait_ = fetchWait(address, 2, inFlash);
    pendingCycles_ = cost + pendingFetchWait_;
    pendingAddress_ = address;
    pendingSize_ = 2;
    // Only branches are conditional in Thumb: not taken, 1S.
    pendingSkippable_ = (t.flags & InsnTiming::kConditional) != 0;
}

uint32_t CycleModel::fetchWait(uint32_t address, uint32_t size, bool inFlash)
{
    const uint32_t wait = inFlash ? fetch_.wait(address, address == lastFetch_ + size) : 0;
    lastFetch_ = address;
    return wait;
}

}  // namespace boardsim
