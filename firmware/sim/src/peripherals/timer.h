// Timer0 / Timer1: a 32-bit timer counter (TC) advanced by the prescaler
// (PC up to PR) from the peripheral clock, four match registers with their
// actions (interrupt, reset: TC holds the match value for one count, then
// 0, so a period is MR + 1 counts; stop), and the capture and external
// match registers as plain storage. The count is worked out from the time when it
// is read; a match is a scheduled moment.
#pragma once

#include <string>

#include "peripherals/peripheral.h"

namespace boardsim {

namespace timer {
constexpr uint32_t kIr = 0x00;
constexpr uint32_t kTcr = 0x04;
constexpr uint32_t kTc = 0x08;
constexpr uint32_t kPr = 0x0C;
constexpr uint32_t kPc = 0x10;
constexpr uint32_t kMcr = 0x14;
constexpr uint32_t kMr0 = 0x18;
constexpr uint32_t kCcr = 0x28;
constexpr uint32_t kCr0 = 0x2C;
constexpr uint32_t kEmr = 0x3C;

// TCR
constexpr Field kCounterEnable{"CE", 0, 1};
constexpr Field kCounterReset{"CR", 1, 1};
// MCR: three bits per match register, MRnI, MRnR, MRnS.
constexpr Field kMatchControl{"MCR", 0, 12};
constexpr uint32_t kMatchInterrupt = 0x1;
constexpr uint32_t kMatchReset = 0x2;
constexpr uint32_t kMatchStop = 0x4;
constexpr Field kInterruptFlags{"IR", 0, 8};  // MR0..3 and CR0..3 interrupts
}  // namespace timer

class Timer final : public Peripheral {
public:
    // `index` names it and its registers: 0 for TIMER0 (T0TC, ...).
    explicit Timer(unsigned index);

    uint32_t counter();  // TC now
    void pclkChanged() override;

protected:
    void resetState() override;

private:
    bool counting() const;
    uint32_t match(unsigned n) const { return stored(timer::kMr0 + 4 * n); }
    void catchUp();         // brings TC and PC to the present
    void planNextMatch();   // schedules the next match that has an action
    void matched(unsigned n, double at);
    // A write that changes what the next match is: count up to now first.
    void replanning(uint32_t offset, uint32_t value);

    uint32_t tc_ = 0, pc_ = 0;
    bool resetPending_ = false;  // a match reset TC: it reads 0 from the next count
    double anchor_ = 0;         // the time TC and PC were last brought up to
    double anchorHz_ = 0;       // the peripheral clock since then
    double anchorFraction_ = 0; // part of a pclk cycle already gone at the anchor
    uint64_t plan_ = 0;         // a scheduled match of an older plan is void
};

}  // namespace boardsim
