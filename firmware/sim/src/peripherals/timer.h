// Timer0 / Timer1: a 32-bit timer counter (TC) advanced by the prescaler
// (PC up to PR) from the peripheral clock, four match registers with their
// actions (interrupt, reset, stop), and the capture and external match
// registers as plain storage. The count is worked out from the time when it
// is read; a match is a scheduled moment.
#pragma once

#include <string>
#include <vector>

#include "peripherals/peripheral.h"

namespace boardsim {

class Timer final : public Peripheral {
public:
    static constexpr uint32_t kIr = 0x00;
    static constexpr uint32_t kTcr = 0x04;
    static constexpr uint32_t kTc = 0x08;
    static constexpr uint32_t kPr = 0x0C;
    static constexpr uint32_t kPc = 0x10;
    static constexpr uint32_t kMcr = 0x14;
    static constexpr uint32_t kMr0 = 0x18;
    static constexpr uint32_t kCcr = 0x28;
    static constexpr uint32_t kCr0 = 0x2C;
    static constexpr uint32_t kEmr = 0x3C;

    // `index` names the registers (0: T0TC, ...); `line` is its interrupt
    // request line.
    Timer(unsigned index, unsigned line);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    const char* name() const override { return name_.c_str(); }
    uint32_t size() const override { return 0x40; }
    const std::vector<RegisterSpec>& registers() const override { return table_; }
    void reset() override;
    void pclkChanged() override;

    uint32_t counter();  // TC now

protected:
    unsigned accessWidths() const override { return 1u << 4; }
    uint32_t readRegister(uint32_t offset) override;
    void writeRegister(uint32_t offset, uint32_t value) override;

private:
    bool counting() const { return (tcr_ & 0x3) == 0x1; }
    void catchUp();         // brings TC and PC to the present
    void planNextMatch();   // schedules the next match that has an action
    void match(unsigned n);

    std::string name_;
    std::vector<std::string> names_;
    std::vector<RegisterSpec> table_;
    unsigned line_;
    uint32_t ir_ = 0, tcr_ = 0, tc_ = 0, pr_ = 0, pc_ = 0, mcr_ = 0, ccr_ = 0, emr_ = 0;
    uint32_t mr_[4] = {};
    double anchor_ = 0;         // the time TC and PC were last brought up to
    double anchorFraction_ = 0; // part of a pclk cycle already gone at the anchor
    uint64_t plan_ = 0;         // a scheduled match of an older plan is void
};

}  // namespace boardsim
