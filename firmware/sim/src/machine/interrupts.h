// A machine without a vectored interrupt controller: every asserted line
// drives nIRQ.
#pragma once

#include <cstdint>

#include "peripherals/interrupt_controller.h"

namespace boardsim {

class PassThroughInterrupts final : public InterruptController {
public:
    void setLine(unsigned channel, bool asserted) override
    {
        const uint32_t bit = 1u << (channel & 31);
        lines_ = asserted ? (lines_ | bit) : (lines_ & ~bit);
        if (core_) {
            core_(lines_ != 0, false);
        }
    }
    uint32_t lines() const override { return lines_; }
    void driveCore(CoreInputs inputs) override { core_ = std::move(inputs); }
    void reset() { lines_ = 0; }

private:
    CoreInputs core_;
    uint32_t lines_ = 0;
};

}  // namespace boardsim
