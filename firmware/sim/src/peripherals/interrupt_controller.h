// Where the peripherals' interrupt request lines meet: one controller per
// machine takes every line by its channel number and drives the core's
// nIRQ and nFIQ inputs.
#pragma once

#include <cstdint>
#include <functional>

namespace boardsim {

class InterruptController {
public:
    // How the controller drives the core: nIRQ, nFIQ (true: asserted).
    using CoreInputs = std::function<void(bool irq, bool fiq)>;

    virtual ~InterruptController() = default;
    // Channel `channel` (0..31) is asserted or released by its source.
    virtual void setLine(unsigned channel, bool asserted) = 0;
    // Which channels their sources assert now.
    virtual uint32_t lines() const = 0;
    virtual void driveCore(CoreInputs inputs) = 0;
    // Whether a source could raise nFIQ without the core changing the
    // controller first (with no controller: any line may).
    virtual bool fiqPossible() const { return true; }
};

}  // namespace boardsim
