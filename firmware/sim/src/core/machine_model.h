// What the engine needs of the machine it runs, and what the machine may ask
// of the engine. The engine knows no particular chip: the machine says
// where its memories and devices sit, how fast the core clock runs and how
// its memories make the core wait; it drives the core's interrupt inputs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/arm7tdmi.h"
#include "core/bus_target.h"
#include "core/cycle_model.h"
#include "core/events.h"
#include "util/when.h"

namespace boardsim {

struct MemoryRegion {
    const char* name;
    uint32_t base;
    uint32_t size;
    bool writable;
    uint8_t powerUpFill;
    bool holdsImage;  // the flash the image is programmed into
};

struct DeviceMapping {
    std::string name;
    uint32_t base;
    BusTarget* target;
};

// The engine as the machine sees it.
class EngineServices {
public:
    virtual void emit(EventKind kind, uint32_t address, uint32_t value) = 0;
    // Something that happened at `time`, a moment of the last instruction.
    virtual void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) = 0;
    virtual double now() const = 0;
    virtual uint64_t instructions() const = 0;
    // `action` runs once the run reaches `when` (a count or a time since
    // reset), before the next instruction.
    virtual void schedule(const When& when, std::function<void()> action) = 0;
    virtual void fault(std::string what) = 0;
    // A fault of the board around the chip (a terminal at the wrong rate):
    // the run stops and fails as for a fault, but no instruction is to blame.
    virtual void boardFault(std::string what) = 0;
    // Something the data sheet rules out and the chip does all the same: a
    // warning, or a fault in a strict run (EngineOptions::strict).
    virtual void warn(std::string what) = 0;
    // The core clock or the memory timing changed.
    virtual void clocksChanged() = 0;
    // Peripheral bus accesses since reset, this one included.
    virtual uint64_t busAccesses() const = 0;
    // The core's nIRQ or nFIQ input, as the interrupt controller drives it.
    virtual void setCoreInterrupt(ArmException kind, bool asserted) = 0;
    // The core runs in a privileged mode (not User).
    virtual bool privileged() const = 0;
    // The core stops after the instruction running: idle until the
    // interrupt controller asserts nIRQ or nFIQ; powered down until wake().
    virtual void sleep(bool powerDown) = 0;
    virtual void wake() = 0;
    // A reset from inside the chip (its watchdog), taken before the next
    // instruction: the machine's resetChip(), then the core at its reset
    // vector; the memories keep their contents.
    virtual void resetChip(std::string why) = 0;

protected:
    ~EngineServices() = default;
};

class MachineModel {
public:
    virtual ~MachineModel() = default;
    // Called once, before reset(), by the engine that runs it.
    virtual void attach(EngineServices& engine) = 0;
    virtual const std::vector<MemoryRegion>& memory() const = 0;
    virtual std::vector<DeviceMapping> devices() const = 0;
    // Power-on: every device and the board around the chip as they start.
    virtual void reset() = 0;
    // A reset from inside the chip: its peripherals to their reset state;
    // the board around it (and what a peripheral keeps over such a reset)
    // as it is.
    virtual void resetChip() = 0;
    virtual double cclkHz() const = 0;
    virtual MemoryTiming memoryTiming() const = 0;
    // The engine has taken in a change of the clocks: models that count a
    // clock re-plan.
    virtual void clocksApplied() = 0;
    // An interrupt ended the core's idle mode.
    virtual void idleEnded() {}
    // Whether nFIQ could be asserted without the core's doing (an FIQ
    // source enabled).
    virtual bool fiqPossible() const { return true; }
};

}  // namespace boardsim
