// The seam between the peripherals' interrupt request lines and the core's
// nIRQ and nFIQ inputs. The machine routes every model's line, by channel,
// to one interrupt controller; until a vectored controller is modelled,
// the pass-through below drives nIRQ whenever any line is asserted.
#pragma once

#include <cstdint>

#include "core/machine_model.h"

namespace boardsim {

class InterruptController {
public:
    virtual ~InterruptController() = default;
    // Channel `channel` (0..31) is asserted or released by its source.
    virtual void setLine(unsigned channel, bool asserted) = 0;
    // Which channels are asserted now.
    virtual uint32_t lines() const = 0;
};

class PassThroughInterrupts final : public InterruptController {
public:
    explicit PassThroughInterrupts(EngineServices*& engine) : engine_(engine) {}
    void setLine(unsigned channel, bool asserted) override
    {
        const uint32_t bit = 1u << (channel & 31);
        lines_ = asserted ? (lines_ | bit) : (lines_ & ~bit);
        if (engine_ != nullptr) {
            engine_->setCoreInterrupt(ArmException::Irq, lines_ != 0);
        }
    }
    uint32_t lines() const override { return lines_; }
    void reset() { lines_ = 0; }

private:
    EngineServices*& engine_;
    uint32_t lines_ = 0;
};

}  // namespace boardsim
