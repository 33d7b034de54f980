// Cycle counts of the ARM7TDMI (ARM state), from the ARM7TDMI Technical
// Reference Manual's instruction cycle table, and the wait states of code
// fetched from the LPC2294's flash through its memory accelerator (MAM).
// One cycle of the core clock per S, N or I cycle when memory has no wait
// states (on-chip RAM, the MAM's buffers).
#pragma once

#include <cstdint>

namespace boardsim {

struct InsnTiming {
    enum Flag : uint8_t {
        kConditional = 1,   // not "always": may be skipped (1S)
        kWritesPc = 2,      // a branch, or an instruction with the PC as destination
        kMultiply = 4,      // add m internal cycles from the multiplier operand
        kLongMultiply = 8,  // a MULL/MLAL: m + 1
        kMemory = 16,       // a load, store, swap or block transfer
        kFlashLiteral = 32, // a load relative to the PC: data from flash when the code is there
        kUnsignedMultiply = 64,  // UMULL, UMLAL: only leading zeros end the multiplier early
    };
    uint8_t cycles = 1;  // when executed (for kWritesPc: with the pipeline refill)
    uint8_t flags = 0;
    uint8_t multiplierRegister = 0;  // Rs, for kMultiply
};

InsnTiming armTiming(uint32_t word);

// m for MUL/MLA/SMULL/SMLAL: 1, 2 or 3 when bits 31:8, 31:16 or 31:24 of
// the operand are all zeros or all ones, else 4; for UMULL/UMLAL
// (`unsignedMultiply`) only all zeros end it early.
unsigned multiplierCycles(uint32_t rs, bool unsignedMultiply = false);

// The cost of an instruction whose condition failed: 1S, whatever it is.
constexpr unsigned kConditionFailedCycles = 1;

// Does the condition of `word` pass with these CPSR flags?
bool conditionPasses(uint32_t word, uint32_t cpsr);

// Code fetches from flash through the MAM: mode 0 (off) reads flash for
// every fetch; mode 1 serves sequential fetches from the prefetch buffer
// (128-bit lines, the next line fetched ahead); mode 2 also keeps the line
// of the last branch target. A fetch that reads flash costs MAMTIM cycles.
class FetchTiming {
public:
    void configure(unsigned mode, unsigned fetchCycles)
    {
        mode_ = mode;
        fetchCycles_ = fetchCycles == 0 ? 1 : fetchCycles;
        line_ = branchLine_ = kNoLine;
    }
    // Extra cycles for fetching the instruction at `address` (in flash).
    unsigned wait(uint32_t address, bool sequential);
    // Extra cycles for a data read from flash at `address`.
    unsigned dataWait(uint32_t address);

    bool operator==(const FetchTiming& o) const
    {
        return mode_ == o.mode_ && fetchCycles_ == o.fetchCycles_ && line_ == o.line_ &&
               branchLine_ == o.branchLine_ && dataLine_ == o.dataLine_;
    }

private:
    static constexpr uint32_t kNoLine = 0xFFFFFFFF;
    unsigned mode_ = 0;
    unsigned fetchCycles_ = 7;
    uint32_t line_ = kNoLine;        // line in the prefetch buffer
    uint32_t branchLine_ = kNoLine;  // line in the branch trail buffer
    uint32_t dataLine_ = kNoLine;
};

}  // namespace boardsim
