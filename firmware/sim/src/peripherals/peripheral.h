// One on-chip peripheral as the bus sees it. A model describes its
// registers in a table (register_table.h) and binds a reader or writer to
// each register whose access has effects; plain storage registers need no
// code. Reset values come from the table. The model never knows where it is
// mapped or which interrupt channel it drives: the machine places it and
// hands it an interrupt line. What it needs of the board (time, clocks,
// scheduled work, events, faults) it asks through BoardServices.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/bus_target.h"
#include "core/events.h"
#include "peripherals/register_table.h"

namespace boardsim {

class BoardServices {
public:
    virtual void emit(EventKind kind, uint32_t address, uint32_t value) = 0;
    // The same for something that happened at `time`, a moment of the last
    // instruction (a byte's stop bit ending between two instructions).
    virtual void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) = 0;
    // Simulated time since reset, in seconds.
    virtual double now() const = 0;
    // `action` runs once simulated time reaches `at` (seconds since reset),
    // before the next instruction.
    virtual void scheduleAt(double at, std::function<void()> action) = 0;
    // The peripheral clock now, in hertz.
    virtual double pclkHz() const = 0;
    // Stops the run: the model saw something the chip would not do.
    virtual void fault(std::string what) = 0;
    // Stops the run for what the board around the chip saw (a terminal
    // reading garbage): no instruction is to blame.
    virtual void boardFault(std::string what) = 0;
    // The clocks or the memory timing changed.
    virtual void clocksChanged() = 0;
    // Peripheral bus accesses since reset, this one included.
    virtual uint64_t busAccesses() const = 0;
    // The access comes from a privileged mode of the core (not User).
    virtual bool privileged() const = 0;
    // The core stops after this instruction: until an enabled interrupt
    // (idle), or until wake() (power-down).
    virtual void sleep(bool powerDown) = 0;
    virtual void wake() = 0;

protected:
    ~BoardServices() = default;
};

// Where a model's interrupt request goes: a channel of the interrupt
// controller, chosen by the machine. Unconnected, it goes nowhere.
class InterruptLine {
public:
    using Sink = std::function<void(bool)>;
    InterruptLine() = default;
    explicit InterruptLine(Sink sink) : sink_(std::move(sink)) {}
    void set(bool asserted) const
    {
        if (sink_) {
            sink_(asserted);
        }
    }
    bool connected() const { return bool(sink_); }

private:
    Sink sink_;
};

class Peripheral : public BusTarget {
public:
    // `name` is the model's name in messages ("UART0"); `size` the bytes of
    // address space it answers for.
    Peripheral(std::string name, uint32_t size, std::vector<RegisterSpec> table);
    ~Peripheral() override = default;
    Peripheral(const Peripheral&) = delete;
    Peripheral& operator=(const Peripheral&) = delete;

    const char* name() const { return name_.c_str(); }
    uint32_t size() const override { return size_; }
    const std::vector<RegisterSpec>& registers() const { return table_; }
    const RegisterSpec* findRegister(uint32_t offset) const;

    // Every register to its reset value, then the model's own state.
    void reset();

    // Checks the access against the register table and the model's access
    // widths, then stores, reads back or hands it to the model's handler.
    BusResult read(uint32_t offset, unsigned size) override;
    BusResult write(uint32_t offset, unsigned size, uint32_t value) override;

    // The register's name for a trace: where one address holds several
    // registers, the one this access reaches.
    std::string registerName(uint32_t offset, bool write) const override;
    // Storage registers for ever, the handled ones the model marks steady
    // as long as it says (steadyFor).
    double steadyUntil(uint32_t offset) const override;

    // Throws BoardError when the table and the handlers disagree: a handled
    // register without its reader or writer, a handler for a storage
    // register or an offset the table lacks, two registers at one offset,
    // a register outside the model's space.
    void validate() const;

    // The registers the chip has in this block, for naming an access to
    // one the model lacks (it then says so instead of "no such register").
    void knowChipRegisters(std::vector<std::pair<uint32_t, std::string>> registers)
    {
        chipRegisters_ = std::move(registers);
    }

    void attach(BoardServices& board) { board_ = &board; }
    // The model's interrupt request outputs, in the order its header lists
    // them (most models have one).
    void connectInterrupt(unsigned output, InterruptLine line);
    void connectInterrupt(InterruptLine line) { connectInterrupt(0, std::move(line)); }
    // The peripheral clock changed: a model that counts it re-plans.
    virtual void pclkChanged() {}

protected:
    using Reader = std::function<uint32_t()>;
    using Writer = std::function<void(uint32_t)>;

    // Binds the handlers of a Handled register (either may be empty where
    // the access is refused anyway).
    void handle(uint32_t offset, Reader read, Writer write);
    // A handled register whose read, repeated with nothing written or due
    // in between, gives what it gave and changes nothing more.
    void markSteady(uint32_t offset);
    // How long a steady register stays so (infinity unless the model
    // overrides it: pins with edges on their way).
    virtual double steadyFor(uint32_t /*offset*/) const;
    // The value a register holds in the bus's storage.
    uint32_t stored(uint32_t offset) const;
    void store(uint32_t offset, uint32_t value);

    // Access widths in bytes the registers take: bit n set = n bytes.
    virtual unsigned accessWidths() const { return 1u << 4; }
    // The model's state beyond the register values (FIFOs, timers), after
    // the registers have their reset values.
    virtual void resetState() {}

    BoardServices& board() const { return *board_; }
    const InterruptLine& irq(unsigned output = 0) const;

private:
    struct Slot {
        uint32_t value = 0;
        Reader read;
        Writer write;
        bool steady = false;
    };
    int indexOf(uint32_t offset) const;
    BusResult check(const RegisterSpec* r, unsigned size, bool write) const;
    // The refusal of an access where the model has no register.
    BusResult missing(uint32_t offset) const;

    std::string name_;
    uint32_t size_;
    std::vector<RegisterSpec> table_;
    std::vector<Slot> slots_;          // one per table row
    std::vector<int16_t> byWord_;      // table row of each word offset, or -1
    std::vector<uint32_t> strayHandlers_;  // handlers bound to offsets the table lacks
    BoardServices* board_ = nullptr;
    std::vector<InterruptLine> irqs_;
    std::vector<std::pair<uint32_t, std::string>> chipRegisters_;
};

}  // namespace boardsim
