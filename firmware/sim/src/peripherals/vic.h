// The vectored interrupt controller (ARM PL190, as the LPC2294 has it): 32
// request channels, each routed to FIQ (IntSelect) or IRQ; 16 vectored IRQ
// slots in priority order (slot 0 highest), each naming a channel and the
// handler's address; the rest non-vectored, behind DefVectAddr. Reading
// VectAddr gives the highest-priority active slot's address (or
// DefVectAddr) and keeps interrupts of that priority and below from nIRQ
// until VectAddr is written at the end of the handler; higher priorities
// may nest. Software interrupts (SoftInt) are ORed into the raw requests.
// With Protection set, only privileged modes may touch the registers.
#pragma once

#include <vector>

#include "peripherals/interrupt_controller.h"
#include "peripherals/peripheral.h"

namespace boardsim {

namespace vic {
constexpr unsigned kSlots = 16;

constexpr Field kSource{"int_source", 0, 5};
constexpr Field kSlotEnable{"E", 5, 1};
constexpr Field kProtect{"PROTECT", 0, 1};
}  // namespace vic

class Vic final : public Peripheral, public InterruptController {
public:
    Vic();

    // InterruptController.
    void setLine(unsigned channel, bool asserted) override;
    uint32_t lines() const override { return raw_; }
    void driveCore(CoreInputs inputs) override { core_ = std::move(inputs); }
    // Only enabled channels routed to FIQ raise it.
    bool fiqPossible() const override { return (intEnable_.value() & intSelect_.value()) != 0; }

    bool irqAsserted() const { return irq_; }
    bool fiqAsserted() const { return fiq_; }
    // Requests that are enabled, whatever the core's masks (what wakes an
    // idle core).
    uint32_t enabledRequests() const { return requests() & intEnable_.value(); }
    // How many times each channel's request has risen while enabled (or
    // been enabled while raised) since reset.
    const std::vector<uint64_t>& assertions() const { return assertions_; }

protected:
    void resetState() override;

private:
    // With Protection set, User mode reads 0 and writes nothing.
    Register& guarded(Register& r);
    Register& guardedReader(Register& r, Register::Reader read);
    // IntEnable and SoftInt set the bits written as 1; `clear` clears them.
    void setAndClear(Register& r, Register& clear);
    uint32_t requests() const { return raw_ | softInt_.value(); }
    uint32_t irqRequests() const;
    // The highest-priority active slot (0..15), kSlots for a non-vectored
    // request, or -1 when no IRQ request is active.
    int activePriority() const;
    uint32_t readVectAddr();
    void writeVectAddr();
    void update();
    bool allowed() const;

    Register& intSelect_;
    Register& intEnable_;
    Register& softInt_;
    Register& protection_;
    Register& defVectAddr_;
    Register* vectAddr_[vic::kSlots] = {};
    Register* vectCntl_[vic::kSlots] = {};

    uint32_t raw_ = 0;
    uint32_t counted_ = 0;  // enabled requests at the last update
    std::vector<int> inService_;  // priorities being handled, innermost last
    std::vector<uint64_t> assertions_ = std::vector<uint64_t>(32, 0);
    CoreInputs core_;
    bool irq_ = false;
    bool fiq_ = false;
};

}  // namespace boardsim
