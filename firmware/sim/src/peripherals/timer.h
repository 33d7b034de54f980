// Timer0 / Timer1: a 32-bit timer counter (TC) advanced by the prescaler
// (PC up to PR) from the peripheral clock, four match registers with their
// actions (interrupt, reset: TC holds the match value for one count, then
// 0, so a period is MR + 1 counts; stop), and the capture and external
// match registers as plain storage. The count is worked out from the time when it
// is read; a match is a scheduled moment.
#pragma once

#include <string>

#include "peripherals/pclk_ticks.h"
#include "peripherals/peripheral.h"

namespace boardsim {

namespace timer {
// TCR
constexpr Field kCounterEnable{"CE", 0, 1};
constexpr Field kCounterReset{"CR", 1, 1};
// MCR: three bits per match register, MRnI, MRnR, MRnS.
constexpr Field kMatchControl{"MCR", 0, 12};
constexpr uint32_t kMatchInterrupt = 0x1;
constexpr uint32_t kMatchReset = 0x2;
constexpr uint32_t kMatchStop = 0x4;
constexpr unsigned kMatches = 4;
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
    Timer(unsigned index, const std::string& prefix);
    bool counting() const;
    uint32_t match(unsigned n) const { return mr_[n]->value(); }
    // A write that changes what the next match is: counted up to now under
    // the old setting, planned afresh under the new.
    Register& replanning(Register& r);
    void catchUp();         // brings TC and PC to the present
    void planNextMatch();   // schedules the next match that has an action
    void matched(unsigned n, double at);

    Register& ir_;
    Register& tcr_;
    Register& pr_;
    Register& mcr_;
    Register* mr_[timer::kMatches] = {};
    uint32_t tc_ = 0, pc_ = 0;
    bool resetPending_ = false;  // a match reset TC: it reads 0 from the next count
    PclkTicks ticks_;           // pclk cycles up to when TC and PC were last brought up to date
    uint64_t plan_ = 0;         // a scheduled match of an older plan is void
};

}  // namespace boardsim
